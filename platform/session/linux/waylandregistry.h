#pragma once
// The opening each of our Wayland clients makes (the foreground, the layout, the input
// injection): a connection of its own, its registry, and the globals it announces.

#include <QByteArray>
#include <QString>

#include <functional>

struct wl_display;
struct wl_registry;
struct wl_registry_listener;

// Connects to displayName ($WAYLAND_DISPLAY when empty; a full path works too) and
// listens to its registry with listener and data. *display and *registry are set as
// far as they came, for the caller to free. False, with the reason, when there is no
// compositor.
bool OpenWaylandRegistry(const QByteArray &displayName, const wl_registry_listener *listener, void *data,
                         wl_display **display, wl_registry **registry, QString *why);

// Waits for the globals, then for what binding the one the caller needs (`global`)
// announced: two round trips. False, with the reason, when the connection fails or
// bound() is still false after the first.
bool AwaitWaylandGlobal(wl_display *display, const std::function<bool()> &bound, const char *global, QString *why);
