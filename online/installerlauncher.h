#pragma once
// What happens to a downloaded driver package: it is opened with the desktop's handler
// for local files and the program ends so the installer can replace it. Tests give the
// update dialog a launcher that only records.

#include <QString>

class InstallerLauncher {
public:
    virtual ~InstallerLauncher() = default;
    // false: the file could not be opened; the program keeps running.
    virtual bool OpenFile(const QString &path) = 0;
    virtual void QuitApplication() = 0;
};

class DesktopInstallerLauncher : public InstallerLauncher {
public:
    bool OpenFile(const QString &path) override;
    void QuitApplication() override;
};
