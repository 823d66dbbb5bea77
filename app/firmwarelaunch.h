#pragma once
// The main program's side of the firmware update: a tablet of the updatable model
// (product "PID_0935", firmware "KPX2000A-A") with a firmware date up to 20211026 gets
// the updater, FwFlasher, started from the program folder, or its window brought back
// when it runs already. The firmware facts are stored for the updater either way.

#include <QString>

class WindowBackend;
struct DeviceAttributes;

namespace FirmwareLaunch {

enum class Outcome {
    OtherTablet,    // not the updatable model: nothing done
    UpToDate,       // facts stored; the firmware is new enough
    WindowRestored, // the updater's window was found and asked to restore
    Started,        // the updater was started and its window found
    NoWindow,       // the updater was started but its window did not appear in time
    StartFailed,    // the updater could not be started
};

// Checks the tablet and acts as above. programFolder holds FwFlasher; simulated makes
// the updater run on its own simulated tablet (Inkora --simulate). Runs on the GUI
// thread and may wait there up to 500 ms for the start and 60 x 10 ms for the window.
// *startedPid (when given) is the process id of an updater this call started, else 0.
Outcome CheckTablet(const DeviceAttributes &attributes, WindowBackend *window, const QString &programFolder,
                    bool simulated, qint64 *startedPid = nullptr);

} // namespace FirmwareLaunch
