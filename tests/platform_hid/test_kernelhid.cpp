// The Linux backends on emulated kernel devices (umockdev): the sysfs layouts of real
// tablets through udev, hidraw nodes opened and polled, EVIOCGRAB on event nodes, the
// udev monitor's notices and the virtual devices through /dev/uinput.
#include "platform/hid/hidmonitor.h"
#include "platform/hid/linux/hidrawbackend.h"
#include "platform/hid/linux/hidrawdevice.h"
#include "platform/hid/linux/linuxhidrawsystem.h"
#include "platform/syscheck/systemcheck.h"
#include "platform/vhid/linux/uinputvhidbackend.h"
#include "platform/vhid/vhidreport.h"

#include "tests/platform_hid/descriptors.h"
#include "tests/support/kerneltestbed.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

#define REQUIRE_UMOCKDEV()                                                                                             \
    do {                                                                                                               \
        QString why;                                                                                                   \
        if (!UmockdevReady(&why))                                                                                      \
            GTEST_SKIP() << qPrintable(why);                                                                           \
    } while (0)

QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray b;
    for (int v : bytes)
        b.append(char(v));
    return b;
}

// The vendor collection of the pen tablets: report 2, 11 bytes in and out (12 with the
// id), which the kernel's generic driver leaves to hidraw.
QByteArray VendorReport2()
{
    return Bytes({0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x09, 0x01, 0x15, 0x00, 0x26,
                  0xFF, 0x00, 0x75, 0x08, 0x95, 0x0B, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0});
}

// The digitizer and mouse interface (0) the generic driver binds: pen report 10 with a
// physical collection inside, mouse report 1.
QByteArray PenAndMouse()
{
    QByteArray all = Descriptors::PenMouseVendor();
    return all.left(all.indexOf(Bytes({0x06, 0x00, 0xFF})));
}

QString Texts(const QVector<HidDeviceInfo> &list)
{
    QStringList t;
    for (const HidDeviceInfo &i : list)
        t << i.path.section(QLatin1Char('#'), 1, 2);
    return t.join(QLatin1Char(' '));
}

struct HidrawRig {
    KernelTestbed bed;
    QString record = UsbTabletRecord(0x0935, 5, QStringLiteral("Inkora Pad M"), QStringLiteral("SN0935"),
                                     {{0, PenAndMouse(), 0, {4, 5}}, {2, VendorReport2(), 1, {}}});
    HidrawRig() { bed.add(record); }
};

} // namespace

TEST(KernelHid, TheBackendReadsEachTabletLayoutAsTheKernelBuildsIt)
{
    REQUIRE_UMOCKDEV();
    KernelTestbed bed;
    // Two interfaces: digitizer + mouse on 0 (two collections), the vendor report on 2.
    ASSERT_TRUE(bed.add(UsbTabletRecord(0x0935, 5, QStringLiteral("Inkora Pad M"), QStringLiteral("SN0935"),
                                        {{0, PenAndMouse(), 0, {4, 5}}, {2, VendorReport2(), 1, {}}})));
    // Pen, mouse and vendor collections on one interface of another device would clash
    // on 1-2, so the Bluetooth LE keypad and a foreign HID device share this testbed.
    ASSERT_TRUE(
        bed.add(BluetoothTabletRecord(0x0801, QStringLiteral("a1:b2:c3:d4:e5:f6"), Descriptors::VendorOnly(), 7)));

    HidrawBackend backend;
    ASSERT_TRUE(backend.init());
    const QVector<HidDeviceInfo> found = backend.enumerate(0x28BD);
    EXPECT_EQ(Texts(found),
              QStringLiteral("vid_28bd&pid_0935&mi_00&col01#hidraw0 vid_28bd&pid_0935&mi_00&col02#hidraw0 "
                             "vid_28bd&pid_0935&mi_02#hidraw1 "
                             "{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&0228bd_pid&0801_rev&0000_"
                             "a1b2c3d4e5f6#hidraw7"));
    ASSERT_EQ(found.size(), 4);
    EXPECT_EQ(found[2].interfaceNumber, 2);
    EXPECT_EQ(found[2].manufacturer, QStringLiteral("Inkora Labs"));
    EXPECT_EQ(found[2].product, QStringLiteral("Inkora Pad M"));
    EXPECT_EQ(found[2].serial, QStringLiteral("SN0935"));
    EXPECT_EQ(found[3].bus, 5);
    EXPECT_EQ(found[3].serial, QStringLiteral("a1:b2:c3:d4:e5:f6"));

    LinuxHidrawSystem system;
    HidrawTree tree;
    ASSERT_TRUE(system.hidrawNode(QStringLiteral("hidraw0"), &tree));
    EXPECT_EQ(tree.eventNodes, QStringList({QStringLiteral("/dev/input/event4"), QStringLiteral("/dev/input/event5")}));
    EXPECT_EQ(tree.inputVersion, QStringLiteral("0100"));
    EXPECT_EQ(tree.busnum, QStringLiteral("1"));
    EXPECT_EQ(tree.devnum, QStringLiteral("5"));
    HidrawFacts facts;
    QString why;
    ASSERT_TRUE(system.hidrawNode(QStringLiteral("hidraw1"), &tree));
    ASSERT_TRUE(ParseHidrawTree(tree, &facts, &why));
    EXPECT_EQ(facts.collections, 1);
    EXPECT_EQ(facts.outputLengths, (std::map<int, int>{{2, 12}}));
    EXPECT_FALSE(system.hidrawNode(QStringLiteral("hidraw9"), &tree));
}

