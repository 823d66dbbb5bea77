// The virtual device's reports: their bytes, the shared buffer, finding the device and
// what happens without it.
#include "driverlink/cvmultidriver.h"
#include "platform/vhid/recordingvhid.h"
#include "platform/vhid/vhidreport.h"
#include "tests/device/logcapture.h"

#include <linux/input-event-codes.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace {

QByteArray Bytes(std::initializer_list<int> head)
{
    QByteArray r(kVhidReportLength, '\0');
    int i = 0;
    for (int b : head)
        r[i++] = char(b);
    return r;
}

struct Opened {
    RecordingVhidBackend backend;
    CVMultiDriver driver{backend};
    Opened() { EXPECT_TRUE(driver.Init()); }
};

} // namespace

TEST(VMultiReport, EachKindWritesItsFixedBytesAndLittleEndianFields)
{
    Opened o;
    ASSERT_TRUE(o.driver.PenReport(0x11, 0x1234, 0x5678, 0x1FFF, uint8_t(-10), 10));
    ASSERT_TRUE(o.driver.AbsoluteMouseReport(VhidButtonLeft, 0x7FFF, 0x0001, 0x0800));
    ASSERT_TRUE(o.driver.RelativeMouseReport(VhidButtonRight, -3, 4, 1));

    const QVector<QByteArray> r = o.backend.reports();
    ASSERT_EQ(r.size(), 3);
    //                  id    kind        status x          y          pressure   tilt x tilt y
    EXPECT_EQ(r[0], Bytes({0x40, 0x0A, 0x05, 0x11, 0x34, 0x12, 0x78, 0x56, 0xFF, 0x1F, 0xF6, 0x0A}));
    // The absolute mouse writes bytes 0-9: the pen's tilt bytes 10-11 stay.
    //                  id    kind        btn   x          y          pressure   (pen's tilt)
    EXPECT_EQ(r[1], Bytes({0x40, 0x08, 0x09, 0x01, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0x08, 0xF6, 0x0A}));
    // The relative mouse writes bytes 0-6: 7-11 are what the two before left.
    //                  id    kind        btn   dx    dy    wheel (abs y hi, pressure, pen tilt)
    EXPECT_EQ(r[2], Bytes({0x40, 0x05, 0x04, 0x02, 0xFD, 0x04, 0x01, 0x00, 0x00, 0x08, 0xF6, 0x0A}));
    for (bool setOutput : o.backend.setOutputReportFlags())
        EXPECT_FALSE(setOutput);
    EXPECT_EQ(o.driver.ReportBuffer(), r[2]);
}

TEST(VMultiReport, RelativeValuesPastASignedByteAreLimitedNotWrapped)
{
    Opened o;
    ASSERT_TRUE(o.driver.RelativeMouseReport(0, 200, -300, -1));
    const QByteArray r = o.backend.reports().value(0);
    EXPECT_EQ(uint8_t(r[4]), 0x7F);  // +127, not -56
    EXPECT_EQ(uint8_t(r[5]), 0x81);  // -127
    EXPECT_EQ(uint8_t(r[6]), 0xFF);  // -1
}

TEST(VMultiReport, ReportsOfTwoTabletThreadsNeverMix)
{
    Opened o;
    constexpr int kEach = 3000;
    // Each thread writes one fixed report over and over: any recorded report that is
    // not exactly one of the two was mixed from both.
    std::thread pen([&] {
        for (int i = 0; i < kEach; ++i)
            o.driver.PenReport(0x11, 0x1111, 0x2222, 0x0333, 0x44, 0x55);
    });
    std::thread mouse([&] {
        for (int i = 0; i < kEach; ++i)
            o.driver.AbsoluteMouseReport(0x01, 0x6666, 0x7777, 0x0888);
    });
    pen.join();
    mouse.join();

    const QVector<QByteArray> reports = o.backend.reports();
    ASSERT_EQ(reports.size(), 2 * kEach);
    for (const QByteArray &r : reports) {
        const QByteArray head = r.left(12);
        if (uint8_t(r[1]) == 0x0A) {
            ASSERT_EQ(head, Bytes({0x40, 0x0A, 0x05, 0x11, 0x11, 0x11, 0x22, 0x22, 0x33, 0x03, 0x44, 0x55}).left(12));
        } else {
            ASSERT_EQ(head.left(10), Bytes({0x40, 0x08, 0x09, 0x01, 0x66, 0x66, 0x77, 0x77, 0x88, 0x08}).left(10));
        }
    }
}

