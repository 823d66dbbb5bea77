#pragma once
// Foreground facility with a set answer: for tests, the replay tool and sessions where
// the active window cannot be known (the common profile then applies).

#include "platform/foreground/foregroundbackend.h"

#include <atomic>

class FixedForegroundBackend : public ForegroundBackend {
public:
    FixedForegroundBackend();
    explicit FixedForegroundBackend(const ForegroundWindow &window);

    std::shared_ptr<const ForegroundWindow> current() const override;
    uint64_t changeStamp() const override { return m_stamp.load(std::memory_order_acquire); }
    // Any thread; readers holding the previous record keep it.
    void set(const ForegroundWindow &window);

private:
    std::shared_ptr<const ForegroundWindow> m_current; // std::atomic_load / atomic_store only
    std::atomic<uint64_t> m_stamp;                     // set after m_current
};
