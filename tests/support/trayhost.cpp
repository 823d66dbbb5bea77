#include "trayhost.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <poll.h>

namespace {

// The tray's opcodes and the embedder's first message (system tray and XEmbed
// protocols).
constexpr long kRequestDock = 0;
constexpr long kEmbeddedNotify = 0;
constexpr long kXembedVersion = 0;

Display *Dpy(void *display)
{
    return static_cast<Display *>(display);
}

} // namespace

TrayHost::~TrayHost()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_display)
        XCloseDisplay(Dpy(m_display));
}

bool TrayHost::Start(const QByteArray &display, QString *why)
{
    Display *dpy = XOpenDisplay(display.constData());
    if (!dpy) {
        *why = QStringLiteral("cannot open display ") + QString::fromLatin1(display);
        return false;
    }
    m_display = dpy;
    const int screen = DefaultScreen(dpy);
    const Window root = RootWindow(dpy, screen);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(dpy, screen);
    attributes.event_mask = SubstructureNotifyMask | StructureNotifyMask;
    m_window = XCreateWindow(dpy, root, kLeft, kTop, kCell * kCells, kCell, 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(dpy, m_window, "test tray");
    XMapRaised(dpy, m_window);

    const Atom selection = XInternAtom(dpy, "_NET_SYSTEM_TRAY_S0", False);
    m_opcode = XInternAtom(dpy, "_NET_SYSTEM_TRAY_OPCODE", False);
    m_xembed = XInternAtom(dpy, "_XEMBED", False);
    const Atom orientation = XInternAtom(dpy, "_NET_SYSTEM_TRAY_ORIENTATION", False);
    const long horizontal = 0;
    XChangeProperty(dpy, m_window, orientation, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&horizontal), 1);
    XSetSelectionOwner(dpy, selection, m_window, CurrentTime);
    if (XGetSelectionOwner(dpy, selection) != m_window) {
        *why = QStringLiteral("another tray owns _NET_SYSTEM_TRAY_S0");
        return false;
    }
    // Clients that wait for a tray learn of this one.
    XEvent manager{};
    manager.xclient.type = ClientMessage;
    manager.xclient.window = root;
    manager.xclient.message_type = XInternAtom(dpy, "MANAGER", False);
    manager.xclient.format = 32;
    manager.xclient.data.l[0] = CurrentTime;
    manager.xclient.data.l[1] = long(selection);
    manager.xclient.data.l[2] = long(m_window);
    XSendEvent(dpy, root, False, StructureNotifyMask, &manager);
    XSync(dpy, False);

    m_thread = std::thread([this] { Run(); });
    return true;
}

int TrayHost::iconCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_icons.size());
}

bool TrayHost::firstIconCentre(int *x, int *y) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_icons.empty())
        return false;
    *x = kLeft + kCell / 2;
    *y = kTop + kCell / 2;
    return true;
}

void TrayHost::Run()
{
    Display *dpy = Dpy(m_display);
    pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
    while (!m_stop) {
        if (XPending(dpy) == 0) {
            poll(&fd, 1, 50);
            continue;
        }
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == ClientMessage && event.xclient.message_type == m_opcode
            && event.xclient.data.l[1] == kRequestDock) {
            Dock(static_cast<unsigned long>(event.xclient.data.l[2]));
        } else if (event.type == DestroyNotify) {
            Undock(event.xdestroywindow.window);
        } else if (event.type == ReparentNotify && event.xreparent.parent != m_window) {
            Undock(event.xreparent.window);
        }
    }
}

void TrayHost::Dock(unsigned long icon)
{
    Display *dpy = Dpy(m_display);
    int cell = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::find(m_icons.begin(), m_icons.end(), icon) != m_icons.end() || int(m_icons.size()) >= kCells)
            return;
        cell = int(m_icons.size());
        m_icons.push_back(icon);
    }
    XSelectInput(dpy, icon, StructureNotifyMask);
    XReparentWindow(dpy, icon, m_window, cell * kCell, 0);
    XResizeWindow(dpy, icon, kCell, kCell);
    XEvent notify{};
    notify.xclient.type = ClientMessage;
    notify.xclient.window = icon;
    notify.xclient.message_type = m_xembed;
    notify.xclient.format = 32;
    notify.xclient.data.l[0] = CurrentTime;
    notify.xclient.data.l[1] = kEmbeddedNotify;
    notify.xclient.data.l[3] = long(m_window);
    notify.xclient.data.l[4] = kXembedVersion;
    XSendEvent(dpy, icon, False, NoEventMask, &notify);
    XMapRaised(dpy, icon);
    XSync(dpy, False);
}

void TrayHost::Undock(unsigned long icon)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_icons.erase(std::remove(m_icons.begin(), m_icons.end(), icon), m_icons.end());
}
