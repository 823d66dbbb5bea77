#pragma once
// The HID facility: enumerate the maker's interfaces, open one by its interface text,
// read (waiting until a report or a stop request, or with a time-out), write output
// reports, read indexed strings.
//
// Interface texts keep the Windows form ("\\?\hid#vid_28bd&pid_0935&mi_02&col01#<node>")
// so the model-table matching rules run unchanged on every backend. The text is also
// what open() takes; <node> is backend-specific (a hidraw node, a simulated device).

#include "platform/hid/readstop.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVector>

#include <cstdint>
#include <memory>

class HidMonitor; // platform/hid/hidmonitor.h

struct HidDeviceInfo {
    QString path;              // interface text, Windows form; open() takes it
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    int interfaceNumber = -1;  // USB interface; -1 for Bluetooth
    int collection = 0;        // top-level collection, 1-based; 0 when the device has one
    int bus = 3;               // 3 USB, 5 Bluetooth
    QString manufacturer;
    QString product;
    QString serial;
};
Q_DECLARE_METATYPE(HidDeviceInfo)

// One open interface. RAII: destroying it closes the device.
// write() and readTimeout()/readWait() may run on two threads at once (the command sender
// and the reading thread); every backend makes that safe.
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // Writes an output report (byte 0 is the report id). Returns the bytes written or -1.
    virtual int write(const uint8_t *data, int length) = 0;

    // Reads one input report. Returns its length, 0 when nothing came within
    // timeoutMs, -1 when the device is gone or failed.
    virtual int readTimeout(uint8_t *buffer, int size, int timeoutMs) = 0;

    // Reads one input report, waiting as long as it takes. Returns its length, 0 once
    // stop was asked (at once, also when asked during the wait), -1 when the device is
    // gone or failed. Backends that wait on the device itself (hidraw, the simulated
    // tablet) cost nothing while it is idle; this default waits in readTimeout() slices.
    virtual int readWait(uint8_t *buffer, int size, ReadStop &stop)
    {
        while (!stop.stopped()) {
            const int n = readTimeout(buffer, size, kReadSliceMs);
            if (n != 0)
                return n;
        }
        return 0;
    }
    static constexpr int kReadSliceMs = 100;

    // Indexed string descriptor as text. False when the device has no such string.
    virtual bool indexedString(int index, QString *text) = 0;

    // Indexed string descriptor as raw bytes (UTF-16LE payload without the descriptor
    // header), at most size bytes. Returns the byte count or -1.
    virtual int indexedStringRaw(int index, uint8_t *buffer, int size) = 0;

    // Takes the kernel's own input nodes of this interface away from everyone else, so
    // the pen does not move the pointer a second time. The open takes them already; call
    // again after a resume to take nodes that came back. Returns the nodes held (0 where
    // the backend has none). Released when the device is destroyed.
    virtual int grabKernelInput() { return 0; }
};

class HidBackend {
public:
    virtual ~HidBackend() = default;

    // Starts the backend (library init). False when HID access is impossible.
    virtual bool init() = 0;

    // Interfaces of the given vendor (0 = every vendor) that are present now.
    virtual QVector<HidDeviceInfo> enumerate(uint16_t vendorId) = 0;

    // Opens an interface by the text enumerate() gave. Null on failure.
    virtual std::unique_ptr<HidDevice> open(const QString &path) = 0;

    // A watcher of arrivals and removals of the given vendor's interfaces (0 = every
    // vendor). Its signals come on the thread that created it; call start() there.
    virtual std::unique_ptr<HidMonitor> createMonitor(uint16_t vendorId) = 0;
};
