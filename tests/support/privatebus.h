#pragma once
// A private D-Bus daemon for one test, and python-dbusmock services on it. Tests reach
// logind and BlueZ through the same interfaces the program uses, against mocks they
// start themselves; nothing touches the machine's own buses.

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();

    // False (with reason()) when dbus-daemon or python3-dbusmock is missing.
    bool isRunning() const { return !m_address.isEmpty(); }
    QString reason() const { return m_reason; }
    QString address() const { return m_address; }
    QDBusConnection connection() const;

    // Starts `python3 -m dbusmock --template NAME` on the bus and waits until `service`
    // is owned. False on failure (reason() says why).
    bool startTemplate(const QString &name, const QString &service);

    // Calls org.freedesktop.DBus.Mock.EmitSignal on the mock object at path.
    bool emitSignal(const QString &service, const QString &path, const QString &interface,
                    const QString &signal, const QString &signature, const QVariantList &args);

private:
    QProcess m_daemon;
    std::vector<std::unique_ptr<QProcess>> m_mocks;
    QString m_address;
    QString m_reason;
    QString m_connectionName;
};
