// The uinput bridge's translation of virtual-device reports into evdev events, seen
// through a recording sink.
#include "platform/vhid/recordingvhid.h"
#include "platform/vhid/vhidbridge.h"
#include "platform/vhid/vhidreport.h"

#include <linux/input-event-codes.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

namespace {

using Report = std::vector<uint8_t>;

Report Pen(uint8_t status, uint16_t x, uint16_t y, uint16_t pressure, int8_t tiltX = 0, int8_t tiltY = 0)
{
    Report r(kVhidReportLength, 0);
    r[0] = 0x40; r[1] = 0x0A; r[2] = 0x05; r[3] = status;
    r[4] = uint8_t(x); r[5] = uint8_t(x >> 8);
    r[6] = uint8_t(y); r[7] = uint8_t(y >> 8);
    r[8] = uint8_t(pressure); r[9] = uint8_t(pressure >> 8);
    r[10] = uint8_t(tiltX); r[11] = uint8_t(tiltY);
    return r;
}

Report Absolute(uint8_t buttons, uint16_t x, uint16_t y)
{
    Report r(kVhidReportLength, 0);
    r[0] = 0x40; r[1] = 0x08; r[2] = 0x09; r[3] = buttons;
    r[4] = uint8_t(x); r[5] = uint8_t(x >> 8);
    r[6] = uint8_t(y); r[7] = uint8_t(y >> 8);
    return r;
}

Report Relative(uint8_t buttons, int8_t dx, int8_t dy, int8_t wheel)
{
    Report r(kVhidReportLength, 0);
    r[0] = 0x40; r[1] = 0x05; r[2] = 0x04; r[3] = buttons;
    r[4] = uint8_t(dx); r[5] = uint8_t(dy); r[6] = uint8_t(wheel);
    return r;
}

VhidEvent P(uint16_t type, uint16_t code, int32_t value)
{
    return {VhidNode::Pen, type, code, value};
}

const VhidEvent kPenSyn = P(EV_SYN, SYN_REPORT, 0);

class Bridge : public ::testing::Test {
protected:
    bool Send(const Report &r) { return bridge.handleReport(r.data(), int(r.size())); }
    QVector<VhidEvent> Take() { return sink.take(); }

    RecordingEventSink sink;
    VhidBridge bridge{sink};
};

// Events of one frame (up to and including its SYN_REPORT), as a readable list.
std::string Describe(const QVector<VhidEvent> &events)
{
    std::string out;
    for (const VhidEvent &e : events)
        out += std::to_string(int(e.node)) + ":" + std::to_string(e.type) + "/" + std::to_string(e.code) + "=" +
               std::to_string(e.value) + " ";
    return out;
}

#define EXPECT_EVENTS(actual, ...)                                                                 \
    do {                                                                                           \
        const QVector<VhidEvent> expected_{__VA_ARGS__};                                           \
        const QVector<VhidEvent> actual_ = (actual);                                               \
        EXPECT_EQ(actual_, expected_) << "got " << Describe(actual_) << "\nwant " << Describe(expected_); \
    } while (0)

} // namespace

TEST_F(Bridge, PenComesInWithPositionThenTouchesInItsOwnFrameAndSendsOnlyChanges)
{
    ASSERT_TRUE(Send(Pen(0x10, 1000, 2000, 0, 5, -3)));
    EXPECT_EVENTS(Take(), P(EV_KEY, BTN_TOOL_PEN, 1), P(EV_ABS, ABS_X, 1000), P(EV_ABS, ABS_Y, 2000),
                  P(EV_ABS, ABS_PRESSURE, 0), P(EV_ABS, ABS_TILT_X, 5), P(EV_ABS, ABS_TILT_Y, -3), kPenSyn);

    // Tip down: pressure and tip in one frame.
    ASSERT_TRUE(Send(Pen(0x11, 1000, 2000, 4000, 5, -3)));
    EXPECT_EVENTS(Take(), P(EV_ABS, ABS_PRESSURE, 4000), P(EV_KEY, BTN_TOUCH, 1), kPenSyn);

    // The same report again sends nothing.
    ASSERT_TRUE(Send(Pen(0x11, 1000, 2000, 4000, 5, -3)));
    EXPECT_TRUE(Take().isEmpty());

    // Barrel buttons: 0x02 first, 0x20 second.
    ASSERT_TRUE(Send(Pen(0x33, 1001, 2000, 4000, 5, -3)));
    EXPECT_EVENTS(Take(), P(EV_ABS, ABS_X, 1001), P(EV_KEY, BTN_STYLUS, 1), P(EV_KEY, BTN_STYLUS2, 1), kPenSyn);
}

