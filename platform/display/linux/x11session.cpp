#include "platform/display/linux/x11session.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QtGlobal>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

struct ConnectionCloser {
    void operator()(xcb_connection_t *c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

} // namespace

namespace X11Session {

bool DisplayUsable(QString *why)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return true; // offscreen, minimal, wayland...: not the X platform's concern
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        *why = QStringLiteral("no display: DISPLAY is not set (start it in a desktop session)");
        return false;
    }
    // xcb_connect always returns an object, which must be freed even on error.
    const Connection connection(xcb_connect(display.constData(), nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
        *why = QStringLiteral("no display: cannot open the X display \"%1\"").arg(QString::fromLocal8Bit(display));
        return false;
    }
    return true;
}

bool CompositorRunning()
{
    int screen = 0;
    const Connection connection(xcb_connect(nullptr, &screen));
    if (xcb_connection_has_error(connection.get()) != 0)
        return false;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection.get(), xcb_intern_atom(connection.get(), 1, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE)
        return false; // nobody ever named it, so nobody owns it
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
        connection.get(), xcb_get_selection_owner(connection.get(), selection), nullptr);
    if (!owner)
        return false;
    const bool owned = owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return owned;
}

bool TranslucencyDrawn()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    return CompositorRunning();
}

} // namespace X11Session
