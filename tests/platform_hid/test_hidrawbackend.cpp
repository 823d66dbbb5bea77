// The hidraw backend over a fixture system: enumeration, open, the two handles, reads
// that fail, string descriptors and the kernel input grab.
#include "platform/hid/linux/hidrawbackend.h"
#include "platform/hid/linux/hidrawdevice.h"
#include "platform/hid/linux/pollread.h"

#include "tests/platform_hid/fakehidrawsystem.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <thread>

namespace {

struct Rig {
    std::shared_ptr<FakeHidrawSystem> system = std::make_shared<FakeHidrawSystem>();
    std::shared_ptr<FakeGrabber> grabber = std::make_shared<FakeGrabber>();
    HidrawBackend backend{system, grabber};
};

QString Text(const QString &node, const char *hardwareId)
{
    return QStringLiteral("\\\\?\\hid#%1#%2#{4d1e55b2-f16f-11cf-88cb-001111000030}")
        .arg(QLatin1String(hardwareId), node);
}

// A string descriptor as a device sends it: [bLength][0x03][UTF-16LE].
QByteArray StringDescriptor(const QString &text)
{
    QByteArray d;
    d.append(char(2 + 2 * text.size()));
    d.append(char(0x03));
    for (const QChar c : text) {
        d.append(char(c.unicode() & 0xFF));
        d.append(char(c.unicode() >> 8));
    }
    return d;
}

} // namespace

TEST(HidrawBackend, EnumeratesTheVendorsInterfacesAndSkipsBrokenNodes)
{
    Rig r;
    r.system->trees = {UsbTabletTree(QStringLiteral("hidraw3"), 0x0935, Descriptors::PenMouseVendor()),
                       BleKeypadTree()};
    HidrawTree other = UsbTabletTree(QStringLiteral("hidraw0"));
    other.hidId = QStringLiteral("0003:0000046D:0000C52B");
    HidrawTree orphan = UsbTabletTree(QStringLiteral("hidraw1"));
    orphan.hidSyspath.clear();
    r.system->trees << other << orphan;

    ASSERT_TRUE(r.backend.init());
    EXPECT_EQ(r.backend.enumerate(0x28BD).size(), 3 + 3);
    EXPECT_EQ(r.backend.enumerate(0x046D).size(), 1);
    EXPECT_EQ(r.backend.enumerate(0).size(), 3 + 3 + 1);
    EXPECT_TRUE(r.backend.enumerate(0x1234).isEmpty());
}

TEST(HidrawBackend, OpenUsesTwoHandlesOnTheNodeAndGrabsItsInputNodesUntilClosed)
{
    Rig r;
    r.system->trees = {UsbTabletTree()};
    const QString path = r.backend.enumerate(0x28BD).first().path;
    {
        std::unique_ptr<HidDevice> dev = r.backend.open(path);
        ASSERT_NE(dev, nullptr);
        EXPECT_EQ(r.system->handles->opened, (QStringList{QStringLiteral("/dev/hidraw3"), QStringLiteral("/dev/hidraw3")}));
        EXPECT_EQ(r.grabber->held.values(), (QStringList{QStringLiteral("/dev/input/event5"), QStringLiteral("/dev/input/event6")}));

        // Writes go to one handle, reads to the other, so a command never waits behind
        // the reading thread's wait.
        const uint8_t mode[10] = {0x02, 0xB0, 0x04};
        EXPECT_EQ(dev->write(mode, sizeof mode), 10);
        uint8_t buffer[64];
        r.system->handles->reads.enqueue(ScriptedRead{QByteArray("\x02\xA0\x10\x27", 4)});
        EXPECT_EQ(dev->readTimeout(buffer, sizeof buffer, 100), 4);
        ASSERT_EQ(r.system->handles->writesByHandle.size(), 1);
        ASSERT_EQ(r.system->handles->readsByHandle.size(), 1);
        EXPECT_NE(r.system->handles->writesByHandle[0], r.system->handles->readsByHandle[0]);
        EXPECT_EQ(r.system->handles->written[0], QByteArray(reinterpret_cast<const char *>(mode), 10));
    }
    EXPECT_TRUE(r.grabber->held.isEmpty()) << "closing releases the grab";
}

