#include "platform/session/desktopsession.h"

#include <QStringList>
#include <QtGlobal>

namespace {

bool DesktopHas(const QString &desktop, const char *name)
{
    // XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME").
    const QStringList parts = desktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

DesktopSession DetectDesktopSession(const EnvironmentLookup &lookup)
{
    const auto get = [&](const char *name) { return lookup ? lookup(name) : qgetenv(name); };
    DesktopSession session;
    session.waylandDisplay = get("WAYLAND_DISPLAY");
    session.x11Display = get("DISPLAY");
    session.swaySocket = get("SWAYSOCK");
    session.hyprlandSignature = get("HYPRLAND_INSTANCE_SIGNATURE");
    session.runtimeDir = get("XDG_RUNTIME_DIR");
    session.desktop = QString::fromLocal8Bit(get("XDG_CURRENT_DESKTOP"));
    const QByteArray type = get("XDG_SESSION_TYPE").toLower();

    // The session manager's word first: an X session that happens to carry a nested
    // compositor's WAYLAND_DISPLAY is still an X session.
    if (type == "x11" && !session.x11Display.isEmpty())
        session.type = SessionType::X11;
    else if (!session.waylandDisplay.isEmpty() || type == "wayland")
        session.type = SessionType::Wayland;
    else if (!session.x11Display.isEmpty())
        session.type = SessionType::X11;

    if (session.type != SessionType::Wayland)
        return session;
    if (!session.hyprlandSignature.isEmpty())
        session.compositor = Compositor::Hyprland;
    else if (!session.swaySocket.isEmpty() || DesktopHas(session.desktop, "sway"))
        session.compositor = Compositor::Sway;
    else if (get("KDE_FULL_SESSION") == "true" || DesktopHas(session.desktop, "KDE"))
        session.compositor = Compositor::KWin;
    else if (DesktopHas(session.desktop, "GNOME"))
        session.compositor = Compositor::GnomeShell;
    else
        session.compositor = Compositor::OtherWayland;
    return session;
}

QString SessionTypeName(SessionType type)
{
    switch (type) {
    case SessionType::X11: return QStringLiteral("x11");
    case SessionType::Wayland: return QStringLiteral("wayland");
    case SessionType::None: break;
    }
    return QStringLiteral("none");
}

QString CompositorName(const DesktopSession &session)
{
    switch (session.compositor) {
    case Compositor::Sway: return QStringLiteral("sway");
    case Compositor::Hyprland: return QStringLiteral("Hyprland");
    case Compositor::KWin: return QStringLiteral("KWin");
    case Compositor::GnomeShell: return QStringLiteral("GNOME Shell");
    case Compositor::OtherWayland:
        return session.desktop.isEmpty() ? QStringLiteral("other Wayland compositor")
                                         : QStringLiteral("other Wayland compositor (%1)").arg(session.desktop);
    case Compositor::None: break;
    }
    return QStringLiteral("none");
}

QString SessionLogLine(const DesktopSession &session, const SessionBackends &backends)
{
    const auto or_ = [](const QString &text) { return text.isEmpty() ? QStringLiteral("none") : text; };
    QString display = QStringLiteral("none");
    if (session.isWayland())
        display = session.hasX11() ? QStringLiteral("XWayland %1").arg(QString::fromLocal8Bit(session.x11Display))
                                   : QStringLiteral("no XWayland");
    else if (session.hasX11())
        display = QString::fromLocal8Bit(session.x11Display);
    return QStringLiteral("Session: %1, compositor %2, X display %3; input injection: %4; foreground: %5; "
                          "display layout: %6; tray: %7")
        .arg(SessionTypeName(session.type), CompositorName(session), display, or_(backends.input),
             or_(backends.foreground), or_(backends.display), or_(backends.tray));
}

bool PinToolkitToX11(const DesktopSession &session)
{
    if (!session.isWayland() || !session.hasX11() || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}
