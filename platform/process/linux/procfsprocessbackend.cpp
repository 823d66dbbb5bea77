#include "platform/process/linux/procfsprocessbackend.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

ProcfsProcessBackend::ProcfsProcessBackend(QString procRoot) : m_procRoot(std::move(procRoot)) {}

QVector<ProcessInfo> ProcfsProcessBackend::snapshot() const
{
    QVector<ProcessInfo> processes;
    const QDir root(m_procRoot);
    const QStringList entries = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QVector<qint64> pids;
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok, 10);
        if (ok && pid > 0)
            pids.append(pid);
    }
    // Ascending pid is the order processes were started in, until the pids wrap.
    std::sort(pids.begin(), pids.end());

    for (const qint64 pid : pids) {
        const QString dir = m_procRoot + QLatin1Char('/') + QString::number(pid);
        ProcessInfo info;
        info.pid = pid;
        // A process that ended between the listing and now, a kernel thread and
        // another user's process all leave the link unreadable.
        const QString target = QFileInfo(dir + QStringLiteral("/exe")).symLinkTarget();
        if (target.isEmpty()) {
            qDebug() << "QueryFullProcessImageName failed\n" << pid;
            // "comm" is the kernel's name of the process, at most 15 bytes.
            QFile comm(dir + QStringLiteral("/comm"));
            if (comm.open(QIODevice::ReadOnly))
                info.name = QString::fromUtf8(comm.read(256)).trimmed();
        } else {
            info.imagePath = target;
            info.name = QFileInfo(target).fileName();
        }
        processes.append(info);
    }
    return processes;
}
