#include "action/penpath.h"

#include "driverlink/cvmultidriver.h"
#include "driverlink/cwintabmap.h"
#include "driverlink/driverlink.h"
#include "mapping/penmapping.h"
#include "mapping/pressurecurve.h"
#include "mapping/screentable.h"
#include "platform/input/inputinjector.h"
#include "platform/window/windowbackend.h"

#include <QLoggingCategory>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

// Debug only, and off unless enabled: the per-packet lines must cost nothing (no text
// is built while the category is off).
Q_LOGGING_CATEGORY(lcPenPath, "inkora.penpath", QtInfoMsg)

namespace {

// Raw pen status bytes of the tablets.
constexpr uint8_t kStatusHover = 0xA0;
constexpr uint8_t kStatusEraserHover = 0xA8;
constexpr uint8_t kStatusEraserTip = 0xA9;
constexpr uint8_t kStatusOutOfRange = 0xC0;
constexpr uint8_t kStatusTipBit = 0x01;

// Pen report status bytes.
constexpr uint8_t kReportInRange = 0x10;
constexpr uint8_t kReportEraserTip = 0x14;
constexpr uint8_t kReportEraserHover = 0x18;
constexpr uint8_t kReportLeave = 0xC0;
constexpr uint8_t kReportRightPressed = 0x03; // tip and barrel held
constexpr uint8_t kReportRightRelease = 0x02; // barrel held, tip up

// Wintab values.
constexpr int32_t kWintabStatusInvert = 0x10; // the eraser end is in use
constexpr int32_t kWintabCursorPen = 1;
constexpr int32_t kWintabCursorEraser = 2;
constexpr uint32_t kOptionSystemCursor = 0x1; // the context lets the pen move the pointer
constexpr uint32_t kOptionMessages = 0x4;     // a message for every packet
constexpr uint32_t kOptionCursorMessages = 0x8; // a message when the cursor enters

constexpr int16_t kActionEraser = 27; // eraser end entry of a pen: erasing allowed
constexpr int kPhysicalX = 44800;
constexpr int kPhysicalY = 29600;
constexpr int kHidMax = 32767;

// The re-entry report must reach the system before the pen comes back as the other tool.
constexpr std::chrono::milliseconds kReentryWait{2};

uint32_t MonotonicTick()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Mouse mode: the pen moves the pointer by relative steps from an anchor.
enum MouseState { MouseReset, MouseFirst, MouseMoving };

// State shared by every tablet's pen path. Only the packet path touches it; the tablets'
// reading threads take g_SharedMutex for the few statements that read or change it and
// never hold it across a report or map write.
struct SharedPenState {
    MouseState mouseState = MouseReset;
    int64_t anchorX = 0;
    int64_t anchorY = 0;
    int64_t carryX = 0;
    int64_t carryY = 0;
    bool wintabInContext = false; // the pen entered the served context
    int wintabContext = -1;       // the context served last
    WintabPacket wintabLast;      // the last packet written, for the changed mask
};

std::mutex g_SharedMutex;
SharedPenState g_Shared;

// The shared values every pen report reads or writes stand alone as atomics, each on a
// line of its own: a lock taken by every report of five tablets would move its line
// between the cores for each of them. A reader needs only the value itself.
struct alignas(64) SharedPenPoint {
    // The last sample inside the tablet area (rotated logical units).
    std::atomic<int64_t> x{0};
    std::atomic<int64_t> y{0};
};
SharedPenPoint g_LastValid;
alignas(64) std::atomic<uint8_t> g_MouseButtons{0}; // of the mouse paths (VhidMouseButton)
alignas(64) std::atomic<int> g_WintabFound{-2};     // the context found last (for the log on change)

int32_t ClampI32(int64_t v, int64_t lo, int64_t hi)
{
    return int32_t(std::clamp(v, lo, hi));
}

} // namespace

bool WindowBackendPoster::PostToWindow(uint64_t window, uint32_t message, int64_t wParam, int64_t lParam)
{
    if (!m_pBackend)
        return false;
    const WindowHandle handle = m_pBackend->findWindow(QStringLiteral("WintabContext"), QString::number(window));
    return handle.isValid() && m_pBackend->postMessage(handle, message, wParam, lParam);
}

