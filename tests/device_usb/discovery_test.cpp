// Discovery and hot-plug on the simulated backend: slots, arrivals, removals, resume.
#include "usbtestenv.h"

#include "device/ctablet.h"
#include "device/tabletdiscovery.h"
#include "platform/hid/hidmonitor.h"
#include "sim/simhidbackend.h"

#include <QSignalSpy>

namespace {

class Discovery : public UsbTestEnv {
protected:
    SimHidBackend m_backend;
};

int Modes(const SimTablet &sim)
{
    int n = 0;
    for (const QByteArray &c : sim.commands())
        n += c.startsWith(QByteArray::fromHex("02b0")) ? 1 : 0;
    return n;
}

} // namespace

TEST_F(Discovery, FillsFiveSlotsAndTheSixthWaitsForAFreeOne)
{
    QVector<std::shared_ptr<SimTablet>> sims;
    for (int i = 0; i < 6; ++i)
        sims << m_backend.plug(*SimModels::find(i % 2 ? 0x0935 : 0x0074));
    TabletDiscovery discovery(&m_backend, m_names.get());
    QSignalSpy connected(&discovery, &TabletDiscovery::TabletConnected);
    QSignalSpy waiting(&discovery, &TabletDiscovery::TabletWaiting);
    EXPECT_TRUE(discovery.EnmuTabeltDevice());
    EXPECT_EQ(discovery.tabletCount(), 5);
    EXPECT_EQ(connected.count(), 5);
    for (int slot = 0; slot < 5; ++slot)
        EXPECT_EQ(TabletTable::At(slot)->tabletIndex, slot);
    // the sixth was never opened
    EXPECT_TRUE(sims[5]->commands().isEmpty());

    EXPECT_EQ(waiting.count(), 1);

    // an arrival while every slot is taken waits as well
    auto late = m_backend.plug(*SimModels::find(0x0935));
    discovery.DeviceArrived(SimHidBackend::interfacePath(*late));
    EXPECT_EQ(discovery.tabletCount(), 5);
    EXPECT_TRUE(late->commands().isEmpty());
    EXPECT_EQ(discovery.waitingTablets(),
              (QStringList{SimHidBackend::interfacePath(*sims[5]), SimHidBackend::interfacePath(*late)}));

    // a freed slot opens the first waiting tablet in it; one that leaves while waiting
    // is forgotten
    const QString first = SimHidBackend::interfacePath(*sims[0]);
    m_backend.unplug(sims[0]);
    discovery.DeviceRemoved(first);
    EXPECT_EQ(discovery.tabletCount(), 5);
    EXPECT_FALSE(sims[5]->commands().isEmpty());
    ASSERT_NE(TabletTable::At(0), nullptr);
    EXPECT_EQ(QString::fromLocal8Bit(TabletTable::At(0)->m_DeviceAttributes.DevicePath),
              SimHidBackend::interfacePath(*sims[5]));
    discovery.DeviceRemoved(SimHidBackend::interfacePath(*late));
    EXPECT_TRUE(discovery.waitingTablets().isEmpty());
}

TEST_F(Discovery, RemovingOneOfTwoKeepsTheOtherInItsSlot)
{
    auto a = m_backend.plug(*SimModels::find(0x0935));
    auto b = m_backend.plug(*SimModels::find(0x0933));
    TabletDiscovery discovery(&m_backend, m_names.get());
    ASSERT_TRUE(discovery.EnmuTabeltDevice());
    ASSERT_EQ(discovery.deviceList().size(), 2);
    CTablet *second = TabletTable::At(1);
    ASSERT_NE(second, nullptr);

    QSignalSpy none(&discovery, &TabletDiscovery::NoTabletLeft);
    QSignalSpy usage(&discovery, &TabletDiscovery::UsageRecord);
    const QString path = SimHidBackend::interfacePath(*a);
    m_backend.unplug(a);
    discovery.DeviceRemoved(path.toUpper()); // the removal text may differ in case
    EXPECT_EQ(TabletTable::At(0), nullptr);
    EXPECT_EQ(TabletTable::At(1), second);
    EXPECT_EQ(second->tabletIndex, 1);
    EXPECT_EQ(discovery.deviceList().size(), 1);
    EXPECT_EQ(none.count(), 0);
    ASSERT_EQ(usage.count(), 1);
    EXPECT_EQ(usage.first().at(0).toString(), QStringLiteral("UsbTabletDisconnect"));

    // the freed slot takes the next arrival
    auto c = m_backend.plug(*SimModels::find(0x0074));
    discovery.DeviceArrived(SimHidBackend::interfacePath(*c));
    ASSERT_NE(TabletTable::At(0), nullptr);
    EXPECT_EQ(TabletTable::At(0)->productId, 0x0074);

    discovery.DeviceRemoved(SimHidBackend::interfacePath(*b));
    discovery.DeviceRemoved(SimHidBackend::interfacePath(*c));
    EXPECT_EQ(none.count(), 1);
    EXPECT_EQ(discovery.tabletCount(), 0);
}

