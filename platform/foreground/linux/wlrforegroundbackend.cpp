#include "platform/foreground/linux/wlrforegroundbackend.h"

#include "platform/foreground/linux/appidresolver.h"
#include "platform/foreground/linux/toplevelfocus.h"
#include "platform/session/linux/waylandregistry.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <QDebug>
#include <QSet>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
const uint32_t kProtocolVersion = 3;
const int kReconnectMs = 2000;
} // namespace

// One connection's objects and what its events say; the watcher thread's alone.
struct WlrForegroundBackend::Connection {
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    zwlr_foreign_toplevel_manager_v1 *manager = nullptr;
    ToplevelFocus focus;
    AppIdResolver resolver;
    bool changed = false;  // the active window changed during this dispatch
    bool finished = false; // the manager ended
    QSet<zwlr_foreign_toplevel_handle_v1 *> handles;

    ~Connection()
    {
        for (zwlr_foreign_toplevel_handle_v1 *handle : qAsConst(handles))
            zwlr_foreign_toplevel_handle_v1_destroy(handle);
        if (manager)
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }
};

namespace {

using Connection = WlrForegroundBackend::Connection;

ToplevelFocus::Handle Key(zwlr_foreign_toplevel_handle_v1 *handle)
{
    return reinterpret_cast<ToplevelFocus::Handle>(handle);
}

void OnTitle(void *, zwlr_foreign_toplevel_handle_v1 *, const char *) { }

void OnAppId(void *data, zwlr_foreign_toplevel_handle_v1 *handle, const char *appId)
{
    static_cast<Connection *>(data)->focus.AppId(Key(handle), QString::fromUtf8(appId));
}

void OnOutput(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) { }

void OnState(void *data, zwlr_foreign_toplevel_handle_v1 *handle, wl_array *states)
{
    bool activated = false;
    const auto *state = static_cast<const uint32_t *>(states->data);
    for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
        activated = activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
    static_cast<Connection *>(data)->focus.Activated(Key(handle), activated);
}

void OnDone(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
{
    auto *c = static_cast<Connection *>(data);
    if (c->focus.Done(Key(handle)))
        c->changed = true;
}

void OnClosed(void *data, zwlr_foreign_toplevel_handle_v1 *handle)
{
    auto *c = static_cast<Connection *>(data);
    if (c->focus.Closed(Key(handle)))
        c->changed = true;
    c->handles.remove(handle);
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
}

void OnParent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) { }

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {OnTitle, OnAppId, OnOutput, OnOutput,
                                                                  OnState, OnDone,  OnClosed, OnParent};

void OnToplevel(void *data, zwlr_foreign_toplevel_manager_v1 *, zwlr_foreign_toplevel_handle_v1 *handle)
{
    static_cast<Connection *>(data)->handles.insert(handle);
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, data);
}

void OnFinished(void *data, zwlr_foreign_toplevel_manager_v1 *)
{
    static_cast<Connection *>(data)->finished = true;
}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {OnToplevel, OnFinished};

void OnGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    auto *c = static_cast<Connection *>(data);
    if (!c->manager && std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
        c->manager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(wl_registry_bind(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(version, kProtocolVersion)));
        zwlr_foreign_toplevel_manager_v1_add_listener(c->manager, &kManagerListener, c);
    }
}

void OnGlobalRemove(void *, wl_registry *, uint32_t) { }

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

// A connection with the manager bound and the toplevels that exist announced; null, with
// the reason, when there is no compositor or no manager.
std::unique_ptr<Connection> Connect(const QByteArray &displayName, QString *why)
{
    auto c = std::make_unique<Connection>();
    if (!OpenWaylandRegistry(displayName, &kRegistryListener, c.get(), &c->display, &c->registry, why))
        return nullptr;
    // The globals, then the toplevels the manager announces on binding and their states.
    if (!AwaitWaylandGlobal(
            c->display, [&c] { return c->manager != nullptr; }, "zwlr_foreign_toplevel_manager_v1", why))
        return nullptr;
    return c;
}

} // namespace

