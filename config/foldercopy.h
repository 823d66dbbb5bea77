#pragma once

#include <QString>

// Copies the folder source into destination, recursively: creates destination when it
// is missing, copies each sub-folder into the same-named sub-folder and each file into
// destination. With overwrite, a same-named file in destination is deleted first;
// without it, such a file makes its copy fail. The first failure stops the whole copy
// with false and leaves whatever was copied so far. Copied files are made writable by
// their owner, so a read-only installation still gives the user a profile it can save.
bool copyFolder(const QString &source, const QString &destination, bool overwrite);
