#include "app/profilesetup.h"

#include "config/configversion.h"
#include "config/foldercopy.h"

#include <QDebug>
#include <QFile>

ProfileSetupResult setUpUserProfile(const QString &installFolder, const QString &dataFolder)
{
    ProfileSetupResult result;
    const QString defaultFolder = installFolder + QStringLiteral("/config/");
    const QString userProfile = dataFolder + QStringLiteral("/config.xml");

    result.versionMatched = compareVersion(defaultFolder + QStringLiteral("config.xml"), userProfile,
                                           &result.code, &result.installedVersion);
    if (result.versionMatched)
        return result;

    qInfo().noquote() << "profile version check failed, code" << result.code
                      << ", installed version" << result.installedVersion;

    if (QFile::exists(userProfile)) {
        const QString backup = userProfile + QStringLiteral(".bak");
        QFile::remove(backup);
        result.backedUp = QFile::copy(userProfile, backup);
        if (result.backedUp)
            qInfo().noquote() << "user profile kept as" << backup;
        else
            qCritical().noquote() << "cannot keep user profile as" << backup << ", it will be replaced";
    }

    result.copied = copyFolder(defaultFolder, dataFolder, true);
    if (!result.copied)
        qCritical().noquote() << "copy of default configuration" << defaultFolder << "to" << dataFolder << "failed";
    return result;
}
