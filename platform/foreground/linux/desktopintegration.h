#pragma once
// What a Wayland desktop offers Inkora beyond the protocols: the GNOME Shell extension
// that tells the focused window, KWin's scripting, and a tray host. `inkora-hidtool
// doctor` prints the lines; the settings window says when the extension is missing.
//
// A tray on Wayland is a StatusNotifierItem host (Plasma, waybar, GNOME with an
// AppIndicator extension); without one the tray icon shows nowhere, and the program is
// reached through its desktop entry: a second start asks the running one to show its
// settings window.

#include <QDBusConnection>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct DesktopIntegration {
    bool wayland = false;          // XDG_SESSION_TYPE is "wayland", or WAYLAND_DISPLAY is set
    bool gnomeShell = false;       // org.gnome.Shell on the session bus
    int gnomeShellVersion = 0;     // its major version; 0 when unknown
    QString extensionUuid;         // our extension's UUID for that shell
    bool extensionRunning = false; // the extension's name is on the bus
    bool kwin = false;             // org.kde.KWin on the session bus
    bool trayHost = false;         // a StatusNotifierItem host is registered
};

// Asks the session bus (blocking, short time-outs) in a Wayland session only. Tests pass a private bus and their
// own environment.
DesktopIntegration QueryDesktopIntegration(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                                           const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

// One English line per fact that matters in this session, each saying what is missing
// and what to do; empty outside Wayland.
QStringList DesktopIntegrationLines(const DesktopIntegration &status);