TEST_F(Discovery, ResumeSendsEveryUsbTabletItsModeAgain)
{
    auto a = m_backend.plug(*SimModels::find(0x0935));
    auto b = m_backend.plug(*SimModels::find(0x0201));
    TabletDiscovery discovery(&m_backend, m_names.get());
    ASSERT_TRUE(discovery.EnmuTabeltDevice());
    const int before = Modes(*a);
    const int keypadBefore = b->commands().size();
    discovery.Resume();
    EXPECT_EQ(Modes(*a), before + 1);
    EXPECT_EQ(a->mode(), 4);
    // the keypad takes its own form of the mode command
    ASSERT_EQ(b->commands().size(), keypadBefore + 1);
    EXPECT_EQ(b->commands().last().left(3), QByteArray::fromHex("030102"));
}

TEST_F(Discovery, KernelInterfacesAndUnknownProductsAreSkipped)
{
    SimModel unknown = *SimModels::find(0x0935);
    unknown.productId = 0x7777;
    auto stranger = m_backend.plug(unknown);
    TabletDiscovery discovery(&m_backend, m_names.get());
    EXPECT_FALSE(discovery.EnmuTabeltDevice());
    EXPECT_TRUE(stranger->commands().isEmpty());

    // a repeated arrival of a held interface opens nothing twice
    auto pad = m_backend.plug(*SimModels::find(0x0935));
    discovery.DeviceArrived(SimHidBackend::interfacePath(*pad));
    discovery.DeviceArrived(SimHidBackend::interfacePath(*pad));
    EXPECT_EQ(discovery.tabletCount(), 1);
}

TEST_F(Discovery, MonitorNoticesDriveArrivalAndRemoval)
{
    TabletDiscovery discovery(&m_backend, m_names.get());
    std::unique_ptr<HidMonitor> monitor = m_backend.createMonitor(0x28BD);
    QObject::connect(monitor.get(), &HidMonitor::interfaceArrived, &discovery,
                     [&](const HidDeviceInfo &info) { discovery.DeviceArrived(info.path); });
    QObject::connect(monitor.get(), &HidMonitor::interfaceRemoved, &discovery,
                     [&](const HidDeviceInfo &info) { discovery.DeviceRemoved(info.path); });
    ASSERT_TRUE(monitor->start());
    QSignalSpy connected(&discovery, &TabletDiscovery::TabletConnected);
    QSignalSpy none(&discovery, &TabletDiscovery::NoTabletLeft);
    auto pad = m_backend.plug(*SimModels::find(0x0933));
    ASSERT_TRUE(connected.wait(5000));
    EXPECT_EQ(discovery.tabletCount(), 1);
    m_backend.unplug(pad);
    ASSERT_TRUE(none.wait(5000));
    EXPECT_EQ(discovery.tabletCount(), 0);
}

TEST(TabletSlots, OnlyOneBluetoothTabletWhereverItSits)
{
    TabletTable::ClearAll();
    CTablet usb(0), ble(1);
    ble.isBle = 1;
    TabletTable::Set(1, &ble);
    EXPECT_EQ(TabletTable::GetEmptyTabletArray(false), 0);
    // slot 0 is empty, but a Bluetooth tablet is already connected in slot 1
    EXPECT_EQ(TabletTable::GetEmptyTabletArray(true), -1);
    TabletTable::Set(0, &usb);
    EXPECT_EQ(TabletTable::GetEmptyTabletArray(false), 2);
    TabletTable::ClearAll();
}
