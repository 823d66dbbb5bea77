#include "platform/foreground/linux/x11foregroundbackend.h"

#include <QDebug>
#include <QFile>

#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

const char kFrameClass[] = "ApplicationFrameWindow";
const char kHostedClass[] = "Windows.UI.Core.CoreWindow";

// One property's value, freed with the reply.
struct Property {
    xcb_get_property_reply_t *reply = nullptr;
    ~Property() { std::free(reply); }
    int length() const { return reply ? xcb_get_property_value_length(reply) : 0; }
    const char *data() const { return static_cast<const char *>(xcb_get_property_value(reply)); }
};

void GetProperty(xcb_connection_t *c, uint32_t window, uint32_t property, uint32_t type, uint32_t maxWords,
                 Property *out)
{
    xcb_get_property_cookie_t cookie = xcb_get_property(c, 0, window, property, type, 0, maxWords);
    xcb_generic_error_t *error = nullptr;
    out->reply = xcb_get_property_reply(c, cookie, &error);
    std::free(error); // a window that went away: no value
}

uint32_t WindowProperty32(xcb_connection_t *c, uint32_t window, uint32_t property, uint32_t type)
{
    Property p;
    GetProperty(c, window, property, type, 1, &p);
    if (p.length() < 4 || p.reply->format != 32)
        return 0;
    uint32_t value = 0;
    std::memcpy(&value, p.data(), sizeof value);
    return value;
}

// WM_CLASS is "instance\0class\0"; the class part names the program's kind of window.
QString WindowClass(xcb_connection_t *c, uint32_t window)
{
    Property p;
    GetProperty(c, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256, &p);
    const int length = p.length();
    if (length <= 0)
        return QString();
    const char *data = p.data();
    const void *nul = std::memchr(data, 0, size_t(length));
    if (!nul)
        return QString();
    const int start = int(static_cast<const char *>(nul) - data) + 1;
    int end = start;
    while (end < length && data[end])
        ++end;
    return QString::fromLatin1(data + start, end - start);
}

QString ExecutablePath(qint64 pid)
{
    // The kernel's own answer; it fails for processes of other users.
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    char buffer[4096];
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer - 1);
    if (n <= 0) {
        qWarning().noquote() << QStringLiteral("GetProcessFilePath: Failed error:%1\n").arg(errno);
        return QString();
    }
    return QFile::decodeName(QByteArray(buffer, int(n)));
}

} // namespace

std::unique_ptr<X11ForegroundBackend> X11ForegroundBackend::open(const QByteArray &displayName)
{
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return nullptr;
    }
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        xcb_disconnect(c);
        return nullptr;
    }
    std::unique_ptr<X11ForegroundBackend> backend(new X11ForegroundBackend(c, it.data->root, wake));
    backend->m_activeAtom = backend->Atom("_NET_ACTIVE_WINDOW");
    backend->m_pidAtom = backend->Atom("_NET_WM_PID");
    backend->m_nameAtom = backend->Atom("_NET_WM_NAME");
    backend->m_utf8Atom = backend->Atom("UTF8_STRING");
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, backend->m_root, XCB_CW_EVENT_MASK, &mask);
    // The first answer before anyone asks; the watcher thread owns the connection after.
    backend->Refresh();
    backend->m_watcher = std::thread(&X11ForegroundBackend::Watch, backend.get());
    return backend;
}

X11ForegroundBackend::X11ForegroundBackend(xcb_connection_t *connection, uint32_t root, int wakeFd)
    : m_connection(connection), m_root(root), m_wakeFd(wakeFd)
{
}

X11ForegroundBackend::~X11ForegroundBackend()
{
    if (m_watcher.joinable()) {
        const uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) != ssize_t(sizeof one))
            qWarning() << "Foreground watcher: cannot wake it";
        m_watcher.join();
    }
    ::close(m_wakeFd);
    xcb_disconnect(m_connection);
}

uint32_t X11ForegroundBackend::Atom(const char *name)
{
    xcb_intern_atom_cookie_t cookie = xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
    const uint32_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

std::shared_ptr<const ForegroundWindow> X11ForegroundBackend::current() const
{
    return m_current.get();
}

uint64_t X11ForegroundBackend::revision() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_revision;
}

bool X11ForegroundBackend::waitForRevision(uint64_t seen, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_revision > seen; });
}

void X11ForegroundBackend::Watch()
{
    pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    for (;;) {
        // Events may already sit in xcb's queue from the replies read during Refresh.
        bool activeChanged = false;
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
                const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
                if (notify->window == m_root && notify->atom == m_activeAtom)
                    activeChanged = true;
            }
            std::free(event);
        }
        if (activeChanged)
            Refresh();
        if (xcb_connection_has_error(m_connection)) {
            qWarning() << "Foreground watcher: the X connection was lost; the last answer stays";
            return;
        }
        fds[0].revents = fds[1].revents = 0;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
    }
}

void X11ForegroundBackend::Refresh()
{
    auto record = std::make_shared<ForegroundWindow>();
    uint32_t window = WindowProperty32(m_connection, m_root, m_activeAtom, XCB_ATOM_WINDOW);
    if (window) {
        record->windowClass = WindowClass(m_connection, window);
        if (record->windowClass == QLatin1String("sfl_window_class"))
            qInfo() << "sfl_window_class";
        if (record->windowClass == QLatin1String(kFrameClass)) {
            // A frame that hosts another program's window: that program is the one the
            // user works in.
            Property title;
            GetProperty(m_connection, window, m_nameAtom, m_utf8Atom, 256, &title);
            qInfo() << "Title" << QString::fromUtf8(title.data(), title.length());
            xcb_query_tree_reply_t *tree =
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr);
            if (tree) {
                const xcb_window_t *children = xcb_query_tree_children(tree);
                const int count = xcb_query_tree_children_length(tree);
                for (int i = 0; i < count; ++i) {
                    if (WindowClass(m_connection, children[i]) == QLatin1String(kHostedClass)) {
                        qInfo() << "realhWnd" << window << children[i];
                        window = children[i];
                        record->windowClass = QString::fromLatin1(kHostedClass);
                        break;
                    }
                }
                std::free(tree);
            }
        }
        record->pid = WindowProperty32(m_connection, window, m_pidAtom, XCB_ATOM_CARDINAL);
        if (record->pid == 0)
            qWarning().noquote() << "GetWindowThreadProcessId: Failed \n";
        else
            record->path = ExecutablePath(record->pid);
        if (!record->path.isEmpty())
            qInfo() << "appPath" << record->path;
    }
    m_current.set(std::move(record));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_revision;
    }
    m_changed.notify_all();
}
