#include "mockbluezclient.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>

namespace {
const QString kService = QStringLiteral("org.bluez");
const QString kMock = QStringLiteral("org.bluez.Mock");
} // namespace

QString MockUuid::Base(quint16 value)
{
    return QStringLiteral("0000%1-0000-1000-8000-00805f9b34fb").arg(value, 4, 16, QLatin1Char('0'));
}

bool MockBluez::start()
{
    m_bus = std::make_unique<PrivateBus>();
    if (!m_bus->isRunning()) {
        m_reason = m_bus->reason();
        return false;
    }
    const QString script = qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/tests/ble/mockbluez.py");
    if (!QFileInfo::exists(script)) {
        m_reason = QStringLiteral("no mock template at ") + script;
        return false;
    }
    if (!m_bus->startTemplate(script, kService)) {
        m_reason = m_bus->reason();
        return false;
    }
    // The library and the program reach BlueZ on the system bus.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus->address().toLocal8Bit());
    return true;
}

bool MockBluez::call(const QString &path, const QString &interface, const QString &method,
                     const QVariantList &args, QVariantList *results)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = m_bus->connection().call(message, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        m_reason = reply.errorMessage();
        return false;
    }
    if (results)
        *results = reply.arguments();
    return true;
}

QString MockBluez::addTablet(const QString &address, const QString &name, const QString &serviceUuid,
                             const QList<MockCharacteristic> &characteristics)
{
    QStringList uuids;
    QStringList flags;
    for (const MockCharacteristic &c : characteristics) {
        uuids << c.uuid;
        flags << c.flags.join(QLatin1Char(','));
    }
    QVariantList out;
    if (!call(QStringLiteral("/"), kMock, QStringLiteral("AddTablet"), {address, name, serviceUuid, uuids, flags},
              &out)
        || out.isEmpty())
        return QString();
    return qvariant_cast<QDBusObjectPath>(out.first()).path();
}

QString MockBluez::addStandardTablet(const QString &address, const QString &name)
{
    return addTablet(address, name, MockUuid::Base(0xFFF0),
                     {{MockUuid::Base(0x0001), {QStringLiteral("write")}},
                      {MockUuid::Base(0x0002), {QStringLiteral("notify")}},
                      {MockUuid::Base(0x0003), {QStringLiteral("notify")}}});
}

QStringList MockBluez::characteristics(const QString &devicePath)
{
    QVariantList out;
    if (!call(QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
              QStringLiteral("GetManagedObjects"), {}, &out)
        || out.isEmpty())
        return {};
    // a{oa{sa{sv}}}: only the keys are needed.
    QStringList paths;
    const QDBusArgument arg = out.first().value<QDBusArgument>();
    arg.beginMap();
    while (!arg.atEnd()) {
        arg.beginMapEntry();
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        arg >> path >> interfaces;
        arg.endMapEntry();
        if (path.path().startsWith(devicePath + QLatin1Char('/'))
            && interfaces.contains(QStringLiteral("org.bluez.GattCharacteristic1")))
            paths << path.path();
    }
    arg.endMap();
    paths.sort();
    return paths;
}

bool MockBluez::setConnected(const QString &devicePath, bool connected)
{
    return call(QStringLiteral("/"), kMock, QStringLiteral("SetConnected"),
                {QVariant::fromValue(QDBusObjectPath(devicePath)), connected});
}

bool MockBluez::notify(const QString &characteristicPath, const QByteArray &value)
{
    QVariantList out;
    return call(QStringLiteral("/"), kMock, QStringLiteral("Notify"),
                {QVariant::fromValue(QDBusObjectPath(characteristicPath)), value}, &out)
        && !out.isEmpty() && out.first().toBool();
}

QList<QByteArray> MockBluez::writes(const QString &characteristicPath)
{
    QVariantList out;
    if (!call(QStringLiteral("/"), kMock, QStringLiteral("Writes"),
              {QVariant::fromValue(QDBusObjectPath(characteristicPath))}, &out)
        || out.isEmpty())
        return {};
    return qdbus_cast<QList<QByteArray>>(out.first());
}

bool MockBluez::setStorage(const QString &devicePath, const QByteArray &content, const QByteArray &accessCode,
                           bool answers)
{
    return call(QStringLiteral("/"), kMock, QStringLiteral("SetStorage"),
                {QVariant::fromValue(QDBusObjectPath(devicePath)), content, accessCode, answers});
}

bool MockBluez::setWriteFails(const QString &devicePath, bool fails)
{
    return call(QStringLiteral("/"), kMock, QStringLiteral("SetWriteFails"),
                {QVariant::fromValue(QDBusObjectPath(devicePath)), fails});
}

bool MockBluez::isNotifying(const QString &characteristicPath)
{
    QVariantList out;
    if (!call(characteristicPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
              {QStringLiteral("org.bluez.GattCharacteristic1"), QStringLiteral("Notifying")}, &out)
        || out.isEmpty())
        return false;
    return out.first().value<QDBusVariant>().variant().toBool();
}
