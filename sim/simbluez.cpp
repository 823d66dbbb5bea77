#include "sim/simbluez.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMap>
#include <QStringList>
#include <QUuid>

#include <mutex>

using SimBluezInterfaces = QMap<QString, QVariantMap>;
using SimBluezManaged = QMap<QDBusObjectPath, SimBluezInterfaces>;
Q_DECLARE_METATYPE(SimBluezInterfaces)
Q_DECLARE_METATYPE(SimBluezManaged)

namespace {

const char kAdapter[] = "/org/bluez/hci0";
const QString kDevice = QStringLiteral("org.bluez.Device1");
const QString kService = QStringLiteral("org.bluez.GattService1");
const QString kCharacteristic = QStringLiteral("org.bluez.GattCharacteristic1");
const QString kMock = QStringLiteral("org.bluez.Mock");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
constexpr int kStartMs = 5000;
constexpr int kCallMs = 2000;

} // namespace

class SimBluezObjects : public QDBusVirtualObject {
public:
    explicit SimBluezObjects(QString connectionName) : m_connectionName(std::move(connectionName)) {}

    QString introspect(const QString &path) const override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // The children one level below path, as nodes.
        QStringList nodes;
        const QString prefix = path == QLatin1String("/") ? path : path + QLatin1Char('/');
        for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
            const QString p = it.key().path();
            if (!p.startsWith(prefix) || p == path)
                continue;
            const QString child = p.mid(prefix.size()).section(QLatin1Char('/'), 0, 0);
            if (!nodes.contains(child))
                nodes << child;
        }
        if (path == QLatin1String("/") || QString::fromLatin1(kAdapter).startsWith(prefix)) {
            const QString child = QString::fromLatin1(kAdapter).mid(prefix.size()).section(QLatin1Char('/'), 0, 0);
            if (!child.isEmpty() && !nodes.contains(child))
                nodes << child;
        }
        QString xml;
        for (const QString &n : nodes)
            xml += QStringLiteral("<node name=\"%1\"/>\n").arg(n);
        return xml;
    }

    bool handleMessage(const QDBusMessage &m, const QDBusConnection &connection) override
    {
        const QString iface = m.interface();
        const QString member = m.member();
        const QList<QVariant> args = m.arguments();
        if (member == QLatin1String("Introspect")) {
            connection.send(m.createReply(QStringLiteral("<node>\n%1</node>\n").arg(introspect(m.path()))));
            return true;
        }
        if (iface == kObjectManager && member == QLatin1String("GetManagedObjects")) {
            std::lock_guard<std::mutex> lock(m_lock);
            connection.send(m.createReply(QVariant::fromValue(m_objects)));
            return true;
        }
        if (iface == kMock && member == QLatin1String("AddTablet") && args.size() == 5) {
            const QDBusObjectPath path = AddTablet(args[0].toString(), args[1].toString(), args[2].toString(),
                                                   args[3].toStringList(), args[4].toStringList(), connection);
            connection.send(m.createReply(QVariant::fromValue(path)));
            return true;
        }
        if (iface == kMock && member == QLatin1String("Notify") && args.size() == 2) {
            const QString path = qvariant_cast<QDBusObjectPath>(args[0]).path();
            const bool notifying = Property(path, kCharacteristic, QStringLiteral("Notifying")).toBool();
            if (notifying)
                SetProperty(path, kCharacteristic, QStringLiteral("Value"), args[1].toByteArray(), connection);
            connection.send(m.createReply(notifying));
            return true;
        }
        if (iface == kMock && member == QLatin1String("SetConnected") && args.size() == 2) {
            const QString path = qvariant_cast<QDBusObjectPath>(args[0]).path();
            SetProperty(path, kDevice, QStringLiteral("Connected"), args[1].toBool(), connection);
            connection.send(m.createReply());
            return true;
        }
        if (iface == kDevice && (member == QLatin1String("Connect") || member == QLatin1String("Disconnect"))) {
            SetProperty(m.path(), kDevice, QStringLiteral("Connected"), member == QLatin1String("Connect"), connection);
            connection.send(m.createReply());
            return true;
        }
        if (iface == kCharacteristic && (member == QLatin1String("StartNotify") || member == QLatin1String("StopNotify"))) {
            SetProperty(m.path(), kCharacteristic, QStringLiteral("Notifying"), member == QLatin1String("StartNotify"),
                        connection);
            connection.send(m.createReply());
            return true;
        }
        if (iface == kCharacteristic && member == QLatin1String("ReadValue")) {
            connection.send(m.createReply(Property(m.path(), kCharacteristic, QStringLiteral("Value")).toByteArray()));
            return true;
        }
        if (iface == kCharacteristic && member == QLatin1String("WriteValue") && !args.isEmpty()) {
            QDBusMessage written = QDBusMessage::createSignal(QStringLiteral("/"), kMock, QStringLiteral("Written"));
            written << QVariant::fromValue(QDBusObjectPath(m.path())) << args[0].toByteArray();
            connection.send(written);
            connection.send(m.createReply());
            return true;
        }
        if (iface == kProperties && member == QLatin1String("Get") && args.size() == 2) {
            connection.send(m.createReply(QVariant::fromValue(QDBusVariant(Property(m.path(), args[0].toString(),
                                                                                     args[1].toString())))));
            return true;
        }
        if (iface == kProperties && member == QLatin1String("GetAll") && args.size() == 1) {
            std::lock_guard<std::mutex> lock(m_lock);
            connection.send(m.createReply(m_objects.value(QDBusObjectPath(m.path())).value(args[0].toString())));
            return true;
        }
        connection.send(m.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                           QStringLiteral("%1.%2 is not simulated").arg(iface, member)));
        return true;
    }