TEST(HidrawBackend, ShortCommandsArePaddedToTheOutputReportAsWindowsDoes)
{
    Rig r;
    r.system->trees = {UsbTabletTree()}; // output report 2 is 10 bytes
    std::unique_ptr<HidDevice> dev = r.backend.open(r.backend.enumerate(0x28BD).first().path);
    ASSERT_NE(dev, nullptr);
    const uint8_t mode[3] = {0x02, 0xB0, 0x04};
    EXPECT_EQ(dev->write(mode, sizeof mode), 3) << "the caller's count";
    const uint8_t longer[32] = {0x02, 0xB6, 0x01};
    EXPECT_EQ(dev->write(longer, sizeof longer), 32);
    const uint8_t unknownId[3] = {0x07, 0x01, 0x02};
    EXPECT_EQ(dev->write(unknownId, sizeof unknownId), 3);
    ASSERT_EQ(r.system->handles->written.size(), 3);
    EXPECT_EQ(r.system->handles->written[0], QByteArray::fromHex("02b00400000000000000"));
    EXPECT_EQ(r.system->handles->written[1].size(), 32) << "longer writes go as they are";
    EXPECT_EQ(r.system->handles->written[2].size(), 3) << "a report the descriptor does not list";
}

TEST(HidrawBackend, OpenRefusesTextsThatNoLongerNameThatInterface)
{
    Rig r;
    r.system->trees = {UsbTabletTree()};
    const QString path = r.backend.enumerate(0x28BD).first().path;

    // The node number now belongs to another device (re-plug): refused, nothing opened.
    r.system->trees = {UsbTabletTree(QStringLiteral("hidraw3"), 0x0074)};
    EXPECT_EQ(r.backend.open(path), nullptr);
    // Gone entirely.
    r.system->trees.clear();
    EXPECT_EQ(r.backend.open(path), nullptr);
    // Texts that do not name a hidraw node never reach the system.
    r.system->trees = {UsbTabletTree()};
    EXPECT_EQ(r.backend.open(Text(QStringLiteral("../../dev/sda"), "vid_28bd&pid_0935&mi_02")), nullptr);
    EXPECT_EQ(r.backend.open(QStringLiteral("/dev/hidraw3")), nullptr);
    EXPECT_TRUE(r.system->handles->opened.isEmpty());
    // The same text in other case is the same interface.
    EXPECT_NE(r.backend.open(path.toUpper()), nullptr);

    // Without access to the node (no udev rule), open fails cleanly.
    r.system->openFails = true;
    EXPECT_EQ(r.backend.open(path), nullptr);
}

TEST(HidrawBackend, AVanishedDeviceEndsReadsAtOnceAndForGood)
{
    struct Case {
        const char *what;
        int error;
    };
    for (const Case c : {Case{"ENODEV from read", ENODEV}, Case{"EIO from read", EIO}, Case{"POLLHUP", 0}}) {
        Rig r;
        r.system->trees = {UsbTabletTree()};
        std::unique_ptr<HidDevice> dev = r.backend.open(r.backend.enumerate(0x28BD).first().path);
        ASSERT_NE(dev, nullptr);
        r.system->handles->reads.enqueue(ScriptedRead{QByteArray(), -1, c.error});
        uint8_t buffer[64];
        EXPECT_EQ(dev->readTimeout(buffer, sizeof buffer, 100), -1) << c.what;
        // Later reads answer at once without touching the node (no spinning on it).
        const int readsBefore = r.system->handles->readsByHandle.size();
        EXPECT_EQ(dev->readTimeout(buffer, sizeof buffer, 100), -1) << c.what;
        EXPECT_EQ(r.system->handles->readsByHandle.size(), readsBefore) << c.what;
    }
}

