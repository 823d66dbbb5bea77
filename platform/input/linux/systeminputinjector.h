#pragma once
// The input facility of this session: XTest in an X session; the uinput keyboard and
// pointer in a Wayland one (XTest would reach X clients only), or XTest there when
// /dev/uinput cannot be opened. Null when neither is there; synthetic input then fails.

#include "platform/input/inputinjector.h"
#include "platform/session/desktopsession.h"

#include <QString>

#include <memory>

// *name says what serves it, for the session line.
std::unique_ptr<InputInjector> createSystemInputInjector(const DesktopSession &session, QString *name = nullptr);
