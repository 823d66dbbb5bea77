#pragma once
// Version of a profile file: the "version" attribute of its root element, cut before
// its last "." (1.2.3 -> 1.2), so patch releases of the default profile share one
// version and only a change of the first two parts replaces the user's files.

#include <QString>

// Result codes of the version reader, kept by callers for the diagnosis dialog.
enum ConfigVersionCode {
    ConfigVersionOk = 0,
    ConfigVersionOpenFailed = 101,
    ConfigVersionParseFailed = 102,  // also: over the size or nesting limit
    ConfigVersionNullDocument = 103,
    ConfigVersionDiffers = 104,
    ConfigVersionNoAttribute = 105,  // also: an empty attribute
};

// Cuts version before its last "." when that "." is not the first character:
// "1.2.3" -> "1.2", "1" -> "1", ".5" -> ".5".
QString cutConfigVersion(const QString &version);

// Reads the version of the profile file at path. On failure the text is empty and
// *code is 101, 102, 103 or 105 (and the reason is logged); on success *code is 0.
// RootOnly reads no further than the root element (size, document type and the
// markup up to it are still checked): for the installation's own file, whose content
// is checked where it is used, after it was copied.
enum class VersionRead { WholeFile, RootOnly };
QString GetConfigXMLFileVersion(const QString &path, int *code, VersionRead read = VersionRead::WholeFile);

// True when the default file and the user file carry the same non-empty version (the
// default file read RootOnly, the user's file whole).
// *defaultVersion receives the default file's version (empty when unreadable). On
// false, *code is the failing file's reader code, or 104 when both versions exist but
// differ.
bool compareVersion(const QString &defaultFile, const QString &userFile, int *code,
                    QString *defaultVersion);
