#include "platform/foreground/linux/foregroundfactory.h"

#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/foreground/linux/hyprlandforegroundbackend.h"
#include "platform/foreground/linux/swayforegroundbackend.h"
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
    case Compositor::Hyprland: *why = QStringLiteral("no source for Hyprland yet"); return nullptr;
    case Compositor::KWin: *why = QStringLiteral("no source for KWin yet"); return nullptr;
    case Compositor::GnomeShell: *why = QStringLiteral("no source for GNOME Shell yet"); return nullptr;
    case Compositor::OtherWayland: *why = QStringLiteral("no source for this compositor yet"); return nullptr;
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