std::unique_ptr<WlrForegroundBackend> WlrForegroundBackend::open(const QByteArray &displayName)
{
    QString why;
    std::unique_ptr<Connection> connection = Connect(displayName, &why);
    if (!connection) {
        qWarning().noquote() << "Foreground (wlroots):" << why;
        return nullptr;
    }
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return nullptr;
    std::unique_ptr<WlrForegroundBackend> backend(new WlrForegroundBackend(displayName, std::move(connection), wake));
    // The first answer before anyone asks; the watcher thread owns the connection after.
    Connection &c = *backend->m_connection;
    backend->publish(c.focus.hasActive() ? c.resolver.Resolve(c.focus.activeAppId()) : ForegroundWindow{});
    backend->m_watcher = std::thread(&WlrForegroundBackend::Watch, backend.get());
    return backend;
}

WlrForegroundBackend::WlrForegroundBackend(const QByteArray &displayName, std::unique_ptr<Connection> connection,
                                           int wakeFd)
    : m_displayName(displayName), m_connection(std::move(connection)), m_wakeFd(wakeFd)
{ }

WlrForegroundBackend::~WlrForegroundBackend()
{
    if (m_watcher.joinable()) {
        const uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) != ssize_t(sizeof one))
            qWarning() << "Foreground (wlroots): cannot wake the watcher";
        m_watcher.join();
    }
    ::close(m_wakeFd);
}

bool WlrForegroundBackend::Wait(int timeoutMs)
{
    pollfd wake = {m_wakeFd, POLLIN, 0};
    return !(::poll(&wake, 1, timeoutMs) > 0 && wake.revents);
}

bool WlrForegroundBackend::Follow(Connection &c)
{
    pollfd fds[2] = {{wl_display_get_fd(c.display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        c.changed = false;
        // Events libwayland has queued already go first; then what the socket brings.
        while (wl_display_prepare_read(c.display) != 0) {
            if (wl_display_dispatch_pending(c.display) < 0)
                return false;
        }
        if (wl_display_flush(c.display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(c.display);
            return false;
        }
        if (c.changed || c.finished) {
            wl_display_cancel_read(c.display);
        } else {
            fds[0].revents = fds[1].revents = 0;
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
                wl_display_cancel_read(c.display);
                return false;
            }
            if (fds[1].revents) {
                wl_display_cancel_read(c.display);
                return true;
            }
            if (fds[0].revents & POLLIN) {
                if (wl_display_read_events(c.display) < 0)
                    return false;
            } else {
                wl_display_cancel_read(c.display);
                if (fds[0].revents & (POLLHUP | POLLERR))
                    return false;
            }
        }
        if (wl_display_dispatch_pending(c.display) < 0 || c.finished)
            return false;
        if (c.changed)
            publish(c.focus.hasActive() ? c.resolver.Resolve(c.focus.activeAppId()) : ForegroundWindow{});
    }
}

void WlrForegroundBackend::Watch()
{
    for (;;) {
        if (Follow(*m_connection))
            return;
        publish(ForegroundWindow{});
        const int error = wl_display_get_error(m_connection->display);
        qWarning().noquote()
            << QStringLiteral("Foreground (wlroots): the compositor %1; the common profile applies until it is back")
                   .arg(m_connection->finished ? QStringLiteral("ended the toplevel list")
                            : error == EPROTO  ? QStringLiteral("broke the protocol")
                                               : QStringLiteral("closed the connection"));
        m_connection.reset();
        // A restarted compositor comes back on the same socket.
        QString why;
        while (!m_connection) {
            if (!Wait(kReconnectMs))
                return;
            m_connection = Connect(m_displayName, &why);
        }
        qInfo() << "Foreground (wlroots): connected to the compositor again";
        Connection &c = *m_connection;
        publish(c.focus.hasActive() ? c.resolver.Resolve(c.focus.activeAppId()) : ForegroundWindow{});
    }
}