TEST(KernelHid, ThreeCollectionsOnOneInterfaceAndBadDescriptors)
{
    REQUIRE_UMOCKDEV();
    KernelTestbed bed;
    // The keypad on interface 1 with pen, mouse and vendor collections; a second device
    // (devnum 6 on another port is not needed: node numbers differ) with a descriptor
    // cut inside an item, and one of the kernel's 4096-byte cap filled with junk.
    QByteArray cut = Descriptors::PenMouseVendor().left(40);
    QByteArray oversized(4096, char(0xFE)); // long items that run past the end
    ASSERT_TRUE(
        bed.add(UsbTabletRecord(0x0201, 7, QStringLiteral("Inkora Keys"), QString(),
                                {{1, Descriptors::PenMouseVendor(), 2, {}}, {2, cut, 3, {}}, {3, oversized, 4, {}}})));
    HidrawBackend backend;
    const QVector<HidDeviceInfo> found = backend.enumerate(0x28BD);
    EXPECT_EQ(Texts(found),
              QStringLiteral("vid_28bd&pid_0201&mi_01&col01#hidraw2 vid_28bd&pid_0201&mi_01&col02#hidraw2 "
                             "vid_28bd&pid_0201&mi_01&col03#hidraw2 vid_28bd&pid_0201&mi_02#hidraw3 "
                             "vid_28bd&pid_0201&mi_03#hidraw4"));
}

TEST(KernelHid, OpenWritesPaddedReportsReadsOneReportPerReadAndSurvivesBadReads)
{
    REQUIRE_UMOCKDEV();
    HidrawRig rig;
    HidrawNode node(rig.bed, QStringLiteral("/dev/hidraw1"), VendorReport2());
    // The device answers the mode command and the attribute query.
    const QByteArray mode = Bytes({0x02, 0xB0, 0x04});
    const QByteArray attributes = Bytes({0x02, 0xC0, 0x00, 0x64, 0x00, 0xC8, 0x00, 0xFF, 0x1F, 0x08, 0x00, 0x00});
    node.answer(Bytes({0x02, 0xB0}), {mode});
    node.answer(Bytes({0x02, 0xC0}), {attributes});

    HidrawBackend backend;
    const QVector<HidDeviceInfo> found = backend.enumerate(0x28BD);
    ASSERT_EQ(found.size(), 3);
    std::unique_ptr<HidDevice> device = backend.open(found[2].path);
    ASSERT_TRUE(device);
    EXPECT_EQ(node.opens(), 2); // a reading and a writing handle

    // A 3-byte command reaches the device as its full 12-byte output report.
    EXPECT_EQ(device->write(reinterpret_cast<const uint8_t *>(mode.constData()), 3), 3);
    EXPECT_EQ(device->write(reinterpret_cast<const uint8_t *>("\x02\xC0"), 2), 2);
    ASSERT_TRUE(node.waitWrites(2, 2000));
    EXPECT_EQ(node.writes()[0], mode + QByteArray(9, '\0'));
    EXPECT_EQ(node.writes()[1].size(), 12);

    uint8_t buffer[64];
    ASSERT_EQ(device->readTimeout(buffer, sizeof buffer, 1000), 3);
    EXPECT_EQ(QByteArray(reinterpret_cast<char *>(buffer), 3), mode);
    ASSERT_EQ(device->readTimeout(buffer, sizeof buffer, 1000), attributes.size());

    // Two pen reports queued at once come one per read; a buffer too small cuts one.
    const QByteArray pen = Bytes({0x02, 0xA1, 0x00, 0x40, 0x00, 0x20, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00});
    node.send(pen);
    node.send(pen);
    EXPECT_EQ(device->readTimeout(buffer, sizeof buffer, 1000), 12);
    EXPECT_EQ(device->readTimeout(buffer, 5, 1000), 5);

    // Nothing sent: the read waits its time out and reports nothing (no spin).
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(device->readTimeout(buffer, sizeof buffer, 150), 0);
    EXPECT_GE(clock.elapsed(), 140);

    // A signal, a zero-length read and a short report: nothing for this call, the device
    // stays open; then the node is gone (ENODEV) and stays gone.
    node.failRead(EINTR);
    EXPECT_EQ(device->readTimeout(buffer, sizeof buffer, 1000), 0);
    node.failRead(0);
    EXPECT_EQ(device->readTimeout(buffer, sizeof buffer, 1000), 0);
    node.send(Bytes({0x02}));
    EXPECT_EQ(device->readTimeout(buffer, sizeof buffer, 1000), 1);
    node.failRead(ENODEV);
    EXPECT_EQ(device->readTimeout(buffer, sizeof buffer, 1000), -1);
    node.send(pen);
    EXPECT_EQ(device->readTimeout(buffer, sizeof buffer, 1000), -1);
}

