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

#include "platform/foreground/publishedforeground.h"

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <thread>

struct wl_display;

class WlrForegroundBackend : public PublishedForeground {
public:
    // Connects to displayName ($WAYLAND_DISPLAY when empty). Null, with a log line, when
    // there is no compositor or it does not offer the protocol.
    static std::unique_ptr<WlrForegroundBackend> open(const QByteArray &displayName = QByteArray());
    // Stops the watcher and closes the connection.
    ~WlrForegroundBackend() override;

    struct Connection; // the Wayland objects of one connection (watcher thread)

private:
    WlrForegroundBackend(const QByteArray &displayName, std::unique_ptr<Connection> connection, int wakeFd);
    void Watch();
    bool Follow(Connection &c); // false when the connection is lost, true when woken to end
    bool Wait(int timeoutMs);   // false when woken to end

    const QByteArray m_displayName;
    std::unique_ptr<Connection> m_connection; // watcher thread once it runs
    const int m_wakeFd;                       // eventfd that ends the watcher
    std::thread m_watcher;
};
