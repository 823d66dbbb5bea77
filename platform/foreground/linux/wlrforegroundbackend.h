#pragma once
// Foreground backend for wlroots compositors without an IPC of their own that tells the
// pid (labwc, Wayfire, river and others; sway and Hyprland have better sources): the
// zwlr_foreign_toplevel_manager_v1 protocol over a Wayland connection of our own. It
// tells each toplevel's app id and whether it is activated, not its process, so the
// app id is resolved to the program through the desktop entries and /proc
// (AppIdResolver).
//
// A watcher thread owns the connection, follows the events (ToplevelFocus) and
// publishes a new record when the active window changes; current() only copies the
// published pointer. The compositor closing the connection, ending the manager or
// sending what breaks the protocol publishes the empty record (the common profile) with
// a log line; the thread then tries to connect again every two seconds, so a restarted
// compositor on the same socket is followed again.

#include "platform/foreground/linux/foregroundsource.h"

#include <QByteArray>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

struct wl_display;

class WlrForegroundBackend : public ForegroundBackend {
public:
    // Connects to displayName ($WAYLAND_DISPLAY when empty). Null, with a log line, when
    // there is no compositor or it does not offer the protocol.
    static std::unique_ptr<WlrForegroundBackend> open(const QByteArray &displayName = QByteArray());
    // Stops the watcher and closes the connection.
    ~WlrForegroundBackend() override;

    std::shared_ptr<const ForegroundWindow> current() const override { return m_slot.get(); }

    // Counts the records published so far. waitForRevision waits until it passes `seen`
    // or timeoutMs runs out; false on time-out.
    uint64_t revision() const;
    bool waitForRevision(uint64_t seen, int timeoutMs) const;

    struct Connection; // the Wayland objects of one connection (watcher thread)

private:
    WlrForegroundBackend(const QByteArray &displayName, std::unique_ptr<Connection> connection, int wakeFd);
    void Watch();
    bool Follow(Connection &c); // false when the connection is lost, true when woken to end
    void Publish(const ForegroundWindow &window);
    bool Wait(int timeoutMs); // false when woken to end

    const QByteArray m_displayName;
    std::unique_ptr<Connection> m_connection; // watcher thread once it runs
    const int m_wakeFd;                       // eventfd that ends the watcher
    ForegroundSlot m_slot;
    mutable std::mutex m_mutex;                // m_revision
    mutable std::condition_variable m_changed; // m_revision grew
    uint64_t m_revision = 0;
    std::thread m_watcher;
};
