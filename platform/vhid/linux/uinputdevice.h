#pragma once
// One uinput device made through libevdev. RAII: destroying it unregisters the device
// (the kernel then lets go of any key it still held down) and closes /dev/uinput.
// Not thread-safe: its owner serialises the writes.

#include <QByteArray>

#include <linux/input.h>

#include <cstdint>
#include <functional>
#include <memory>

struct libevdev;
struct libevdev_uinput;

class UinputDevice {
public:
    ~UinputDevice();
    UinputDevice(const UinputDevice &) = delete;
    UinputDevice &operator=(const UinputDevice &) = delete;

    // Opens uinputPath and registers a device that describe() sets up (name, ids,
    // event codes, properties). Null with *error (an errno value) on failure.
    static std::unique_ptr<UinputDevice> create(const QByteArray &uinputPath,
                                                const std::function<void(libevdev *)> &describe,
                                                int *error);

    // One event. The events of a frame are kept and go to the kernel in one write() at
    // its SYN_REPORT, when the kernel passes them on anyway: one system call a report
    // instead of one an event. False when the event is not one of this device's kinds
    // or the frame's write failed (for the SYN_REPORT, or the event before it when the
    // frame is full).
    bool write(uint16_t type, uint16_t code, int32_t value);

    // The /dev/input/event* node the kernel made for it (empty when unknown).
    QByteArray devnode() const;

private:
    UinputDevice(int fd, libevdev_uinput *uinput) : m_fd(fd), m_uinput(uinput) {}

    bool flush();

    int m_fd;
    libevdev_uinput *m_uinput;
    // The frame so far. A device is written under its owner's lock (VhidBridgeDevice).
    static constexpr int kFrameEvents = 32;
    input_event m_frame[kFrameEvents];
    int m_frameCount = 0;
};

// Whether uinputPath can be opened for writing now.
bool uinputAvailable(const QByteArray &uinputPath);
