// The Linux virtual device: without /dev/uinput there is simply no device; with it, a
// pen report becomes events of a real input device.
#include "platform/vhid/linux/uinputvhidbackend.h"
#include "platform/vhid/vhidreport.h"

#include <QDir>
#include <QFile>

#include <libevdev/libevdev.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

TEST(UinputBackend, WithoutUinputTheDeviceIsNotListed)
{
    UinputVhidBackend backend("/nonexistent/uinput");
    QVector<VhidDeviceInfo> devices{{QStringLiteral("stale"), QStringLiteral("stale")}};
    EXPECT_TRUE(backend.enumerate(&devices));
    EXPECT_TRUE(devices.isEmpty());
    int error = 0;
    EXPECT_FALSE(backend.open(QStringLiteral("/nonexistent/uinput"), &error));
    EXPECT_NE(error, 0);
}

namespace {

// The event node the kernel made for a device of that name; -1 when none.
int OpenEventNode(const char *name, libevdev **dev)
{
    const QStringList nodes = QDir(QStringLiteral("/dev/input")).entryList({QStringLiteral("event*")}, QDir::System);
    for (const QString &node : nodes) {
        const int fd = ::open(QFile::encodeName(QStringLiteral("/dev/input/") + node).constData(),
                              O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (libevdev_new_from_fd(fd, dev) == 0) {
            if (qstrcmp(libevdev_get_name(*dev), name) == 0)
                return fd;
            libevdev_free(*dev);
        }
        *dev = nullptr;
        ::close(fd);
    }
    return -1;
}

} // namespace

TEST(UinputBackend, PenReportReachesTheKernelAsATabletTool)
{
    if (::access("/dev/uinput", W_OK) != 0)
        GTEST_SKIP() << "/dev/uinput cannot be opened for writing here: no real device to test";

    UinputVhidBackend backend;
    QVector<VhidDeviceInfo> devices;
    ASSERT_TRUE(backend.enumerate(&devices));
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices[0].hardwareId, QString::fromLatin1(kVhidHardwareId));
    int error = 0;
    std::unique_ptr<VhidDevice> device = backend.open(devices[0].path, &error);
    ASSERT_TRUE(device) << "errno " << error;

    libevdev *dev = nullptr;
    const int fd = OpenEventNode("Inkora Virtual Pen", &dev);
    if (fd < 0)
        GTEST_SKIP() << "the pen device has no readable /dev/input node here (no udev in this container?)";
    EXPECT_TRUE(libevdev_has_event_code(dev, EV_KEY, BTN_TOOL_PEN));
    EXPECT_TRUE(libevdev_has_property(dev, INPUT_PROP_POINTER));
    EXPECT_GT(libevdev_get_abs_resolution(dev, ABS_X), 0);

    uint8_t report[kVhidReportLength] = {0x40, 0x0A, 0x05, 0x11, 0x00, 0x40, 0x00, 0x20, 0x00, 0x10};
    ASSERT_TRUE(device->write(report, kVhidReportLength, &error));

    bool tool = false, touch = false;
    int x = -1;
    pollfd p = {fd, POLLIN, 0};
    while (!(tool && touch && x >= 0) && ::poll(&p, 1, 2000) > 0) {
        input_event ev;
        while (libevdev_next_event(dev, LIBEVDEV_READ_FLAG_NORMAL, &ev) == LIBEVDEV_READ_STATUS_SUCCESS) {
            if (ev.type == EV_KEY && ev.code == BTN_TOOL_PEN && ev.value == 1) tool = true;
            if (ev.type == EV_KEY && ev.code == BTN_TOUCH && ev.value == 1) touch = true;
            if (ev.type == EV_ABS && ev.code == ABS_X) x = ev.value;
        }
    }
    EXPECT_TRUE(tool);
    EXPECT_TRUE(touch);
    EXPECT_EQ(x, 0x4000);

    // A tablet gone while touching: the tool leaves (read before the device goes, as
    // a removed node stops delivering what it queued).
    device->releaseAll();
    bool left = false;
    while (!left && ::poll(&p, 1, 2000) > 0) {
        input_event ev;
        while (libevdev_next_event(dev, LIBEVDEV_READ_FLAG_NORMAL, &ev) == LIBEVDEV_READ_STATUS_SUCCESS) {
            if (ev.type == EV_KEY && ev.code == BTN_TOOL_PEN && ev.value == 0)
                left = true;
        }
    }
    EXPECT_TRUE(left);
    libevdev_free(dev);
    ::close(fd);
}
