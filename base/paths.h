#pragma once
#include <QString>

namespace Paths {

// Per-user data folder: "$XDG_CONFIG_HOME/Inkora V3" (default ~/.config/Inkora V3).
// The only place that builds it.
QString dataFolder();

// Installation folder: the folder of the running program. resource.rcc, config/ and
// the companion programs live here.
QString installFolder();

// The settings program's single-instance id.
constexpr char kProgramInstanceId[] = "InkoraV3";

// The single-instance endpoint of a program id ("InkoraV3"): "<runtime folder>/<id>-<uid>";
// its lock file is the same + ".lock".
QString instanceEndpoint(const QString &id);

// Whether a live process holds that program's single-instance lock.
bool instanceRunning(const QString &id);

} // namespace Paths
