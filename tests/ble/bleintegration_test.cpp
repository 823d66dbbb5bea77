// A Bluetooth tablet end to end: discovery finds its HID node, CBleTablet opens it
// through libInkBLE and the mock BlueZ, its reports reach the decoder and its commands
// the mock, and closing or dropping the connection ends cleanly. Also: without the
// library the program goes on with its USB tablets.

#include "bletestenv.h"
#include "action/caction.h"

#include "device/cbletablet.h"
#include "device/ctablet.h"
#include "device/tabletdiscovery.h"
#include "sim/simhidbackend.h"
#include "tests/device/logcapture.h"

#include <QLibrary>
#include <QStandardPaths>
#include <QSignalSpy>
#include <QTest>

namespace {

class BleDiscovery : public BleTestEnv {
protected:
    void SetUp() override
    {
        BleTestEnv::SetUp();
        auto usb = std::make_unique<SimHidBackend>();
        m_usb = usb.get();
        m_backend = std::make_unique<SimBleHidBackend>(std::move(usb));
    }

    // Connected to the library the tablets load, for looking at its state.
    int32_t LibraryName(char *buffer, int32_t size)
    {
        QLibrary lib(Library());
        auto getName = reinterpret_cast<int32_t (*)(char *, int32_t)>(lib.resolve("bleGetBTName"));
        return getName ? getName(buffer, size) : -999;
    }

    SimHidBackend *m_usb = nullptr;
    std::unique_ptr<SimBleHidBackend> m_backend;
};

TEST_F(BleDiscovery, ReportsAndCommandsFlowUntilTheConnectionDrops)
{
    // A tablet an earlier run left on the bus at the same address gives way.
    auto earlier = m_backend->plug(*SimBleModels::find(0x0801), QStringLiteral("Inkora Air S"),
                                   QStringLiteral("C0:FF:EE:01:02:03"));
    ASSERT_TRUE(earlier);
    m_backend->unplug(earlier);
    earlier.reset();
    auto ble = m_backend->plug(*SimBleModels::find(0x0801), QStringLiteral("Inkora Air S"),
                               QStringLiteral("C0:FF:EE:01:02:03"));
    ASSERT_TRUE(ble);
    TabletDiscovery discovery(m_backend.get(), m_names.get());
    discovery.SetTabletSetup(&AttachActionEngine);
    discovery.SetBleLibraryPath(Library());
    QSignalSpy records(&discovery, &TabletDiscovery::UsageRecord);
    ASSERT_TRUE(discovery.EnmuTabeltDevice());
    ASSERT_EQ(discovery.tabletCount(), 1);
    CTablet *tablet = TabletTable::At(0);
    ASSERT_NE(tablet, nullptr);
    EXPECT_EQ(tablet->isBle, 1);
    EXPECT_EQ(tablet->m_DeviceAttributes.DeviceKind, 1);
    EXPECT_TRUE(discovery.deviceList().contains(QStringLiteral("Inkora Air S")));
    ASSERT_GE(records.count(), 1);
    EXPECT_EQ(records.last().at(0).toString(), QStringLiteral("BleTabletConnect"));

    // Reports, on the library's event thread, through the decoder and the engine.
    tablet->emitToUi = 1;
    QObject receiver;
    QVector<MultiData> results;
    QVector<int> messages;
    QObject::connect(tablet, &CTablet::SentMultiData, &receiver, [&](CTablet *, MultiData m) { results << m; },
                     Qt::QueuedConnection);
    QObject::connect(tablet, qOverload<int, int, int>(&CTablet::PostActionMsg), &receiver,
                     [&](int, int id, int) { messages << id; }, Qt::QueuedConnection);
    ble->tablet().queueStroke(1000, 1000, 20000, 15000, 10, 3000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return results.size() >= 13; }, 10000)) << results.size();
    EXPECT_TRUE(results.last().flags & PacketPen);

    // A command to the tablet and its answer: the battery level.
    tablet->SentCmd(4, 0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.contains(88); }, 5000));
    EXPECT_EQ(tablet->batteryLevel.load(), 80);
    EXPECT_EQ(m_mock->writes(ble->characteristics()[0]).last(), QByteArray::fromHex("02b80400000000000000"));

    // The tablet is switched off: the library's watch closes the connection by itself.
    char name[32];
    EXPECT_EQ(LibraryName(name, sizeof name), 0);
    ASSERT_TRUE(ble->setConnected(false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return LibraryName(name, sizeof name) == -102; }, 10000));
    // Its HID node leaves too; the slot empties and nothing hangs.
    LogCapture log;
    discovery.DeviceRemoved(ble->interfaceInfo().path);
    EXPECT_EQ(discovery.tabletCount(), 0);
    EXPECT_TRUE(discovery.deviceList().isEmpty());
    EXPECT_EQ(records.last().at(0).toString(), QStringLiteral("BleTabletDisconnect"));
}