void WintabOrientation(int tiltX, int tiltY, int32_t *azimuth, int32_t *altitude)
{
    if (tiltX == 0 && tiltY == 0) {
        *azimuth = 0;
        *altitude = 900;
        return;
    }
    constexpr double kDeg = 3.14159265358979323846 / 180.0;
    // A tilt byte can claim 90 degrees or more; the pen is never flatter than 89.
    const double tanX = std::tan(std::min(std::abs(tiltX), 89) * kDeg);
    const double tanY = std::tan(std::min(std::abs(tiltY), 89) * kDeg);
    const double alt = std::asin(1.0 / std::sqrt(tanX * tanX + tanY * tanY + 1.0)) / kDeg;
    double az = 0.0;
    if (tiltX == 0) {
        az = tiltY < 0 ? 0.0 : 180.0;
    } else {
        const double a = std::atan(tanY / tanX) / kDeg;
        if (tiltX > 0)
            az = tiltY < 0 ? 90.0 - a : (tiltY == 0 ? 90.0 : a + 90.0);
        else
            az = tiltY > 0 ? 270.0 - a : (tiltY == 0 ? 270.0 : a + 270.0);
    }
    *azimuth = int32_t(az * 10.0);
    *altitude = int32_t(alt * 10.0);
}

PenPath::PenPath(InputInjector *input)
    : m_pInput(input)
    , m_bSwapped(input ? input->mouseButtonsSwapped() : false)
    , m_Tick(&MonotonicTick)
{
}

void PenPath::SetPenEraserToggle(bool eraser)
{
    m_bPenEraserToggle = eraser;
    m_bReentry = true;
}

void PenPath::ResetSharedState()
{
    std::lock_guard<std::mutex> lock(g_SharedMutex);
    g_Shared = SharedPenState();
    g_LastValid.x = 0;
    g_LastValid.y = 0;
    g_MouseButtons = 0;
    g_WintabFound = -2;
}

bool PenPath::EraserInUse() const
{
    return m_bPenEraserToggle || (m_bEraserEnd && m_bEraserAllowed);
}

