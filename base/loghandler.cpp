#include "base/loghandler.h"

#include "base/paths.h"
#include "base/programstart.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <mutex>

QString logLevelText(QtMsgType type)
{
    switch (type) {
    case QtWarningMsg:
        return QStringLiteral(" Warning:");
    case QtCriticalMsg:
        return QStringLiteral(" Critical:");
    case QtFatalMsg:
        return QStringLiteral(" Fatal:");
    case QtInfoMsg:
        return QStringLiteral(" Info:");
    default:
        return QStringLiteral(" Message:");
    }
}

QByteArray formatLogLine(QtMsgType type, const QMessageLogContext &context,
                         const QString &message, const QDateTime &localTime)
{
    const QString file = context.file ? QString::fromLocal8Bit(context.file) : QString();
    const QString function = context.function ? QString::fromLocal8Bit(context.function) : QString();

    // Many messages end in a line break of their own (printf habit); one entry stays one
    // line of the file, so support can read and search it line by line.
    QString text = message;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);

    QString line = QStringLiteral("DateTime:%1").arg(localTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ddd")));
    line += logLevelText(type);
    line += QStringLiteral("%1 File:%2  Line:%3  Action:%4")
                .arg(text, file, QString::number(context.line), function);
    line += QStringLiteral("\r\n");
    return line.toLocal8Bit();
}

bool rotateLogIfNeeded(const QString &logPath, const QString &oldLogPath)
{
    const QFileInfo info(logPath);
    if (!info.exists() || info.size() / 1024 <= kLogRotateKiB)
        return false;
    if (QFile::exists(oldLogPath))
        QFile::remove(oldLogPath);
    if (!QFile::copy(logPath, oldLogPath))
        return false; // keep the log; a later line tries again
    QFile::remove(logPath);
    return true;
}

bool appendLogLine(const QByteArray &line, const QString &logPath, const QString &oldLogPath)
{
    rotateLogIfNeeded(logPath, oldLogPath);
    QFile file(logPath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return false;
    const bool written = file.write(line) == line.size();
    return file.flush() && written;
}

namespace {

struct LogFiles {
    QString logPath;
    QString oldLogPath;
};

// Set while this thread is inside the handler. Anything Qt itself might log from the
// file calls below would otherwise re-enter and deadlock on the non-recursive mutex.
thread_local bool t_inHandler = false;

// File names in the data folder; set by installLogHandler before the first line.
const char *g_logName = "log.txt";
const char *g_oldLogName = "oldlog.txt";

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg || t_inHandler)
        return;

    // A standard mutex rather than QMutex: thread sanitizer builds see its ordering.
    static std::mutex mutex;
    const std::lock_guard<std::mutex> lock(mutex);
    t_inHandler = true;

    // Computed once, under the mutex, on the first line that is written.
    static const LogFiles files = [] {
        const QString folder = Paths::dataFolder();
        return LogFiles{folder + QLatin1Char('/') + QLatin1String(g_logName),
                        folder + QLatin1Char('/') + QLatin1String(g_oldLogName)};
    }();

    appendLogLine(formatLogLine(type, context, message, QDateTime::currentDateTime()),
                  files.logPath, files.oldLogPath);
    t_inHandler = false;
}

} // namespace

void installLogHandler(const char *logName, const char *oldLogName)
{
    g_logName = logName;
    g_oldLogName = oldLogName;
    qInstallMessageHandler(messageHandler);
}

QString programVersion()
{
    return QString::fromLatin1(ProgramVersion());
}

QString programStartText(const QString &program)
{
    // What support needs first: which build runs, and on which kind of desktop.
    QString session = qEnvironmentVariable("XDG_SESSION_TYPE");
    if (session.isEmpty())
        session = qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ? QStringLiteral("wayland")
                  : qEnvironmentVariableIsSet("DISPLAY")       ? QStringLiteral("x11")
                                                               : QStringLiteral("none");
    QString platform = QGuiApplication::platformName();
    return QStringLiteral("%1 %2 (build %3, Qt %4), session %5 (DISPLAY \"%6\", WAYLAND_DISPLAY \"%7\", platform %8)")
        .arg(program, programVersion(), QStringLiteral(INKORA_BUILD), QLatin1String(qVersion()), session,
             qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"),
             platform.isEmpty() ? QStringLiteral("none") : platform);
}
