#pragma once
// The one place that picks the foreground backend for the session.
//
// X11 session: the X11 backend (_NET_ACTIVE_WINDOW). Wayland session: the compositor's
// own source (OpenCompositorSource, one case per compositor), combined with the X11
// backend on XWayland for the windows the compositor says are X clients
// (SessionForegroundBackend). No source: the empty record (the common profile for
// every program) and one log line saying why.

#include "platform/foreground/foregroundbackend.h"
#include "platform/session/desktopsession.h"

#include <QString>

#include <memory>

struct ForegroundChoice {
    std::unique_ptr<ForegroundBackend> backend; // never null
    QString name;                               // what serves it, for the session line
};

ForegroundChoice CreateForegroundBackend(const DesktopSession &session);

// The compositor's source of the focused window (pid and executable path per focus
// change, event-driven), or null with why. Each compositor's source goes in its case.
std::unique_ptr<ForegroundBackend> OpenCompositorSource(const DesktopSession &session, QString *name, QString *why);
