#include "platform/foreground/linux/foregroundfactory.h"

#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/foreground/linux/gnomeshellforegroundbackend.h"
#include "platform/foreground/linux/hyprlandforegroundbackend.h"
#include "platform/foreground/linux/kwinforegroundbackend.h"
#include "platform/foreground/linux/swayforegroundbackend.h"
#include "platform/foreground/linux/wlrforegroundbackend.h"
#include "platform/foreground/linux/x11foregroundbackend.h"
#include "platform/foreground/sessionforegroundbackend.h"

#include <QDebug>

std::unique_ptr<ForegroundBackend> OpenCompositorSource(const DesktopSession &session, QString *name, QString *why)
{
    switch (session.compositor) {
    case Compositor::Sway:
        if (session.swaySocket.isEmpty()) {
            *why = QStringLiteral("SWAYSOCK is not set");
            return nullptr;
        }
        *name = QStringLiteral("sway IPC");
        return SwayForegroundBackend::open(session.swaySocket, why);
    case Compositor::Hyprland:
        *name = QStringLiteral("Hyprland IPC");
        return HyprlandForegroundBackend::open(session.runtimeDir, session.hyprlandSignature, why);
    case Compositor::KWin: {
        // The KWin and GNOME Shell sources live on this (the GUI) thread: the session bus
        // reaches them through its event loop.
        *name = QStringLiteral("KWin script");
        std::unique_ptr<ForegroundBackend> source = KWinForegroundBackend::open();
        if (!source)
            *why = QStringLiteral("KWin took no script");
        return source;
    }
    case Compositor::GnomeShell: {
        // Waits for the extension when it is not running yet.
        *name = QStringLiteral("GNOME Shell extension");
        std::unique_ptr<ForegroundBackend> source = GnomeShellForegroundBackend::open();
        if (!source)
            *why = QStringLiteral("no session bus");
        return source;
    }
    case Compositor::OtherWayland: {
        *name = QStringLiteral("wlr foreign toplevel");
        std::unique_ptr<ForegroundBackend> source = WlrForegroundBackend::open(session.waylandDisplay);
        if (!source)
            *why = QStringLiteral("the compositor offers no zwlr_foreign_toplevel_manager_v1");
        return source;
    }
    case Compositor::None: break;
    }
    *why = QStringLiteral("not a Wayland session");
    return nullptr;
}

ForegroundChoice CreateForegroundBackend(const DesktopSession &session)
{
    ForegroundChoice choice;
    if (session.type == SessionType::X11) {
        choice.backend = X11ForegroundBackend::open(session.x11Display);
        choice.name = QStringLiteral("X11 _NET_ACTIVE_WINDOW");
    } else if (session.isWayland()) {
        QString why;
        std::unique_ptr<ForegroundBackend> source = OpenCompositorSource(session, &choice.name, &why);
        if (source) {
            std::unique_ptr<ForegroundBackend> x11;
            if (session.hasX11())
                x11 = X11ForegroundBackend::open(session.x11Display);
            if (x11)
                choice.name += QStringLiteral(" (X11 for XWayland windows)");
            choice.backend = std::make_unique<SessionForegroundBackend>(std::move(source), std::move(x11));
        } else {
            qInfo().noquote() << QStringLiteral("Foreground: no source of the focused window under %1: %2; the common "
                                                "profile applies to every program")
                                     .arg(CompositorName(session), why);
        }
    }
    if (!choice.backend) {
        choice.backend = std::make_unique<FixedForegroundBackend>(ForegroundWindow{});
        choice.name = QStringLiteral("none (common profile)");
    }
    return choice;
}
