#pragma once
// The test side of the mock BlueZ (mockbluez.py): starts it on a private bus, points
// the system bus address of this process at that bus, and drives it.

#include "privatebus.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <memory>

struct MockCharacteristic {
    QString uuid;
    QStringList flags;
};

namespace MockUuid {
// 128-bit forms on the Bluetooth base UUID, as BlueZ writes them.
QString Base(quint16 value);
} // namespace MockUuid

class MockBluez {
public:
    // Starts the bus and the mock; false (with reason()) when that is impossible here.
    bool start();
    QString reason() const { return m_reason; }
    QString busAddress() const { return m_bus ? m_bus->address() : QString(); }

    // A paired, connected LE device with one GATT service. Returns its object path.
    QString addTablet(const QString &address, const QString &name, const QString &serviceUuid,
                      const QList<MockCharacteristic> &characteristics);
    // The usual vendor layout: 0x0001 write, 0x0002 notify (B), 0x0003 notify (A).
    QString addStandardTablet(const QString &address, const QString &name);
    // The characteristic paths of a device, in handle order.
    QStringList characteristics(const QString &devicePath);

    bool setConnected(const QString &devicePath, bool connected);
    // True when the characteristic is subscribed and the value went out.
    bool notify(const QString &characteristicPath, const QByteArray &value);
    QList<QByteArray> writes(const QString &characteristicPath);
    bool setStorage(const QString &devicePath, const QByteArray &content, const QByteArray &accessCode,
                    bool answers);
    bool setWriteFails(const QString &devicePath, bool fails);
    bool isNotifying(const QString &characteristicPath);

    PrivateBus &bus() { return *m_bus; }

private:
    bool call(const QString &path, const QString &interface, const QString &method, const QVariantList &args,
              QVariantList *results = nullptr);

    std::unique_ptr<PrivateBus> m_bus;
    QString m_reason;
};
