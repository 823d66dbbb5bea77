#include "online/installerlauncher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

bool DesktopInstallerLauncher::OpenFile(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopInstallerLauncher::QuitApplication()
{
    QCoreApplication::exit(0);
}
