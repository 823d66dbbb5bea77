#include "config/foldercopy.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

bool copyFolder(const QString &source, const QString &destination, bool overwrite)
{
    QDir target(destination);
    if (!target.exists() && !QDir().mkpath(destination)) {
        qWarning().noquote() << "copyFolder: cannot create" << destination;
        return false;
    }

    const QFileInfoList entries = QDir(source).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString to = target.filePath(entry.fileName());
        if (entry.isDir()) {
            if (!copyFolder(entry.filePath(), to, overwrite))
                return false;
            continue;
        }
        if (overwrite && QFile::exists(to))
            QFile::remove(to);
        if (!QFile::copy(entry.filePath(), to)) {
            qWarning().noquote() << "copyFolder: cannot copy" << entry.filePath() << "to" << to;
            return false;
        }
        QFile::setPermissions(to, QFile::permissions(to) | QFile::ReadOwner | QFile::WriteOwner);
    }
    return true;
}
