#pragma once
// Real-time scheduling for the calling thread, as audio servers get it: a reading thread
// then runs as soon as its report arrives, also while every core is busy.
//
// In this order: the thread raises its own scheduling (SCHED_FIFO, possible when
// RLIMIT_RTPRIO allows it or the process has CAP_SYS_NICE, e.g. a user in a group with
// an rtprio limit); else it asks the system's real-time broker (rtkit,
// org.freedesktop.RealtimeKit1 on the system bus); else it keeps plain scheduling.
//
// A real-time thread must not run away: RLIMIT_RTTIME (the CPU time a real-time thread
// may use without a blocking call; one limit for the whole process) is set before
// either way, its hard limit at most what rtkit allows and its soft limit half of it.
// At the soft limit the kernel sends SIGXCPU; the handler installed here (only where
// SIGXCPU has no handler of its own) puts the thread that ran over back to plain
// scheduling and the soft limit back where it was. At the hard limit (a thread the
// handler did not reach) the kernel ends the process.

#include <QDBusConnection>
#include <QString>

#include <functional>

enum class RealtimeWay { Direct, Rtkit, Plain };

// Asks rtkit on bus for priority (lowered to rtkit's MaxRealtimePriority). False with the
// reason in *why when rtkit is absent or refuses; the thread keeps plain scheduling.
bool RequestRealtimeThread(const QDBusConnection &bus, int priority, QString *why);

// The whole order for the calling thread: its own right first, then rtkit on bus (a
// function so that the system bus is only connected when it is needed). Plain with the
// reasons of both in *why.
RealtimeWay MakeThreadRealtime(int priority, const std::function<QDBusConnection()> &bus, QString *why);

// For the reading threads: the order above once per thread, on the system bus. Logs the
// first outcome of each way once in the run, naming the way that served.
void MakeReadingThreadRealtime();
