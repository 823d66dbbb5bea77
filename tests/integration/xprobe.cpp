#include "xprobe.h"

#include <QElapsedTimer>
#include <QThread>

// After Qt's headers: Xlib defines Bool and friends.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

Display *Dpy(void *display)
{
    return static_cast<Display *>(display);
}

QString TextProperty(Display *dpy, Window window, Atom property, Atom type)
{
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QString text;
    if (XGetWindowProperty(dpy, window, property, 0, 1024, False, type, &actual, &format, &count, &after, &data)
            == Success
        && data) {
        if (actual == type && format == 8)
            text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(count));
        XFree(data);
    }
    return text;
}

qint64 PidProperty(Display *dpy, Window window)
{
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    qint64 pid = 0;
    const Atom property = XInternAtom(dpy, "_NET_WM_PID", False);
    if (XGetWindowProperty(dpy, window, property, 0, 1, False, XA_CARDINAL, &actual, &format, &count, &after, &data)
            == Success
        && data) {
        if (actual == XA_CARDINAL && format == 32 && count == 1)
            pid = qint64(*reinterpret_cast<unsigned long *>(data));
        XFree(data);
    }
    return pid;
}

} // namespace

XProbe::~XProbe()
{
    if (m_display) {
        XUngrabKeyboard(Dpy(m_display), CurrentTime);
        XCloseDisplay(Dpy(m_display));
    }
}

bool XProbe::Open(const QByteArray &display)
{
    m_display = XOpenDisplay(display.constData());
    return m_display != nullptr;
}

QVector<TopLevel> XProbe::TopLevels() const
{
    Display *dpy = Dpy(m_display);
    QVector<TopLevel> list;
    Window root = 0, parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count))
        return list;
    const Atom netName = XInternAtom(dpy, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(dpy, children[i], &attributes))
            continue;
        TopLevel w;
        w.id = children[i];
        w.viewable = attributes.map_state == IsViewable;
        w.overrideRedirect = attributes.override_redirect;
        w.x = attributes.x;
        w.y = attributes.y;
        w.width = attributes.width;
        w.height = attributes.height;
        w.title = TextProperty(dpy, children[i], netName, utf8);
        if (w.title.isEmpty())
            w.title = TextProperty(dpy, children[i], XA_WM_NAME, XA_STRING);
        w.pid = PidProperty(dpy, children[i]);
        list.append(w);
    }
    if (children)
        XFree(children);
    return list;
}

QVector<TopLevel> XProbe::ViewableOf(qint64 pid) const
{
    QVector<TopLevel> list;
    for (const TopLevel &w : TopLevels()) {
        if (w.viewable && w.pid == pid)
            list.append(w);
    }
    return list;
}

bool XProbe::CatchKeys()
{
    Display *dpy = Dpy(m_display);
    const Window root = DefaultRootWindow(dpy);
    m_catcher = XCreateSimpleWindow(dpy, root, 0, 900, 200, 100, 0, 0, 0);
    XStoreName(dpy, m_catcher, "key catcher");
    XSelectInput(dpy, m_catcher, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapRaised(dpy, m_catcher);
    XSync(dpy, False);
    QElapsedTimer timer;
    timer.start();
    bool mapped = false;
    while (!mapped && timer.elapsed() < 5000) {
        XEvent event;
        if (XCheckTypedWindowEvent(dpy, m_catcher, MapNotify, &event))
            mapped = true;
        else
            QThread::msleep(10);
    }
    XSetInputFocus(dpy, m_catcher, RevertToPointerRoot, CurrentTime);
    // A key the program holds down for long on a busy machine must not come back as
    // the server's repeats: what arrives is what the program sent.
    XAutoRepeatOff(dpy);
    // A grab may be refused while another client holds one for a moment.
    while (timer.elapsed() < 5000) {
        if (XGrabKeyboard(dpy, m_catcher, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess) {
            XSync(dpy, False);
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

QVector<KeyEvent> XProbe::TakeKeys()
{
    Display *dpy = Dpy(m_display);
    QVector<KeyEvent> keys;
    XSync(dpy, False);
    XEvent event;
    while (XCheckWindowEvent(dpy, m_catcher, KeyPressMask | KeyReleaseMask, &event)) {
        const KeySym sym = XLookupKeysym(&event.xkey, 0);
        const char *name = XKeysymToString(sym);
        keys.append({event.type == KeyPress, QString::fromLatin1(name ? name : "?")});
    }
    return keys;
}

void XProbe::Click(int x, int y, int button)
{
    Display *dpy = Dpy(m_display);
    XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(dpy, unsigned(button), True, CurrentTime);
    XTestFakeButtonEvent(dpy, unsigned(button), False, 30);
    XSync(dpy, False);
}

void XProbe::Tap(const char *keysym)
{
    Display *dpy = Dpy(m_display);
    const KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(keysym));
    XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy, code, False, 30);
    XSync(dpy, False);
}
