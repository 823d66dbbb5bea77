#include "platform/foreground/linux/foregroundsource.h"

#include <QDebug>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

ForegroundWindow ForegroundOfProcess(qint64 pid, const QString &windowClass, const char *source)
{
    ForegroundWindow window;
    window.windowClass = windowClass;
    if (pid <= 0) {
        qWarning().noquote() << QStringLiteral(
                                    "Foreground (%1): the active window has no process id; the common profile applies")
                                    .arg(QLatin1String(source));
        return window;
    }
    window.pid = pid;
    // The kernel's own answer; it fails for a process that has ended and for other users'.
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    char buffer[4096];
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer - 1);
    if (n <= 0) {
        qWarning().noquote() << QStringLiteral("Foreground (%1): cannot read %2 (%3); the common profile applies")
                                    .arg(QLatin1String(source), QString::fromLatin1(link),
                                         QString::fromLocal8Bit(std::strerror(errno)));
        return window;
    }
    window.path = QFile::decodeName(QByteArray(buffer, int(n)));
    qInfo() << "appPath" << window.path;
    return window;
}

ForegroundSlot::ForegroundSlot() : m_current(std::make_shared<const ForegroundWindow>()) { }

std::shared_ptr<const ForegroundWindow> ForegroundSlot::get() const
{
    return std::atomic_load(&m_current);
}

void ForegroundSlot::set(const ForegroundWindow &window)
{
    std::atomic_store(&m_current,
                      std::shared_ptr<const ForegroundWindow>(std::make_shared<const ForegroundWindow>(window)));
}
