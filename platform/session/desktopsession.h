#pragma once
// The desktop session the program runs in, read from the environment once at start-up:
// X11 or Wayland, which compositor, and the displays and sockets it offers. The
// facilities choose their backends from it (input injection, foreground, display
// layout); one log line names what each chose.

#include <QByteArray>
#include <QString>

#include <functional>

enum class SessionType {
    None, // neither a Wayland nor an X display (a console, a service)
    X11,
    Wayland, // our own windows still go through XWayland when DISPLAY is set
};

enum class Compositor {
    None,         // not a Wayland session
    Sway,         // SWAYSOCK
    Hyprland,     // HYPRLAND_INSTANCE_SIGNATURE
    KWin,         // KDE Plasma: KDE_FULL_SESSION or XDG_CURRENT_DESKTOP KDE
    GnomeShell,   // XDG_CURRENT_DESKTOP GNOME
    OtherWayland, // anything else (other wlroots compositors among them)
};

struct DesktopSession {
    SessionType type = SessionType::None;
    Compositor compositor = Compositor::None;
    QByteArray waylandDisplay;    // WAYLAND_DISPLAY
    QByteArray x11Display;        // DISPLAY: XWayland's in a Wayland session
    QByteArray swaySocket;        // SWAYSOCK
    QByteArray hyprlandSignature; // HYPRLAND_INSTANCE_SIGNATURE
    QByteArray runtimeDir;        // XDG_RUNTIME_DIR (Hyprland's sockets are below it)
    QString desktop;              // XDG_CURRENT_DESKTOP

    bool isWayland() const { return type == SessionType::Wayland; }
    // X clients can be shown: an X session, or XWayland in a Wayland one.
    bool hasX11() const { return !x11Display.isEmpty(); }
};

// Reads the variables through `lookup` (the process environment when empty).
using EnvironmentLookup = std::function<QByteArray(const char *name)>;
DesktopSession DetectDesktopSession(const EnvironmentLookup &lookup = EnvironmentLookup());

// "x11", "wayland", "none"; "sway", "Hyprland", "KWin", "GNOME Shell", "other Wayland
// compositor" (the XDG_CURRENT_DESKTOP value in brackets when there is one), "none".
QString SessionTypeName(SessionType type);
QString CompositorName(const DesktopSession &session);

// What serves each facility, filled in as the program picks its backends, and logged
// once as "Session: ..." (LogLine).
struct SessionBackends {
    QString input;
    QString foreground;
    QString display;
    QString tray;
};
QString SessionLogLine(const DesktopSession &session, const SessionBackends &backends);

// Before the toolkit starts: in a Wayland session with XWayland our windows stay on the
// toolkit's X platform (the area-selection, calibration, caption and key-preview windows
// place themselves globally, which Wayland clients cannot). Sets QT_QPA_PLATFORM=xcb
// then, unless the user set a platform; true when it did.
bool PinToolkitToX11(const DesktopSession &session);
