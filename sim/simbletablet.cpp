#include "sim/simbletablet.h"

#include "config/modeltables.h"
#include "platform/hid/hidmonitor.h"
#include "sim/simbluez.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDebug>
#include <QRegularExpression>
#include <QThread>
#include <QUuid>

#include <map>

namespace {

const QString kBluez = QStringLiteral("org.bluez");
const QString kMock = QStringLiteral("org.bluez.Mock");
constexpr int kCallTimeoutMs = 5000;
constexpr int kReportSize = 64;
constexpr int kPumpWaitMs = 20; // how long the report thread may take to see its stop flag

// A Bluetooth tablet answers on its notify characteristic B (0x0002).
constexpr int kWriteCharacteristic = 0;
constexpr int kReplyCharacteristic = 1;

QString BaseUuid(quint16 value)
{
    return QStringLiteral("0000%1-0000-1000-8000-00805f9b34fb").arg(value, 4, 16, QLatin1Char('0'));
}

// pid    if col kind key               product            maxX   maxY  press  res  len pens keys rings touch light b8 rcv board batt firmware date
const QVector<SimModel> kSimBleModels = {
    {0x0801, 0, 1, 1, "InkoraPadAirS", "Inkora Air S", 32000, 20000, 8191, 5080, 10, 1, 6, 0, false, false, true, false, false, true, "AIR0801-A", "20240110"},
    {0x0804, 0, 1, 1, "InkoraPadAirRing", "Inkora Air Ring", 40640, 25400, 8191, 5080, 10, 1, 8, 1, true, false, true, false, false, true, "AIR0804-B", "20240402"},
};

} // namespace

// Receives the mock's Written signals on its own thread and hands the writes to the
// write characteristic to the simulated tablet.
class SimBleWriteReceiver : public QObject {
    Q_OBJECT
public:
    SimBleWriteReceiver(std::shared_ptr<SimTablet> tablet, QString writePath)
        : m_tablet(std::move(tablet)), m_writePath(std::move(writePath))
    {
    }

    void LoseAttributeRequests(uint8_t attribute, int count)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lose[attribute] = count;
    }

public slots:
    void OnWritten(const QDBusObjectPath &path, const QByteArray &value)
    {
        if (path.path() != m_writePath || value.isEmpty())
            return;
        if (value.size() >= 3 && uint8_t(value[0]) == 0x80 && uint8_t(value[1]) == 0x06) {
            std::lock_guard<std::mutex> lock(m_lock);
            int &lose = m_lose[uint8_t(value[2])];
            if (lose > 0) {
                --lose;
                return;
            }
        }
        m_tablet->write(reinterpret_cast<const uint8_t *>(value.constData()), value.size());
    }

private:
    std::shared_ptr<SimTablet> m_tablet;
    const QString m_writePath;
    std::mutex m_lock;
    std::map<uint8_t, int> m_lose; // m_lock: attribute -> requests still to lose
};

namespace SimBleModels {

const QVector<SimModel> &all()
{
    return kSimBleModels;
}

const SimModel *find(uint16_t productId)
{
    for (const SimModel &m : kSimBleModels) {
        if (m.productId == productId)
            return &m;
    }
    return nullptr;
}

} // namespace SimBleModels

SimBleTablet::SimBleTablet(const SimModel &model, const QString &friendlyName, const QString &address, int instance)
    : m_tablet(std::make_shared<SimTablet>(model, instance)), m_name(friendlyName), m_address(address.toUpper())
{
}

SimBleTablet::~SimBleTablet()
{
    m_stop = true;
    if (m_pump.joinable())
        m_pump.join();
    if (m_receiverThread) {
        m_receiverThread->quit();
        m_receiverThread->wait();
        delete m_receiverThread; // the receiver goes with it (deleteLater on finished)
    }
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
}

