#pragma once
// Options of this run taken from the command line. Filled once by the program entry
// before the main window exists and before any other thread starts; read-only after
// that, so every thread may read it without a lock.

#include <QString>
#include <QStringList>

struct StartupOptions {
    bool minimised = false;   // "/mini": start hidden in the tray
    bool simulate = false;    // "--simulate[=LIST]": simulated tablets instead of hidraw
    QString simulateModel;    // product ids or model keys, or "all"; empty: the default model
    // "--vhid-record=FILE": with --simulate, the virtual device is a recording that appends
    // one JSON line per report to FILE (runs without /dev/uinput); ignored otherwise.
    QString vhidRecordFile;
};

// Reads the program arguments (arguments[0] is the program). "/mini" counts only as the
// first argument; "--simulate", "--simulate=MODEL" and "--vhid-record=FILE" may stand
// anywhere and are not counted as the first argument. Everything else is ignored.
StartupOptions parseStartupArguments(const QStringList &arguments);

// The options of this process.
const StartupOptions &startupOptions();
void setStartupOptions(const StartupOptions &options);