private:
    QVariant Property(const QString &path, const QString &iface, const QString &name) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_objects.value(QDBusObjectPath(path)).value(iface).value(name);
    }

    void SetProperty(const QString &path, const QString &iface, const QString &name, const QVariant &value,
                     const QDBusConnection &connection)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            auto it = m_objects.find(QDBusObjectPath(path));
            if (it == m_objects.end())
                return;
            (*it)[iface][name] = value;
        }
        QDBusMessage changed = QDBusMessage::createSignal(path, kProperties, QStringLiteral("PropertiesChanged"));
        changed << iface << QVariantMap{{name, value}} << QStringList();
        connection.send(changed);
    }

    void Added(const QString &path, const SimBluezInterfaces &interfaces, const QDBusConnection &connection)
    {
        QDBusMessage added = QDBusMessage::createSignal(QStringLiteral("/"), kObjectManager,
                                                        QStringLiteral("InterfacesAdded"));
        added << QVariant::fromValue(QDBusObjectPath(path)) << QVariant::fromValue(interfaces);
        connection.send(added);
    }

    QDBusObjectPath AddTablet(const QString &address, const QString &name, const QString &serviceUuid,
                              const QStringList &uuids, const QStringList &flags, const QDBusConnection &connection)
    {
        const QString device = QString::fromLatin1(kAdapter) + QStringLiteral("/dev_")
                               + QString(address).replace(QLatin1Char(':'), QLatin1Char('_')).toUpper();
        QVector<std::pair<QString, SimBluezInterfaces>> created;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            // A tablet at this address from before gives way.
            for (auto it = m_objects.begin(); it != m_objects.end();) {
                const QString p = it.key().path();
                it = (p == device || p.startsWith(device + QLatin1Char('/'))) ? m_objects.erase(it) : it + 1;
            }
            SimBluezInterfaces d;
            d[kDevice] = QVariantMap{{QStringLiteral("Address"), address},
                                     {QStringLiteral("AddressType"), QStringLiteral("random")},
                                     {QStringLiteral("Name"), name},
                                     {QStringLiteral("Alias"), name},
                                     {QStringLiteral("Paired"), true},
                                     {QStringLiteral("Bonded"), true},
                                     {QStringLiteral("Trusted"), true},
                                     {QStringLiteral("Connected"), true},
                                     {QStringLiteral("ServicesResolved"), true},
                                     {QStringLiteral("Adapter"), QVariant::fromValue(QDBusObjectPath(kAdapter))},
                                     {QStringLiteral("UUIDs"), QStringList{serviceUuid}}};
            m_objects[QDBusObjectPath(device)] = d;
            created.append({device, d});
            const QString service = QStringLiteral("%1/service%2").arg(device).arg(m_nextHandle++, 4, 16, QLatin1Char('0'));
            SimBluezInterfaces s;
            s[kService] = QVariantMap{{QStringLiteral("UUID"), serviceUuid},
                                      {QStringLiteral("Device"), QVariant::fromValue(QDBusObjectPath(device))},
                                      {QStringLiteral("Primary"), true}};
            m_objects[QDBusObjectPath(service)] = s;
            created.append({service, s});
            for (int i = 0; i < uuids.size(); ++i) {
                const QString characteristic =
                    QStringLiteral("%1/char%2").arg(service).arg(m_nextHandle, 4, 16, QLatin1Char('0'));
                m_nextHandle += 2;
                SimBluezInterfaces c;
                c[kCharacteristic] =
                    QVariantMap{{QStringLiteral("UUID"), uuids[i]},
                                {QStringLiteral("Service"), QVariant::fromValue(QDBusObjectPath(service))},
                                {QStringLiteral("Flags"), flags.value(i).split(QLatin1Char(','), Qt::SkipEmptyParts)},
                                {QStringLiteral("Value"), QByteArray()},
                                {QStringLiteral("Notifying"), false}};
                m_objects[QDBusObjectPath(characteristic)] = c;
                created.append({characteristic, c});
            }
        }
        for (const auto &c : created)
            Added(c.first, c.second, connection);
        return QDBusObjectPath(device);
    }

    const QString m_connectionName;
    mutable std::mutex m_lock; // guards everything below
    SimBluezManaged m_objects;
    int m_nextHandle = 1;
};

