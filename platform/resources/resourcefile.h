#pragma once
// The program's external resource file (resource.rcc: the style sheet and the
// pictures), mapped for the rest of the run and registered with Qt's resource system.
//
// Mapped by hand rather than by QResource::registerResource(path): a mapping that starts
// on a 2 MiB boundary lets the kernel map the page-cache block around the file's header
// whole, so the first look-up alone shows 2 MiB resident; one page off that boundary
// only the pages looked at come in.

#include <QString>

// True once the file is mapped and registered (it stays so until the program ends).
// False with a log line when it cannot be; the caller may then register it by name.
bool RegisterResourceFile(const QString &path);