[[gnu::hot]] void PenPath::MapPen(const TabletPacket &packet, const DeviceAttributes &attributes,
                                  const TabletXMLData &profile, const AppConfigNode *app, MultiData &out)
{
    m_bMapped = false;
    if (!app)
        return;
    const int penIndex = std::min<int>(packet.penId, kProfilePens - 1);
    const PenConfig &pen = app->pens[penIndex];
    m_bPenRelative = pen.RelativeCoords != 0;
    m_bPenInk = pen.TablePC != 0;
    m_Status = packet.status;
    m_bEraserEnd = packet.status == kStatusEraserHover || packet.status == kStatusEraserTip;
    m_bEraserAllowed = pen.buttons[0].id == 0 && pen.buttons[0].Actid == kActionEraser;
    m_bMouseMode = pen.RelativeCoords != 0;

    PenSample sample;
    sample.x = packet.x;
    sample.y = packet.y;
    sample.tiltX = packet.tiltX;
    sample.tiltY = packet.tiltY;
    sample.width = attributes.MaxX;
    sample.height = attributes.MaxY;
    sample.widthInch100 = attributes.WidthInch100;
    sample.heightInch100 = attributes.HeightInch100;
    if (sample.widthInch100 == 0 || sample.heightInch100 == 0 || sample.width <= 0 || sample.height <= 0)
        return;

    // 1. Rotation by quarter turns; the tilt turns with the tablet.
    sample = RotateSample(sample, profile.Orientation);
    const TabletArea area = AreaOf(profile, sample, attributes.Resolution);
    if (area.width <= 0 || area.height <= 0)
        return; // no area to map from

    // 2. Pen displays: the calibration found on screen.
    if (attributes.DeviceKind == 2)
        CalibrateSample(sample, area, profile);

    // 3. Tilt.
    if (!profile.DisableSlope) {
        out.tiltX = uint8_t(int8_t(std::clamp(sample.tiltX, -128, 127)));
        out.tiltY = uint8_t(int8_t(std::clamp(sample.tiltY, -128, 127)));
    }

    // 4. Tablet area: outside it the sample is held at the edge with no tip or proximity
    // code. A pen leaving range keeps its 0xC0 so the leave is not lost.
    {
        const bool inside = ClampToArea(sample, area);
        if (!inside && m_Status != kStatusOutOfRange)
            m_Status = 0;
        if (inside) {
            g_LastValid.x.store(sample.x, std::memory_order_relaxed);
            g_LastValid.y.store(sample.y, std::memory_order_relaxed);
        }
    }
    AreaToTablet(sample, area);
    const int64_t x = sample.x;
    const int64_t y = sample.y;

    // 5. Mouse mode: relative steps from a process-wide anchor, the remainders carried.
    if (m_bMouseMode) {
        const int speed = std::clamp<int>(profile.CommonAPP.pens[penIndex].Speed, 0, 9);
        const int64_t d = (10 - speed) * 5;
        int64_t dx = 0;
        int64_t dy = 0;
        bool first = false;
        {
            std::lock_guard<std::mutex> lock(g_SharedMutex);
            SharedPenState &s = g_Shared;
            if (m_Status == kStatusOutOfRange) {
                s.mouseState = MouseReset;
                m_bInRange = false;
            } else if (s.mouseState == MouseReset) {
                s.mouseState = MouseFirst;
            } else if (s.mouseState == MouseFirst) {
                s.mouseState = MouseMoving;
                m_bInRange = true;
            }
            if (s.mouseState == MouseFirst) {
                s.anchorX = x;
                s.anchorY = y;
                s.carryX = 0;
                s.carryY = 0;
                first = true;
            } else {
                const int64_t sumX = x - s.anchorX + s.carryX;
                dx = sumX / d;
                if (dx != 0) {
                    s.carryX = sumX % d;
                    s.anchorX = x;
                }
                const int64_t sumY = y - s.anchorY + s.carryY;
                dy = sumY / d;
                if (dy != 0) {
                    s.carryY = sumY % d;
                    s.anchorY = y;
                }
            }
        }
        if (first)
            qCDebug(lcPenPath) << "penStatus == 0)";
        out.relDx = int16_t(std::clamp<int64_t>(dx, INT16_MIN, INT16_MAX));
        out.relDy = int16_t(std::clamp<int64_t>(dy, INT16_MIN, INT16_MAX));
    }

    // 6.
    m_bInRange = m_Status != kStatusOutOfRange;

    // 7. Screen target: the mapped screen area, or the fine-mode rectangle.
    ScreenRect target;
    if (profile.FineMode)
        target = ScreenRect{profile.FineX, profile.FineY, profile.FineW, profile.FineH};
    else
        target = ScreenRect{profile.SX, profile.SY, profile.SW, profile.SH};
    if (target.width == 0)
        return;
    float sx = 0.0f;
    float sy = 0.0f;
    SampleOnScreen(sample, target, &sx, &sy);
    const ScreenRect &desktop = ScreenTable::Current().Slot(0);
    if (desktop.width > 0 && desktop.height > 0) {
        const double ox = double(sx) - desktop.left;
        const double oy = double(sy) - desktop.top;
        out.x7FFF = ClampI32(int64_t(ox * kHidMax / desktop.width), 0, kHidMax);
        out.y7FFF = ClampI32(int64_t(oy * kHidMax / desktop.height), 0, kHidMax);
        out.x44800 = ClampI32(int64_t(ox * kPhysicalX / desktop.width), 0, kPhysicalX);
        out.y29600 = ClampI32(int64_t(oy * kPhysicalY / desktop.height), 0, kPhysicalY);
    }
    const double lastX = std::max<double>(target.left, target.right() - 1);
    const double lastY = std::max<double>(target.top, target.bottom() - 1);
    out.screenX = std::clamp<double>(sx, target.left, lastX);
    out.screenY = std::clamp<double>(sy, target.top, lastY);
    m_ScreenX = int32_t(out.screenX);
    m_ScreenY = int32_t(out.screenY);
    m_LastScreenX = m_ScreenX;
    m_LastScreenY = m_ScreenY;

    // 8. Pressure; raw 0 stays 0 whatever the curve.
    if (packet.pressure != 0) {
        if (profile.DisablePressure)
            out.pressure = std::min<int32_t>(attributes.MaxPressure, kPressureOutMax);
        else
            out.pressure = PressureMap(packet.pressure, uint32_t(std::max(attributes.MaxPressure, 0)), pen.Press);
    }
    m_bMapped = true;
}

[[gnu::hot]] void PenPath::PenOutput(const TabletPacket &packet, int64_t foregroundPid, const MultiData &out)
{
    if (!m_bMapped)
        return;
    m_bMapped = false;

    // Mouse-button state of the mouse paths: the tip is pen button 1.
    if ((packet.flags & PacketPenButton) && packet.penButtonNo == 1) {
        if (packet.penButtonDown == 1)
            g_MouseButtons = m_bSwapped ? 2 : 1;
        else if (packet.penButtonDown == 0)
            g_MouseButtons = 0;
    }

    const bool pointer = WintabOutput(packet, foregroundPid, out);
    if (!pointer)
        return;
    PointerOutput(out);
}

[[gnu::hot]] uint8_t PenPath::PenStatusByte(uint8_t status) const
{
    if (status == kStatusOutOfRange)
        return kReportLeave;
    const uint8_t tip = status & kStatusTipBit;
    uint8_t s;
    if (m_bPenEraserToggle || (m_bEraserEnd && m_bEraserAllowed))
        s = tip ? kReportEraserTip : kReportEraserHover;
    else if (m_bEraserEnd)
        s = kReportInRange; // erasing not allowed: the eraser end only hovers
    else
        s = kReportInRange | tip;
    // Bits, not sums: a touching pen plus the right-click bits must stay a pen.
    if (m_RightClick == RightClickPressed)
        s |= kReportRightPressed;
    else if (m_RightClick == RightClickReleasePending)
        s |= kReportRightRelease;
    return s;
}