TEST(KernelHid, IndexedStringsComeThroughLibusbControlTransfers)
{
    REQUIRE_UMOCKDEV();
    HidrawRig rig;
    HidrawNode node(rig.bed, QStringLiteral("/dev/hidraw1"), VendorReport2());
    // [bLength][0x03][UTF-16LE]: the firmware version as text, the geometry (string
    // 100) as raw bytes in the same frame.
    const QByteArray firmware = Bytes({14, 0x03, 'V', 0, '1', 0, '.', 0, '0', 0, '7', 0, 0, 0});
    const QByteArray geometry =
        Bytes({14, 0x03, 0x60, 0xEA, 0x50, 0x92, 0x00, 0x00, 0xFF, 0x1F, 0x88, 0x13, 0x01, 0x00});
    UsbNode usb(rig.bed, QStringLiteral("/dev/bus/usb/001/005"), {{5, firmware}, {100, geometry}});

    HidrawBackend backend;
    const QVector<HidDeviceInfo> found = backend.enumerate(0x28BD);
    ASSERT_EQ(found.size(), 3);
    std::unique_ptr<HidDevice> device = backend.open(found[2].path);
    ASSERT_TRUE(device);
    QString text;
    ASSERT_TRUE(device->indexedString(5, &text));
    EXPECT_EQ(text, QStringLiteral("V1.07"));
    uint8_t raw[64] = {};
    ASSERT_EQ(device->indexedStringRaw(100, raw, sizeof raw), 12);
    EXPECT_EQ(QByteArray(reinterpret_cast<char *>(raw), 12), geometry.mid(2));
    EXPECT_FALSE(device->indexedString(200, &text)); // the device stalls: no such string
    EXPECT_EQ(usb.requested(), QVector<int>({0, 5, 0, 100, 0, 200}));
}

TEST(KernelHid, OpenGrabsTheEventNodesAndCarriesOnWhenAnotherProgramHoldsThem)
{
    REQUIRE_UMOCKDEV();
    HidrawRig rig;
    HidrawNode node(rig.bed, QStringLiteral("/dev/hidraw0"), PenAndMouse());
    EvdevNode free(rig.bed, QStringLiteral("/dev/input/event4"));
    EvdevNode held(rig.bed, QStringLiteral("/dev/input/event5"));
    held.holdElsewhere(true);

    HidrawBackend backend;
    const QVector<HidDeviceInfo> found = backend.enumerate(0x28BD);
    ASSERT_EQ(found.size(), 3);
    {
        std::unique_ptr<HidDevice> device = backend.open(found[0].path);
        ASSERT_TRUE(device);
        EXPECT_TRUE(free.grabbed());
        EXPECT_FALSE(held.grabbed());
        // The other program lets go: the next grab (after a resume) takes it.
        held.holdElsewhere(false);
        EXPECT_EQ(device->grabKernelInput(), 2);
        EXPECT_TRUE(held.grabbed());
    }
    // Closing the device releases both.
    EXPECT_FALSE(free.grabbed());
    EXPECT_FALSE(held.grabbed());
}

