#pragma once
// `inkora-hidtool doctor`: the system check as a checklist (or JSON for bug reports).

#include <QStringList>

// The command line: arguments after "doctor". 0 when no check fails, 1 otherwise,
// 2 for a wrong option.
int DoctorCommand(const QStringList &args);

extern const char kDoctorHelp[];
