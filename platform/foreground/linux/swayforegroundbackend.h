#pragma once
// The foreground on sway, from its IPC socket: a watcher thread subscribed to window,
// workspace and shutdown events publishes a record per focus change (the focused
// container's pid, its executable through /proc, app id or X class, and whether it is
// an XWayland window). A focused workspace with no window, a closed focused window, a
// window without a pid, a process gone before /proc is read, and sway's IPC closing or
// sending what is not its protocol all publish the empty record (the common profile),
// with a log line for the faults. The watcher reconnects to the same socket once a
// second after sway went away (a restarted sway that was given the same SWAYSOCK).

#include "platform/foreground/publishedforeground.h"

#include <QByteArray>
#include <QJsonObject>

#include <memory>
#include <thread>

class SwayIpc;

class SwayForegroundBackend : public PublishedForeground {
public:
    // Null, with why in *why, when the socket does not answer.
    static std::unique_ptr<SwayForegroundBackend> open(const QByteArray &socketPath, QString *why = nullptr);
    ~SwayForegroundBackend() override;

    // The record for a container of sway's tree or of a window event (exposed for the
    // tests of odd containers). *fault says why a focused window got no path.
    static ForegroundWindow RecordOf(const QJsonObject &container, QString *fault);

private:
    SwayForegroundBackend(const QByteArray &socketPath, int wakeFd);
    bool Connect();
    void Watch();
    void PublishTreeFocus();
    void PublishContainer(const QJsonObject &container);
    bool WaitForWake(int timeoutMs);

    const QByteArray m_socketPath;
    const int m_wakeFd; // eventfd that ends the watcher
    // open()'s thread, then the watcher's only:
    std::unique_ptr<SwayIpc> m_events;   // subscribed to the events
    std::unique_ptr<SwayIpc> m_requests; // asks for the tree
    int64_t m_focusedId = -1;            // sway's id of the published container
    std::thread m_watcher;
};
