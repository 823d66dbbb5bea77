#pragma once
// The vhid facility: the tablet driver's virtual HID device, which takes the program's
// 65-byte output reports (platform/vhid/vhidreport.h) and turns them into pen and
// mouse input of the system. The program finds it among the present HID devices by
// its first hardware id and writes reports to it.

#include <QString>
#include <QVector>

#include <cstdint>
#include <memory>

struct VhidDeviceInfo {
    QString hardwareId; // first hardware id, Windows form ("HID\\Inkora&COL05")
    QString path;       // what open() takes
};

// One open virtual device. RAII: destroying it first releases what it holds (as
// releaseAll()), then closes it. Every call may come from any reading thread; each
// backend serialises them.
class VhidDevice {
public:
    virtual ~VhidDevice() = default;

    // Writes one report to the device. False with *error (an errno value) on failure.
    virtual bool write(const uint8_t *report, int length, int *error) = 0;
    // Sends it as an HID output report instead of a write.
    virtual bool setOutputReport(const uint8_t *report, int length, int *error) = 0;

    // Takes the pen out of range and releases every button the device holds pressed:
    // for a tablet that closes or vanishes while the pen is in range or a button down.
    virtual void releaseAll() = 0;
};

class VhidBackend {
public:
    virtual ~VhidBackend() = default;

    // The present HID devices with their first hardware ids. False when the device list
    // cannot be had at all.
    virtual bool enumerate(QVector<VhidDeviceInfo> *devices) = 0;

    // Opens a device enumerate() listed. Null with *error (an errno value) on failure.
    virtual std::unique_ptr<VhidDevice> open(const QString &path, int *error) = 0;
};
