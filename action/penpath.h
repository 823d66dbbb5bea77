#pragma once
// The per-packet pen path of one action engine: maps a pen sample from tablet units onto
// the screen (rotation, pen-display calibration, tablet area, mouse mode, screen target,
// pressure curve) and delivers it to Wintab applications through the Wintab map and to
// the system pointer through the virtual device or synthetic mouse input.
//
// Threads: one PenPath per CAction, used only on its tablet's reading thread. MapPen runs
// in the engine's resolve step, with the tablet's profile lock held, and copies what the
// output needs; PenOutput runs after the lock is let go (it may wait before a re-entry)
// and reads no profile. The setters for the action engine (pen/eraser toggle, re-entry,
// pending right click) are called on that same thread. State shared by
// all tablets (mouse mode, last valid position, Wintab change detection) is process-wide
// and guarded by one short internal lock, never held across a report write.
//
// Per packet nothing is allocated and nothing is logged above debug level; the one
// exception is a message to a Wintab context's window, which goes through the window
// facility only when the context asked for messages.

#include "config/profilerecords.h"
#include "device/tabletpacket.h"

#include <cstdint>

class InputInjector;
class WindowBackend;

// Where the notifications for a Wintab context go: the window the context record names.
class WintabWindowPoster {
public:
    virtual ~WintabWindowPoster() = default;
    // Queues the message for the window and returns at once; false when it could not.
    virtual bool PostToWindow(uint64_t window, uint32_t message, int64_t wParam, int64_t lParam) = 0;
};

// Posts through the window facility. The Wintab side registers one window per context
// window handle under the class "WintabContext" and the handle in decimal as its title.
// The backend belongs to the caller and must be used only on the reading thread.
class WindowBackendPoster : public WintabWindowPoster {
public:
    explicit WindowBackendPoster(WindowBackend *backend) : m_pBackend(backend) {}
    bool PostToWindow(uint64_t window, uint32_t message, int64_t wParam, int64_t lParam) override;

private:
    WindowBackend *m_pBackend;
};

// Messages posted to a Wintab context's window.
constexpr uint32_t kWintabMsgPacket = 0x7FF0;    // wParam counter - 1, lParam context
constexpr uint32_t kWintabMsgProximity = 0x7FF5; // wParam context, lParam enter/leave
constexpr uint32_t kWintabMsgEnterPacket = 0x7FF7; // wParam counter - 1, lParam context
constexpr int64_t kWintabProximityIn = 0x10001;
constexpr int64_t kWintabProximityOut = 0x10000;

// Changed-field bits of a Wintab packet.
enum WintabChangedBit : uint32_t {
    WintabChangedContext = 0x1,
    WintabChangedStatus = 0x2,
    WintabChangedTime = 0x4,
    WintabChangedSerial = 0x10,
    WintabChangedCursor = 0x20,
    WintabChangedButtons = 0x40,
    WintabChangedX = 0x80,
    WintabChangedY = 0x100,
    WintabChangedPressure = 0x400,
    WintabChangedOrientation = 0x1000,
};

// Azimuth and altitude of a pen tilted tx, ty degrees, in tenths of a degree
// (truncated). Upright (both 0): altitude 900, azimuth 0.
void WintabOrientation(int tiltX, int tiltY, int32_t *azimuth, int32_t *altitude);

class PenPath {
public:
    // Pending right-click states (actions that press the right button with the pen).
    enum RightClick : uint8_t { RightClickNone = 0, RightClickPressed = 2, RightClickReleasePending = 3 };

    // Reads the swapped-buttons setting once from input (none: not swapped).
    explicit PenPath(InputInjector *input);

    // Pen mapping: for a packet with pen data, fills the pointer fields of out. app is
    // the current application profile (null: nothing is mapped).
    void MapPen(const TabletPacket &packet, const DeviceAttributes &attributes, const TabletXMLData &profile,
                const AppConfigNode *app, MultiData &out);

    // Pen output after MapPen, from what MapPen copied (no profile is read, so the
    // profile lock need not be held): the Wintab packet of the foreground process's
    // context and the pointer report. foregroundPid is the process of the foreground
    // window (0 none).
    void PenOutput(const TabletPacket &packet, int64_t foregroundPid, const MultiData &out);

    // Pen/eraser toggle (action 103 and the keypad's message): sets the state and the
    // re-entry flag, so the pointer leaves range once and comes back as the other tool.
    void SetPenEraserToggle(bool eraser);
    bool PenEraserToggle() const { return m_bPenEraserToggle; }
    void SetReentry() { m_bReentry = true; }
    bool Reentry() const { return m_bReentry; }
    // Right click through the pen report: pressed holds the barrel bits in every report,
    // released sends one report with the release and clears the state.
    void PressRightClick() { m_RightClick = RightClickPressed; }
    void ReleaseRightClick()
    {
        if (m_RightClick == RightClickPressed)
            m_RightClick = RightClickReleasePending;
    }
    uint8_t PendingRightClick() const { return m_RightClick; }

    bool PenInRange() const { return m_bInRange; }
    // Last mapped screen position in pixels.
    int LastScreenX() const { return m_LastScreenX; }
    int LastScreenY() const { return m_LastScreenY; }
    bool EraserEnd() const { return m_bEraserEnd; }
    bool MouseButtonsSwapped() const { return m_bSwapped; }

    // Where context-window messages go (not owned; null: not sent).
    void SetWintabPoster(WintabWindowPoster *poster) { m_pPoster = poster; }
    // Tick source of the Wintab packets' time (ms); default the monotonic clock.
    using TickFunction = uint32_t (*)();
    void SetTickFunction(TickFunction tick) { m_Tick = tick; }

    // Forgets the process-wide state (mouse-mode anchor, last valid position, Wintab
    // change detection): for tests and the replay tool, between independent runs.
    static void ResetSharedState();

private:
    bool EraserInUse() const;
    uint8_t PenStatusByte(uint8_t status) const;
    bool WintabOutput(const TabletPacket &packet, int64_t foregroundPid, const MultiData &out);
    void PointerOutput(const MultiData &out);

    InputInjector *m_pInput;
    const bool m_bSwapped;
    WintabWindowPoster *m_pPoster = nullptr;
    TickFunction m_Tick;

    // Pen state (reading thread).
    bool m_bEraserEnd = false;
    bool m_bEraserAllowed = false;
    bool m_bPenEraserToggle = false;
    bool m_bReentry = false;
    uint8_t m_RightClick = RightClickNone;
    bool m_bInRange = false;
    int m_LastScreenX = 0;
    int m_LastScreenY = 0;

    // The sample as mapped for this packet, for the output step.
    bool m_bMapped = false;
    bool m_bMouseMode = false;
    uint8_t m_Status = 0; // raw status, 0 when clamped to the tablet area
    int32_t m_ScreenX = 0;
    int32_t m_ScreenY = 0;
    bool m_bPenRelative = false; // the pen's RelativeCoords
    bool m_bPenInk = false;      // the pen's TablePC
};
