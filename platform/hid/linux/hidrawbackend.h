#pragma once
// The HID facility on Linux: hidraw nodes found through udev, opened as plain
// descriptors.
// See hidrawfacts.h for the interface texts and hidrawdevice.h for an open device.

#include "platform/hid/hidbackend.h"
#include "platform/hid/linux/hidrawsystem.h"
#include "platform/hid/linux/inputgrab.h"

#include <memory>

class HidrawBackend : public HidBackend {
public:
    // The real system.
    HidrawBackend();
    // Given parts (tests).
    HidrawBackend(std::shared_ptr<HidrawSystem> system, std::shared_ptr<InputGrabber> grabber);

    bool init() override;
    QVector<HidDeviceInfo> enumerate(uint16_t vendorId) override;
    // Opens the hidraw node named in the text after checking that the node still is the
    // interface the text describes (node numbers are reused after a re-plug), and grabs
    // the kernel's input nodes of the same device.
    std::unique_ptr<HidDevice> open(const QString &path) override;
    std::unique_ptr<HidMonitor> createMonitor(uint16_t vendorId) override;

private:
    std::shared_ptr<HidrawSystem> m_system;
    std::shared_ptr<InputGrabber> m_grabber;
};
