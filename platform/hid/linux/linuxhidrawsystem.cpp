#include "platform/hid/linux/linuxhidrawsystem.h"

#include <QDebug>
#include <QFile>

#include "platform/hid/linux/pollread.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// The kernel caps report descriptors at 4096 bytes (HID_MAX_DESCRIPTOR_SIZE).
constexpr qint64 kMaxReportDescriptor = 4096;
// Language of the string descriptors when the device lists none.
constexpr uint16_t kLangEnglishUs = 0x0409;

struct UdevUnref {
    void operator()(udev *u) const { udev_unref(u); }
    void operator()(udev_device *d) const { udev_device_unref(d); }
    void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
};
using UdevPtr = std::unique_ptr<udev, UdevUnref>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref>;

QString Text(const char *value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// A hidraw node opened read-write, refused unless the node answers the descriptor-size
// ioctl (what makes it a hidraw node), read with poll() and read() so a wait can also end on a
// stop descriptor.
class NodeHandle : public HidrawHandle {
public:
    explicit NodeHandle(int fd) : m_fd(fd) {}
    ~NodeHandle() override { close(m_fd); }
    NodeHandle(const NodeHandle &) = delete;
    NodeHandle &operator=(const NodeHandle &) = delete;

    int readTimeout(uint8_t *buffer, int size, int timeoutMs, int *error) override
    {
        return PollRead(m_fd, -1, timeoutMs, buffer, size, error);
    }
    int readWait(uint8_t *buffer, int size, int stopFd, int *error) override
    {
        // Without a stop descriptor the caller looks at its stop flag between slices.
        return PollRead(m_fd, stopFd, stopFd < 0 ? kWaitSliceMs : -1, buffer, size, error);
    }
    int write(const uint8_t *data, int length) override
    {
        ssize_t n;
        do {
            n = ::write(m_fd, data, size_t(length));
        } while (n < 0 && errno == EINTR);
        return n < 0 ? -1 : int(n);
    }

private:
    const int m_fd;
};

struct UsbHandleClose {
    void operator()(libusb_device_handle *h) const { libusb_close(h); }
};

} // namespace

LinuxHidrawSystem::LinuxHidrawSystem() = default;

LinuxHidrawSystem::~LinuxHidrawSystem()
{
    if (m_usb)
        libusb_exit(m_usb);
}

void LinuxHidrawSystem::ReadTree(udev *context, udev_device *dev, HidrawTree *tree)
{
    tree->sysname = Text(udev_device_get_sysname(dev));
    tree->syspath = Text(udev_device_get_syspath(dev));
    tree->devnode = Text(udev_device_get_devnode(dev));

    // Parents belong to the child device: not unreferenced here.
    udev_device *hid = udev_device_get_parent_with_subsystem_devtype(dev, "hid", nullptr);
    if (!hid)
        return;
    tree->hidSyspath = Text(udev_device_get_syspath(hid));
    tree->hidId = Text(udev_device_get_property_value(hid, "HID_ID"));
    tree->hidName = Text(udev_device_get_property_value(hid, "HID_NAME"));
    tree->hidUniq = Text(udev_device_get_property_value(hid, "HID_UNIQ"));
    tree->driver = Text(udev_device_get_driver(hid));
    QFile descriptor(tree->hidSyspath + QStringLiteral("/report_descriptor"));
    if (descriptor.open(QIODevice::ReadOnly))
        tree->reportDescriptor = descriptor.read(kMaxReportDescriptor);

    if (udev_device *intf = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_interface"))
        tree->interfaceNumber = Text(udev_device_get_sysattr_value(intf, "bInterfaceNumber"));
    if (udev_device *usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device")) {
        tree->busnum = Text(udev_device_get_sysattr_value(usb, "busnum"));
        tree->devnum = Text(udev_device_get_sysattr_value(usb, "devnum"));
        tree->manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
        tree->product = Text(udev_device_get_sysattr_value(usb, "product"));
        tree->serial = Text(udev_device_get_sysattr_value(usb, "serial"));
    }

    // The kernel's input devices made from the same hid device: inputN (with its id)
    // and their eventN nodes.
    UdevEnumeratePtr inputs(udev_enumerate_new(context));
    if (!inputs)
        return;
    udev_enumerate_add_match_subsystem(inputs.get(), "input");
    udev_enumerate_add_match_parent(inputs.get(), hid);
    udev_enumerate_scan_devices(inputs.get());
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(inputs.get())) {
        UdevDevicePtr input(udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (!input)
            continue;
        const QString name = Text(udev_device_get_sysname(input.get()));
        const QString node = Text(udev_device_get_devnode(input.get()));
        if (name.startsWith(QLatin1String("event")) && !node.isEmpty())
            tree->eventNodes << node;
        else if (name.startsWith(QLatin1String("input")) && tree->inputVersion.isEmpty())
            tree->inputVersion = Text(udev_device_get_sysattr_value(input.get(), "id/version"));
    }
    tree->eventNodes.sort();
}

QVector<HidrawTree> LinuxHidrawSystem::hidrawNodes()
{
    QVector<HidrawTree> list;
    UdevPtr context(udev_new());
    if (!context) {
        qWarning() << "hidraw: udev_new failed";
        return list;
    }
    UdevEnumeratePtr e(udev_enumerate_new(context.get()));
    if (!e)
        return list;
    udev_enumerate_add_match_subsystem(e.get(), "hidraw");
    udev_enumerate_scan_devices(e.get());
    udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e.get())) {
        UdevDevicePtr dev(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!dev)
            continue; // went away between the scan and now
        HidrawTree tree;
        ReadTree(context.get(), dev.get(), &tree);
        list.append(tree);
    }
    return list;
}

