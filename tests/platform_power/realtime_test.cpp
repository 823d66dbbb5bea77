// The reading threads' real-time request, against a mock rtkit on a private bus.
#include "platform/sched/realtime.h"
#include "privatebus.h"

#include <QDBusArgument>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

TEST(RealtimeRequest, AskedOfRtkitWithinItsLimitsAndRefusedWithoutIt)
{
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << bus.reason().toStdString();
    QString why;
    EXPECT_FALSE(RequestRealtimeThread(bus.connection(), 5, &why));
    EXPECT_TRUE(why.contains(QLatin1String("no real-time broker"))) << why.toStdString();

    ASSERT_TRUE(
        bus.startTemplate(QStringLiteral(INKORA_RTKIT_TEMPLATE), QStringLiteral("org.freedesktop.RealtimeKit1")))
        << bus.reason().toStdString();
    ASSERT_TRUE(RequestRealtimeThread(bus.connection(), 5, &why)) << why.toStdString();

    // The process may not run away: rtkit's limit is in force before the request.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_RTTIME, &limit), 0);
    EXPECT_LE(limit.rlim_max, rlim_t(200000));
    EXPECT_LE(limit.rlim_cur, limit.rlim_max);

    // This thread, at the priority the broker allows (3), not the one asked for.
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("/org/freedesktop/RealtimeKit1"),
        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("GetMethodCalls"));
    get << QStringLiteral("MakeThreadRealtime");
    const QDBusMessage calls = bus.connection().call(get);
    ASSERT_EQ(calls.type(), QDBusMessage::ReplyMessage) << calls.errorMessage().toStdString();
    const QDBusArgument list = calls.arguments().first().value<QDBusArgument>();
    QList<QVariantList> seen;
    list.beginArray();
    while (!list.atEnd()) {
        quint64 stamp = 0;
        QVariantList args;
        list.beginStructure();
        list >> stamp >> args;
        list.endStructure();
        seen << args;
    }
    list.endArray();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].value(0).toULongLong(), quint64(syscall(SYS_gettid)));
    EXPECT_EQ(seen[0].value(1).toUInt(), 3u);
}
