#pragma once
// `inkora-hidtool profile dump --profile PATH --model KEY`: what a profile file holds
// for one model, as the program loads it, printed as JSON.

#include "config/appconfigmap.h"
#include "config/profilerecords.h"

#include <QJsonObject>
#include <QStringList>

// The device profile and its application profiles as a JSON object; field names are
// the records' (and the file's) names.
QJsonObject ProfileToJson(const TabletXMLData &profile, const AppConfigMap &apps);
QJsonObject AppProfileToJson(const AppConfigNode &app);

// Runs the "profile" command with its arguments (after "profile"). Returns the exit
// code: 0 done, 2 bad command line or a profile that does not load.
int RunProfileCommand(const QStringList &args);

extern const char kProfileHelp[];