TEST_F(BleDiscovery, OneBluetoothTabletAtATimeAndUsbTabletsStillOpen)
{
    auto first = m_backend->plug(*SimBleModels::find(0x0801), QStringLiteral("Inkora Air S"),
                                 QStringLiteral("C0:FF:EE:01:00:01"));
    auto second = m_backend->plug(*SimBleModels::find(0x0804), QStringLiteral("Inkora Air Ring"),
                                  QStringLiteral("C0:FF:EE:01:00:02"));
    ASSERT_TRUE(first && second);
    TabletDiscovery discovery(m_backend.get(), m_names.get());
    discovery.SetBleLibraryPath(Library());
    ASSERT_TRUE(discovery.EnmuTabeltDevice());
    EXPECT_EQ(discovery.tabletCount(), 1);
    EXPECT_TRUE(second->tablet().commands().isEmpty()) << "the second Bluetooth tablet is never opened";
    EXPECT_TRUE(m_mock->writes(second->characteristics()[0]).isEmpty());

    // Refused again on arrival; a USB tablet that arrives is opened beside the first.
    discovery.DeviceArrived(second->interfaceInfo().path);
    EXPECT_EQ(discovery.tabletCount(), 1);
    auto usb = m_usb->plug(*SimModels::find(0x0935));
    discovery.DeviceArrived(SimHidBackend::interfacePath(*usb));
    EXPECT_EQ(discovery.tabletCount(), 2);

    // Closing at the end sends nothing more and leaves the library closed.
    const int written = m_mock->writes(first->characteristics()[0]).size();
    discovery.DeviceRemoved(first->interfaceInfo().path);
    EXPECT_EQ(discovery.tabletCount(), 1);
    char name[32];
    EXPECT_EQ(LibraryName(name, sizeof name), -102);
    EXPECT_EQ(m_mock->writes(first->characteristics()[0]).size(), written);
    EXPECT_FALSE(m_mock->isNotifying(first->characteristics()[1]));
}

TEST_F(BleDiscovery, WithoutTheLibraryUsbTabletsWork)
{
    auto ble = m_backend->plug(*SimBleModels::find(0x0801), QStringLiteral("Inkora Air S"),
                               QStringLiteral("C0:FF:EE:01:00:09"));
    ASSERT_TRUE(ble);
    auto usb = m_usb->plug(*SimModels::find(0x0935));
    TabletDiscovery discovery(m_backend.get(), m_names.get());
    discovery.SetBleLibraryPath(QStringLiteral("/nonexistent/libInkBLE"));
    LogCapture log;
    ASSERT_TRUE(discovery.EnmuTabeltDevice());
    EXPECT_EQ(discovery.tabletCount(), 1);
    ASSERT_NE(TabletTable::At(0), nullptr);
    EXPECT_EQ(TabletTable::At(0)->isBle, 0);
    EXPECT_EQ(usb->mode(), 4);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("delete 0228bd_pid: ") + ble->interfaceInfo().path));
    EXPECT_TRUE(ble->tablet().commands().isEmpty());
}

// Without a BlueZ on the system bus the simulated Bluetooth tablets bring a stand-in of
// their own (as `Inkora --simulate` does): the tablet opens through the library and its
// reports arrive; the bus address is put back afterwards.
class BleStandIn : public UsbTestEnv {};

TEST_F(BleStandIn, SimulatedTabletsRunWithoutASystemBluez)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus)";
    const QByteArray before = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    const QByteArray nowhere = "unix:path=/nonexistent/system_bus_socket";
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", nowhere);
    {
        std::unique_ptr<HidBackend> hid =
            AddSimulatedBluetooth(std::make_unique<SimHidBackend>(), {SimBleModels::find(0x0801)});
        auto *ble = dynamic_cast<SimBleHidBackend *>(hid.get());
        ASSERT_NE(ble, nullptr);
        ASSERT_EQ(ble->tablets().size(), 1);
        TabletDiscovery discovery(hid.get(), m_names.get());
        discovery.SetBleLibraryPath(qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/libInkBLE"));
        ASSERT_TRUE(discovery.EnmuTabeltDevice());
        ASSERT_EQ(discovery.tabletCount(), 1);
        CTablet *tablet = TabletTable::At(0);
        ASSERT_NE(tablet, nullptr);
        EXPECT_EQ(tablet->isBle, 1);
        ble->tablets().first()->tablet().queueBattery(42, false);
        EXPECT_TRUE(QTest::qWaitFor([&] { return tablet->batteryLevel.load() == 42; }, 5000));
    }
    EXPECT_EQ(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"), nowhere);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", before);
}

} // namespace
