#include "platform/session/linux/waylandregistry.h"

#include <wayland-client.h>

bool OpenWaylandRegistry(const QByteArray &displayName, const wl_registry_listener *listener, void *data,
                         wl_display **display, wl_registry **registry, QString *why)
{
    *display = wl_display_connect(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!*display) {
        *why = QStringLiteral("no Wayland compositor to connect to");
        return false;
    }
    *registry = wl_display_get_registry(*display);
    wl_registry_add_listener(*registry, listener, data);
    return true;
}

bool AwaitWaylandGlobal(wl_display *display, const std::function<bool()> &bound, const char *global, QString *why)
{
    if (wl_display_roundtrip(display) < 0 || !bound()) {
        *why = QStringLiteral("the compositor does not offer %1").arg(QLatin1String(global));
        return false;
    }
    if (wl_display_roundtrip(display) < 0) {
        *why = QStringLiteral("the compositor closed the connection");
        return false;
    }
    return true;
}