class HardwareId : public ::testing::TestWithParam<std::pair<const char *, bool>> {};

TEST_P(HardwareId, MatchesEitherIdWhateverTheCase)
{
    EXPECT_EQ(CVMultiDriver::IsVirtualDeviceId(QString::fromLatin1(GetParam().first)), GetParam().second)
        << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Ids, HardwareId,
                         ::testing::Values(std::make_pair("HID\\Inkora&COL05", true),
                                           std::make_pair("HID\\HID&COL05", true),
                                           std::make_pair("hid\\hid&col05", true),
                                           std::make_pair("Hid\\INKORA&Col05", true),
                                           std::make_pair("HID\\Inkora&COL04", false),
                                           std::make_pair("HID\\Inkora&COL05\\1", false),
                                           std::make_pair("HID/Inkora&COL05", false),
                                           std::make_pair("USB\\VID_28BD&PID_0935", false),
                                           std::make_pair("", false)));

TEST(VMultiInit, OpensTheFirstMatchingDeviceAndLogsEachStep)
{
    RecordingVhidBackend backend({{QStringLiteral("HID\\VID_28BD&PID_0935&COL01"), QStringLiteral("tablet")},
                                  {QStringLiteral("hid\\hid&col05"), QStringLiteral("virtual-a")},
                                  {QStringLiteral("HID\\Inkora&COL05"), QStringLiteral("virtual-b")}});
    CVMultiDriver driver(backend);
    LogCapture log;
    ASSERT_TRUE(driver.Init());
    EXPECT_TRUE(driver.IsFound());
    EXPECT_EQ(backend.openedPath(), QStringLiteral("virtual-a"));
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Function EnmuVisualHidDevice :find the  visual hid device!"),
                                        QStringLiteral("SetupDiEnumDeviceInfo CreateFile OK(): virtual-a"),
                                        QStringLiteral("SetupDiEnumDeviceInfo CreateFile SetupDiDestroyDeviceInfoList(): "),
                                        QStringLiteral("EnmuVisualHidDevice::Init ok \n")}));
}

TEST(VMultiInit, EveryWayOfNotFindingTheDeviceFailsWithItsLine)
{
    struct Case {
        const char *what;
        QVector<VhidDeviceInfo> devices;
        bool listFails;
        int openError;
        QString line;
    };
    const QVector<Case> cases = {
        {"no list", {}, true, 0,
         QStringLiteral("Function EnmuVisualHidDevice Error: SetupDiGetClassDevs failed! INVALID_HANDLE_VALUE")},
        {"no match", {{QStringLiteral("HID\\Other&COL05"), QStringLiteral("x")}}, false, 0,
         QStringLiteral("SetupDiEnumDeviceInfo CreateFile SetupDiDestroyDeviceInfoList(): ")},
        {"no path", {{QStringLiteral("HID\\HID&COL05"), QString()}}, false, 0,
         QStringLiteral("Function EnmuVisualHidDevice Error: SetupDiGetInterfaceDeviceDetail failed!\n")},
        {"open refused", {{QStringLiteral("HID\\HID&COL05"), QStringLiteral("x")}}, false, EACCES,
         QStringLiteral("CVMultiDriver::EnmuVisualHidDevice CreateFile Hid Driver error GetLastError(): %1").arg(EACCES)},
    };
    for (const Case &c : cases) {
        RecordingVhidBackend backend(c.devices);
        backend.setEnumerateFails(c.listFails);
        backend.setOpenError(c.openError);
        CVMultiDriver driver(backend);
        LogCapture log;
        EXPECT_FALSE(driver.Init()) << c.what;
        EXPECT_FALSE(driver.IsFound()) << c.what;
        const QStringList lines = log.lines();
        EXPECT_TRUE(lines.contains(c.line)) << c.what << ": " << lines.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(lines.value(lines.size() - 1), QStringLiteral("CVMultiDriver::Init failed \n")) << c.what;
    }
}

