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
    if (type > EV_MAX || libevdev_event_type_get_max(type) < 0 || code > unsigned(libevdev_event_type_get_max(type)))
        return false;
    bool ok = true;
    if (m_frameCount == kFrameEvents)
        ok = flush();
    input_event &event = m_frame[m_frameCount++];
    event = input_event{}; // the kernel stamps the time
    event.type = type;
    event.code = code;
    event.value = value;
    if (type == EV_SYN && code == SYN_REPORT)
        ok = flush() && ok;
    return ok;
}

bool UinputDevice::flush()
{
    const size_t bytes = sizeof(input_event) * size_t(m_frameCount);
    m_frameCount = 0;
    ssize_t written;
    do {
        written = ::write(m_fd, m_frame, bytes);
    } while (written < 0 && errno == EINTR);
    return written == ssize_t(bytes);
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
