#pragma once
// The installation's switches of the online services: "/dataconfig.ini" in the program
// folder, INI group "config". Without the file every online service stays off.
//
// Keys: "CheckUpdate" (bool) switches the start-up update check; "URL" (optional) is
// the whole collection URL. Our own keys: "UpdateHost" (base URL of the update
// service, "https://host[:port]"; a bare host name means https), "UpdateKey" (the
// request signing key) and "DataHost" (the collection service host, reached on
// https port 2005). A missing host or key leaves its service off, so no build of the
// program talks to a service nobody configured.

#include <QString>

class DataConfig {
public:
    static QString FilePath(const QString &installFolder);
    static DataConfig Read(const QString &installFolder);

    bool bInstalled = false;        // the file exists
    bool bCheckUpdate = false;      // "CheckUpdate"
    QString strUpdateHost;          // base URL without a trailing "/"; empty: none
    QString strUpdateKey;           // "UpdateKey"
    QString strCollectionUrl;       // "URL", else built from "DataHost"; empty: none
};
