#pragma once
// Watches the connection state of the open devices: a worker thread enumerates the
// paired LE devices about every 2 s and reports a changed "connected" value of a watched
// address on a short-lived thread of its own, so the receiver may close the connection
// (and so stop this worker) from there.
//
// Locks: m_mutex guards the watch map; m_threadMutex guards starting and joining the
// worker and is never taken by the worker; m_reportMutex counts the state reports in
// flight. The stop flag is polled every 2 ms.

#include "bledevices.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace inkble {

class CBLEStateListener {
public:
    using StateCallback = std::function<void(const CBLEDeviceInfo &)>;

    // One per process, created on first use.
    static std::shared_ptr<CBLEStateListener> Instance();

    CBLEStateListener() = default;
    ~CBLEStateListener();
    CBLEStateListener(const CBLEStateListener &) = delete;
    CBLEStateListener &operator=(const CBLEStateListener &) = delete;

    // Starts the worker when it is not running; an address watched already keeps its
    // entry.
    void AddWatch(int32_t connected, const std::string &address, StateCallback callback);
    // Forgets the address; the last one stops and joins the worker.
    void RemoveWatch(const std::string &address);
    // Library unload: stops the worker, waits for the state reports in flight and
    // starts no more.
    void Shutdown();

    // Poll period; a stop ends the wait at once (m_stopWake), not by waking to look.
    static constexpr int kPollPeriodMs = 2000;

private:
    struct WatchEntry {
        int32_t connected = 0;
        std::string address;
        StateCallback callback;
    };
    void Run();
    void RequestStop();
    void Report(const std::string &key, const CBLEDeviceInfo &current, StateCallback callback);

    std::mutex m_mutex;
    std::map<std::string, WatchEntry> m_watches; // m_mutex; key: upper-case address

    std::mutex m_threadMutex;
    std::thread m_worker; // m_threadMutex
    std::atomic<bool> m_stop{false};
    std::mutex m_stopMutex; // the worker's wait for the next poll or m_stop
    std::condition_variable m_stopWake;
    bool m_shutDown = false; // m_threadMutex

    std::mutex m_reportMutex;
    std::condition_variable m_reportsDone;
    int m_reports = 0; // m_reportMutex
};

} // namespace inkble
