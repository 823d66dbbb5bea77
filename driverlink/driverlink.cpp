#include "driverlink/driverlink.h"

#include "driverlink/cvmultidriver.h"
#include "driverlink/cwintabmap.h"
#include "platform/input/inputinjector.h"
#include "platform/ipc/ipcbackend.h"
#include "platform/vhid/vhidbackend.h"

#include <QDebug>

#include <atomic>

namespace {

// Owned here; the accessors hand out the pointers below, which change only in Open
// and Close (see the header for when those run).
struct DriverLinkState {
    DriverLinkBackends backends;
    std::unique_ptr<CVMultiDriver> vmulti;
    std::unique_ptr<CWintabMap> wintab;

    ~DriverLinkState()
    {
        // Objects before the backends they use.
        vmulti.reset();
        wintab.reset();
    }
};

DriverLinkState &State()
{
    static DriverLinkState state;
    return state;
}

std::atomic<CVMultiDriver *> g_vmulti{nullptr};
std::atomic<CWintabMap *> g_wintab{nullptr};
std::atomic<InputInjector *> g_input{nullptr};

} // namespace

namespace DriverLink {

bool Open(DriverLinkBackends backends)
{
    Close();
    DriverLinkState &s = State();
    s.backends = std::move(backends);

    if (s.backends.ipc) {
        s.wintab = std::make_unique<CWintabMap>(*s.backends.ipc);
        s.wintab->Create();
        g_wintab = s.wintab.get();
    }
    bool found = false;
    if (s.backends.vhid) {
        s.vmulti = std::make_unique<CVMultiDriver>(*s.backends.vhid);
        found = s.vmulti->Init();
        g_vmulti = s.vmulti.get();
    }
    g_input = s.backends.input.get();

    if (found)
        qInfo() << "Virtual HID device found: pen and mouse reports go to it";
    else
        qInfo() << "Virtual HID device not found: the pointer paths without it are used";
    return found;
}

void Close()
{
    g_vmulti = nullptr;
    g_wintab = nullptr;
    g_input = nullptr;
    DriverLinkState &s = State();
    if (s.vmulti)
        s.vmulti->ReleaseAll();
    s.vmulti.reset();
    s.wintab.reset();
    s.backends = DriverLinkBackends();
}

CVMultiDriver *VMultiDriver()
{
    return g_vmulti.load();
}

CWintabMap *WintabMap()
{
    return g_wintab.load();
}

InputInjector *Input()
{
    return g_input.load();
}

} // namespace DriverLink
