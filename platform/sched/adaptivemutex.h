#pragma once
// A mutex for locks that the tablets' reading threads hold a microsecond or two and
// often want at the same moment (the virtual device's report: reports of tablets on one
// bus come due together). A waiter spins while the holder works, up to kSpinLimit,
// before it sleeps: with the reading threads' real-time scheduling the holder runs on
// the other core, while a waiter that sleeps pays a wake-up (an interrupt of its core,
// then its turn behind the readers that woke meanwhile), many times the wait. Past the
// limit (a holder that was preempted, on plain scheduling) it sleeps on a futex.
// Lockable: std::lock_guard and std::unique_lock take it.

#include <atomic>
#include <chrono>

class AdaptiveMutex {
public:
    static constexpr std::chrono::microseconds kSpinLimit{50};

    AdaptiveMutex() = default;
    AdaptiveMutex(const AdaptiveMutex &) = delete;
    AdaptiveMutex &operator=(const AdaptiveMutex &) = delete;

    void lock()
    {
        int free = 0;
        if (!m_state.compare_exchange_strong(free, kHeld, std::memory_order_acquire))
            lockContended();
    }
    bool try_lock()
    {
        int free = 0;
        return m_state.compare_exchange_strong(free, kHeld, std::memory_order_acquire);
    }
    void unlock()
    {
        if (m_state.exchange(0, std::memory_order_release) == kHeldWithSleepers)
            wakeOne();
    }

private:
    static constexpr int kHeld = 1;
    static constexpr int kHeldWithSleepers = 2;

    void lockContended();
    void wakeOne();

    std::atomic<int> m_state{0}; // 0 free, kHeld, kHeldWithSleepers (a waiter may sleep)
};
