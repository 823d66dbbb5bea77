// The exports of libInkBLE. Nothing is logged and nothing is thrown across them:
// every failure is a result code.

#include "inkble.h"

#include "cblestatelistener.h"
#include "ctabletapp.h"

#include "bluezclient.h"

#include <memory>
#include <vector>

using inkble::CBLEDeviceInfo;
using inkble::CTabletApp;

namespace {

// Created when the library is loaded, before any export can run; at unload the state
// reports still running are waited for before the connection closes.
struct Library {
    std::shared_ptr<inkble::CBLEStateListener> listener = inkble::CBLEStateListener::Instance();
    std::shared_ptr<CTabletApp> app = std::make_shared<CTabletApp>(listener);
    ~Library()
    {
        listener->Shutdown();
        app->Close();
    }
};

Library &Lib()
{
    static Library library;
    return library;
}

// Forces the construction at load time.
const bool kLoaded = (Lib(), true);

} // namespace

extern "C" {

int32_t bleOpenDeviceEx(const char *name)
{
    if (!name || !*name)
        return -101;
    std::vector<CBLEDeviceInfo> devices;
    if (auto bus = inkble::BluezConnection::Open())
        devices = inkble::EnumerateBleDevices(*bus, name);
    if (devices.empty())
        return -101;
    int32_t result = -101;
    for (const CBLEDeviceInfo &found : devices) {
        CBLEDeviceInfo info;
        info.connected = 0;
        info.name = name;
        info.address = found.address;
        result = Lib().app->Open(info);
        if (result == 0)
            return 0;
    }
    return result;
}

void bleCloseDevice(void)
{
    Lib().app->Close();
}

int32_t bleSendCommand(const uint8_t *data, int32_t length)
{
    return Lib().app->SendCommand(data, length);
}

void bleRegisterAllDataCallBack(DataCallback callback)
{
    Lib().app->SetDataCallback(callback);
}

void bleUnregisterAllDataCallBack(int32_t)
{
    Lib().app->SetDataCallback(nullptr);
}

int32_t bleGetBTName(char *buffer, int32_t size)
{
    return Lib().app->GetBTName(buffer, size);
}

int32_t bleSetBTName(const char *name)
{
    return Lib().app->SetBTName(name);
}

int32_t bleGetStorage(int32_t offset, void *buffer, int32_t length, const uint32_t *accessCode, int32_t)
{
    return Lib().app->GetStorage(offset, buffer, length, accessCode);
}

} // extern "C"
