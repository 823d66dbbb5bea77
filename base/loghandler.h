#pragma once
// The process-wide log file. Every qInfo/qWarning/qCritical/qFatal of the program ends
// up as one line in "<data folder>/log.txt"; debug messages are dropped. The file is
// opened and closed for every line, so several threads (the tablet reading threads
// too) may log at once: one mutex serialises the handler.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

class QMessageLogContext;

// Level text written after the time stamp: " Warning:", " Critical:", " Fatal:",
// " Info:", " Message:" for anything else. Debug has none: it is never written.
QString logLevelText(QtMsgType type);

// One complete log line in the local 8-bit encoding, ended by CR LF:
// "DateTime:<yyyy-MM-dd hh:mm:ss ddd><level><message> File:<file>  Line:<n>  Action:<function>".
// Null context strings give empty text.
QByteArray formatLogLine(QtMsgType type, const QMessageLogContext &context,
                         const QString &message, const QDateTime &localTime);

// Rotation limit in whole KiB: a log whose size / 1024 exceeds it is moved to the old
// log before the next line, so one log stays a little over 1 MiB.
constexpr qint64 kLogRotateKiB = 1024;

// Moves logPath to oldLogPath when it has grown past the limit. The log is deleted only
// when the copy succeeded, so a failed copy never loses lines. Returns true when it
// rotated.
bool rotateLogIfNeeded(const QString &logPath, const QString &oldLogPath);

// Rotates when needed, then appends line to logPath (creating the file). Returns false
// when the file could not be opened or written; the line is then lost.
bool appendLogLine(const QByteArray &line, const QString &logPath, const QString &oldLogPath);

// Installs the handler for the whole process, before any other thread logs. Its paths
// are computed on its first call from Paths::dataFolder() and the two names (the
// firmware updater keeps a log of its own beside Inkora's), kept for the life of the
// process.
void installLogHandler(const char *logName = "log.txt", const char *oldLogName = "oldlog.txt");

// The program's version (the project version of the build).
QString programVersion();

// The first line a program logs: its name, version, build (commit and build type), Qt
// version and the session type it runs in.
QString programStartText(const QString &program);
