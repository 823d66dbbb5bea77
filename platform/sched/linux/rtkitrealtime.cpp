#include "platform/sched/realtime.h"

#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDebug>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

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
    const qint64 allowed = maxRtTime.isValid() ? maxRtTime.toLongLong() : kDefaultRtTimeUs;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0 || limit.rlim_max == RLIM_INFINITY || limit.rlim_max > rlim_t(allowed)) {
        limit.rlim_cur = limit.rlim_max = rlim_t(allowed);
        if (setrlimit(RLIMIT_RTTIME, &limit) != 0) {
            *why = QStringLiteral("RLIMIT_RTTIME cannot be set");
            return false;
        }
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

void MakeReadingThreadRealtime()
{
    static std::atomic<bool> told{false};
    QString why;
    if (RequestRealtimeThread(QDBusConnection::systemBus(), kReadingThreadPriority, &why))
        return;
    if (!told.exchange(true))
        qInfo().noquote() << "Reading threads run with plain scheduling:" << why;
}
