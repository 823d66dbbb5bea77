#pragma once
// The per-application profiles of one tablet, keyed by the application's executable path.

#include "config/profilerecords.h"

#include <QString>

#include <map>
#include <memory>

// Owns its nodes. Filled by the profile loader while the tablet's reading thread does not
// run; the reading thread only reads it.
using AppConfigMap = std::map<QString, std::unique_ptr<AppConfigNode>>;
