#pragma once
// Facts about the X display that decide how our windows can be shown, asked of the X
// server directly: whether the toolkit's X platform can open a display at all (it
// aborts the process when it cannot), and whether a compositing manager runs (without
// one a translucent window is drawn opaque).

#include <QString>

namespace X11Session {

// True when the toolkit will not need an X display (QT_QPA_PLATFORM names another
// platform, such as offscreen or wayland) or when the display opens. Otherwise false,
// with why in one line (no DISPLAY, or the display that did not open).
bool DisplayUsable(QString *why);

// True when the screen's compositing manager selection (_NET_WM_CM_S<n>) has an owner.
// False without one and without an X display.
bool CompositorRunning();

// Whether this process's translucent windows are drawn translucent: false only on the
// X platform without a compositing manager (other platforms compose themselves).
bool TranslucencyDrawn();

} // namespace X11Session
