#pragma once
// Real-time scheduling for the calling thread, asked of the system's real-time broker
// (rtkit, org.freedesktop.RealtimeKit1 on the system bus), as audio servers ask for it:
// a reading thread then runs as soon as its report arrives, also while every core is
// busy. rtkit only grants it to processes that cannot run away: RLIMIT_RTTIME (the
// real-time CPU time without a blocking call, for the whole process) is set first to
// at most what rtkit allows, so a spinning real-time thread is stopped by the kernel.

#include <QDBusConnection>
#include <QString>

// Asks for priority (lowered to rtkit's MaxRealtimePriority) on bus. False with the
// reason in *why when rtkit is absent or refuses; the thread keeps plain scheduling.
bool RequestRealtimeThread(const QDBusConnection &bus, int priority, QString *why);

// For the reading threads: asks on the system bus once per thread, logs the first
// refusal of the run (one line) and nothing after it.
void MakeReadingThreadRealtime();
