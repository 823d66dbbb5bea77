// Sleep notices through logind, against a mock logind on a private bus.
#include "platform/power/linux/logindpowermonitor.h"
#include "privatebus.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(LogindPowerMonitor, PrepareForSleepBecomesSuspendAndResume)
{
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << bus.reason().toStdString();
    ASSERT_TRUE(bus.startTemplate(QStringLiteral("logind"), QStringLiteral("org.freedesktop.login1")))
        << bus.reason().toStdString();

    LogindPowerMonitor monitor(bus.connection());
    ASSERT_TRUE(monitor.isAvailable());
    QSignalSpy suspending(&monitor, &PowerMonitor::suspending);
    QSignalSpy resumed(&monitor, &PowerMonitor::resumed);

    const QString path = QStringLiteral("/org/freedesktop/login1");
    const QString manager = QStringLiteral("org.freedesktop.login1.Manager");
    ASSERT_TRUE(bus.emitSignal(QStringLiteral("org.freedesktop.login1"), path, manager,
                               QStringLiteral("PrepareForSleep"), QStringLiteral("b"), {true}))
        << bus.reason().toStdString();
    ASSERT_TRUE(suspending.wait(10000));
    EXPECT_EQ(resumed.count(), 0);

    ASSERT_TRUE(bus.emitSignal(QStringLiteral("org.freedesktop.login1"), path, manager,
                               QStringLiteral("PrepareForSleep"), QStringLiteral("b"), {false}));
    ASSERT_TRUE(resumed.wait(10000));
    EXPECT_EQ(suspending.count(), 1);
}

TEST(LogindPowerMonitor, NoBusMeansNotAvailable)
{
    LogindPowerMonitor monitor(QDBusConnection(QStringLiteral("no-such-connection")));
    EXPECT_FALSE(monitor.isAvailable());
}
