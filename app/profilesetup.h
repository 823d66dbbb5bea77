#pragma once
// Puts the per-user files in place at start-up: when the user's profile is missing,
// unreadable or of another version than the installed default, the installation's
// "/config/" folder is copied over the data folder. Before that copy replaces an
// existing "config.xml", the user's file is kept as "config.xml.bak", so a version
// change never silently destroys the user's settings.

#include <QString>

struct ProfileSetupResult {
    bool versionMatched = false;  // nothing was copied
    int code = 0;                 // version reader code (101..105), 0 when matched
    QString installedVersion;     // version of the installed default profile
    bool backedUp = false;        // the old user profile was saved as config.xml.bak
    bool copied = false;          // the default folder was copied completely
};

ProfileSetupResult setUpUserProfile(const QString &installFolder, const QString &dataFolder);
