#pragma once
// The per-application profiles of one tablet, keyed by the application's executable path.

#include "config/profilerecords.h"

#include <QString>

#include <map>

// An index, not an owner: the nodes belong to the device profile's application list
// (TabletXMLData::Apps). Kept in ascending path order, the order in which the saver
// numbers the file's "app" elements. The tablet's profile lock guards it (other threads
// use it inside CTablet::EditProfile, device/ctablet.h), so a packet thread never sees it
// half changed.
using AppConfigMap = std::map<QString, AppConfigNode *>;
