// The real Inkora on emulated kernel devices (umockdev): a tablet found through udev,
// opened on its hidraw node, its strings read through libusb, its pen
// reaching the virtual pen made through /dev/uinput; unplugged mid-stroke and plugged
// back in. The device side is the simulated tablet, answering through the nodes.

#include "inkorarun.h"
#include "xvfbserver.h"

#include "sim/simmodel.h"
#include "sim/simtablet.h"
#include "tests/support/kerneltestbed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <iostream>
#include <thread>

namespace {

// The vendor interface with 64-byte reports (the id included) both ways.
QByteArray Vendor64()
{
    const unsigned char d[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x09, 0x01, 0x15, 0x00, 0x26,
                               0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0};
    return QByteArray(reinterpret_cast<const char *>(d), sizeof d);
}

// A simulated tablet behind the emulated nodes: what Inkora writes reaches it, what it
// sends is handed to the hidraw node by a pump thread, its strings answer on usbdevfs.
class EmulatedTablet {
public:
    EmulatedTablet(KernelTestbed &bed, const SimModel &model, const QString &hidraw, const QString &usb)
        : sim(model), node(bed, hidraw, Vendor64()), strings(bed, usb, Strings(sim))
    {
        node.forwardWrites(
            [this](const QByteArray &b) { sim.write(reinterpret_cast<const uint8_t *>(b.constData()), b.size()); });
        m_pump = std::thread([this] {
            uint8_t report[64];
            while (!m_stop) {
                const int n = sim.read(report, sizeof report, 20);
                if (n > 0 && m_forwarding)
                    node.send(QByteArray(reinterpret_cast<const char *>(report), n));
            }
        });
    }
    ~EmulatedTablet()
    {
        m_stop = true;
        m_pump.join();
    }
    // Reports stop reaching the node (the device is gone); the read fails as hidraw's does.
    void pull(bool gone)
    {
        m_forwarding = !gone;
        if (gone)
            node.failRead(ENODEV);
    }

    SimTablet sim;
    HidrawNode node;
    UsbNode strings;

private:
    static QMap<int, QByteArray> Strings(const SimTablet &sim)
    {
        QMap<int, QByteArray> map;
        for (int i = 1; i < 256; ++i) {
            uint8_t payload[253];
            const int n = sim.rawStringDescriptor(i, payload, sizeof payload);
            if (n >= 0)
                map[i] = QByteArray(1, char(2 + n)) + char(0x03) + QByteArray(reinterpret_cast<char *>(payload), n);
        }
        return map;
    }
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_forwarding{true};
    std::thread m_pump;
};

struct PenSeen {
    int x = -1, pressure = -1;
    bool touching = false, inProximity = false;
    int pressed = 0; // pressure changes to a value above 0
};

PenSeen Pen(UinputNode &uinput)
{
    PenSeen seen;
    for (const UinputNode::Device &d : uinput.devices()) {
        if (d.name != QLatin1String("Inkora Virtual Pen"))
            continue;
        for (const input_event &e : d.events) {
            if (e.type == EV_ABS && e.code == ABS_X)
                seen.x = e.value;
            if (e.type == EV_ABS && e.code == ABS_PRESSURE) {
                seen.pressure = e.value;
                seen.pressed += e.value > 0;
            }
            if (e.type == EV_KEY && e.code == BTN_TOUCH)
                seen.touching = e.value;
            if (e.type == EV_KEY && e.code == BTN_TOOL_PEN)
                seen.inProximity = e.value;
        }
    }
    return seen;
}

// Xvfb, a testbed with the tablet at 1-2 (interface 2 as given) and Inkora on both.
class KernelScenario : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!UmockdevReady(&why))
            GTEST_SKIP() << qPrintable(why);
        if (!m_xvfb.installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
        ASSERT_TRUE(m_xvfb.Start(QStringLiteral("1920x1080"), &why)) << why.toStdString();
        ASSERT_TRUE(m_run.Prepare(&why)) << why.toStdString();
    }

    void Plug(const HidInterfaceRecord &interface)
    {
        m_record = UsbTabletRecord(0x0935, 5, QStringLiteral("Inkora Pad M"), QStringLiteral("SN0935"), {interface});
        ASSERT_TRUE(m_bed.add(m_record));
        m_tablet = std::make_unique<EmulatedTablet>(m_bed, *SimModels::find(0x0935), QStringLiteral("/dev/hidraw1"),
                                                    QStringLiteral("/dev/bus/usb/001/005"));
    }

    QProcess *Start()
    {
        m_run.SetDisplay(m_xvfb.display());
        m_run.SetEnvironment(QStringLiteral("LD_PRELOAD"), QString::fromLocal8Bit(qgetenv("LD_PRELOAD")));
        m_run.SetEnvironment(QStringLiteral("UMOCKDEV_DIR"), m_bed.root());
        return m_run.Start({QStringLiteral("/mini")});
    }

    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "--- log of the program ---\n" << m_run.Log().constData() << m_run.Output().constData();
    }

    // Destroyed bottom up: the program goes first, then the nodes it had open.
    XvfbServer m_xvfb;
    KernelTestbed m_bed;
    QString m_record;
    std::unique_ptr<EmulatedTablet> m_tablet;
    std::unique_ptr<UinputNode> m_uinput;
    std::unique_ptr<EvdevNode> m_event;
    InkoraRun m_run;
};

} // namespace

