#include "driverlink/syntheticmouse.h"

#include "platform/input/inputinjector.h"

#include <QDebug>

#include <cstdint>

int SyntheticMouse(InputInjector *input, int type, int x, int y, int width, int height, bool right)
{
    if (!input)
        return 0;
    if (width <= 0 || height <= 0) {
        qDebug() << "SyntheticMouse: empty screen rectangle" << width << height;
        return 0;
    }
    uint32_t flags = MouseAbsolute;
    switch (type) {
    case 2: flags |= MouseMove; break;
    case 1: flags |= right ? MouseRightDown : MouseLeftDown; break;
    case 0: flags |= right ? MouseRightUp : MouseLeftUp; break;
    default:
        qDebug() << "SyntheticMouse: unknown type" << type;
        return 0;
    }
    // 64-bit: x * 65535 passes 2^31 on a desktop wider than 32768 pixels.
    MouseInput event;
    event.x = int32_t(int64_t(x) * 65535 / width);
    event.y = int32_t(int64_t(y) * 65535 / height);
    event.flags = flags;
    return input->sendMouse(&event, 1);
}
