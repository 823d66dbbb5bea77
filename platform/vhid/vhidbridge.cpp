#include "platform/vhid/vhidbridge.h"

#include "platform/vhid/vhidreport.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr int32_t kMaxPosition = 32767;
constexpr int32_t kMaxPressure = 8191;
constexpr int32_t kMinTilt = -64;
constexpr int32_t kMaxTilt = 63;
constexpr int32_t kHiResPerNotch = 120;

int32_t U16(const uint8_t *p)
{
    return int32_t(p[0] | p[1] << 8);
}

int32_t S8(uint8_t b)
{
    return int32_t(int8_t(b));
}

} // namespace

[[gnu::hot]] bool VhidBridge::send(VhidNode node, uint16_t type, uint16_t code, int32_t value)
{
    return m_sink.emitEvent(node, type, code, value);
}

[[gnu::hot]] bool VhidBridge::syn(VhidNode node)
{
    return send(node, EV_SYN, SYN_REPORT, 0);
}

[[gnu::hot]] bool VhidBridge::sendAxis(VhidNode node, uint16_t code, int32_t value, int32_t &cached, bool *any)
{
    if (value == cached)
        return true;
    cached = value;
    *any = true;
    return send(node, EV_ABS, code, value);
}

bool VhidBridge::sendKey(VhidNode node, uint16_t code, bool down, bool &cached, bool *any)
{
    if (down == cached)
        return true;
    cached = down;
    *any = true;
    return send(node, EV_KEY, code, down ? 1 : 0);
}

[[gnu::hot]] bool VhidBridge::handleReport(const uint8_t *report, int length)
{
    if (!report || length != kVhidReportLength)
        return false;
    switch (vhidReportKind(report, length)) {
    case VhidReportKind::Pen:
        return pen(report);
    case VhidReportKind::AbsoluteMouse:
        return absoluteMouse(report);
    case VhidReportKind::RelativeMouse:
        return relativeMouse(report);
    case VhidReportKind::Unknown:
        break;
    }
    return false;
}

[[gnu::hot]] bool VhidBridge::penOut()
{
    bool ok = true;
    bool any = false;
    ok &= sendKey(VhidNode::Pen, BTN_TOUCH, false, m_pen.touch, &any);
    ok &= sendKey(VhidNode::Pen, BTN_STYLUS, false, m_pen.stylus, &any);
    ok &= sendKey(VhidNode::Pen, BTN_STYLUS2, false, m_pen.stylus2, &any);
    if (m_pen.pressure > 0)
        ok &= send(VhidNode::Pen, EV_ABS, ABS_PRESSURE, 0);
    ok &= send(VhidNode::Pen, EV_KEY, m_pen.eraser ? BTN_TOOL_RUBBER : BTN_TOOL_PEN, 0);
    ok &= syn(VhidNode::Pen);
    // The next proximity in sends every axis again.
    m_pen = PenState();
    return ok;
}

[[gnu::hot]] bool VhidBridge::pen(const uint8_t *r)
{
    const uint8_t status = r[3];
    if (!(status & VhidPenInRange))
        return m_pen.inRange ? penOut() : true;

    const bool eraser = status & (VhidPenEraser | VhidPenInvert);
    const bool touch = eraser ? (status & VhidPenEraser) : (status & VhidPenTip);
    const int32_t x = std::min(U16(r + 4), kMaxPosition);
    const int32_t y = std::min(U16(r + 6), kMaxPosition);
    // Pressure without the tip is no contact: a desktop decides contact from the pressure
    // axis, so a hovering tool (or an eraser end given another action) would draw.
    const int32_t pressure = touch ? std::min(U16(r + 8), kMaxPressure) : 0;
    const int32_t tiltX = std::clamp(S8(r[10]), kMinTilt, kMaxTilt);
    const int32_t tiltY = std::clamp(S8(r[11]), kMinTilt, kMaxTilt);

    bool ok = true;
    // One tool at a time: the pen leaves before the eraser comes in, and back.
    if (m_pen.inRange && m_pen.eraser != eraser)
        ok &= penOut();

    bool any = false;
    if (!m_pen.inRange) {
        // Proximity in: the tool with its position, hovering, in a frame of its own.
        m_pen.inRange = true;
        m_pen.eraser = eraser;
        ok &= send(VhidNode::Pen, EV_KEY, eraser ? BTN_TOOL_RUBBER : BTN_TOOL_PEN, 1);
        ok &= sendAxis(VhidNode::Pen, ABS_X, x, m_pen.x, &any);
        ok &= sendAxis(VhidNode::Pen, ABS_Y, y, m_pen.y, &any);
        ok &= sendAxis(VhidNode::Pen, ABS_PRESSURE, 0, m_pen.pressure, &any);
        ok &= sendAxis(VhidNode::Pen, ABS_TILT_X, tiltX, m_pen.tiltX, &any);
        ok &= sendAxis(VhidNode::Pen, ABS_TILT_Y, tiltY, m_pen.tiltY, &any);
        ok &= syn(VhidNode::Pen);
        any = false;
    }
    // Pressure and tip change in one frame, so no frame ends with one without the other.
    ok &= sendAxis(VhidNode::Pen, ABS_X, x, m_pen.x, &any);
    ok &= sendAxis(VhidNode::Pen, ABS_Y, y, m_pen.y, &any);
    ok &= sendAxis(VhidNode::Pen, ABS_PRESSURE, pressure, m_pen.pressure, &any);
    ok &= sendAxis(VhidNode::Pen, ABS_TILT_X, tiltX, m_pen.tiltX, &any);
    ok &= sendAxis(VhidNode::Pen, ABS_TILT_Y, tiltY, m_pen.tiltY, &any);
    ok &= sendKey(VhidNode::Pen, BTN_TOUCH, touch, m_pen.touch, &any);
    ok &= sendKey(VhidNode::Pen, BTN_STYLUS, status & VhidPenBarrel, m_pen.stylus, &any);
    ok &= sendKey(VhidNode::Pen, BTN_STYLUS2, status & VhidPenBarrel2, m_pen.stylus2, &any);
    if (any)
        ok &= syn(VhidNode::Pen);
    return ok;
}