[[gnu::hot]] void PenPath::PointerOutput(const MultiData &out)
{
    CVMultiDriver *vmulti = DriverLink::VMultiDriver();
    if (!vmulti)
        return;
    const uint16_t hx = uint16_t(out.x7FFF);
    const uint16_t hy = uint16_t(out.y7FFF);
    const uint16_t pressure = uint16_t(out.pressure);
    if (m_bPenRelative) {
        vmulti->RelativeMouseReport(g_MouseButtons.load(), out.relDx, out.relDy, 0);
    } else if (m_bPenInk) {
        if (m_bReentry) {
            // The tool changes: the system sees the pen leave before it comes back.
            vmulti->PenReport(kReportLeave, hx, hy, pressure, out.tiltX, out.tiltY);
            m_bReentry = false;
            std::this_thread::sleep_for(kReentryWait);
        }
        const uint8_t status = PenStatusByte(m_Status);
        if (m_RightClick == RightClickReleasePending)
            m_RightClick = RightClickNone;
        vmulti->PenReport(status, hx, hy, pressure, out.tiltX, out.tiltY);
    } else {
        vmulti->AbsoluteMouseReport(g_MouseButtons.load(), hx, hy, pressure);
    }
}

[[gnu::hot]] bool PenPath::WintabOutput(const TabletPacket &, int64_t foregroundPid, const MultiData &out)
{
    CWintabMap *map = DriverLink::WintabMap();
    if (!map || !map->IsCreated())
        return true;

    WintabContext context;
    const int found = map->FindContext(foregroundPid, &context);
    // Read first: the line is written only when the context changes.
    if (g_WintabFound.load(std::memory_order_relaxed) != found && g_WintabFound.exchange(found) != found)
        qCDebug(lcPenPath) << "bActive" << (found >= 0) << "ContId" << found;
    // Context 0 stands for "no context" on the Wintab side.
    if (found <= 0)
        return true;

    const bool eraser = EraserInUse();
    WintabPacket p;
    p.context = found;
    p.status = eraser ? kWintabStatusInvert : 0;
    p.time = m_Tick();
    p.serial = map->NextSerial(found);
    p.cursor = eraser ? kWintabCursorEraser : kWintabCursorPen;
    p.buttons = m_Status & kStatusTipBit;
    p.x = out.x44800;
    p.y = map->YExtent() - out.y29600;
    p.pressure = out.pressure;
    WintabOrientation(int8_t(out.tiltX), int8_t(out.tiltY), &p.azimuth, &p.altitude);
    p.twist = 0;

    bool entering = false;
    bool leaving = false;
    {
        std::lock_guard<std::mutex> lock(g_SharedMutex);
        SharedPenState &s = g_Shared;
        const WintabPacket &last = s.wintabLast;
        uint32_t changed = WintabChangedTime | WintabChangedSerial;
        if (p.context != last.context) changed |= WintabChangedContext;
        if (p.status != last.status) changed |= WintabChangedStatus;
        if (p.cursor != last.cursor) changed |= WintabChangedCursor;
        if (p.buttons != last.buttons) changed |= WintabChangedButtons;
        if (p.x != last.x) changed |= WintabChangedX;
        if (p.y != last.y) changed |= WintabChangedY;
        if (p.pressure != last.pressure) changed |= WintabChangedPressure;
        if (p.azimuth != last.azimuth || p.altitude != last.altitude) changed |= WintabChangedOrientation;
        p.changed = changed;
        s.wintabLast = p;

        if (found != s.wintabContext) {
            s.wintabContext = found;
            s.wintabInContext = false;
        }
        if (m_Status == kStatusOutOfRange) {
            leaving = true;
            s.wintabInContext = false;
        } else if (!s.wintabInContext && (m_Status == kStatusHover || m_Status == kStatusEraserHover)) {
            entering = true;
            s.wintabInContext = true;
        }
    }

    const int32_t counter = map->WritePacket(p);
    if (entering)
        qCDebug(lcPenPath) << "bFirstIn" << found;
    if (m_pPoster) {
        const int64_t written = int64_t(counter) - 1;
        if (entering) {
            m_pPoster->PostToWindow(context.window, kWintabMsgProximity, found, kWintabProximityIn);
            if (context.options & kOptionCursorMessages)
                m_pPoster->PostToWindow(context.window, kWintabMsgEnterPacket, written, found);
        }
        if (context.options & kOptionMessages)
            m_pPoster->PostToWindow(context.window, kWintabMsgPacket, written, found);
        if (leaving)
            m_pPoster->PostToWindow(context.window, kWintabMsgProximity, found, kWintabProximityOut);
    }
    return (context.options & kOptionSystemCursor) != 0;
}
