#pragma once
// A BlueZ stand-in for `Inkora --simulate` on a machine where no BlueZ answers: a
// private message bus (a dbus-daemon child of this process, ended with this object)
// on which this process owns "org.bluez" and answers what libInkBLE and SimBleTablet
// ask of it: the object manager's GetManagedObjects, the devices' Connect and
// Disconnect, the characteristics' StartNotify, StopNotify, ReadValue and WriteValue,
// the properties with their PropertiesChanged signals, and the simulation's own
// org.bluez.Mock calls (AddTablet, Notify, SetConnected, and the Written signal).
// DBUS_SYSTEM_BUS_ADDRESS names the private bus while the stand-in runs.
//
// Threads: the objects live on a thread of their own (a caller may block on them from
// the GUI thread); their state has a lock.

#include <QProcess>
#include <QString>
#include <QThread>

#include <memory>

class SimBluezObjects;

class SimBluez {
public:
    // Null (with *why) when the bus or the name cannot be had.
    static std::unique_ptr<SimBluez> Start(QString *why);
    ~SimBluez();
    SimBluez(const SimBluez &) = delete;
    SimBluez &operator=(const SimBluez &) = delete;

    QString address() const { return m_address; }

private:
    SimBluez() = default;

    QProcess m_daemon;
    QThread m_thread; // the objects answer here, so a blocking call from any other thread is served
    QString m_address;
    QString m_connectionName;
    QByteArray m_previousAddress; // DBUS_SYSTEM_BUS_ADDRESS before, put back at the end
    bool m_hadAddress = false;
    std::unique_ptr<SimBluezObjects> m_objects;
};

// Whether something owns "org.bluez" on the system bus DBUS_SYSTEM_BUS_ADDRESS names
// (the system's default bus without it).
bool BluezReachable();
