#include "platform/display/linux/xrandrdisplaybackend.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

// An EDID block is 128 bytes with up to 255 extension blocks; 32 KiB covers them all.
constexpr long kEdidMaxLongs = 32768 / 4;

QGuiApplication *GuiApp()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance());
}

QByteArray OutputEdid(Display *display, RROutput output, Atom edidAtom)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    QByteArray edid;
    if (XRRGetOutputProperty(display, output, edidAtom, 0, kEdidMaxLongs, False, False, AnyPropertyType,
                             &actualType, &format, &items, &after, &data) == Success) {
        if (data && format == 8 && items > 0)
            edid = QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(items));
    }
    if (data)
        XFree(data);
    return edid;
}

} // namespace

void XRandrDisplayBackend::DisplayCloser::operator()(_XDisplay *display) const
{
    XCloseDisplay(display);
}

XRandrDisplayBackend::XRandrDisplayBackend(const QByteArray &displayName, QObject *parent)
    : DisplayBackend(parent)
{
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(kDebounceMs);
    connect(&m_debounce, &QTimer::timeout, this, &DisplayBackend::displayChanged);

    Display *display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!display) {
        qWarning() << "Display: no X server, screens from the toolkit";
    } else {
        std::unique_ptr<_XDisplay, DisplayCloser> owned(display);
        int errorBase = 0;
        int major = 0;
        int minor = 0;
        if (!XRRQueryExtension(display, &m_eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor)
            || major < 1 || (major == 1 && minor < 5)) {
            qWarning() << "Display: X server without RandR 1.5, screens from the toolkit";
        } else {
            XRRSelectInput(display, DefaultRootWindow(display),
                           RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask
                               | RRResourceChangeNotifyMask);
            // Monitors set up by hand (xrandr --setmonitor) change no CRTC or output;
            // the server then only reconfigures the root window.
            XSelectInput(display, DefaultRootWindow(display), StructureNotifyMask);
            XFlush(display);
            m_display = std::move(owned);
            m_notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
            connect(m_notifier, &QSocketNotifier::activated, this, &XRandrDisplayBackend::ReadXEvents);
        }
    }

    if (QGuiApplication *app = GuiApp()) {
        connect(app, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
            WatchScreen(screen);
            ScheduleChange();
        });
        connect(app, &QGuiApplication::screenRemoved, this, &XRandrDisplayBackend::ScheduleChange);
        for (QScreen *screen : app->screens())
            WatchScreen(screen);
    }
}

XRandrDisplayBackend::~XRandrDisplayBackend()
{
    // The notifier watches the connection's socket: it goes before the connection.
    delete m_notifier;
    m_notifier = nullptr;
}

void XRandrDisplayBackend::WatchScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &XRandrDisplayBackend::ScheduleChange);
}

void XRandrDisplayBackend::ScheduleChange()
{
    m_debounce.start(); // restarts: a burst of changes gives one notice
}

void XRandrDisplayBackend::ReadXEvents()
{
    Display *display = m_display.get();
    bool changed = false;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        const int type = event.type - m_eventBase;
        if (type == RRScreenChangeNotify || type == RRNotify) {
            XRRUpdateConfiguration(&event);
            changed = true;
        } else if (event.type == ConfigureNotify && event.xconfigure.window == DefaultRootWindow(display)) {
            XRRUpdateConfiguration(&event);
            changed = true;
        }
    }
    if (changed)
        ScheduleChange();
}

std::vector<DisplayScreen> XRandrDisplayBackend::physicalScreens()
{
    if (!m_display)
        return ToolkitScreens(true);

    Display *display = m_display.get();
    const Atom edidAtom = XInternAtom(display, RR_PROPERTY_RANDR_EDID, False);
    int count = 0;
    XRRMonitorInfo *monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    std::vector<DisplayScreen> screens;
    for (int i = 0; monitors && i < count; ++i) {
        const XRRMonitorInfo &m = monitors[i];
        DisplayScreen screen;
        screen.geometry = QRect(m.x, m.y, m.width, m.height);
        screen.primary = m.primary != 0;
        if (char *name = XGetAtomName(display, m.name)) {
            screen.name = QString::fromLatin1(name);
            XFree(name);
        }
        // A monitor made of several outputs (tiled) has one EDID per output, all of the
        // same panel: the first one that has any is the monitor's.
        for (int o = 0; o < m.noutput && screen.edid.isEmpty(); ++o)
            screen.edid = OutputEdid(display, m.outputs[o], edidAtom);
        screens.push_back(screen);
    }
    if (monitors)
        XRRFreeMonitors(monitors);
    return screens;
}

std::vector<DisplayScreen> XRandrDisplayBackend::logicalScreens()
{
    return ToolkitScreens(false);
}

std::vector<DisplayScreen> XRandrDisplayBackend::ToolkitScreens(bool devicePixels) const
{
    std::vector<DisplayScreen> screens;
    QGuiApplication *app = GuiApp();
    if (!app)
        return screens;
    const QScreen *primary = QGuiApplication::primaryScreen();
    for (const QScreen *s : QGuiApplication::screens()) {
        DisplayScreen screen;
        QRect g = s->geometry();
        if (devicePixels) {
            const qreal ratio = s->devicePixelRatio();
            g = QRect(qRound(g.x() * ratio), qRound(g.y() * ratio), qRound(g.width() * ratio),
                      qRound(g.height() * ratio));
        }
        screen.geometry = g;
        screen.name = s->name();
        screen.primary = s == primary;
        screens.push_back(screen);
    }
    return screens;
}

std::unique_ptr<DisplayBackend> XWaylandLayoutNotices(const QByteArray &x11Display, QTimer *debounce)
{
    if (x11Display.isEmpty())
        return nullptr;
    auto x11 = std::make_unique<XRandrDisplayBackend>(x11Display);
    if (!x11->isAvailable())
        return nullptr;
    QObject::connect(x11.get(), &DisplayBackend::displayChanged, debounce, [debounce] { debounce->start(); });
    return x11;
}

QByteArray DrmConnectorEdid(const QString &name)
{
    if (name.isEmpty())
        return QByteArray();
    const QStringList cards =
        QDir(QStringLiteral("/sys/class/drm")).entryList({QStringLiteral("card*-") + name}, QDir::Dirs | QDir::System);
    for (const QString &card : cards) {
        QFile edid(QStringLiteral("/sys/class/drm/%1/edid").arg(card));
        if (edid.open(QIODevice::ReadOnly))
            return edid.readAll();
    }
    return QByteArray();
}
