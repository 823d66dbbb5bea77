#include "cblestatelistener.h"

#include "bluezclient.h"

#include <chrono>
#include <vector>

namespace inkble {

std::shared_ptr<CBLEStateListener> CBLEStateListener::Instance()
{
    static std::mutex mutex;
    static std::weak_ptr<CBLEStateListener> current;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<CBLEStateListener> listener = current.lock();
    if (!listener) {
        listener = std::make_shared<CBLEStateListener>();
        current = listener;
    }
    return listener;
}

CBLEStateListener::~CBLEStateListener()
{
    Shutdown();
}

void CBLEStateListener::AddWatch(int32_t connected, const std::string &address, StateCallback callback)
{
    {
        std::lock_guard<std::mutex> lock(m_threadMutex);
        if (m_shutDown)
            return;
        if (!m_worker.joinable()) {
            m_stop = false;
            m_worker = std::thread(&CBLEStateListener::Run, this);
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string key = UpperCase(address);
    m_watches.emplace(key, WatchEntry{connected, key, std::move(callback)});
}

void CBLEStateListener::RemoveWatch(const std::string &address)
{
    std::lock_guard<std::mutex> threadLock(m_threadMutex);
    bool last = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_watches.erase(UpperCase(address));
        last = m_watches.empty();
    }
    // Joined outside m_mutex: the worker takes it once per poll.
    if (last && m_worker.joinable()) {
        RequestStop();
        m_worker.join();
    }
}

void CBLEStateListener::Shutdown()
{
    {
        std::lock_guard<std::mutex> threadLock(m_threadMutex);
        m_shutDown = true;
        RequestStop();
        if (m_worker.joinable())
            m_worker.join();
    }
    std::unique_lock<std::mutex> lock(m_reportMutex);
    m_reportsDone.wait(lock, [this] { return m_reports == 0; });
}

void CBLEStateListener::RequestStop()
{
    std::lock_guard<std::mutex> lock(m_stopMutex);
    m_stop = true;
    m_stopWake.notify_all();
}

void CBLEStateListener::Run()
{
    std::unique_ptr<BluezConnection> bus;
    while (!m_stop) {
        {
            std::unique_lock<std::mutex> lock(m_stopMutex);
            if (m_stopWake.wait_for(lock, std::chrono::milliseconds(kPollPeriodMs), [this] { return m_stop.load(); }))
                break;
        }
        if (!bus)
            bus = BluezConnection::Open();
        if (!bus)
            continue;
        std::map<std::string, CBLEDeviceInfo> present;
        for (CBLEDeviceInfo &info : EnumerateBleDevices(*bus))
            present[info.address] = std::move(info);

        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto &watch : m_watches) {
            const auto it = present.find(watch.first);
            if (it == present.end() || it->second.connected == watch.second.connected || !watch.second.callback)
                continue;
            Report(watch.first, it->second, watch.second.callback);
        }
    }
}

void CBLEStateListener::Report(const std::string &key, const CBLEDeviceInfo &current, StateCallback callback)
{
    {
        std::lock_guard<std::mutex> lock(m_reportMutex);
        ++m_reports;
    }
    std::thread([this, key, current, callback]() mutable {
        bool watched = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto it = m_watches.find(key);
            if (it != m_watches.end()) {
                it->second.connected = current.connected;
                watched = true;
            }
        }
        // An address closed meanwhile is not reported: its receiver may have opened
        // another connection since.
        if (watched)
            callback(current);
        callback = nullptr; // nothing of the receiver outlives the count below
        std::lock_guard<std::mutex> lock(m_reportMutex);
        --m_reports;
        m_reportsDone.notify_all();
    }).detach();
}

} // namespace inkble
