#pragma once
// X11 backend of the foreground facility, for window managers that follow EWMH: the
// root window's _NET_ACTIVE_WINDOW, the window's WM_CLASS, its _NET_WM_PID and the
// executable behind /proc/PID/exe.
//
// The answer is worked out once per change of the active window: a watcher thread
// with a connection of its own waits for PropertyNotify of _NET_ACTIVE_WINDOW on the
// root and publishes a new record; current() only copies the published pointer.
//
// Frame windows that host another program's window ("ApplicationFrameWindow") are
// matched by the hosted child ("Windows.UI.Core.CoreWindow") when there is one.

#include "platform/foreground/foregroundbackend.h"

#include <QByteArray>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

struct xcb_connection_t;

class X11ForegroundBackend : public ForegroundBackend {
public:
    // Connects to displayName ($DISPLAY when empty) and starts watching. Null when there
    // is no X server.
    static std::unique_ptr<X11ForegroundBackend> open(const QByteArray &displayName = QByteArray());
    // Stops the watcher and closes the connection.
    ~X11ForegroundBackend() override;

    std::shared_ptr<const ForegroundWindow> current() const override;
    uint64_t changeStamp() const override { return m_current.stamp(); }

    // Counts the records published so far (1 after open). waitForRevision waits until
    // it passes `seen` or timeoutMs runs out; false on time-out.
    uint64_t revision() const;
    bool waitForRevision(uint64_t seen, int timeoutMs) const;

private:
    X11ForegroundBackend(xcb_connection_t *connection, uint32_t root, int wakeFd);
    void Watch();
    void Refresh();
    uint32_t Atom(const char *name);

    xcb_connection_t *m_connection; // watcher thread once it runs
    const uint32_t m_root;
    const int m_wakeFd;             // eventfd that ends the watcher
    uint32_t m_activeAtom = 0;
    uint32_t m_pidAtom = 0;
    uint32_t m_nameAtom = 0;
    uint32_t m_utf8Atom = 0;

    RecordInForce m_current;
    mutable std::mutex m_mutex;                // m_revision
    mutable std::condition_variable m_changed; // m_revision grew
    uint64_t m_revision = 0;
    std::thread m_watcher;
};
