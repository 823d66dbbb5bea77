#pragma once
// The updater's own tablet device interface, exported by name from FwFlasher as plain C
// functions so another program can drive the maker's tablets the same way.
//
// Devices are reached through the process's HID backend (the hidraw backend, or the
// simulated one): SetDeviceInterfaceBackend() installs it once at start-up, before
// InitLib().
//
// Threads: data callbacks run on the device's reading thread; device-change callbacks
// run on the notification thread (and, for the scan in RegisterDevNotifyCallBack, on
// the caller's thread). SendCmd runs on the caller's thread and may overlap reads.

#ifdef __cplusplus
#include <cstdint>
#include <memory>
class HidBackend;
// Installs the backend every later call uses (null removes it); calls in progress keep
// the one they started with. Set it before InitLib() and clear it after ReleaseLib().
void SetDeviceInterfaceBackend(std::shared_ptr<HidBackend> backend);
#else
#include <stdbool.h>
#include <stdint.h>
#endif

#define FW_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

// The attribute block of a device, copied whole by clients. Texts are 8-bit (UTF-8),
// NUL-terminated within their 128 bytes.
typedef struct FwDeviceAttribute {
    int32_t MaxX;          // 24-bit logical width
    int32_t MaxY;
    int32_t MaxPressure;
    int32_t Resolution;    // lines per inch; 5080 when the device reports 0
    int32_t WidthInch100;  // MaxX * 100 / Resolution
    int32_t HeightInch100; // MaxY * 100 / Resolution
    char Manufacturer[128]; // string 1
    char ProductName[128];  // string 2
    char SerialNumber[128]; // string 3
    char ICVersion[128];    // string 4, firmware version
    char ICData[128];       // string 5, firmware date text (yyyymmdd...)
    uint8_t TabletType[128]; // string 110 raw: the capability block
    uint8_t SerialCode[128]; // string 131 raw
    uint8_t Reserved[2100 - 6 * 4 - 7 * 128];
} FwDeviceAttribute;

typedef struct FwDevice FwDevice;

typedef void (*FwDataCallBack)(const uint8_t *data, int32_t length, void *user);
// path is given twice (interface path and device path are the same text here);
// arrived is 1 for an arrival, 0 for a removal.
typedef void (*FwDevNotifyCallBack)(const char *path, const char *devicePath, int arrived, void *user);

FW_EXPORT bool InitLib(void);
FW_EXPORT void ReleaseLib(void);
// The device object is created and listed even when the open fails; the caller closes it.
FW_EXPORT bool OpenDevice(const char *path, FwDevice **device);
FW_EXPORT bool CloseDevice(FwDevice *device);
FW_EXPORT void RegisterDataCallBack(FwDataCallBack callback, FwDevice *device, void *user);
FW_EXPORT void UnregisterDataCallBack(FwDevice *device);
FW_EXPORT void RegisterDevNotifyCallBack(FwDevNotifyCallBack callback, void *user);
FW_EXPORT FwDeviceAttribute GetDeviceAttribute(FwDevice *device);
FW_EXPORT const char *GetForegroundAppPath(void *unused);
FW_EXPORT bool SendToDriverLib(const void *penPacket);
// One output report, zero-padded to the device's output report length, written and
// completed within 300 ms; false (and the write cancelled) otherwise.
FW_EXPORT bool SendCmd(FwDevice *device, const uint8_t *buffer, int length);
// Indexed string (id & 0xFF) as 8-bit text, empty without a device or string. The
// buffer belongs to the calling thread and holds until its next GetStringID call.
FW_EXPORT const char *GetStringID(FwDevice *device, int id);

#ifdef __cplusplus
}
static_assert(sizeof(FwDeviceAttribute) == 2100, "clients copy the attribute block as 2100 bytes");
#endif
