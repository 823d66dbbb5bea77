#pragma once
// What the Wayland foreground sources built on a pid share (KWin script, GNOME Shell
// extension): the record of the window's process, with the log line a fault needs.
//
// Every source learns the active window from an event of its compositor and publishes a
// new record then (PublishedForeground); the reading threads only copy the published
// pointer. A fault (no pid, a process gone before /proc was read, a peer that left or
// sent garbage) publishes the empty record: the common profile applies, never the
// previous program's.

#include "platform/foreground/foregroundbackend.h"

// The record of process pid (its /proc/PID/exe), with windowClass as given. A pid of 0
// or less, or an executable /proc cannot show, gives a record without a path (the
// common profile) and one log line naming `source`.
ForegroundWindow ForegroundOfProcess(qint64 pid, const QString &windowClass, const char *source);
