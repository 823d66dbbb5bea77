#pragma once
// The input facility of this session: XTest when an X server answers (and the session
// is not a Wayland one, where XTest would reach X clients only), the uinput pointer
// otherwise. Null when neither is there; synthetic input then fails.

#include "platform/input/inputinjector.h"

#include <memory>

std::unique_ptr<InputInjector> createSystemInputInjector();
