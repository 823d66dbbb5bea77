#pragma once
// Sleep notices from logind: PrepareForSleep(true) before the system sleeps,
// PrepareForSleep(false) after it woke up, on org.freedesktop.login1.Manager (system bus).

#include "platform/power/powermonitor.h"

#include <QDBusConnection>

class LogindPowerMonitor : public PowerMonitor {
    Q_OBJECT

public:
    // connection: the system bus in the program; tests pass a private bus.
    explicit LogindPowerMonitor(const QDBusConnection &connection = QDBusConnection::systemBus(),
                                QObject *parent = nullptr);
    bool isAvailable() const override { return m_available; }

private slots:
    void onPrepareForSleep(bool start);

private:
    QDBusConnection m_connection;
    bool m_available = false;
};
