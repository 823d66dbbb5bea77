#include "sim/simloaderbackend.h"

#include "platform/hid/hidmonitor.h"
#include "sim/simhidbackend.h"

#include <QDebug>
#include <QMetaObject>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr uint16_t kVendorId = 0x28BD;
constexpr uint16_t kLoaderProductId = 0xFFF3;
// Asking the tablet for this string makes it restart into its loader.
constexpr int kEnterLoaderString = 200;

class SimLoaderMonitor;

} // namespace

struct SimLoaderState {
    std::mutex lock; // guards every member below; taken before SimHidBackend's own locks
    SimHidBackend tablets;
    SimModel tabletModel;
    std::deque<QByteArray> dates; // firmware date texts the plugged models point into
    std::shared_ptr<SimTablet> tablet;
    std::shared_ptr<SimLoader> loader;
    std::shared_ptr<SimLoader> lastLoader;
    int leaveAfterPackets = -1;
    int dataPacketDelayMs = 0;
    QVector<SimLoaderMonitor *> monitors;

    std::shared_ptr<SimTablet> plugTabletLocked(const QString &date);
    std::shared_ptr<SimLoader> plugLoaderLocked();
    void unplugLoaderLocked();
    void notifyLocked(bool arrived);
    void restartIntoLoader(const SimTablet *from);
    void restartAsTablet(const SimLoader *from);
};

namespace {

HidDeviceInfo LoaderInfo()
{
    HidDeviceInfo info;
    info.path = SimLoaderBackend::loaderPath();
    info.vendorId = kVendorId;
    info.productId = kLoaderProductId;
    info.interfaceNumber = 0;
    info.bus = 3;
    info.manufacturer = QStringLiteral("Inkora");
    info.product = QStringLiteral("Inkora Loader");
    return info;
}

// Forwards the tablet backend's notices and adds the loader's, all on its own thread.
class SimLoaderMonitor : public HidMonitor {
public:
    SimLoaderMonitor(std::shared_ptr<SimLoaderState> state, std::unique_ptr<HidMonitor> inner, uint16_t vendorId)
        : m_state(std::move(state)), m_inner(std::move(inner)), m_vendorId(vendorId)
    {
        connect(m_inner.get(), &HidMonitor::interfaceArrived, this,
                [this](const HidDeviceInfo &info) { emit interfaceArrived(info); });
        connect(m_inner.get(), &HidMonitor::interfaceRemoved, this,
                [this](const HidDeviceInfo &info) { emit interfaceRemoved(info); });
    }
    ~SimLoaderMonitor() override
    {
        std::lock_guard<std::mutex> lock(m_state->lock);
        m_state->monitors.removeAll(this);
    }
    bool start() override
    {
        std::lock_guard<std::mutex> lock(m_state->lock);
        if (!m_state->monitors.contains(this))
            m_state->monitors.append(this);
        return m_inner->start();
    }
    // Called with the state locked. Queued behind the tablet notices posted before it,
    // since both monitors live on this thread.
    void post(bool arrived)
    {
        if (m_vendorId != 0 && m_vendorId != kVendorId)
            return;
        const HidDeviceInfo info = LoaderInfo();
        QMetaObject::invokeMethod(this, [this, info, arrived] {
            if (arrived)
                emit interfaceArrived(info);
            else
                emit interfaceRemoved(info);
        }, Qt::QueuedConnection);
    }

private:
    std::shared_ptr<SimLoaderState> m_state;
    std::unique_ptr<HidMonitor> m_inner;
    const uint16_t m_vendorId;
};

// The tablet's vendor interface: string 200 restarts it into the loader.
class SimUpdatableTabletDevice : public HidDevice {
public:
    SimUpdatableTabletDevice(std::shared_ptr<SimLoaderState> state, std::shared_ptr<SimTablet> tablet,
                             std::unique_ptr<HidDevice> inner)
        : m_state(std::move(state)), m_tablet(std::move(tablet)), m_inner(std::move(inner))
    {
    }
    int write(const uint8_t *data, int length) override { return m_inner->write(data, length); }
    int readTimeout(uint8_t *buffer, int size, int timeoutMs) override
    {
        return m_inner->readTimeout(buffer, size, timeoutMs);
    }
    int readWait(uint8_t *buffer, int size, ReadStop &stop) override
    {
        return m_inner->readWait(buffer, size, stop);
    }
    bool indexedString(int index, QString *text) override
    {
        if (index == kEnterLoaderString) {
            m_state->restartIntoLoader(m_tablet.get());
            return false; // the device resets instead of answering
        }
        return m_inner->indexedString(index, text);
    }
    int indexedStringRaw(int index, uint8_t *buffer, int size) override
    {
        if (index == kEnterLoaderString) {
            m_state->restartIntoLoader(m_tablet.get());
            return -1;
        }
        return m_inner->indexedStringRaw(index, buffer, size);
    }

private:
    std::shared_ptr<SimLoaderState> m_state;
    std::shared_ptr<SimTablet> m_tablet;
    std::unique_ptr<HidDevice> m_inner;
};

class SimLoaderDevice : public HidDevice {
public:
    SimLoaderDevice(std::shared_ptr<SimLoaderState> state, std::shared_ptr<SimLoader> loader)
        : m_state(std::move(state)), m_loader(std::move(loader))
    {
    }
    int write(const uint8_t *data, int length) override
    {
        const int n = m_loader->write(data, length);
        int leaveAfter = -1;
        int delayMs = 0;
        {
            std::lock_guard<std::mutex> lock(m_state->lock);
            leaveAfter = m_state->leaveAfterPackets;
            delayMs = m_state->dataPacketDelayMs;
            if (leaveAfter >= 0 && m_loader->dataPacketsReceived() >= leaveAfter && m_state->loader == m_loader)
                m_state->unplugLoaderLocked();
        }
        // A slow flash, outside the lock so an unplug can come in meanwhile.
        if (n > 0 && delayMs > 0 && length >= 3 && data[2] == 0x03)
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        return n;
    }
    int readTimeout(uint8_t *buffer, int size, int timeoutMs) override
    {
        if (m_loader->restartDue()) {
            m_state->restartAsTablet(m_loader.get());
            return -1;
        }
        return m_loader->read(buffer, size, timeoutMs);
    }
    bool indexedString(int index, QString *text) override { return m_loader->stringDescriptor(index, text); }
    int indexedStringRaw(int index, uint8_t *buffer, int size) override
    {
        return m_loader->rawStringDescriptor(index, buffer, size);
    }

private:
    std::shared_ptr<SimLoaderState> m_state;
    std::shared_ptr<SimLoader> m_loader;
};

} // namespace

