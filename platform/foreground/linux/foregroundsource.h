#pragma once
// What the Wayland foreground sources share: the record of a window's process found by
// its pid, and the slot the per-packet lookup copies.
//
// Every source learns the active window from an event of its compositor and publishes a
// new record then; the reading threads only copy the published pointer. A fault (no pid,
// a process gone before /proc was read, a peer that left or sent garbage) publishes the
// empty record: the common profile applies, never the previous program's.

#include "platform/foreground/foregroundbackend.h"

#include <memory>

// The record of process pid (its /proc/PID/exe), with windowClass as given. A pid of 0
// or less, or an executable /proc cannot show, gives a record without a path (the
// common profile) and one log line naming `source`.
ForegroundWindow ForegroundOfProcess(qint64 pid, const QString &windowClass, const char *source);

// The published record. Any thread; readers holding the previous record keep it.
class ForegroundSlot {
public:
    ForegroundSlot();
    std::shared_ptr<const ForegroundWindow> get() const;
    void set(const ForegroundWindow &window);
    void clear() { set(ForegroundWindow{}); }

private:
    std::shared_ptr<const ForegroundWindow> m_current; // std::atomic_load / atomic_store only
};
