#include "platform/vhid/linux/uinputdevice.h"

#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct EvdevFree {
    void operator()(libevdev *dev) const { libevdev_free(dev); }
};

} // namespace

UinputDevice::~UinputDevice()
{
    libevdev_uinput_destroy(m_uinput);
    ::close(m_fd);
}

std::unique_ptr<UinputDevice> UinputDevice::create(const QByteArray &uinputPath,
                                                   const std::function<void(libevdev *)> &describe, int *error)
{
    std::unique_ptr<libevdev, EvdevFree> dev(libevdev_new());
    if (!dev) {
        *error = ENOMEM;
        return nullptr;
    }
    describe(dev.get());

    const int fd = ::open(uinputPath.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    libevdev_uinput *uinput = nullptr;
    const int rc = libevdev_uinput_create_from_device(dev.get(), fd, &uinput);
    if (rc != 0) {
        ::close(fd);
        *error = -rc;
        return nullptr;
    }
    *error = 0;
    return std::unique_ptr<UinputDevice>(new UinputDevice(fd, uinput));
}

bool UinputDevice::write(uint16_t type, uint16_t code, int32_t value)
{
    return libevdev_uinput_write_event(m_uinput, type, code, value) == 0;
}

QByteArray UinputDevice::devnode() const
{
    const char *node = libevdev_uinput_get_devnode(m_uinput);
    return node ? QByteArray(node) : QByteArray();
}

bool uinputAvailable(const QByteArray &uinputPath)
{
    const int fd = ::open(uinputPath.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}
