// The reading threads' real-time request, against a mock rtkit on a private bus.
#include "platform/sched/adaptivemutex.h"
#include "platform/sched/realtime.h"
#include "privatebus.h"

#include <QDBusArgument>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The MakeThreadRealtime calls the mock rtkit took, with their arguments.
QList<QVariantList> RtkitCalls(PrivateBus &bus)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("/org/freedesktop/RealtimeKit1"),
        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("GetMethodCalls"));
    get << QStringLiteral("MakeThreadRealtime");
    const QDBusMessage calls = bus.connection().call(get);
    QList<QVariantList> seen;
    if (calls.type() != QDBusMessage::ReplyMessage)
        return seen;
    const QDBusArgument list = calls.arguments().first().value<QDBusArgument>();
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
    return seen;
}

int Policy()
{
    return sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
}

} // namespace

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
    const QList<QVariantList> seen = RtkitCalls(bus);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].value(0).toULongLong(), quint64(syscall(SYS_gettid)));
    EXPECT_EQ(seen[0].value(1).toUInt(), 3u);
}

// The thread's own right serves first, without asking the broker, and only after the
// runaway limit is in force; a real-time thread that spins past the soft limit goes back
// to plain scheduling instead of taking the process down. Without the right, rtkit.
TEST(RealtimeRequest, OwnRightFirstThenRtkitAndARunawayThreadIsPutBack)
{
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << bus.reason().toStdString();
    ASSERT_TRUE(
        bus.startTemplate(QStringLiteral(INKORA_RTKIT_TEMPLATE), QStringLiteral("org.freedesktop.RealtimeKit1")))
        << bus.reason().toStdString();
    RealtimeWay way = RealtimeWay::Plain;
    QString why;
    int policy = -1;
    int afterSpin = -1;
    std::thread worker([&] {
        way = MakeThreadRealtime(
            5, [&bus] { return bus.connection(); }, &why);
        policy = Policy();
        if (way != RealtimeWay::Direct)
            return;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (Policy() == SCHED_FIFO && std::chrono::steady_clock::now() < giveUp) { }
        afterSpin = Policy();
    });
    worker.join();

    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_RTTIME, &limit), 0);
    EXPECT_LE(limit.rlim_max, rlim_t(200000));
    EXPECT_LT(limit.rlim_cur, limit.rlim_max);
    const int asked = RtkitCalls(bus).size();
    if (way == RealtimeWay::Direct) {
        EXPECT_EQ(policy, SCHED_FIFO);
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(afterSpin, SCHED_OTHER);
    } else {
        EXPECT_EQ(way, RealtimeWay::Rtkit) << why.toStdString();
        EXPECT_EQ(asked, 1);
    }
}

// The reading threads' device lock: holders never overlap, and a waiter that gave up
// spinning (a holder past the spin limit) is woken, or the test hangs.
TEST(AdaptiveMutex, HoldersNeverOverlapWhetherWaitersSpinOrSleep)
{
    AdaptiveMutex mutex;
    int inside = 0;   // mutex
    long counted = 0; // mutex
    bool overlapped = false;
    constexpr int kThreads = 4;
    constexpr int kRounds = 3000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                std::lock_guard<AdaptiveMutex> hold(mutex);
                overlapped |= ++inside != 1;
                ++counted;
                if (i % 500 == t) // now and then past the spin limit, so others sleep
                    std::this_thread::sleep_for(AdaptiveMutex::kSpinLimit * 4);
                --inside;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(counted, long(kThreads) * kRounds);
    EXPECT_TRUE(mutex.try_lock());
    EXPECT_FALSE(mutex.try_lock());
    mutex.unlock();
}
