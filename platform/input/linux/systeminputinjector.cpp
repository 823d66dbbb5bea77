#include "platform/input/linux/systeminputinjector.h"

#include "platform/input/linux/uinputmouseinjector.h"
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
    }
    if (session.hasX11()) {
        if (auto xtest = XTestInjector::open(session.x11Display)) {
            said = session.isWayland() ? QStringLiteral("XTest (no /dev/uinput access: X clients only)")
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
    qWarning() << "Synthetic input unavailable: no X server with XTest and no access to /dev/uinput";
    return nullptr;
}