TEST(HidrawBackend, ASignalDuringTheWaitIsNoDisconnect)
{
    Rig r;
    r.system->trees = {UsbTabletTree()};
    std::unique_ptr<HidDevice> dev = r.backend.open(r.backend.enumerate(0x28BD).first().path);
    r.system->handles->reads.enqueue(ScriptedRead{QByteArray(), -1, EINTR});
    r.system->handles->reads.enqueue(ScriptedRead{QByteArray("\x02\xF0\x01", 3)});
    uint8_t buffer[64];
    EXPECT_EQ(dev->readTimeout(buffer, sizeof buffer, 100), 0);
    EXPECT_EQ(dev->readTimeout(buffer, sizeof buffer, 100), 3);
    EXPECT_EQ(buffer[2], 0x01);
    EXPECT_EQ(dev->readTimeout(nullptr, 64, 100), -1) << "no buffer";
}

// The reading thread waits without a time-out: a report, a stop asked from another
// thread, and a node that hangs up each end the wait, and nothing else does.
TEST(HidrawBackend, AWaitEndsOnAReportAStopOrAHangUp)
{
    int node[2];
    ASSERT_EQ(pipe(node), 0);
    ReadStop stop;
    uint8_t buffer[64];
    int error = -1;
    ASSERT_EQ(write(node[1], "\x02\xF0\x01\x07", 4), 4);
    EXPECT_EQ(PollRead(node[0], stop.descriptor(), -1, buffer, sizeof buffer, &error), 4);
    EXPECT_EQ(buffer[3], 0x07);
    EXPECT_EQ(PollRead(node[0], stop.descriptor(), 0, buffer, sizeof buffer, &error), 0) << "idle, time-out";

    int result = -1;
    std::thread reader([&] { result = PollRead(node[0], stop.descriptor(), -1, buffer, sizeof buffer, &error); });
    stop.stop();
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(PollRead(node[0], stop.descriptor(), -1, buffer, sizeof buffer, &error), 0) << "stays stopped";

    ReadStop open;
    close(node[1]);
    EXPECT_EQ(PollRead(node[0], open.descriptor(), -1, buffer, sizeof buffer, &error), -1) << "hang-up";
    EXPECT_EQ(error, 0);
    close(node[0]);

    // A handle without a descriptor of its own (the fixture) waits in slices and still
    // hands a report on, or ends on the stop.
    Rig r;
    r.system->trees = {UsbTabletTree()};
    std::unique_ptr<HidDevice> dev = r.backend.open(r.backend.enumerate(0x28BD).first().path);
    r.system->handles->reads.enqueue(ScriptedRead{QByteArray(), -1, EINTR});
    r.system->handles->reads.enqueue(ScriptedRead{QByteArray("\x02\xF0\x01", 3)});
    ReadStop devStop;
    EXPECT_EQ(dev->readWait(buffer, sizeof buffer, devStop), 3);
    devStop.stop();
    EXPECT_EQ(dev->readWait(buffer, sizeof buffer, devStop), 0);
}

