#include "cbledeviceobject.h"

#include "bluezclient.h"
#include "cblestatelistener.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace inkble {
namespace {

constexpr char kDeviceInterface[] = "org.bluez.Device1";
constexpr char kServiceInterface[] = "org.bluez.GattService1";
constexpr char kCharacteristicInterface[] = "org.bluez.GattCharacteristic1";
constexpr int kDispatchWaitMs = 20;    // without a stop descriptor: how long a stop may take
constexpr int kStopNotifyTimeoutMs = 1000;
constexpr int kServicesPollMs = 100;

const ManagedObject *FindDevice(const std::vector<ManagedObject> &objects, const std::string &address)
{
    for (const ManagedObject &object : objects) {
        const PropertyMap *device = object.find(kDeviceInterface);
        if (device && UpperCase(TextProperty(*device, "Address")) == address)
            return &object;
    }
    return nullptr;
}

} // namespace

// The open connection's write side: the bus connection C is written through.
struct Session {
    std::unique_ptr<BluezConnection> bus; // writeMutex
    std::mutex writeMutex;
    std::string writePath;
};

// The event thread: owns the connection the notifications were subscribed on and
// delivers every non-empty value to the device object. Shared by the thread itself, so
// it may be let go of (detached) when the connection is closed from inside a callback.
class EventPump {
public:
    EventPump(std::unique_ptr<BluezConnection> bus, CBLEDeviceObject *owner, std::string pathA, std::string pathB,
              std::string address)
        : m_bus(std::move(bus)), m_owner(owner), m_pathA(std::move(pathA)), m_pathB(std::move(pathB)),
          m_address(std::move(address))
    {
    }

    static void Start(const std::shared_ptr<EventPump> &pump)
    {
        pump->m_thread = std::thread([pump]() { pump->Run(); });
    }

    // Ends the thread: joined, or detached when called from the thread itself (a
    // callback that closes the connection). A joined pump also ends the subscriptions.
    void Stop()
    {
        m_stop = true;
        if (m_stopFd.fd >= 0) {
            const uint64_t one = 1;
            if (write(m_stopFd.fd, &one, sizeof one) < 0) {
                // Only a full counter fails, and that is readable already.
            }
        }
        if (!m_thread.joinable())
            return;
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach();
            return;
        }
        m_thread.join();
        m_bus->Call(m_pathA, kCharacteristicInterface, "StopNotify", kStopNotifyTimeoutMs);
        m_bus->Call(m_pathB, kCharacteristicInterface, "StopNotify", kStopNotifyTimeoutMs);
    }

private:
    void Run()
    {
        const auto onValue = [this](const std::string &path, const uint8_t *data, size_t size) {
            // Zero-length values carry nothing to deliver.
            if (m_stop || size == 0)
                return;
            auto raw = std::make_shared<CBLERawData>();
            raw->data.assign(data, data + size);
            raw->size = int32_t(size);
            raw->address = m_address;
            m_owner->Deliver(path, raw);
        };
        while (!m_stop) {
            // Waits on the bus and the stop descriptor: no wake-ups between notifications.
            const bool open = m_stopFd.fd >= 0 ? m_bus->DispatchUntil(m_stopFd.fd, onValue)
                                               : m_bus->Dispatch(kDispatchWaitMs, onValue);
            if (!open)
                break; // the bus went away; the state listener notices the device
        }
    }

    struct EventFd {
        const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        ~EventFd()
        {
            if (fd >= 0)
                close(fd);
        }
    };

    std::unique_ptr<BluezConnection> m_bus; // the event thread's while it runs
    CBLEDeviceObject *m_owner;
    const std::string m_pathA;
    const std::string m_pathB;
    const std::string m_address;
    std::thread m_thread; // the opening thread's and the closing thread's, one after the other
    std::atomic<bool> m_stop{false};
    EventFd m_stopFd; // readable once stopped; never read back
};

CBLEDeviceObject::CBLEDeviceObject(std::shared_ptr<CBLEStateListener> listener)
    : m_listener(std::move(listener))
{
}

CBLEDeviceObject::~CBLEDeviceObject()
{
    Close();
}

int CBLEDeviceObject::Open(const CBLEDeviceInfo &newInfo, StateCallback state, RawCallback data)
{
    std::unique_lock<std::mutex> openLock(m_openMutex);
    CloseLocked(openLock);
    const int outcome = Connect(newInfo);
    if (outcome == Connected) {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        stateCallback = std::move(state);
        dataCallbackB = data;
        dataCallbackA = std::move(data);
    }
    return outcome;
}

