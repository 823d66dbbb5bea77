#include "base/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace Paths {

QString dataFolder()
{
    // GenericConfigLocation honours XDG_CONFIG_HOME, the Linux counterpart of the
    // roaming application-data folder.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Inkora V3");
}

QString installFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString instanceEndpoint(const QString &id)
{
    // $XDG_RUNTIME_DIR, or a 0700 folder Qt makes for this user: owned by the user and
    // closed to everyone else, unlike the shared temporary folder.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    // The folder's owner is the user (Qt checks that for the runtime folder).
    const uint owner = QFileInfo(folder).ownerId();
    return folder + QLatin1Char('/') + id + QLatin1Char('-') + QString::number(owner == uint(-2) ? 0 : owner);
}

bool instanceRunning(const QString &id)
{
    QLockFile lock(instanceEndpoint(id) + QStringLiteral(".lock"));
    lock.setStaleLockTime(0); // only a dead owner makes it stale
    if (lock.tryLock(0)) {
        lock.unlock();
        return false;
    }
    return lock.error() == QLockFile::LockFailedError;
}

} // namespace Paths
