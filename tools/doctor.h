#pragma once
// `inkora-hidtool doctor`: the system check as a checklist (or JSON for bug reports).

#include "platform/syscheck/systemcheck.h"

#include <QStringList>

// Where Inkora keeps what the check reads: its udev rules, single-instance socket, log.
SystemCheckPlaces DoctorPlaces();

// The command line: arguments after "doctor". 0 when no check fails, 1 otherwise,
// 2 for a wrong option.
int DoctorCommand(const QStringList &args);

extern const char kDoctorHelp[];
