#pragma once
// The GATT connection to one tablet: its vendor service, the characteristics A and B
// that notify and C that takes the writes, the event thread that delivers the
// notifications, and the watch on its connection state.
//
// Threads: Open, Close and Write come from the caller's thread, Close also from a state
// report thread. m_openMutex serialises Open and Close (which wait for threads);
// m_stateMutex guards the members below it and is held only briefly, never while a
// callback runs or a thread is joined, so a callback may call Write or Close.

#include "bledevices.h"
#include "gattselect.h"

#include <functional>
#include <memory>
#include <mutex>

namespace inkble {

class CBLEStateListener;
class EventPump;
struct Session;

class CBLEDeviceObject {
public:
    using StateCallback = std::function<void(const CBLEDeviceInfo &)>;
    using RawCallback = std::function<void(const CBLERawDataPtr &)>;

    // Outcomes of Connect.
    enum Outcome { Connected = 0, NoServiceInterface = 1, NoService = 2, NoCharacteristics = 3, NoSubscription = 4 };

    explicit CBLEDeviceObject(std::shared_ptr<CBLEStateListener> listener);
    ~CBLEDeviceObject();
    CBLEDeviceObject(const CBLEDeviceObject &) = delete;
    CBLEDeviceObject &operator=(const CBLEDeviceObject &) = delete;

    // Closes a connection that is open, connects to info.address and, when that
    // succeeds, installs the callbacks (after the notifications are live). Returns the
    // outcome.
    int Open(const CBLEDeviceInfo &info, StateCallback state, RawCallback data);
    void Close();

    CBLEDeviceInfo Info() const;
    // True when the characteristic C took the bytes (write with response).
    bool Write(const uint8_t *data, int length);
    // The roles chosen by the last successful open (empty when closed).
    GattRoles Roles() const;

    // From the state listener.
    void OnStateChanged(const CBLEDeviceInfo &newInfo);

    // Writes and state waits give up after these.
    static constexpr int kWriteTimeoutMs = 3000;
    static constexpr int kConnectTimeoutMs = 20000;
    static constexpr int kServicesWaitMs = 5000;

private:
    int Connect(const CBLEDeviceInfo &info);
    void Deliver(const std::string &path, const CBLERawDataPtr &raw);
    void CloseLocked(std::unique_lock<std::mutex> &openLock);

    std::shared_ptr<CBLEStateListener> m_listener;
    std::mutex m_openMutex;

    mutable std::mutex m_stateMutex;
    StateCallback stateCallback;   // m_stateMutex
    RawCallback dataCallbackB;     // m_stateMutex
    RawCallback dataCallbackA;     // m_stateMutex
    std::shared_ptr<Session> m_session;  // m_stateMutex; null when closed
    std::shared_ptr<EventPump> m_pump;   // m_stateMutex
    GattRoles m_roles;             // m_stateMutex
    CBLEDeviceInfo info;           // m_stateMutex

    friend class EventPump;
};

} // namespace inkble
