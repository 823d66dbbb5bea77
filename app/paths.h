#pragma once
#include <QString>

namespace Paths {

// Per-user data folder: "$XDG_CONFIG_HOME/Inkora V3" (default ~/.config/Inkora V3).
// The only place that builds it.
QString dataFolder();

// Installation folder: the folder of the running program. resource.rcc, config/ and
// the companion programs live here.
QString installFolder();

} // namespace Paths
