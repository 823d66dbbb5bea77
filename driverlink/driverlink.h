#pragma once
// The process-wide driver-link objects: the virtual HID device, the Wintab map and the
// synthetic mouse, on the platform backends chosen at start-up. The program opens them
// on the system's backends during the main window's start-up; the support tool opens
// them on recording ones. The pen path reaches them through the accessors.
//
// Open and Close run on the GUI thread while no tablet reads: before the first tablet
// opens and after the last one closed. In between the objects do not change and the
// reading threads use them freely (each object guards its own shared state).

#include <memory>

class CVMultiDriver;
class CWintabMap;
class InputInjector;
class IpcBackend;
class VhidBackend;

struct DriverLinkBackends {
    std::unique_ptr<VhidBackend> vhid;
    std::unique_ptr<IpcBackend> ipc;
    std::unique_ptr<InputInjector> input; // may be null: synthetic input then fails
};

namespace DriverLink {

// Closes whatever was open, takes the backends, creates the Wintab map and opens the
// virtual device. Returns whether the virtual device was found.
bool Open(DriverLinkBackends backends);
// Releases the virtual device (pen out of range, buttons up), the map and the backends.
void Close();

// Null before Open and after Close.
CVMultiDriver *VMultiDriver();
CWintabMap *WintabMap();
InputInjector *Input();

} // namespace DriverLink