int CBLEDeviceObject::Connect(const CBLEDeviceInfo &newInfo)
{
    const std::string address = UpperCase(newInfo.address);
    std::unique_ptr<BluezConnection> bus = BluezConnection::Open();
    if (!bus)
        return NoServiceInterface;
    std::vector<ManagedObject> objects;
    if (!bus->ManagedObjects(&objects))
        return NoServiceInterface;
    const ManagedObject *device = FindDevice(objects, address);
    if (!device)
        return NoServiceInterface;
    const std::string devicePath = device->path;

    // A paired tablet that is not connected now is connected first; its services are
    // usable once BlueZ has resolved them.
    const PropertyMap &deviceProps = *device->find(kDeviceInterface);
    const bool wasConnected = BoolProperty(deviceProps, "Connected");
    bool resolved = wasConnected && BoolProperty(deviceProps, "ServicesResolved");
    if (!wasConnected && !bus->Call(devicePath, kDeviceInterface, "Connect", kConnectTimeoutMs))
        return NoServiceInterface;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kServicesWaitMs);
    while (!resolved) {
        if (std::chrono::steady_clock::now() > deadline)
            return NoServiceInterface;
        std::this_thread::sleep_for(std::chrono::milliseconds(kServicesPollMs));
        if (!bus->ManagedObjects(&objects))
            return NoServiceInterface;
        const ManagedObject *d = FindDevice(objects, address);
        if (!d)
            return NoServiceInterface;
        resolved = BoolProperty(*d->find(kDeviceInterface), "ServicesResolved");
    }

    // The service kept is the last vendor service of the device.
    std::string servicePath;
    for (const ManagedObject &object : objects) {
        const PropertyMap *service = object.find(kServiceInterface);
        if (service && TextProperty(*service, "Device") == devicePath && IsVendorService(TextProperty(*service, "UUID")))
            servicePath = object.path;
    }
    if (servicePath.empty())
        return NoServiceInterface;

    std::vector<GattCharacteristic> characteristics;
    for (const ManagedObject &object : objects) {
        const PropertyMap *ch = object.find(kCharacteristicInterface);
        if (!ch || TextProperty(*ch, "Service") != servicePath)
            continue;
        GattCharacteristic c;
        c.path = object.path;
        c.uuid = TextProperty(*ch, "UUID");
        for (const std::string &flag : ListProperty(*ch, "Flags"))
            c.notifies = c.notifies || flag == "notify";
        characteristics.push_back(std::move(c));
    }
    const GattRoles roles = SelectRoles(characteristics);
    if (characteristics.empty() || !roles.complete())
        return NoCharacteristics;

    // Subscriptions live on the event thread's connection: BlueZ ends them with it.
    std::unique_ptr<BluezConnection> events = BluezConnection::Open();
    if (!events || !events->WatchProperties(roles.a.path) || !events->WatchProperties(roles.b.path))
        return NoSubscription;
    if (!events->Call(roles.a.path, kCharacteristicInterface, "StartNotify", kWriteTimeoutMs))
        return NoSubscription;
    if (!events->Call(roles.b.path, kCharacteristicInterface, "StartNotify", kWriteTimeoutMs)) {
        events->Call(roles.a.path, kCharacteristicInterface, "StopNotify", kStopNotifyTimeoutMs);
        return NoSubscription;
    }

    auto session = std::make_shared<Session>();
    session->bus = std::move(bus);
    session->writePath = roles.c.path;
    auto pump = std::make_shared<EventPump>(std::move(events), this, roles.a.path, roles.b.path, address);
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_session = session;
        m_pump = pump;
        m_roles = roles;
        info = newInfo;
        info.address = address;
        info.connected = 1;
    }
    EventPump::Start(pump);
    m_listener->AddWatch(1, address, [this](const CBLEDeviceInfo &i) { OnStateChanged(i); });
    return Connected;
}

void CBLEDeviceObject::Close()
{
    std::unique_lock<std::mutex> openLock(m_openMutex);
    CloseLocked(openLock);
}

void CBLEDeviceObject::CloseLocked(std::unique_lock<std::mutex> &)
{
    std::shared_ptr<Session> session;
    std::shared_ptr<EventPump> pump;
    std::string address;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        address = info.address;
        session = std::move(m_session);
        pump = std::move(m_pump);
        stateCallback = nullptr;
        dataCallbackB = nullptr;
        dataCallbackA = nullptr;
        m_roles = GattRoles();
        info = CBLEDeviceInfo();
    }
    if (!address.empty())
        m_listener->RemoveWatch(address);
    if (pump)
        pump->Stop();
    // A write in progress on another thread keeps the session until it returns.
}

CBLEDeviceInfo CBLEDeviceObject::Info() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return info;
}

GattRoles CBLEDeviceObject::Roles() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_roles;
}

bool CBLEDeviceObject::Write(const uint8_t *data, int length)
{
    std::shared_ptr<Session> session;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        session = m_session;
    }
    if (!session || session->writePath.empty())
        return false;
    std::lock_guard<std::mutex> lock(session->writeMutex);
    return session->bus->WriteValue(session->writePath, data, length, kWriteTimeoutMs);
}

void CBLEDeviceObject::OnStateChanged(const CBLEDeviceInfo &newInfo)
{
    StateCallback callback;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        info.connected = newInfo.connected;
        callback = stateCallback;
    }
    if (callback)
        callback(newInfo);
}

void CBLEDeviceObject::Deliver(const std::string &path, const CBLERawDataPtr &raw)
{
    RawCallback callback;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (path == m_roles.b.path)
            callback = dataCallbackB;
        else if (path == m_roles.a.path)
            callback = dataCallbackA;
    }
    if (callback)
        callback(raw);
}

} // namespace inkble
