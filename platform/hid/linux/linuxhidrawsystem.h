#pragma once
// The real system behind the hidraw backend: libudev for the facts, the hidraw node for
// the reports (poll and read, write), libusb control transfers for raw string descriptors.

#include "platform/hid/linux/hidrawsystem.h"

#include <mutex>

struct udev;
struct udev_device;
struct libusb_context;

class LinuxHidrawSystem : public HidrawSystem {
public:
    LinuxHidrawSystem();
    ~LinuxHidrawSystem() override;
    LinuxHidrawSystem(const LinuxHidrawSystem &) = delete;
    LinuxHidrawSystem &operator=(const LinuxHidrawSystem &) = delete;

    QVector<HidrawTree> hidrawNodes() override;
    bool hidrawNode(const QString &sysname, HidrawTree *tree) override;
    std::unique_ptr<HidrawHandle> openHandle(const QString &devnode) override;
    int usbStringDescriptor(int busnum, int devnum, int index, uint8_t *buffer, int size) override;

    // The facts of one hidraw udev device (from an enumeration or a monitor notice).
    static void ReadTree(udev *context, udev_device *hidraw, HidrawTree *tree);

private:
    // Each call takes a udev context of its own: libudev contexts are not for sharing
    // between threads.
    std::mutex m_usbLock;   // guards m_usb and its lazy creation
    libusb_context *m_usb = nullptr;
    bool m_usbFailed = false;
};