bool SimBleTablet::attach()
{
    m_connectionName = QStringLiteral("sim-ble-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    // The address is read each time (a test starts a bus of its own for every case).
    QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty())
        address = QStringLiteral("unix:path=/var/run/dbus/system_bus_socket");
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected()) {
        m_reason = QStringLiteral("no system bus");
        return false;
    }
    QDBusMessage add = QDBusMessage::createMethodCall(kBluez, QStringLiteral("/"), kMock, QStringLiteral("AddTablet"));
    add << m_address << m_name << BaseUuid(0xFFF0)
        << QStringList{BaseUuid(0x0001), BaseUuid(0x0002), BaseUuid(0x0003)}
        << QStringList{QStringLiteral("write"), QStringLiteral("notify"), QStringLiteral("notify")};
    const QDBusMessage reply = bus.call(add, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        m_reason = QStringLiteral("no mock BlueZ: ") + reply.errorMessage();
        return false;
    }
    m_devicePath = qvariant_cast<QDBusObjectPath>(reply.arguments().first()).path();
    // The service below the device, and its characteristics in handle order.
    const QDBusMessage intro = bus.call(QDBusMessage::createMethodCall(
        kBluez, m_devicePath, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")));
    const QString serviceNode = QRegularExpression(QStringLiteral("<node name=\"(service[0-9a-f]+)\""))
                                    .match(intro.arguments().value(0).toString())
                                    .captured(1);
    const QString servicePath = m_devicePath + QLatin1Char('/') + serviceNode;
    const QDBusMessage charIntro = bus.call(QDBusMessage::createMethodCall(
        kBluez, servicePath, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")));
    auto it = QRegularExpression(QStringLiteral("<node name=\"(char[0-9a-f]+)\""))
                  .globalMatch(charIntro.arguments().value(0).toString());
    while (it.hasNext())
        m_characteristics << servicePath + QLatin1Char('/') + it.next().captured(1);
    m_characteristics.sort();
    if (serviceNode.isEmpty() || m_characteristics.size() != 3) {
        m_reason = QStringLiteral("the mock BlueZ did not list the tablet's characteristics");
        return false;
    }

    m_receiverThread = new QThread;
    m_receiver = new SimBleWriteReceiver(m_tablet, m_characteristics[kWriteCharacteristic]);
    m_receiver->moveToThread(m_receiverThread);
    QObject::connect(m_receiverThread, &QThread::finished, m_receiver, &QObject::deleteLater);
    m_receiverThread->start();
    if (!bus.connect(kBluez, QStringLiteral("/"), kMock, QStringLiteral("Written"), m_receiver,
                     SLOT(OnWritten(QDBusObjectPath, QByteArray)))) {
        m_reason = QStringLiteral("cannot watch the mock's writes");
        return false;
    }
    m_pump = std::thread(&SimBleTablet::Pump, this);
    return true;
}

void SimBleTablet::Pump()
{
    QDBusConnection bus(m_connectionName);
    const QString reply = m_characteristics[kReplyCharacteristic];
    uint8_t buffer[kReportSize];
    while (!m_stop) {
        const int n = m_tablet->read(buffer, sizeof buffer, kPumpWaitMs);
        if (n < 0)
            break; // unplugged
        if (n == 0)
            continue;
        QDBusMessage notify = QDBusMessage::createMethodCall(kBluez, QStringLiteral("/"), kMock, QStringLiteral("Notify"));
        notify << QVariant::fromValue(QDBusObjectPath(reply)) << QByteArray(reinterpret_cast<const char *>(buffer), n);
        // Reports of a tablet nobody listens to are lost, as over the air.
        bus.call(notify, QDBus::Block, kCallTimeoutMs);
    }
}

HidDeviceInfo SimBleTablet::interfaceInfo() const
{
    const SimModel &m = m_tablet->model();
    HidDeviceInfo info;
    info.path = QStringLiteral("\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&0228bd_pid&%1_rev&0001_%2"
                               "&col%3#simble%4#{4d1e55b2-f16f-11cf-88cb-001111000030}")
                    .arg(m.productId, 4, 16, QLatin1Char('0'))
                    .arg(QString(m_address).remove(QLatin1Char(':')).toLower())
                    .arg(m.collection, 2, 10, QLatin1Char('0'))
                    .arg(m_tablet->instance());
    info.vendorId = 0x28BD;
    info.productId = m.productId;
    info.interfaceNumber = -1;
    info.collection = m.collection;
    info.bus = 5;
    info.product = m_name;
    info.serial = m_address;
    return info;
}

void SimBleTablet::loseAttributeRequests(uint8_t attribute, int count)
{
    if (m_receiver)
        m_receiver->LoseAttributeRequests(attribute, count);
}

bool SimBleTablet::setConnected(bool connected)
{
    QDBusMessage set = QDBusMessage::createMethodCall(kBluez, QStringLiteral("/"), kMock, QStringLiteral("SetConnected"));
    set << QVariant::fromValue(QDBusObjectPath(m_devicePath)) << connected;
    return QDBusConnection(m_connectionName).call(set, QDBus::Block, kCallTimeoutMs).type()
        == QDBusMessage::ReplyMessage;
}

SimBleHidBackend::SimBleHidBackend(std::unique_ptr<HidBackend> inner) : m_inner(std::move(inner)) {}

void SimBleHidBackend::keepBluez(std::unique_ptr<SimBluez> bluez)
{
    m_bluez = std::move(bluez);
}

SimBleHidBackend::~SimBleHidBackend()
{
    // The tablets let go of the bus before the stand-in (if any) ends it.
    m_tablets.clear();
    m_bluez.reset();
}

std::shared_ptr<SimBleTablet> SimBleHidBackend::plug(const SimModel &model, const QString &friendlyName,
                                                     const QString &address)
{
    int instance = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        instance = m_tablets.size();
    }
    auto tablet = std::make_shared<SimBleTablet>(model, friendlyName, address, instance);
    if (!tablet->attach()) {
        qWarning().noquote() << "simulate: Bluetooth tablet" << friendlyName << "not available:" << tablet->reason();
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_tablets.append(tablet);
    return tablet;
}

std::shared_ptr<SimBleTablet> SimBleHidBackend::plugListedOnly(const SimModel &model, const QString &friendlyName,
                                                               const QString &address)
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto tablet = std::make_shared<SimBleTablet>(model, friendlyName, address, m_tablets.size());
    m_tablets.append(tablet);
    return tablet;
}

QVector<std::shared_ptr<SimBleTablet>> SimBleHidBackend::tablets()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_tablets;
}

void SimBleHidBackend::unplug(const std::shared_ptr<SimBleTablet> &tablet)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_tablets.removeAll(tablet);
}