bool LinuxHidrawSystem::hidrawNode(const QString &sysname, HidrawTree *tree)
{
    UdevPtr context(udev_new());
    if (!context)
        return false;
    UdevDevicePtr dev(udev_device_new_from_subsystem_sysname(context.get(), "hidraw",
                                                             sysname.toUtf8().constData()));
    if (!dev)
        return false;
    *tree = HidrawTree();
    ReadTree(context.get(), dev.get(), tree);
    return true;
}

std::unique_ptr<HidrawHandle> LinuxHidrawSystem::openHandle(const QString &devnode)
{
    const int fd = open(devnode.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    int descriptorSize = 0;
    if (ioctl(fd, HIDIOCGRDESCSIZE, &descriptorSize) < 0) {
        qWarning().noquote() << "hidraw:" << devnode << "is no hidraw node:" << std::strerror(errno);
        close(fd);
        return nullptr;
    }
    return std::make_unique<NodeHandle>(fd);
}

int LinuxHidrawSystem::usbStringDescriptor(int busnum, int devnum, int index, uint8_t *buffer, int size)
{
    libusb_context *usb = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_usbLock);
        if (!m_usb && !m_usbFailed) {
            const int rc = libusb_init(&m_usb);
            if (rc != 0) {
                m_usb = nullptr;
                m_usbFailed = true;
                qWarning() << "hidraw: libusb_init failed:" << libusb_error_name(rc);
            }
        }
        usb = m_usb;
    }
    if (!usb)
        return -1;

    libusb_device **list = nullptr;
    const ssize_t count = libusb_get_device_list(usb, &list);
    if (count < 0)
        return -1;
    libusb_device *match = nullptr;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(list[i]) == busnum && libusb_get_device_address(list[i]) == devnum) {
            match = list[i];
            break;
        }
    }
    libusb_device_handle *raw = nullptr;
    const int rc = match ? libusb_open(match, &raw) : LIBUSB_ERROR_NO_DEVICE;
    libusb_free_device_list(list, 1);
    if (rc != 0) {
        qWarning().noquote() << QStringLiteral("hidraw: cannot open USB device %1/%2:").arg(busnum).arg(devnum)
                             << libusb_error_name(rc);
        return -1;
    }
    // Plain control transfers on endpoint 0: the kernel driver stays attached and no
    // interface is claimed.
    std::unique_ptr<libusb_device_handle, UsbHandleClose> handle(raw);
    uint8_t languages[255] = {};
    uint16_t language = kLangEnglishUs;
    const int n = libusb_get_string_descriptor(handle.get(), 0, 0, languages, sizeof languages);
    if (n >= 4 && languages[1] == LIBUSB_DT_STRING)
        language = uint16_t(languages[2] | languages[3] << 8);
    const int length = std::min(size, 255);
    const int got = libusb_get_string_descriptor(handle.get(), uint8_t(index), language, buffer, length);
    return got < 0 ? -1 : got;
}
