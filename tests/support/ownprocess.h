#pragma once
// Processes the foreground tests name: this test program, and one that has ended.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

inline QString OwnExecutable()
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

// A pid whose process has ended (and been reaped).
inline qint64 EndedPid()
{
    QProcess process;
    process.start(QStringLiteral("/bin/true"), QStringList());
    process.waitForStarted();
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
}
