#pragma once
// What the hidraw backend takes from the system: udev facts, node handles and USB
// string descriptors. LinuxHidrawSystem is the real one; tests give fixtures.

#include "platform/hid/linux/hidrawfacts.h"

#include <QString>
#include <QVector>

#include <poll.h>

#include <cstdint>
#include <memory>

// One handle on a hidraw node.
class HidrawHandle {
public:
    virtual ~HidrawHandle() = default;
    // The report length, 0 after timeoutMs without one, -1 on failure. On -1, *error is
    // the errno of the failing call, or 0 when the node reported a hang-up or error
    // condition without one (the device is gone).
    virtual int readTimeout(uint8_t *buffer, int size, int timeoutMs, int *error) = 0;
    // As readTimeout() without a time-out: 0 once stopFd (a ReadStop's descriptor) is
    // readable. Handles without a descriptor of their own wait in slices.
    virtual int readWait(uint8_t *buffer, int size, int stopFd, int *error)
    {
        for (;;) {
            const int n = readTimeout(buffer, size, kWaitSliceMs, error);
            if (n != 0)
                return n;
            pollfd stop = {stopFd, POLLIN, 0};
            if (stopFd < 0 || poll(&stop, 1, 0) != 0)
                return 0;
        }
    }
    static constexpr int kWaitSliceMs = 100;
    // The bytes written or -1.
    virtual int write(const uint8_t *data, int length) = 0;
};

class HidrawSystem {
public:
    virtual ~HidrawSystem() = default;
    // Every hidraw node present now.
    virtual QVector<HidrawTree> hidrawNodes() = 0;
    // One node by its name ("hidraw3"). False when it is not present.
    virtual bool hidrawNode(const QString &sysname, HidrawTree *tree) = 0;
    // A handle on a hidraw device node, or null.
    virtual std::unique_ptr<HidrawHandle> openHandle(const QString &devnode) = 0;
    // String descriptor `index` of the USB device at busnum/devnum as raw bytes,
    // header included ([bLength][0x03][UTF-16LE...]), at most size bytes. Returns the
    // byte count or -1.
    virtual int usbStringDescriptor(int busnum, int devnum, int index, uint8_t *buffer, int size) = 0;
};