TEST(KernelHid, TheMonitorReportsPlugAndUnplugFromUdevNotices)
{
    REQUIRE_UMOCKDEV();
    KernelTestbed bed;
    HidrawBackend backend;
    std::unique_ptr<HidMonitor> monitor = backend.createMonitor(0x28BD);
    ASSERT_TRUE(monitor->start());
    QSignalSpy arrived(monitor.get(), &HidMonitor::interfaceArrived);
    QSignalSpy removed(monitor.get(), &HidMonitor::interfaceRemoved);

    const QString record =
        UsbTabletRecord(0x0074, 9, QStringLiteral("Inkora Ring S"), QString(), {{2, Descriptors::VendorOnly(), 6, {}}});
    ASSERT_TRUE(bed.add(record));
    bed.uevent(HidrawSyspath(record, 6), "add");
    ASSERT_TRUE(arrived.wait(3000));
    EXPECT_EQ(arrived.at(0).at(0).value<HidDeviceInfo>().path.section(QLatin1Char('#'), 1, 2),
              QStringLiteral("vid_28bd&pid_0074&mi_02#hidraw6"));

    bed.uevent(HidrawSyspath(record, 6), "remove");
    ASSERT_TRUE(removed.wait(3000));
    EXPECT_EQ(removed.at(0).at(0).value<HidDeviceInfo>().productId, 0x0074);
}

TEST(KernelHid, TheVirtualPenMiceAndTheirEventsGoThroughUinput)
{
    REQUIRE_UMOCKDEV();
    KernelTestbed bed;
    UinputNode uinput(bed);
    UinputVhidBackend backend;
    QVector<VhidDeviceInfo> devices;
    ASSERT_TRUE(backend.enumerate(&devices));
    ASSERT_EQ(devices.size(), 1);
    int error = 0;
    std::unique_ptr<VhidDevice> device = backend.open(devices[0].path, &error);
    ASSERT_TRUE(device) << "errno " << error;

    QVector<UinputNode::Device> made = uinput.devices();
    ASSERT_GE(made.size(), 3);
    const UinputNode::Device pen = made[made.size() - 3];
    EXPECT_EQ(pen.name, QStringLiteral("Inkora Virtual Pen"));
    EXPECT_TRUE(pen.created);
    EXPECT_EQ(pen.vendor, 0x28BD);
    EXPECT_TRUE(pen.keybits.contains(BTN_TOOL_PEN));
    EXPECT_TRUE(pen.propbits.contains(INPUT_PROP_POINTER));
    bool xResolution = false;
    for (const uinput_abs_setup &a : pen.abs)
        xResolution = xResolution || (a.code == ABS_X && a.absinfo.resolution > 0 && a.absinfo.maximum == 32767);
    EXPECT_TRUE(xResolution);
    EXPECT_TRUE(made[made.size() - 1].relbits.contains(REL_WHEEL));

    uint8_t report[kVhidReportLength] = {0x40, 0x0A, 0x05, 0x11, 0x00, 0x40, 0x00, 0x20, 0x00, 0x10};
    ASSERT_TRUE(device->write(report, kVhidReportLength, &error));
    made = uinput.devices();
    int x = -1, pressure = -1, frames = 0;
    bool touch = false, sync = false;
    for (const input_event &e : made[made.size() - 3].events) {
        frames += e.type == EV_SYN ? 1 : 0;
        if (e.type == EV_ABS && e.code == ABS_X)
            x = e.value;
        if (e.type == EV_ABS && e.code == ABS_PRESSURE)
            pressure = e.value;
        if (e.type == EV_KEY && e.code == BTN_TOUCH)
            touch = e.value == 1;
        if (e.type == EV_SYN)
            sync = true;
    }
    EXPECT_EQ(x, 0x4000);
    EXPECT_GT(pressure, 0);
    EXPECT_TRUE(touch);
    EXPECT_TRUE(sync);
    // Each frame (the tool coming in, then the tip down) in one write, SYN_REPORT last.
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(made[made.size() - 3].writes, frames);
    EXPECT_EQ(made[made.size() - 3].events.last().type, EV_SYN);

    device.reset();
    for (const UinputNode::Device &d : uinput.devices())
        EXPECT_TRUE(d.destroyed) << qPrintable(d.name);
}

namespace {

QString Finding(const QVector<CheckLine> &lines, const char *id, const QString &subject = QString())
{
    QStringList found;
    for (const CheckLine &l : lines) {
        if (l.id == QLatin1String(id) && (subject.isEmpty() || l.subject == subject))
            found << CheckLevelText(l.level) + QLatin1Char(' ') + l.text;
    }
    return found.join(QLatin1String(" | "));
}

} // namespace