std::shared_ptr<SimTablet> SimLoaderState::plugTabletLocked(const QString &date)
{
    // The model row points at its date text, which must outlive every tablet made from it.
    dates.push_back(date.toLatin1());
    SimModel model = tabletModel;
    model.firmwareDate = dates.back().constData();
    tablet = tablets.plug(model);
    return tablet;
}

std::shared_ptr<SimLoader> SimLoaderState::plugLoaderLocked()
{
    if (loader)
        return loader;
    loader = std::make_shared<SimLoader>();
    lastLoader = loader;
    notifyLocked(true);
    return loader;
}

void SimLoaderState::unplugLoaderLocked()
{
    if (!loader)
        return;
    loader->unplug();
    loader.reset();
    notifyLocked(false);
}

void SimLoaderState::notifyLocked(bool arrived)
{
    for (SimLoaderMonitor *m : monitors)
        m->post(arrived);
}

void SimLoaderState::restartIntoLoader(const SimTablet *from)
{
    std::lock_guard<std::mutex> guard(lock);
    if (!tablet || tablet.get() != from)
        return; // restarted already
    tablets.unplug(tablet);
    tablet.reset();
    plugLoaderLocked();
}

void SimLoaderState::restartAsTablet(const SimLoader *from)
{
    std::lock_guard<std::mutex> guard(lock);
    if (!loader || loader.get() != from)
        return;
    const QString date = loader->imageDate();
    unplugLoaderLocked();
    plugTabletLocked(date);
}

SimLoaderBackend::SimLoaderBackend(const QString &firmwareDate) : m_state(std::make_shared<SimLoaderState>())
{
    const SimModel *updatable = SimModels::find(0x0935);
    Q_ASSERT(updatable);
    m_state->tabletModel = *updatable;
    m_state->dates.push_back(firmwareDate.toLatin1());
    m_state->tabletModel.firmwareDate = m_state->dates.back().constData();
}

SimLoaderBackend::~SimLoaderBackend() = default;

std::shared_ptr<SimTablet> SimLoaderBackend::plugTablet()
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    if (m_state->tablet)
        return m_state->tablet;
    return m_state->plugTabletLocked(QString::fromLatin1(m_state->tabletModel.firmwareDate));
}

void SimLoaderBackend::unplugTablet()
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    if (m_state->tablet)
        m_state->tablets.unplug(m_state->tablet);
    m_state->tablet.reset();
}

std::shared_ptr<SimLoader> SimLoaderBackend::plugLoader()
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    return m_state->plugLoaderLocked();
}

void SimLoaderBackend::unplugLoader()
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    m_state->unplugLoaderLocked();
}

void SimLoaderBackend::setDataPacketDelayMs(int ms)
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    m_state->dataPacketDelayMs = ms;
}

std::shared_ptr<SimTablet> SimLoaderBackend::tablet() const
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    return m_state->tablet;
}

std::shared_ptr<SimLoader> SimLoaderBackend::loader() const
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    return m_state->lastLoader;
}

bool SimLoaderBackend::loaderPresent() const
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    return m_state->loader != nullptr;
}

QString SimLoaderBackend::loaderPath()
{
    return QStringLiteral("\\\\?\\hid#vid_28bd&pid_fff3#simloader0#{4d1e55b2-f16f-11cf-88cb-001111000030}");
}

bool SimLoaderBackend::init()
{
    return true;
}

QVector<HidDeviceInfo> SimLoaderBackend::enumerate(uint16_t vendorId)
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    QVector<HidDeviceInfo> list = m_state->tablets.enumerate(vendorId);
    if (m_state->loader && (vendorId == 0 || vendorId == kVendorId))
        list.append(LoaderInfo());
    return list;
}

std::unique_ptr<HidDevice> SimLoaderBackend::open(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_state->lock);
    if (m_state->loader && path.compare(loaderPath(), Qt::CaseInsensitive) == 0)
        return std::make_unique<SimLoaderDevice>(m_state, m_state->loader);
    std::unique_ptr<HidDevice> device = m_state->tablets.open(path);
    if (device && m_state->tablet
        && path.compare(SimHidBackend::interfacePath(*m_state->tablet), Qt::CaseInsensitive) == 0)
        return std::make_unique<SimUpdatableTabletDevice>(m_state, m_state->tablet, std::move(device));
    return device;
}

std::unique_ptr<HidMonitor> SimLoaderBackend::createMonitor(uint16_t vendorId)
{
    return std::make_unique<SimLoaderMonitor>(m_state, m_state->tablets.createMonitor(vendorId), vendorId);
}
