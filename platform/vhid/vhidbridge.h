#pragma once
// The stand-in for the driver's virtual HID device: each 65-byte report becomes input
// events of one of three devices, a pen tablet, an absolute mouse and a relative mouse.
// Where the events go is a sink: uinput devices on Linux, a recording in tests.
//
// Pen: in-range (0x10) brings the tool into proximity, BTN_TOOL_RUBBER when the eraser
// or invert bit is set, else BTN_TOOL_PEN; the tip (or eraser) bit is BTN_TOUCH,
// barrel BTN_STYLUS, the second barrel BTN_STYLUS2; x/y 0..32767, pressure 0..8191
// while touching and 0 otherwise, tilt -64..63 degrees. A change of tool while in range takes the old tool out of
// proximity in a frame of its own before the new one comes in. Absolute mouse: ABS_X/Y
// 0..32767 and the three buttons. Relative mouse: REL_X/Y, REL_WHEEL and
// REL_WHEEL_HI_RES (120 per notch), the three buttons.

#include "platform/vhid/vhidbackend.h"

#include <cstdint>
#include <memory>
#include <mutex>

enum class VhidNode { Pen, AbsoluteMouse, RelativeMouse };

class VhidEventSink {
public:
    virtual ~VhidEventSink() = default;
    // One evdev event (type, code, value as in linux/input-event-codes.h) to one of the
    // three devices. False when the event could not be delivered.
    virtual bool emitEvent(VhidNode node, uint16_t type, uint16_t code, int32_t value) = 0;
};

// Report to events. Keeps what it has sent (tool in proximity, buttons down, axis
// values) so that it sends changes only and can release everything. Not thread-safe on
// its own: VhidBridgeDevice serialises it.
class VhidBridge {
public:
    explicit VhidBridge(VhidEventSink &sink) : m_sink(sink) {}

    // False when the report is not one the device knows (wrong length, report id or
    // kind) or the sink failed.
    bool handleReport(const uint8_t *report, int length);

    // Pen out of proximity, every button up.
    bool releaseAll();

    bool penInRange() const { return m_pen.inRange; }

private:
    struct PenState {
        bool inRange = false;
        bool eraser = false;
        bool touch = false;
        bool stylus = false;
        bool stylus2 = false;
        int32_t x = -1; // -1: not sent since the tool came in
        int32_t y = -1;
        int32_t pressure = -1;
        int32_t tiltX = 0x7FFF;
        int32_t tiltY = 0x7FFF;
    };
    struct MouseState {
        uint8_t buttons = 0;
        int32_t x = -1;
        int32_t y = -1;
    };

    bool pen(const uint8_t *r);
    bool absoluteMouse(const uint8_t *r);
    bool relativeMouse(const uint8_t *r);
    bool penOut();
    bool mouseButtons(VhidNode node, MouseState &state, uint8_t buttons, bool *any);
    bool send(VhidNode node, uint16_t type, uint16_t code, int32_t value);
    bool sendAxis(VhidNode node, uint16_t code, int32_t value, int32_t &cached, bool *any);
    bool sendKey(VhidNode node, uint16_t code, bool down, bool &cached, bool *any);
    bool syn(VhidNode node);

    VhidEventSink &m_sink;
    PenState m_pen;
    MouseState m_absolute;
    MouseState m_relative;
};

// A virtual device built on a bridge: reports written to it become events of the sink.
// The lock keeps the reports of several tablets' threads whole, one after the other.
class VhidBridgeDevice : public VhidDevice {
public:
    explicit VhidBridgeDevice(std::unique_ptr<VhidEventSink> sink);
    ~VhidBridgeDevice() override;

    bool write(const uint8_t *report, int length, int *error) override;
    bool setOutputReport(const uint8_t *report, int length, int *error) override;
    void releaseAll() override;

private:
    std::mutex m_mutex; // guards m_bridge and the sink
    std::unique_ptr<VhidEventSink> m_sink;
    VhidBridge m_bridge;
};
