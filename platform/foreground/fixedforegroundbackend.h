#pragma once
// Foreground facility with a set answer: for tests, the replay tool and sessions where
// the active window cannot be known (the common profile then applies).

#include "platform/foreground/foregroundbackend.h"

class FixedForegroundBackend : public ForegroundBackend {
public:
    FixedForegroundBackend();
    explicit FixedForegroundBackend(const ForegroundWindow &window);

    std::shared_ptr<const ForegroundWindow> current() const override;
    uint64_t changeStamp() const override { return m_current.stamp(); }
    // Any thread; readers holding the previous record keep it.
    void set(const ForegroundWindow &window);

private:
    RecordInForce m_current;
};
