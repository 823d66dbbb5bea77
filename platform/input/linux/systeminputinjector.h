#pragma once
// The input facility of this session: XTest in an X session. In a Wayland one, where
// XTest would reach X clients only: the uinput keyboard and pointer when /dev/uinput can
// be opened; else the compositor's virtual keyboard and pointer (wlroots compositors);
// else XTest through XWayland. Null when none is there; synthetic input then fails.

#include "platform/input/inputinjector.h"
#include "platform/session/desktopsession.h"

#include <QString>

#include <memory>

// *name says what serves it, for the session line.
std::unique_ptr<InputInjector> createSystemInputInjector(const DesktopSession &session, QString *name = nullptr);
