#include "sim/simhidbackend.h"

#include "platform/hid/hidmonitor.h"

#include <QThread>

#include <condition_variable>
#include <mutex>

namespace {

constexpr uint16_t kVendorId = 0x28BD;

// A handle on the simulated vendor interface.
class SimHidDevice : public HidDevice {
public:
    explicit SimHidDevice(std::shared_ptr<SimTablet> tablet) : m_tablet(std::move(tablet)) {}
    int write(const uint8_t *data, int length) override { return m_tablet->write(data, length); }
    int readTimeout(uint8_t *buffer, int size, int timeoutMs) override
    {
        return m_tablet->read(buffer, size, timeoutMs);
    }
    int readWait(uint8_t *buffer, int size, ReadStop &stop) override
    {
        return m_tablet->readWait(buffer, size, stop);
    }
    bool indexedString(int index, QString *text) override
    {
        return m_tablet->stringDescriptor(index, text);
    }
    int indexedStringRaw(int index, uint8_t *buffer, int size) override
    {
        return m_tablet->rawStringDescriptor(index, buffer, size);
    }

private:
    std::shared_ptr<SimTablet> m_tablet;
};

// The kernel's interface: answers string reads, takes writes, never reports.
class SimKernelInterface : public HidDevice {
public:
    explicit SimKernelInterface(std::shared_ptr<SimTablet> tablet) : m_tablet(std::move(tablet)) {}
    int write(const uint8_t *, int length) override { return length; }
    int readTimeout(uint8_t *, int, int timeoutMs) override
    {
        // Blocks for the time-out like an idle interface, then reports nothing.
        if (timeoutMs > 0)
            QThread::msleep(static_cast<unsigned long>(timeoutMs));
        return 0;
    }
    int readWait(uint8_t *, int, ReadStop &stop) override
    {
        // Idle until stopped, without waking in between.
        stop.setWaker([this] {
            std::lock_guard<std::mutex> hold(m_lock);
            m_stopped.notify_all();
        });
        {
            std::unique_lock<std::mutex> wait(m_lock);
            m_stopped.wait(wait, [&stop] { return stop.stopped(); });
        }
        stop.setWaker(nullptr);
        return 0;
    }
    bool indexedString(int index, QString *text) override
    {
        return m_tablet->stringDescriptor(index, text);
    }
    int indexedStringRaw(int, uint8_t *, int) override { return -1; }

private:
    std::shared_ptr<SimTablet> m_tablet;
    std::mutex m_lock; // the stop waits of readWait()
    std::condition_variable m_stopped;
};

HidDeviceInfo infoFor(const SimTablet &t, int interfaceNumber, int collection, const QString &path)
{
    HidDeviceInfo info;
    info.path = path;
    info.vendorId = kVendorId;
    info.productId = t.model().productId;
    info.interfaceNumber = interfaceNumber;
    info.collection = collection;
    info.bus = 3;
    info.manufacturer = QStringLiteral("Inkora");
    info.product = QString::fromLatin1(t.model().product);
    info.serial = t.serialNumber();
    return info;
}

QString buildPath(const SimTablet &t, int interfaceNumber, int collection)
{
    // Lower case as the system prints interface texts; matching ignores case anyway.
    QString text = QStringLiteral("\\\\?\\hid#vid_%1&pid_%2&mi_%3")
                       .arg(kVendorId, 4, 16, QLatin1Char('0'))
                       .arg(t.model().productId, 4, 16, QLatin1Char('0'))
                       .arg(interfaceNumber, 2, 10, QLatin1Char('0'));
    if (collection > 0)
        text += QStringLiteral("&col%1").arg(collection, 2, 10, QLatin1Char('0'));
    text += QStringLiteral("#sim%1#{4d1e55b2-f16f-11cf-88cb-001111000030}").arg(t.instance());
    return text;
}

class SimHidMonitor;

} // namespace

// The started monitors of one backend. plug() and unplug() may run on any thread; each
// monitor gets its notices queued to its own thread.
struct SimMonitorRegistry {
    std::mutex lock; // guards monitors
    QVector<SimHidMonitor *> monitors;

    void notify(const QVector<HidDeviceInfo> &interfaces, bool arrived);
};