TEST(KernelHid, TheSystemCheckReportsEachConditionOfTheTestbed)
{
    REQUIRE_UMOCKDEV();
    HidrawRig rig;
    // Interface 2 of a second tablet is bound to a driver of its own.
    HidInterfaceRecord bound{2, VendorReport2(), 8, {}, QStringLiteral("hid-tabletmode")};
    const QString second = UsbTabletRecord(0x0074, 9, QStringLiteral("Inkora Ring S"), QString(), {bound});
    ASSERT_TRUE(rig.bed.add(QString(second).replace(QLatin1String("1-2"), QLatin1String("1-3"))));
    EvdevNode free(rig.bed, QStringLiteral("/dev/input/event4"));
    EvdevNode held(rig.bed, QStringLiteral("/dev/input/event5"));
    held.holdElsewhere(true);

    QTemporaryDir dir;
    SystemCheckPlaces places;
    places.rulesDirs = QStringList{dir.path()};
    places.expectedRules = InstalledRulesTemplate();
    places.uinputPath = QStringLiteral("/dev/uinput"); // not in the testbed: no module
    places.procRoot = dir.path() + QStringLiteral("/proc");
    places.instanceEndpoint = dir.path() + QStringLiteral("/instance");
    places.logPath = dir.path() + QStringLiteral("/log.txt");
    LinuxHidrawSystem system;

    QVector<CheckLine> lines = RunSystemCheck(places, system);
    EXPECT_TRUE(Finding(lines, "udev-rules").startsWith(QLatin1String("FAIL")));
    EXPECT_EQ(Finding(lines, "hidraw-access", QStringLiteral("/dev/hidraw0")),
              QStringLiteral("OK readable and writable"));
    EXPECT_EQ(Finding(lines, "usb-access"),
              QStringLiteral("OK readable (string descriptors) | OK readable (string descriptors) | "
                             "OK readable (string descriptors)"));
    EXPECT_EQ(Finding(lines, "event-grab", QStringLiteral("/dev/input/event4")), QStringLiteral("OK can be grabbed"));
    EXPECT_EQ(Finding(lines, "event-grab", QStringLiteral("/dev/input/event5")),
              QStringLiteral("WARN cannot be grabbed: Device or resource busy"));
    EXPECT_FALSE(free.grabbed()); // the check lets go again
    EXPECT_TRUE(Finding(lines, "kernel-driver", QStringLiteral("0003:28BD:0074.0001"))
                    .startsWith(QLatin1String("WARN bound to the kernel driver hid-tabletmode")));
    EXPECT_EQ(Finding(lines, "kernel-driver", QStringLiteral("0003:28BD:0935.0002")),
              QStringLiteral("OK bound to hid-generic"));
    EXPECT_EQ(Finding(lines, "tablets"), QStringLiteral("OK 3 interface(s) of the maker found"));
    EXPECT_TRUE(Finding(lines, "uinput").startsWith(QLatin1String("FAIL missing")));
    EXPECT_EQ(Finding(lines, "inkora-running"), QStringLiteral("WARN not running"));
    EXPECT_TRUE(AnyCheckFailed(lines));

    // Rules current or stale, /dev/uinput there, Inkora running, warnings in its log,
    // another program holding the hidraw node.
    QFile rules(dir.path() + QStringLiteral("/70-inkora.rules"));
    ASSERT_TRUE(rules.open(QIODevice::WriteOnly));
    rules.write("# comments differ\n" + InstalledRulesTemplate());
    rules.close();
    UinputNode uinput(rig.bed);
    QLocalServer inkora;
    ASSERT_TRUE(inkora.listen(places.instanceEndpoint));
    QFile log(places.logPath);
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    for (int i = 0; i < 7; ++i)
        log.write(QStringLiteral("DateTime:x Warning:hidraw: cannot open /dev/hidraw%1\nDateTime:x Info:fine\n")
                      .arg(i)
                      .toUtf8());
    log.close();
    ASSERT_TRUE(QDir().mkpath(places.procRoot + QStringLiteral("/4242/fd")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/hidraw0"), places.procRoot + QStringLiteral("/4242/fd/7")));
    QFile comm(places.procRoot + QStringLiteral("/4242/comm"));
    ASSERT_TRUE(comm.open(QIODevice::WriteOnly));
    comm.write("othertablet\n");
    comm.close();

    lines = RunSystemCheck(places, system);
    EXPECT_TRUE(Finding(lines, "udev-rules").startsWith(QLatin1String("OK installed and current")));
    EXPECT_EQ(Finding(lines, "uinput"), QStringLiteral("OK present and writable"));
    EXPECT_EQ(Finding(lines, "inkora-running"), QStringLiteral("OK running"));
    const QString warnings = Finding(lines, "log-warnings");
    EXPECT_TRUE(warnings.startsWith(QLatin1String("WARN last warnings")));
    EXPECT_EQ(warnings.count(QLatin1String("Warning:")), 5);
    EXPECT_TRUE(warnings.contains(QLatin1String("/dev/hidraw6")));
    EXPECT_EQ(Finding(lines, "node-holders", QStringLiteral("/dev/hidraw0")),
              QStringLiteral("WARN also open in 4242 (othertablet)"));
    EXPECT_FALSE(AnyCheckFailed(lines));

    ASSERT_TRUE(rules.open(QIODevice::Append));
    rules.write("KERNEL==\"hidraw*\", MODE=\"0666\"\n");
    rules.close();
    EXPECT_TRUE(
        Finding(RunSystemCheck(places, system), "udev-rules").startsWith(QLatin1String("WARN installed, but not")));
}

// The command as a user without access runs it: EACCES on the hidraw, USB and uinput nodes
// (root opens anything, so the run drops to nobody), a failure, exit status 1.
TEST(KernelHid, DoctorNamesTheFixForNodesTheUserCannotOpen)
{
    REQUIRE_UMOCKDEV();
    KernelTestbed bed;
    ASSERT_TRUE(bed.add(UsbTabletRecord(0x0935, 5, QStringLiteral("Inkora Pad M"), QStringLiteral("SN0935"),
                                        {{2, VendorReport2(), 1, {}}})));
    UinputNode uinput(bed);
    QStringList command{QString::fromLocal8Bit(qgetenv("INKORA_BIN_DIR")) + QStringLiteral("/inkora-hidtool"),
                        QStringLiteral("doctor"), QStringLiteral("--json")};
    if (!QFileInfo(command[0]).isExecutable())
        GTEST_SKIP() << "inkora-hidtool is not built (INKORA_BIN_DIR)";
    if (::geteuid() == 0) {
        QFile::setPermissions(bed.root(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                  | QFileDevice::ReadOther | QFileDevice::ExeOther);
        // The preload reaches the testbed's ioctl sockets on every device open.
        QDirIterator sockets(bed.root() + QStringLiteral("/ioctl"),
                             QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (sockets.hasNext())
            ::chmod(QFile::encodeName(sockets.next()).constData(), 0777);
        command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                              QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups"), QStringLiteral("--")}
            + command;
    } else {
        QFile::setPermissions(bed.root() + QStringLiteral("/dev/bus/usb/001/005"), {});
        QFile::setPermissions(QFile::symLinkTarget(bed.root() + QStringLiteral("/dev/hidraw1")), {});
        QFile::setPermissions(QFile::symLinkTarget(bed.root() + QStringLiteral("/dev/uinput")), {});
    }
    QProcess doctor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QStringLiteral("/nonexistent"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    doctor.setProcessEnvironment(env);
    doctor.start(command.takeFirst(), command);
    ASSERT_TRUE(doctor.waitForFinished(20000));
    EXPECT_EQ(doctor.exitCode(), 1);
    const QByteArray output = doctor.readAllStandardOutput();
    const QJsonArray checks = QJsonDocument::fromJson(output).object().value(QStringLiteral("checks")).toArray();
    QStringList seen;
    for (const QJsonValue &c : checks) {
        const QJsonObject o = c.toObject();
        const QString id = o.value(QStringLiteral("id")).toString();
        if (id.endsWith(QLatin1String("-access")) || id == QLatin1String("uinput"))
            seen << o.value(QStringLiteral("level")).toString() + QLatin1Char(' ')
                    + o.value(QStringLiteral("text")).toString() + QLatin1Char(' ')
                    + QString::number(o.value(QStringLiteral("fix")).toString().contains(QLatin1String("udev rules")));
    }
    EXPECT_EQ(
        seen,
        QStringList({QStringLiteral("FAIL cannot be opened: Permission denied 1"),
                     QStringLiteral("WARN cannot be opened: Permission denied; the firmware strings cannot be read 1"),
                     QStringLiteral("FAIL cannot be opened: Permission denied 1")}))
        << output.constData() << doctor.readAllStandardError().constData();
}