bool VhidBridge::mouseButtons(VhidNode node, MouseState &state, uint8_t buttons, bool *any)
{
    static const struct {
        uint8_t bit;
        uint16_t code;
    } kButtons[] = {{VhidButtonLeft, BTN_LEFT}, {VhidButtonRight, BTN_RIGHT}, {VhidButtonMiddle, BTN_MIDDLE}};
    bool ok = true;
    for (const auto &b : kButtons) {
        const bool down = buttons & b.bit;
        if (down == bool(state.buttons & b.bit))
            continue;
        state.buttons = uint8_t(down ? state.buttons | b.bit : state.buttons & ~b.bit);
        *any = true;
        ok &= send(node, EV_KEY, b.code, down ? 1 : 0);
    }
    return ok;
}

bool VhidBridge::absoluteMouse(const uint8_t *r)
{
    bool ok = true;
    bool any = false;
    ok &= sendAxis(VhidNode::AbsoluteMouse, ABS_X, std::min(U16(r + 4), kMaxPosition), m_absolute.x, &any);
    ok &= sendAxis(VhidNode::AbsoluteMouse, ABS_Y, std::min(U16(r + 6), kMaxPosition), m_absolute.y, &any);
    ok &= mouseButtons(VhidNode::AbsoluteMouse, m_absolute, r[3], &any);
    if (any)
        ok &= syn(VhidNode::AbsoluteMouse);
    return ok;
}

bool VhidBridge::relativeMouse(const uint8_t *r)
{
    bool ok = true;
    bool any = false;
    const int32_t dx = S8(r[4]);
    const int32_t dy = S8(r[5]);
    const int32_t wheel = S8(r[6]);
    if (dx) {
        ok &= send(VhidNode::RelativeMouse, EV_REL, REL_X, dx);
        any = true;
    }
    if (dy) {
        ok &= send(VhidNode::RelativeMouse, EV_REL, REL_Y, dy);
        any = true;
    }
    if (wheel) {
        ok &= send(VhidNode::RelativeMouse, EV_REL, REL_WHEEL, wheel);
        ok &= send(VhidNode::RelativeMouse, EV_REL, REL_WHEEL_HI_RES, wheel * kHiResPerNotch);
        any = true;
    }
    ok &= mouseButtons(VhidNode::RelativeMouse, m_relative, r[3], &any);
    if (any)
        ok &= syn(VhidNode::RelativeMouse);
    return ok;
}

bool VhidBridge::releaseAll()
{
    bool ok = true;
    if (m_pen.inRange)
        ok &= penOut();
    bool any = false;
    ok &= mouseButtons(VhidNode::AbsoluteMouse, m_absolute, 0, &any);
    if (any)
        ok &= syn(VhidNode::AbsoluteMouse);
    any = false;
    ok &= mouseButtons(VhidNode::RelativeMouse, m_relative, 0, &any);
    if (any)
        ok &= syn(VhidNode::RelativeMouse);
    return ok;
}

VhidBridgeDevice::VhidBridgeDevice(std::unique_ptr<VhidEventSink> sink)
    : m_sink(std::move(sink)), m_bridge(*m_sink)
{
}

VhidBridgeDevice::~VhidBridgeDevice()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bridge.releaseAll();
}

[[gnu::hot]] bool VhidBridgeDevice::write(const uint8_t *report, int length, int *error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (vhidReportKind(report, length) == VhidReportKind::Unknown || length != kVhidReportLength) {
        if (error)
            *error = EINVAL;
        return false;
    }
    if (!m_bridge.handleReport(report, length)) {
        if (error)
            *error = EIO;
        return false;
    }
    return true;
}

bool VhidBridgeDevice::setOutputReport(const uint8_t *report, int length, int *error)
{
    // The bridge has one way in; an output report is taken like a write.
    return write(report, length, error);
}

void VhidBridgeDevice::releaseAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bridge.releaseAll();
}
