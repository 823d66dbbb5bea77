#include "platform/foreground/publishedforeground.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>

uint64_t ForegroundBackend::NextChangeStamp()
{
    static std::atomic<uint64_t> sequence{0};
    return sequence.fetch_add(1, std::memory_order_relaxed) + 1;
}

PublishedForeground::PublishedForeground() = default;

std::shared_ptr<const ForegroundWindow> PublishedForeground::current() const
{
    return m_current.get();
}

uint64_t PublishedForeground::revision() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_revision;
}

bool PublishedForeground::waitForRevision(uint64_t seen, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_revision > seen; });
}

void PublishedForeground::publish(ForegroundWindow window)
{
    m_current.set(std::make_shared<const ForegroundWindow>(std::move(window)));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_revision;
    }
    m_changed.notify_all();
}

QString ExecutableOfProcess(qint64 pid, QString *why)
{
    if (pid <= 0) {
        if (why)
            *why = QStringLiteral("no process id");
        return QString();
    }
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    char buffer[4096];
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer - 1);
    if (n <= 0) {
        if (why)
            *why =
                QStringLiteral("%1: %2").arg(QString::fromLatin1(link), QString::fromLocal8Bit(std::strerror(errno)));
        return QString();
    }
    return QFile::decodeName(QByteArray(buffer, int(n)));
}