TEST_F(Bridge, LeavingReleasesEverythingOnceAndTheNextEntrySendsEveryAxisAgain)
{
    Send(Pen(0x13, 100, 200, 300));
    Take();
    // 0xC0: in-range bit clear.
    ASSERT_TRUE(Send(Pen(0xC0, 100, 200, 300)));
    EXPECT_EVENTS(Take(), P(EV_KEY, BTN_TOUCH, 0), P(EV_KEY, BTN_STYLUS, 0), P(EV_ABS, ABS_PRESSURE, 0),
                  P(EV_KEY, BTN_TOOL_PEN, 0), kPenSyn);
    ASSERT_TRUE(Send(Pen(0x00, 100, 200, 0)));
    EXPECT_TRUE(Take().isEmpty());

    Send(Pen(0x10, 100, 200, 0));
    EXPECT_EVENTS(Take(), P(EV_KEY, BTN_TOOL_PEN, 1), P(EV_ABS, ABS_X, 100), P(EV_ABS, ABS_Y, 200),
                  P(EV_ABS, ABS_PRESSURE, 0), P(EV_ABS, ABS_TILT_X, 0), P(EV_ABS, ABS_TILT_Y, 0), kPenSyn);
}

TEST_F(Bridge, ToolChangeBetweenPenAndEraserTakesTheOldToolOutFirst)
{
    Send(Pen(0x11, 500, 600, 1000));
    Take();

    // Eraser end hovering (0x18): the touching pen lifts and leaves in one frame, then
    // the rubber comes in with the position.
    ASSERT_TRUE(Send(Pen(0x18, 500, 600, 0)));
    EXPECT_EVENTS(Take(), P(EV_KEY, BTN_TOUCH, 0), P(EV_ABS, ABS_PRESSURE, 0), P(EV_KEY, BTN_TOOL_PEN, 0), kPenSyn,
                  P(EV_KEY, BTN_TOOL_RUBBER, 1), P(EV_ABS, ABS_X, 500), P(EV_ABS, ABS_Y, 600),
                  P(EV_ABS, ABS_PRESSURE, 0), P(EV_ABS, ABS_TILT_X, 0), P(EV_ABS, ABS_TILT_Y, 0), kPenSyn);

    // Eraser touching (0x14) is a touch of the rubber, not a tool change.
    ASSERT_TRUE(Send(Pen(0x14, 500, 600, 2000)));
    EXPECT_EVENTS(Take(), P(EV_ABS, ABS_PRESSURE, 2000), P(EV_KEY, BTN_TOUCH, 1), kPenSyn);

    // Back to the pen, hovering.
    ASSERT_TRUE(Send(Pen(0x10, 500, 600, 0)));
    EXPECT_EVENTS(Take(), P(EV_KEY, BTN_TOUCH, 0), P(EV_ABS, ABS_PRESSURE, 0), P(EV_KEY, BTN_TOOL_RUBBER, 0), kPenSyn,
                  P(EV_KEY, BTN_TOOL_PEN, 1), P(EV_ABS, ABS_X, 500), P(EV_ABS, ABS_Y, 600),
                  P(EV_ABS, ABS_PRESSURE, 0), P(EV_ABS, ABS_TILT_X, 0), P(EV_ABS, ABS_TILT_Y, 0), kPenSyn);
}

// The pen states a desktop tells apart and the moves between them the kernel's own tablet
// tests allow (a tool change passes through out of range); and since a desktop takes
// pressure as contact, no frame may end with pressure while the tip is up. Every move
// between every two reports, each carrying pressure, is checked frame by frame.
TEST_F(Bridge, EveryMoveBetweenPenStatesIsOneADesktopAllowsAndPressureNeedsTheTip)
{
    enum State { Out, Hover, Contact, EraserHover, Erasing, Invalid };
    const auto allowed = [](State from, State to) {
        if (from == Out || to == Out || from == to)
            return true;
        const bool penSide = from == Hover || from == Contact;
        return penSide ? (to == Hover || to == Contact) : (to == EraserHover || to == Erasing);
    };
    struct Evdev {
        bool pen = false, rubber = false, touch = false;
        int pressure = 0;
        State state() const
        {
            if (pen && rubber)
                return Invalid;
            if (pen || rubber)
                return pen ? (touch ? Contact : Hover) : (touch ? Erasing : EraserHover);
            return touch ? Invalid : Out;
        }
    } device;
    // In range, tip, eraser touching / hovering, barrels, and the leaving status.
    const uint8_t statuses[] = {0xC0, 0x01, 0x10, 0x11, 0x13, 0x12, 0x30, 0x18, 0x19, 0x14, 0x1C, 0x16};
    const auto expected = [](uint8_t status) {
        if (!(status & VhidPenInRange))
            return Out;
        if (status & (VhidPenEraser | VhidPenInvert))
            return (status & VhidPenEraser) ? Erasing : EraserHover;
        return (status & VhidPenTip) ? Contact : Hover;
    };
    for (const uint8_t from : statuses) {
        for (const uint8_t to : statuses) {
            for (const uint8_t status : {from, to}) {
                ASSERT_TRUE(Send(Pen(status, 300, 400, 2048)));
                State before = device.state();
                for (const VhidEvent &e : Take()) {
                    if (e.type == EV_KEY && e.code == BTN_TOOL_PEN)
                        device.pen = e.value;
                    else if (e.type == EV_KEY && e.code == BTN_TOOL_RUBBER)
                        device.rubber = e.value;
                    else if (e.type == EV_KEY && e.code == BTN_TOUCH)
                        device.touch = e.value;
                    else if (e.type == EV_ABS && e.code == ABS_PRESSURE)
                        device.pressure = e.value;
                    if (e.type != EV_SYN)
                        continue;
                    const State now = device.state();
                    ASSERT_NE(now, Invalid) << std::hex << int(from) << " -> " << int(to);
                    EXPECT_TRUE(allowed(before, now)) << before << " -> " << now << " on " << std::hex << int(status);
                    EXPECT_TRUE(device.touch || device.pressure == 0) << "pressure without tip on " << std::hex
                                                                       << int(status);
                    before = now;
                }
                EXPECT_EQ(device.state(), expected(status)) << std::hex << int(from) << " -> " << int(to);
                EXPECT_EQ(device.pressure, device.touch ? 2048 : 0) << std::hex << int(status);
            }
        }
    }
}

