#include "platform/foreground/linux/foregroundsource.h"

#include "platform/foreground/publishedforeground.h"

#include <QDebug>

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
    QString why;
    window.path = ExecutableOfProcess(pid, &why);
    if (window.path.isEmpty())
        qWarning().noquote() << QStringLiteral("Foreground (%1): cannot read %2; the common profile applies")
                                    .arg(QLatin1String(source), why);
    else
        qInfo() << "appPath" << window.path;
    return window;
}
