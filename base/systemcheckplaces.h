#pragma once
// Where the system check finds this user's Inkora: the udev rules of this build, the
// single-instance socket and the log file. Shared by `inkora-hidtool doctor` and the
// diagnosis dialog, so both check the same things.

#include "platform/syscheck/systemcheck.h"

SystemCheckPlaces UserSystemCheckPlaces();
