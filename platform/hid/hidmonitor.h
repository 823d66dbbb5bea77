#pragma once
// Arrival and removal of HID interfaces while the program runs: the counterpart of the
// device-interface notices. Each interface text (one per top-level collection) arrives
// and leaves on its own, with the same text enumerate() gives, so a removal can be
// matched against the path an open tablet keeps.

#include "platform/hid/hidbackend.h"

#include <QObject>

class HidMonitor : public QObject {
    Q_OBJECT

public:
    explicit HidMonitor(QObject *parent = nullptr) : QObject(parent)
    {
        qRegisterMetaType<HidDeviceInfo>();
    }
    ~HidMonitor() override = default;

    // Starts watching. False when the system gives no notices (hot-plug then goes
    // unnoticed; what enumerate() found still works).
    virtual bool start() = 0;

signals:
    void interfaceArrived(const HidDeviceInfo &info);
    void interfaceRemoved(const HidDeviceInfo &info);
};
