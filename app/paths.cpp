#include "app/paths.h"

#include <QCoreApplication>
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

} // namespace Paths