namespace {

class SimHidMonitor : public HidMonitor {
public:
    SimHidMonitor(std::shared_ptr<SimMonitorRegistry> registry, uint16_t vendorId)
        : m_registry(std::move(registry)), m_vendorId(vendorId)
    {
    }
    ~SimHidMonitor() override
    {
        // Once out of the list nothing new is queued; queued notices die with the object.
        std::lock_guard<std::mutex> lock(m_registry->lock);
        m_registry->monitors.removeAll(this);
    }
    bool start() override
    {
        std::lock_guard<std::mutex> lock(m_registry->lock);
        if (!m_registry->monitors.contains(this))
            m_registry->monitors.append(this);
        return true;
    }
    // Called with the registry locked.
    void post(const HidDeviceInfo &info, bool arrived)
    {
        if (m_vendorId != 0 && info.vendorId != m_vendorId)
            return;
        QMetaObject::invokeMethod(this, [this, info, arrived] {
            if (arrived)
                emit interfaceArrived(info);
            else
                emit interfaceRemoved(info);
        }, Qt::QueuedConnection);
    }

private:
    std::shared_ptr<SimMonitorRegistry> m_registry;
    const uint16_t m_vendorId;
};

} // namespace

void SimMonitorRegistry::notify(const QVector<HidDeviceInfo> &interfaces, bool arrived)
{
    std::lock_guard<std::mutex> guard(lock);
    for (SimHidMonitor *m : monitors) {
        for (const HidDeviceInfo &info : interfaces)
            m->post(info, arrived);
    }
}

SimHidBackend::SimHidBackend() : m_monitors(std::make_shared<SimMonitorRegistry>()) {}

SimHidBackend::~SimHidBackend() = default;

std::shared_ptr<SimTablet> SimHidBackend::plug(const SimModel &model)
{
    std::shared_ptr<SimTablet> tablet;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        tablet = std::make_shared<SimTablet>(model, m_nextInstance++);
        m_tablets.append(tablet);
    }
    m_monitors->notify(interfacesOf(*tablet), true);
    return tablet;
}

void SimHidBackend::unplug(const std::shared_ptr<SimTablet> &tablet)
{
    bool wasPlugged = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        wasPlugged = m_tablets.removeAll(tablet) > 0;
        tablet->unplug();
    }
    if (wasPlugged)
        m_monitors->notify(interfacesOf(*tablet), false);
}

QVector<std::shared_ptr<SimTablet>> SimHidBackend::tablets() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_tablets;
}

QVector<HidDeviceInfo> SimHidBackend::interfacesOf(const SimTablet &t)
{
    QVector<HidDeviceInfo> list;
    if (t.model().interfaceNumber != 0)
        list.append(infoFor(t, 0, 1, kernelInterfacePath(t)));
    list.append(infoFor(t, t.model().interfaceNumber, t.model().collection, interfacePath(t)));
    return list;
}

std::unique_ptr<HidMonitor> SimHidBackend::createMonitor(uint16_t vendorId)
{
    return std::make_unique<SimHidMonitor>(m_monitors, vendorId);
}

QString SimHidBackend::interfacePath(const SimTablet &tablet)
{
    return buildPath(tablet, tablet.model().interfaceNumber, tablet.model().collection);
}

QString SimHidBackend::kernelInterfacePath(const SimTablet &tablet)
{
    return buildPath(tablet, 0, 1);
}

bool SimHidBackend::init()
{
    return true;
}

QVector<HidDeviceInfo> SimHidBackend::enumerate(uint16_t vendorId)
{
    std::lock_guard<std::mutex> lock(m_lock);
    QVector<HidDeviceInfo> list;
    if (vendorId != 0 && vendorId != kVendorId)
        return list;
    for (const auto &t : m_tablets)
        list += interfacesOf(*t);
    return list;
}

std::unique_ptr<HidDevice> SimHidBackend::open(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_lock);
    for (const auto &t : m_tablets) {
        if (path.compare(interfacePath(*t), Qt::CaseInsensitive) == 0)
            return std::make_unique<SimHidDevice>(t);
        if (t->model().interfaceNumber != 0
            && path.compare(kernelInterfacePath(*t), Qt::CaseInsensitive) == 0)
            return std::make_unique<SimKernelInterface>(t);
    }
    return nullptr;
}
