#include "platform/sched/realtime.h"

#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDebug>

#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

const char kService[] = "org.freedesktop.RealtimeKit1";
const char kPath[] = "/org/freedesktop/RealtimeKit1";
// A broker that does not answer must not hold a reading thread up for long.
constexpr int kCallTimeoutMs = 1000;
// What rtkit allows by default, when it does not say.
constexpr qint64 kDefaultRtTimeUs = 200000;
constexpr int kReadingThreadPriority = 5;

QVariant Property(const QDBusConnection &bus, const char *name)
{
    QDBusMessage get =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(kService) << QLatin1String(name);
    const QDBusMessage reply = bus.call(get, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return QVariant();
    return reply.arguments().first().value<QDBusVariant>().variant();
}

// The limits LimitRealtimeTime() set last, for the handler below.
std::atomic<rlim_t> g_SoftRtTime{0};
std::atomic<rlim_t> g_HardRtTime{0};

// SIGXCPU at the soft RLIMIT_RTTIME: the thread that ran over (the kernel sends it to
// the running thread) goes back to plain scheduling. The kernel has raised the soft
// limit by a second meanwhile, past the hard one, so a second runaway would be ended
// instead: the soft limit is put back. System calls only.
void DemoteRunaway(int)
{
    const int saved = errno;
    const sched_param plain{};
    sched_setscheduler(0, SCHED_OTHER, &plain);
    const rlimit64 limit{g_SoftRtTime.load(), g_HardRtTime.load()}; // the system call's own layout
    if (limit.rlim_max != 0)
        syscall(SYS_prlimit64, 0, RLIMIT_RTTIME, &limit, nullptr);
    errno = saved;
}

// The runaway guard, before the thread may become real-time: the hard limit at most
// maxUs, the soft limit half of it with the handler above. False when the limit
// cannot be set.
bool LimitRealtimeTime(qint64 maxUs)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0)
        return false;
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > rlim_t(maxUs))
        limit.rlim_max = rlim_t(maxUs);
    limit.rlim_cur = limit.rlim_max / 2;
    if (setrlimit(RLIMIT_RTTIME, &limit) != 0)
        return false;
    g_SoftRtTime = limit.rlim_cur;
    g_HardRtTime = limit.rlim_max;
    struct sigaction current { };
    if (sigaction(SIGXCPU, nullptr, &current) == 0 && current.sa_handler == SIG_DFL
        && !(current.sa_flags & SA_SIGINFO)) {
        struct sigaction demote { };
        demote.sa_handler = &DemoteRunaway;
        sigemptyset(&demote.sa_mask);
        demote.sa_flags = SA_RESTART;
        sigaction(SIGXCPU, &demote, nullptr);
    }
    return true;
}

// The thread's own right: SCHED_FIFO at priority, or at RLIMIT_RTPRIO when that is
// lower. Children of the thread start with plain scheduling (SCHED_RESET_ON_FORK).
bool RaiseOwnScheduling(int priority, QString *why)
{
    if (!LimitRealtimeTime(kDefaultRtTimeUs)) {
        *why = QStringLiteral("RLIMIT_RTTIME cannot be set");
        return false;
    }
    sched_param param{};
    param.sched_priority = priority;
    if (sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0)
        return true;
    int error = errno;
    rlimit rtprio{};
    if (error == EPERM && getrlimit(RLIMIT_RTPRIO, &rtprio) == 0 && rtprio.rlim_cur > 0
        && rtprio.rlim_cur < rlim_t(priority)) {
        param.sched_priority = int(rtprio.rlim_cur);
        if (sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0)
            return true;
        error = errno;
    }
    *why = QString::fromLocal8Bit(std::strerror(error));
    return false;
}

} // namespace

bool RequestRealtimeThread(const QDBusConnection &bus, int priority, QString *why)
{
    if (!bus.isConnected()) {
        *why = QStringLiteral("no system bus");
        return false;
    }
    const QVariant maxPriority = Property(bus, "MaxRealtimePriority");
    if (!maxPriority.isValid()) {
        *why = QStringLiteral("no real-time broker (%1)").arg(QLatin1String(kService));
        return false;
    }
    priority = std::min(priority, maxPriority.toInt());
    if (priority <= 0) {
        *why = QStringLiteral("the broker allows no real-time priority");
        return false;
    }
    // rtkit refuses a process whose RLIMIT_RTTIME is unset or above its RTTimeUSecMax.
    const QVariant maxRtTime = Property(bus, "RTTimeUSecMax");
    if (!LimitRealtimeTime(maxRtTime.isValid() ? maxRtTime.toLongLong() : kDefaultRtTimeUs)) {
        *why = QStringLiteral("RLIMIT_RTTIME cannot be set");
        return false;
    }
    const quint64 thread = quint64(syscall(SYS_gettid));
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                       QLatin1String(kService), QStringLiteral("MakeThreadRealtime"));
    call << QVariant::fromValue(thread) << QVariant::fromValue(quint32(priority));
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        *why = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        return false;
    }
    return true;
}

RealtimeWay MakeThreadRealtime(int priority, const std::function<QDBusConnection()> &bus, QString *why)
{
    QString own;
    if (RaiseOwnScheduling(priority, &own))
        return RealtimeWay::Direct;
    QString broker;
    if (RequestRealtimeThread(bus(), priority, &broker))
        return RealtimeWay::Rtkit;
    *why = QStringLiteral("%1 (own right: %2)").arg(broker, own);
    return RealtimeWay::Plain;
}

void MakeReadingThreadRealtime()
{
    static std::atomic<int> told{0}; // a bit per way already logged
    QString why;
    const RealtimeWay way = MakeThreadRealtime(
        kReadingThreadPriority, [] { return QDBusConnection::systemBus(); }, &why);
    const int bit = 1 << int(way);
    if (told.fetch_or(bit) & bit)
        return;
    switch (way) {
    case RealtimeWay::Direct:
        qInfo().noquote() << "Reading threads run with real-time scheduling: SCHED_FIFO, the process's own right";
        break;
    case RealtimeWay::Rtkit:
        qInfo().noquote() << "Reading threads run with real-time scheduling: granted by" << kService;
        break;
    case RealtimeWay::Plain: qInfo().noquote() << "Reading threads run with plain scheduling:" << why; break;
    }
}