bool SimBleHidBackend::init()
{
    return m_inner ? m_inner->init() : true;
}

QVector<HidDeviceInfo> SimBleHidBackend::enumerate(uint16_t vendorId)
{
    QVector<HidDeviceInfo> list = m_inner ? m_inner->enumerate(vendorId) : QVector<HidDeviceInfo>();
    std::lock_guard<std::mutex> lock(m_lock);
    for (const auto &t : m_tablets) {
        const HidDeviceInfo info = t->interfaceInfo();
        if (vendorId == 0 || info.vendorId == vendorId)
            list.append(info);
    }
    return list;
}

std::unique_ptr<HidDevice> SimBleHidBackend::open(const QString &path)
{
    if (path.contains(QLatin1String("#simble"), Qt::CaseInsensitive))
        return nullptr;
    return m_inner ? m_inner->open(path) : nullptr;
}

std::unique_ptr<HidMonitor> SimBleHidBackend::createMonitor(uint16_t vendorId)
{
    return m_inner ? m_inner->createMonitor(vendorId) : nullptr;
}

QString SimBleAddress(const SimModel &model, int n)
{
    return QStringLiteral("C0:FF:EE:5B:%1:%2")
        .arg(model.productId & 0xFF, 2, 16, QLatin1Char('0'))
        .arg(n, 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString SimBleName(const SimModel &model)
{
    const BleModelEntry *entry = FindBleModel(model.productId);
    return entry ? QString::fromLatin1(entry->bleName) : QString();
}

std::unique_ptr<HidBackend> AddSimulatedBluetooth(std::unique_ptr<HidBackend> backend,
                                                  const QVector<const SimModel *> &models)
{
    if (models.isEmpty())
        return backend;
    auto sim = std::make_unique<SimBleHidBackend>(std::move(backend));
    if (!BluezReachable()) {
        QString why;
        std::unique_ptr<SimBluez> bluez = SimBluez::Start(&why);
        if (bluez) {
            qInfo().noquote() << "simulate: no BlueZ on the system bus; the Bluetooth tablets use a stand-in at"
                              << bluez->address();
            sim->keepBluez(std::move(bluez));
        } else {
            qWarning().noquote() << "simulate: no BlueZ and no stand-in:" << why;
        }
    }
    int n = 0;
    for (const SimModel *m : models) {
        const QString name = SimBleName(*m);
        if (name.isEmpty())
            continue;
        if (sim->plug(*m, name, SimBleAddress(*m, ++n)))
            qInfo().noquote() << "simulate: Bluetooth tablet" << QLatin1String(m->modelKey) << "paired";
    }
    return sim;
}

#include "simbletablet.moc"