TEST_F(Bridge, ValuesPastTheAxisRangesAreLimitedToThem)
{
    ASSERT_TRUE(Send(Pen(0x11, 0xFFFF, 40000, 9000, -128, 127)));
    EXPECT_EVENTS(Take(), P(EV_KEY, BTN_TOOL_PEN, 1), P(EV_ABS, ABS_X, 32767), P(EV_ABS, ABS_Y, 32767),
                  P(EV_ABS, ABS_PRESSURE, 0), P(EV_ABS, ABS_TILT_X, -64), P(EV_ABS, ABS_TILT_Y, 63), kPenSyn,
                  P(EV_ABS, ABS_PRESSURE, 8191), P(EV_KEY, BTN_TOUCH, 1), kPenSyn);
}

TEST_F(Bridge, AbsoluteAndRelativeMiceGoToTheirOwnDevices)
{
    ASSERT_TRUE(Send(Absolute(VhidButtonLeft, 16384, 100)));
    EXPECT_EVENTS(Take(), {VhidNode::AbsoluteMouse, EV_ABS, ABS_X, 16384}, {VhidNode::AbsoluteMouse, EV_ABS, ABS_Y, 100},
                  {VhidNode::AbsoluteMouse, EV_KEY, BTN_LEFT, 1}, {VhidNode::AbsoluteMouse, EV_SYN, SYN_REPORT, 0});
    ASSERT_TRUE(Send(Absolute(VhidButtonRight, 16384, 100)));
    EXPECT_EVENTS(Take(), {VhidNode::AbsoluteMouse, EV_KEY, BTN_LEFT, 0}, {VhidNode::AbsoluteMouse, EV_KEY, BTN_RIGHT, 1},
                  {VhidNode::AbsoluteMouse, EV_SYN, SYN_REPORT, 0});

    // Signed bytes: dx -5, dy +7, one notch down.
    ASSERT_TRUE(Send(Relative(VhidButtonMiddle, -5, 7, -1)));
    EXPECT_EVENTS(Take(), {VhidNode::RelativeMouse, EV_REL, REL_X, -5}, {VhidNode::RelativeMouse, EV_REL, REL_Y, 7},
                  {VhidNode::RelativeMouse, EV_REL, REL_WHEEL, -1}, {VhidNode::RelativeMouse, EV_REL, REL_WHEEL_HI_RES, -120},
                  {VhidNode::RelativeMouse, EV_KEY, BTN_MIDDLE, 1}, {VhidNode::RelativeMouse, EV_SYN, SYN_REPORT, 0});
    // No motion and no change: nothing, not even an empty frame.
    ASSERT_TRUE(Send(Relative(VhidButtonMiddle, 0, 0, 0)));
    EXPECT_TRUE(Take().isEmpty());
}

TEST_F(Bridge, ReportsTheDeviceDoesNotKnowAreRefusedWithoutEvents)
{
    Report shortPen = Pen(0x10, 1, 1, 0);
    shortPen.resize(12);
    EXPECT_FALSE(Send(shortPen));
    Report otherId = Pen(0x10, 1, 1, 0);
    otherId[0] = 0x02;
    EXPECT_FALSE(Send(otherId));
    Report otherKind = Pen(0x10, 1, 1, 0);
    otherKind[2] = 0x06;
    EXPECT_FALSE(Send(otherKind));
    EXPECT_TRUE(Take().isEmpty());
    EXPECT_FALSE(bridge.penInRange());
}

