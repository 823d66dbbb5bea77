#pragma once
// Ends the waits of one reading thread. stop() from any thread makes every readWait()
// given this handle return at once, the one in progress and every later one.
//
// Backends that poll descriptors add descriptor() to their poll set (it turns readable
// once stopped and stays so); backends that wait on a condition of their own register a
// waker for the time of a wait.
//
// Threads: stop() and stopped() on any thread; setWaker() on the reading thread. m_lock
// guards m_waker; the waker runs under it, so it must only take the backend's own lock
// to notify (never call back into the handle).

#include <atomic>
#include <functional>
#include <mutex>

class ReadStop {
public:
    ReadStop();
    ~ReadStop();
    ReadStop(const ReadStop &) = delete;
    ReadStop &operator=(const ReadStop &) = delete;

    void stop();
    bool stopped() const { return m_stopped.load(); }

    // Readable once stopped; -1 when the system gave none (poll users then wait in
    // slices and look at stopped() between them).
    int descriptor() const { return m_fd; }

    // Called by stop(); set before looking at stopped(), cleared after the wait.
    void setWaker(std::function<void()> waker);

private:
    std::atomic<bool> m_stopped{false};
    int m_fd = -1;
    std::mutex m_lock;
    std::function<void()> m_waker;
};
