// Arrival and removal notices: the presence record behind the udev monitor, and the
// simulated backend's monitor.
#include "platform/hid/hidmonitor.h"
#include "platform/hid/linux/hidrawmonitor.h"

#include "sim/simhidbackend.h"
#include "sim/simmodel.h"
#include "tests/platform_hid/fakehidrawsystem.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

namespace {

HidrawFacts Facts(const HidrawTree &tree)
{
    HidrawFacts f;
    QString why;
    EXPECT_TRUE(ParseHidrawTree(tree, &f, &why));
    return f;
}

QStringList Paths(const QVector<HidDeviceInfo> &list)
{
    QStringList paths;
    for (const HidDeviceInfo &i : list)
        paths << i.path;
    return paths;
}

QStringList SpiedPaths(const QSignalSpy &spy)
{
    QStringList paths;
    for (const QList<QVariant> &args : spy)
        paths << args.at(0).value<HidDeviceInfo>().path;
    return paths;
}

// Waits until the spy holds n signals (notices come one event each).
bool WaitFor(QSignalSpy &spy, int n)
{
    while (spy.size() < n) {
        if (!spy.wait(5000))
            return false;
    }
    QCoreApplication::processEvents(); // anything queued behind them lands too
    return true;
}

} // namespace

TEST(HidrawPresence, RemovalReportsTheTextsKeptAtArrivalOrAtStart)
{
    const HidrawFacts before = Facts(UsbTabletTree(QStringLiteral("hidraw3"), 0x0935, Descriptors::PenMouseVendor()));
    const HidrawFacts later = Facts(UsbTabletTree(QStringLiteral("hidraw4"), 0x0074));
    HidrawPresence presence(0x28BD);

    // A tablet present when watching starts leaves later: its removal is still reported,
    // with the texts enumeration gave (the udev tree is gone by then).
    presence.reset({before});
    EXPECT_EQ(Paths(presence.remove(before.syspath)), Paths(BuildInterfaceTexts(before)));
    EXPECT_TRUE(presence.remove(before.syspath).isEmpty()) << "reported once";

    EXPECT_EQ(Paths(presence.add(later)), Paths(BuildInterfaceTexts(later)));
    EXPECT_TRUE(presence.add(later).isEmpty()) << "a repeated add is no second arrival";
    EXPECT_EQ(presence.remove(later.syspath).size(), 1);
    EXPECT_TRUE(presence.remove(QStringLiteral("/sys/devices/never/seen")).isEmpty());

    // Other vendors are neither reported nor kept.
    HidrawTree mouse = UsbTabletTree(QStringLiteral("hidraw0"));
    mouse.hidId = QStringLiteral("0003:0000046D:0000C52B");
    EXPECT_TRUE(presence.add(Facts(mouse)).isEmpty());
    EXPECT_TRUE(presence.remove(mouse.syspath).isEmpty());
}

TEST(SimHidMonitor, PlugAndUnplugArriveAndLeaveWithTheEnumeratedTexts)
{
    SimHidBackend backend;
    std::unique_ptr<HidMonitor> monitor = backend.createMonitor(0x28BD);
    QSignalSpy arrived(monitor.get(), &HidMonitor::interfaceArrived);
    QSignalSpy removed(monitor.get(), &HidMonitor::interfaceRemoved);

    // Nothing is reported before start.
    auto early = backend.plug(*SimModels::find(0x0074));
    ASSERT_TRUE(monitor->start());
    auto tablet = backend.plug(*SimModels::find(0x0935));
    const QStringList enumerated = Paths(backend.enumerate(0x28BD)).mid(2); // the second tablet's
    ASSERT_TRUE(WaitFor(arrived, 2));
    EXPECT_EQ(SpiedPaths(arrived), enumerated);
    EXPECT_EQ(SpiedPaths(arrived).last(), SimHidBackend::interfacePath(*tablet));

    backend.unplug(tablet);
    ASSERT_TRUE(WaitFor(removed, 2));
    EXPECT_EQ(SpiedPaths(removed), enumerated);
    // Unplugging again is no second removal.
    backend.unplug(tablet);
    backend.unplug(early);
    ASSERT_TRUE(WaitFor(removed, 4));
    EXPECT_EQ(removed.size(), 4);
    EXPECT_EQ(arrived.size(), 2);
}

TEST(SimHidMonitor, NoticesFromAnotherThreadComeOnTheMonitorsThread)
{
    SimHidBackend backend;
    std::unique_ptr<HidMonitor> monitor = backend.createMonitor(0);
    ASSERT_TRUE(monitor->start());
    QThread *seenOn = nullptr;
    QObject::connect(monitor.get(), &HidMonitor::interfaceArrived, monitor.get(),
                     [&seenOn](const HidDeviceInfo &) { seenOn = QThread::currentThread(); },
                     Qt::DirectConnection);
    QSignalSpy arrived(monitor.get(), &HidMonitor::interfaceArrived);
    std::unique_ptr<QThread> plugger(QThread::create([&backend] { backend.plug(SimModels::defaultModel()); }));
    plugger->start();
    ASSERT_TRUE(arrived.wait(5000));
    plugger->wait();
    EXPECT_EQ(seenOn, QThread::currentThread());
}

TEST(SimHidMonitor, AMonitorGoneBeforeItsNoticesCameIsSafe)
{
    SimHidBackend backend;
    auto kept = backend.createMonitor(0x28BD);
    ASSERT_TRUE(kept->start());
    {
        auto dropped = backend.createMonitor(0x28BD);
        ASSERT_TRUE(dropped->start());
        backend.plug(SimModels::defaultModel()); // queued for both
    }
    QSignalSpy arrived(kept.get(), &HidMonitor::interfaceArrived);
    ASSERT_TRUE(arrived.wait(5000));
    // A monitor may outlive its backend; it then simply hears nothing.
    auto orphan = std::make_unique<SimHidBackend>()->createMonitor(0);
    EXPECT_TRUE(orphan->start());

    // Another vendor's filter hears nothing of the maker's tablets.
    auto other = backend.createMonitor(0x046D);
    ASSERT_TRUE(other->start());
    QSignalSpy otherArrived(other.get(), &HidMonitor::interfaceArrived);
    QSignalSpy keptArrived(kept.get(), &HidMonitor::interfaceArrived);
    backend.plug(SimModels::defaultModel());
    ASSERT_TRUE(keptArrived.wait(5000));
    EXPECT_EQ(otherArrived.size(), 0);
}