TEST_F(Bridge, ReleaseAllLiftsPenAndEveryHeldButtonOnce)
{
    Send(Pen(0x13, 10, 20, 30));
    Send(Absolute(VhidButtonLeft | VhidButtonMiddle, 1, 1));
    Send(Relative(VhidButtonRight, 0, 0, 0));
    Take();

    ASSERT_TRUE(bridge.releaseAll());
    EXPECT_EVENTS(Take(), P(EV_KEY, BTN_TOUCH, 0), P(EV_KEY, BTN_STYLUS, 0), P(EV_ABS, ABS_PRESSURE, 0),
                  P(EV_KEY, BTN_TOOL_PEN, 0), kPenSyn,
                  {VhidNode::AbsoluteMouse, EV_KEY, BTN_LEFT, 0}, {VhidNode::AbsoluteMouse, EV_KEY, BTN_MIDDLE, 0},
                  {VhidNode::AbsoluteMouse, EV_SYN, SYN_REPORT, 0},
                  {VhidNode::RelativeMouse, EV_KEY, BTN_RIGHT, 0}, {VhidNode::RelativeMouse, EV_SYN, SYN_REPORT, 0});
    ASSERT_TRUE(bridge.releaseAll());
    EXPECT_TRUE(Take().isEmpty());
}

// A sink that lives on after the device that owns its forwarder is gone.
class ForwardingSink : public VhidEventSink {
public:
    explicit ForwardingSink(RecordingEventSink &to) : m_to(to) {}
    bool emitEvent(VhidNode node, uint16_t type, uint16_t code, int32_t value) override
    {
        return m_to.emitEvent(node, type, code, value);
    }

private:
    RecordingEventSink &m_to;
};

TEST(BridgeDevice, ClosingWhileThePenTouchesLeavesNoButtonDown)
{
    RecordingEventSink sink;
    {
        VhidBridgeDevice device(std::make_unique<ForwardingSink>(sink));
        const Report touch = Pen(0x11, 10, 20, 500);
        int error = -1;
        ASSERT_TRUE(device.write(touch.data(), int(touch.size()), &error));
        const Report left = Absolute(VhidButtonLeft, 5, 5);
        ASSERT_TRUE(device.setOutputReport(left.data(), int(left.size()), &error));
        sink.take();
    }
    EXPECT_EVENTS(sink.take(), P(EV_KEY, BTN_TOUCH, 0), P(EV_ABS, ABS_PRESSURE, 0), P(EV_KEY, BTN_TOOL_PEN, 0), kPenSyn,
                  {VhidNode::AbsoluteMouse, EV_KEY, BTN_LEFT, 0}, {VhidNode::AbsoluteMouse, EV_SYN, SYN_REPORT, 0});
}

TEST(BridgeDevice, WriteErrorsSayWhetherTheReportOrTheDeviceFailed)
{
    RecordingEventSink sink;
    VhidBridgeDevice device(std::make_unique<ForwardingSink>(sink));
    Report bad = Pen(0x10, 1, 1, 0);
    bad[1] = 0x0B;
    int error = 0;
    EXPECT_FALSE(device.write(bad.data(), int(bad.size()), &error));
    EXPECT_EQ(error, EINVAL);

    sink.setFails(true);
    const Report good = Pen(0x10, 1, 1, 0);
    EXPECT_FALSE(device.write(good.data(), int(good.size()), &error));
    EXPECT_EQ(error, EIO);
}

TEST(RecordingBackend, BridgedDevicesRefuseWhatTheSystemsWouldAndShowTheEvents)
{
    RecordingVhidBackend backend;
    backend.setBridged(true);
    QVector<QVector<VhidEvent>> seen;
    backend.setReportHandler([&](const QByteArray &, bool, const QVector<VhidEvent> &events) { seen.append(events); });
    int error = 0;
    std::unique_ptr<VhidDevice> device = backend.open(QStringLiteral("recording"), &error);
    ASSERT_TRUE(device);

    const Report left = Absolute(VhidButtonLeft, 7, 8);
    ASSERT_TRUE(device->write(left.data(), int(left.size()), &error));
    Report shortReport = left;
    shortReport.resize(64);
    EXPECT_FALSE(device->write(shortReport.data(), int(shortReport.size()), &error));
    EXPECT_EQ(error, EINVAL);

    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(vhidEventsText(seen[0]), QStringLiteral("abs ABS_X 7, abs ABS_Y 8, abs BTN_LEFT 1, abs SYN_REPORT 0"));
    EXPECT_TRUE(seen[1].isEmpty());
    EXPECT_EQ(backend.reports().size(), 2); // recorded all the same
}
