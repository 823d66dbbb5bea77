#pragma once
// One uinput device made through libevdev. RAII: destroying it unregisters the device
// (the kernel then lets go of any key it still held down) and closes /dev/uinput.

#include <QByteArray>

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

    bool write(uint16_t type, uint16_t code, int32_t value);

    // The /dev/input/event* node the kernel made for it (empty when unknown).
    QByteArray devnode() const;

private:
    UinputDevice(int fd, libevdev_uinput *uinput) : m_fd(fd), m_uinput(uinput) {}

    int m_fd;
    libevdev_uinput *m_uinput;
};

// Whether uinputPath can be opened for writing now.
bool uinputAvailable(const QByteArray &uinputPath);