TEST_F(KernelScenario, ATabletFoundOpenedDrawnUnpluggedMidStrokeAndPluggedBack)
{
    m_uinput = std::make_unique<UinputNode>(m_bed);
    UinputNode &uinput = *m_uinput;
    Plug({2, Vendor64(), 1, {3}});
    m_event = std::make_unique<EvdevNode>(m_bed, QStringLiteral("/dev/input/event3"));
    m_event->holdElsewhere(true); // another program has the kernel's node: Inkora carries on
    EmulatedTablet &tablet = *m_tablet;
    KernelTestbed &bed = m_bed;
    InkoraRun &run = m_run;

    ASSERT_TRUE(Start());

    // Found and opened: identity from the USB strings, the tablet put in its mode.
    ASSERT_TRUE(run.WaitForLog("EnmuTabeltDevice:"));
    EXPECT_TRUE(run.WaitForLog("Get Max X:0xaf00 Y:0x73a0"));
    EXPECT_TRUE(run.WaitForLog("EVIOCGRAB failed on /dev/input/event3 : Device or resource busy"));
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return tablet.sim.mode() != 0; }));
    ASSERT_TRUE(run.WaitForLog("Tablet connected in slot 0"));
    ASSERT_TRUE(run.WaitForLog("power:")); // made after the udev monitor listens

    // A stroke across the middle reaches the virtual pen, mapped onto the whole desktop.
    tablet.sim.queueStroke(22400, 14800, 22400, 14800, 4, 4000, 5);
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return Pen(uinput).pressed >= 1 && !Pen(uinput).inProximity; }));
    EXPECT_NEAR(Pen(uinput).x, 16384, 330);

    // Unplugged with the tip down: the pen is lifted and leaves, nothing stays pressed.
    SimPenSample down;
    down.x = 10000;
    down.y = 10000;
    down.pressure = 3000;
    down.buttons = 0x01;
    tablet.sim.queuePen(down);
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return Pen(uinput).touching; }));
    const QString hidraw = HidrawSyspath(m_record, 1);
    tablet.pull(true);
    bed.uevent(hidraw, "remove");
    ASSERT_TRUE(run.WaitForLog("disconnected"));
    EXPECT_TRUE(InkoraRun::WaitFor([&] { return !Pen(uinput).touching && !Pen(uinput).inProximity; }));

    // Plugged back in: opened again (two more handles), and the pen draws again.
    const int opens = tablet.node.opens();
    tablet.pull(false);
    bed.uevent(hidraw, "add");
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return tablet.node.opens() >= opens + 2; }));
    const int before = Pen(uinput).pressed;
    ASSERT_TRUE(InkoraRun::WaitFor([&] {
        if (tablet.sim.pendingReports() == 0)
            tablet.sim.queueStroke(5000, 5000, 6000, 6000, 3, 2000, 5);
        return Pen(uinput).pressed > before;
    }));
}

// Each fault once: no /dev/uinput, a kernel driver of its own bound to the tablet, a
// device that answers no command. Each is told in the log with its fix; the tablet is
// still taken, its removal noticed, and the program keeps running.
// Each fault once: no /dev/uinput, a kernel driver of its own bound to the tablet, a
// device that answers no command. Each is told in the log with its fix; the tablet is
// still taken, its removal noticed, and the program keeps running.
TEST_F(KernelScenario, FaultsAreToldWithTheirFixAndNothingHangs)
{
    // No uinput node: the module is not loaded.
    Plug({2, Vendor64(), 1, {}, QStringLiteral("hid-tabletmode")});
    m_tablet->sim.setAnswering(false);
    QProcess *inkora = Start();
    ASSERT_TRUE(inkora);

    EXPECT_TRUE(m_run.WaitForLog("uinput: /dev/uinput is missing: load the uinput module (sudo modprobe uinput)"));
    EXPECT_TRUE(m_run.WaitForLog("hidraw: hidraw1 is bound to the kernel driver hid-tabletmode"));
    ASSERT_TRUE(m_run.WaitForLog("Tablet connected in slot 0"));
    ASSERT_TRUE(m_run.WaitForLog("power:")); // made after the udev monitor listens

    m_tablet->pull(true);
    m_bed.uevent(HidrawSyspath(m_record, 1), "remove");
    EXPECT_TRUE(m_run.WaitForLog("disconnected"));
    EXPECT_EQ(inkora->state(), QProcess::Running);
}