TEST(HidrawBackend, StringDescriptorsComeRawFromTheParentUsbDevice)
{
    Rig r;
    r.system->trees = {UsbTabletTree()};
    // Geometry (string 100): raw bytes, which may contain zero pairs.
    const QByteArray geometry = QByteArray::fromHex("0e03" "00af" "a073" "0000" "ff1f" "d813" "0000");
    r.system->strings.insert(100, geometry);
    r.system->strings.insert(2, StringDescriptor(QStringLiteral("Inkora Pad M")));
    // A device that pads its string with NULs after the text.
    r.system->strings.insert(4, StringDescriptor(QStringLiteral("KPX")) + QByteArray(4, '\0'));
    r.system->strings[4][0] = char(2 + 6 + 4);
    // bLength shorter than what came: bLength rules.
    r.system->strings.insert(5, QByteArray::fromHex("0603" "3200" "3000" "ffff"));
    // Not a string descriptor (type byte 0x02).
    r.system->strings.insert(6, QByteArray::fromHex("0602" "4100" "4200"));
    std::unique_ptr<HidDevice> dev = r.backend.open(r.backend.enumerate(0x28BD).first().path);

    uint8_t raw[64] = {};
    ASSERT_EQ(dev->indexedStringRaw(100, raw, sizeof raw), 12);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(raw), 12), geometry.mid(2, 12));
    EXPECT_EQ(r.system->stringRequests.last(), 1 * 1000 + 7) << "bus 1, device 7";
    // A smaller buffer takes what fits.
    uint8_t four[4];
    EXPECT_EQ(dev->indexedStringRaw(100, four, sizeof four), 4);

    QString text;
    ASSERT_TRUE(dev->indexedString(2, &text));
    EXPECT_EQ(text, QStringLiteral("Inkora Pad M"));
    ASSERT_TRUE(dev->indexedString(4, &text));
    EXPECT_EQ(text, QStringLiteral("KPX"));
    ASSERT_TRUE(dev->indexedString(5, &text));
    EXPECT_EQ(text, QStringLiteral("20"));
    EXPECT_FALSE(dev->indexedString(6, &text));
    EXPECT_EQ(dev->indexedStringRaw(131, raw, sizeof raw), -1) << "absent";
    EXPECT_EQ(dev->indexedStringRaw(300, raw, sizeof raw), -1) << "no such index";
}

TEST(HidrawBackend, BluetoothDevicesHaveNoStringDescriptors)
{
    Rig r;
    r.system->trees = {BleKeypadTree()};
    r.system->strings.insert(2, StringDescriptor(QStringLiteral("never asked")));
    std::unique_ptr<HidDevice> dev = r.backend.open(r.backend.enumerate(0x28BD).first().path);
    ASSERT_NE(dev, nullptr);
    QString text;
    uint8_t raw[64];
    EXPECT_FALSE(dev->indexedString(2, &text));
    EXPECT_EQ(dev->indexedStringRaw(100, raw, sizeof raw), -1);
    EXPECT_TRUE(r.system->stringRequests.isEmpty());
}

TEST(HidrawBackend, RegrabTakesNodesThatCameBackAndLetsGoOfThoseThatLeft)
{
    Rig r;
    r.system->trees = {UsbTabletTree()};
    r.grabber->refused = QStringList{QStringLiteral("/dev/input/event6")}; // held by another program
    std::unique_ptr<HidDevice> dev = r.backend.open(r.backend.enumerate(0x28BD).first().path);
    ASSERT_NE(dev, nullptr) << "a node that cannot be grabbed does not stop the open";
    EXPECT_EQ(r.grabber->held.values(), QStringList{QStringLiteral("/dev/input/event5")});

    // Resume: the other program let go; event5's node died and came back under its name.
    r.grabber->refused.clear();
    r.grabber->dead = {r.grabber->held.firstKey()};
    EXPECT_EQ(dev->grabKernelInput(), 2);
    EXPECT_EQ(r.grabber->grabbed.count(QStringLiteral("/dev/input/event5")), 2);
    EXPECT_EQ(r.grabber->held.size(), 2);
    // Nothing new: the grabs are kept, not taken twice.
    EXPECT_EQ(dev->grabKernelInput(), 2);
    EXPECT_EQ(r.grabber->grabbed.size(), 3);

    // The input nodes left (the kernel re-probed the device with fewer of them).
    r.system->trees[0].eventNodes = QStringList{QStringLiteral("/dev/input/event6")};
    EXPECT_EQ(dev->grabKernelInput(), 1);
    EXPECT_EQ(r.grabber->held.values(), QStringList{QStringLiteral("/dev/input/event6")});
    // The hidraw node is gone: nothing is held any more.
    r.system->trees.clear();
    EXPECT_EQ(dev->grabKernelInput(), 0);
    EXPECT_TRUE(r.grabber->held.isEmpty());
}
