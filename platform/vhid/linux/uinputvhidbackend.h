#pragma once
// Linux backend of the vhid facility: the virtual device is a bridge onto three uinput
// devices (pen tablet, absolute mouse, relative mouse) that the kernel and libinput
// take as real ones. It is listed, under the hardware id "HID\\Inkora&COL05", only while
// /dev/uinput can be opened for writing; otherwise there is simply no virtual device.

#include "platform/vhid/vhidbackend.h"

#include <QByteArray>

class UinputVhidBackend : public VhidBackend {
public:
    explicit UinputVhidBackend(const QByteArray &uinputPath = QByteArrayLiteral("/dev/uinput"));

    bool enumerate(QVector<VhidDeviceInfo> *devices) override;
    // Creates the three devices. Do it once: each open makes new ones.
    std::unique_ptr<VhidDevice> open(const QString &path, int *error) override;

private:
    QByteArray m_uinputPath;
    bool m_told = false; // why the device is missing was logged (once per backend)
};