TEST(VMultiInit, WithoutTheDeviceReportsFailAtDebugLevelAndNothingBreaks)
{
    RecordingVhidBackend backend(QVector<VhidDeviceInfo>{});
    CVMultiDriver driver(backend);
    ASSERT_FALSE(driver.Init());
    LogCapture log;
    EXPECT_FALSE(driver.PenReport(0x10, 1, 2, 3, 0, 0));
    EXPECT_FALSE(driver.RelativeMouseReport(0, 1, 1, 0));
    driver.ReleaseAll();
    EXPECT_EQ(log.lines().value(0), QStringLiteral("CVMultiDriver::HidOutput WriteFile failed : %1").arg(EBADF));
    // The buffer still holds what the reports wrote.
    EXPECT_EQ(uint8_t(driver.ReportBuffer()[1]), 0x05);
}

TEST(VMultiOutput, OutputReportSwitchAndWriteFailuresAreLogged)
{
    Opened o;
    const uint8_t report[kVhidReportLength] = {0x40, 0x0A, 0x05};
    std::unique_ptr<VhidDevice> device = o.backend.open(QStringLiteral("recording"), nullptr);
    ASSERT_TRUE(o.driver.Output(true, device.get(), report, kVhidReportLength));
    EXPECT_EQ(o.backend.setOutputReportFlags(), QVector<bool>({true}));

    o.backend.setWriteError(EIO);
    LogCapture log;
    EXPECT_FALSE(o.driver.Output(true, device.get(), report, kVhidReportLength));
    EXPECT_FALSE(o.driver.PenReport(0x10, 0, 0, 0, 0, 0));
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("CVMultiDriver::HidOutput failed HidD_SetOutputReport :%1").arg(EIO),
                                        QStringLiteral("CVMultiDriver::HidOutput WriteFile failed : %1").arg(EIO)}));
}

namespace {

// The bridge behind the driver, with its events kept by the test.
class BridgeBackend : public VhidBackend {
public:
    bool enumerate(QVector<VhidDeviceInfo> *devices) override
    {
        *devices = {{QString::fromLatin1(kVhidHardwareId), QStringLiteral("bridge")}};
        return true;
    }
    std::unique_ptr<VhidDevice> open(const QString &, int *) override
    {
        return std::make_unique<VhidBridgeDevice>(std::make_unique<Forward>(sink));
    }
    RecordingEventSink sink;

private:
    struct Forward : VhidEventSink {
        explicit Forward(RecordingEventSink &to) : to(to) {}
        bool emitEvent(VhidNode n, uint16_t t, uint16_t c, int32_t v) override { return to.emitEvent(n, t, c, v); }
        RecordingEventSink &to;
    };
};

} // namespace

TEST(VMultiBridge, ATabletClosingMidStrokeLeavesNothingPressed)
{
    BridgeBackend backend;
    CVMultiDriver driver(backend);
    ASSERT_TRUE(driver.Init());
    ASSERT_TRUE(driver.PenReport(0x13, 100, 100, 2000, 0, 0));
    ASSERT_TRUE(driver.RelativeMouseReport(VhidButtonLeft, 0, 0, 0));
    backend.sink.take();

    driver.ReleaseAll();
    QVector<VhidEvent> released;
    for (const VhidEvent &e : backend.sink.take()) {
        if (e.type == EV_KEY)
            released.append(e);
    }
    EXPECT_EQ(released, QVector<VhidEvent>({{VhidNode::Pen, EV_KEY, BTN_TOUCH, 0},
                                            {VhidNode::Pen, EV_KEY, BTN_STYLUS, 0},
                                            {VhidNode::Pen, EV_KEY, BTN_TOOL_PEN, 0},
                                            {VhidNode::RelativeMouse, EV_KEY, BTN_LEFT, 0}}));
}
