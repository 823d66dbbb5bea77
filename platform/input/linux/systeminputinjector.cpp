#include "platform/input/linux/systeminputinjector.h"

#include "platform/input/linux/uinputmouseinjector.h"
#include "platform/input/linux/xtestinjector.h"

#include <QDebug>

std::unique_ptr<InputInjector> createSystemInputInjector()
{
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland) {
        if (auto uinput = UinputMouseInjector::open()) {
            qInfo() << "Synthetic input through a uinput pointer";
            return uinput;
        }
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        if (auto xtest = XTestInjector::open()) {
            qInfo() << "Synthetic input through XTest";
            return xtest;
        }
    }
    if (!wayland) {
        if (auto uinput = UinputMouseInjector::open()) {
            qInfo() << "Synthetic input through a uinput pointer";
            return uinput;
        }
    }
    qWarning() << "Synthetic input unavailable: no X server with XTest and no access to /dev/uinput";
    return nullptr;
}
