#pragma once
// The power facility: tells when the system comes back from sleep, so every USB tablet
// is sent its report mode again (devices forget it while suspended).

#include <QObject>

class PowerMonitor : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~PowerMonitor() override = default;

    // False when the system offers no sleep notices (the program then runs without).
    virtual bool isAvailable() const = 0;

signals:
    void suspending();
    void resumed();
};
