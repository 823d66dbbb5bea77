#include "platform/input/linux/systeminputinjector.h"

#include "platform/input/linux/uinputmouseinjector.h"
#include "platform/input/linux/wlrvirtualinputinjector.h"
#include "platform/input/linux/xtestinjector.h"

#include <QDebug>

std::unique_ptr<InputInjector> createSystemInputInjector(const DesktopSession &session, QString *name)
{
    QString unused;
    QString &said = name ? *name : unused;
    if (session.isWayland()) {
        if (auto uinput = UinputMouseInjector::open()) {
            said = QStringLiteral("uinput keyboard and pointer");
            return uinput;
        }
        // No /dev/uinput (kernels without the module, sandboxes): a wlroots compositor
        // makes the devices itself.
        if (auto wlr = WlrVirtualInputInjector::open(session.waylandDisplay)) {
            said = QStringLiteral("wlroots virtual keyboard and pointer");
            return wlr;
        }
    }
    if (session.hasX11()) {
        if (auto xtest = XTestInjector::open(session.x11Display)) {
            said = session.isWayland()
                ? QStringLiteral("XTest (no /dev/uinput access, no virtual keyboard protocol: X clients only)")
                : QStringLiteral("XTest");
            return xtest;
        }
    }
    if (!session.isWayland()) {
        if (auto uinput = UinputMouseInjector::open()) {
            said = QStringLiteral("uinput keyboard and pointer");
            return uinput;
        }
    }
    said = QStringLiteral("none");
    qWarning() << "Synthetic input unavailable: no access to /dev/uinput, no virtual keyboard protocol and no X server "
                  "with XTest";
    return nullptr;
}