std::unique_ptr<SimBluez> SimBluez::Start(QString *why)
{
    qDBusRegisterMetaType<SimBluezInterfaces>();
    qDBusRegisterMetaType<SimBluezManaged>();
    std::unique_ptr<SimBluez> bluez(new SimBluez);
    bluez->m_daemon.start(QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!bluez->m_daemon.waitForStarted(kStartMs)) {
        *why = QStringLiteral("dbus-daemon did not start: ") + bluez->m_daemon.errorString();
        return nullptr;
    }
    while (!bluez->m_daemon.canReadLine() && bluez->m_daemon.waitForReadyRead(kStartMs)) {
    }
    bluez->m_address = QString::fromUtf8(bluez->m_daemon.readLine().trimmed());
    if (bluez->m_address.isEmpty()) {
        *why = QStringLiteral("dbus-daemon gave no address");
        return nullptr;
    }
    bluez->m_connectionName = QStringLiteral("sim-bluez-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDBusConnection bus = QDBusConnection::connectToBus(bluez->m_address, bluez->m_connectionName);
    bluez->m_objects = std::make_unique<SimBluezObjects>(bluez->m_connectionName);
    if (!bus.isConnected() || !bus.registerService(QStringLiteral("org.bluez"))
        || !bus.registerVirtualObject(QStringLiteral("/"), bluez->m_objects.get(), QDBusConnection::SubPath)) {
        *why = QStringLiteral("the private bus did not take the stand-in: ") + bus.lastError().message();
        return nullptr;
    }
    bluez->m_objects->moveToThread(&bluez->m_thread);
    bluez->m_thread.start();
    bluez->m_hadAddress = qEnvironmentVariableIsSet("DBUS_SYSTEM_BUS_ADDRESS");
    bluez->m_previousAddress = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bluez->m_address.toUtf8());
    return bluez;
}

SimBluez::~SimBluez()
{
    if (!m_connectionName.isEmpty()) {
        QDBusConnection(m_connectionName).unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
    m_thread.quit();
    m_thread.wait();
    m_objects.reset();
    if (!m_address.isEmpty()) {
        if (m_hadAddress)
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_previousAddress);
        else
            qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(kCallMs))
            m_daemon.kill();
        m_daemon.waitForFinished(kCallMs);
    }
}

bool BluezReachable()
{
    QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty())
        address = QStringLiteral("unix:path=/var/run/dbus/system_bus_socket");
    const QString name = QStringLiteral("sim-bluez-probe-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool reachable = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        reachable = bus.isConnected() && bus.interface()
                    && bus.interface()->isServiceRegistered(QStringLiteral("org.bluez")).value();
    }
    QDBusConnection::disconnectFromBus(name);
    return reachable;
}
