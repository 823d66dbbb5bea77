#pragma once
// The foreground on Hyprland, from its two sockets under
// $XDG_RUNTIME_DIR/hypr/$HYPRLAND_INSTANCE_SIGNATURE (/tmp/hypr/... before Hyprland
// 0.40): a watcher thread reads the event socket (.socket2.sock, one "EVENT>>DATA" line
// per event) and on each "activewindowv2" or "closewindow" asks the request socket
// (.socket.sock, "j/activewindow") for the focused window's pid, class and whether it
// is an XWayland one, and publishes its record. Faults as on sway: no window, no pid,
// a process gone, the socket closing or a line that is not the protocol publish the
// empty record (the common profile) with a log line; the watcher reconnects once a
// second.

#include "platform/foreground/publishedforeground.h"

#include <QByteArray>

#include <thread>

class HyprlandForegroundBackend : public PublishedForeground {
public:
    // Null, with why, when the event socket does not answer.
    static std::unique_ptr<HyprlandForegroundBackend> open(const QByteArray &runtimeDir, const QByteArray &signature,
                                                           QString *why = nullptr);
    ~HyprlandForegroundBackend() override;

private:
    HyprlandForegroundBackend(const QByteArray &folder, int wakeFd);
    bool Connect();
    void Watch();
    void PublishActive();
    bool WaitForWake(int timeoutMs);

    const QByteArray m_folder; // the instance's socket folder
    const int m_wakeFd;        // eventfd that ends the watcher
    int m_events = -1;         // open()'s thread, then the watcher's only
    QByteArray m_pending;      // the watcher's: event bytes short of a line end
    std::thread m_watcher;
};
