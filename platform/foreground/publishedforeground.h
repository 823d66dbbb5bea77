#pragma once
// The record a foreground backend keeps ready: a watcher publishes a new one when the
// focus changes, readers (the action engine, per packet) copy the pointer. Backends
// derive from it; tests and benches wait on the revision.

#include "platform/foreground/foregroundbackend.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

class PublishedForeground : public ForegroundBackend {
public:
    PublishedForeground();

    std::shared_ptr<const ForegroundWindow> current() const override;
    uint64_t changeStamp() const override { return m_current.stamp(); }

    // Counts the records published so far. waitForRevision waits until it passes `seen`
    // or timeoutMs runs out; false on time-out.
    uint64_t revision() const;
    bool waitForRevision(uint64_t seen, int timeoutMs) const;

protected:
    // Any thread (the backend's watcher).
    void publish(ForegroundWindow window);

private:
    RecordInForce m_current;
    mutable std::mutex m_mutex;                // m_revision
    mutable std::condition_variable m_changed; // m_revision grew
    uint64_t m_revision = 0;
};

// The executable behind a process (/proc/PID/exe); empty, with errno's text in *why,
// when the process is gone or not ours to read.
QString ExecutableOfProcess(qint64 pid, QString *why = nullptr);
