#include "platform/vhid/linux/uinputvhidbackend.h"

#include "platform/vhid/linux/uinputdevice.h"
#include "platform/vhid/vhidbridge.h"
#include "platform/vhid/vhidreport.h"

#include <QDebug>
#include <QFile>

#include <libevdev/libevdev.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kVendorId = 0x28BD;
// Product ids of the three stand-in devices: the collection number of the driver's
// virtual pen (5), and two beside it.
constexpr int kPenProduct = 0x0005;
constexpr int kAbsoluteProduct = 0x0006;
constexpr int kRelativeProduct = 0x0007;

// x/y span the whole virtual desktop, whose size the device cannot know; libinput
// only needs a non-zero resolution, so take 100 units per mm (a 33 cm wide area).
constexpr int kPositionResolution = 100;
// Tilt in degrees: 57 units per radian.
constexpr int kTiltResolution = 57;

void Identity(libevdev *dev, const char *name, int product)
{
    libevdev_set_name(dev, name);
    libevdev_set_id_bustype(dev, BUS_VIRTUAL);
    libevdev_set_id_vendor(dev, kVendorId);
    libevdev_set_id_product(dev, product);
    libevdev_set_id_version(dev, 1);
    libevdev_set_phys(dev, kVhidHardwareId);
}

void Axis(libevdev *dev, unsigned code, int minimum, int maximum, int resolution)
{
    input_absinfo info = {};
    info.minimum = minimum;
    info.maximum = maximum;
    info.resolution = resolution;
    libevdev_enable_event_code(dev, EV_ABS, code, &info);
}

void Keys(libevdev *dev, std::initializer_list<unsigned> codes)
{
    for (unsigned code : codes)
        libevdev_enable_event_code(dev, EV_KEY, code, nullptr);
}

// libinput takes a pen device only with ABS_X/Y of non-zero resolution and
// BTN_TOOL_PEN. The area maps to the desktop as an opaque tablet does.
void DescribePen(libevdev *dev)
{
    Identity(dev, "Inkora Virtual Pen", kPenProduct);
    libevdev_enable_property(dev, INPUT_PROP_POINTER);
    libevdev_enable_event_type(dev, EV_ABS);
    Axis(dev, ABS_X, 0, 32767, kPositionResolution);
    Axis(dev, ABS_Y, 0, 32767, kPositionResolution);
    Axis(dev, ABS_PRESSURE, 0, 8191, 0);
    Axis(dev, ABS_TILT_X, -64, 63, kTiltResolution);
    Axis(dev, ABS_TILT_Y, -64, 63, kTiltResolution);
    libevdev_enable_event_type(dev, EV_KEY);
    Keys(dev, {BTN_TOOL_PEN, BTN_TOOL_RUBBER, BTN_TOUCH, BTN_STYLUS, BTN_STYLUS2});
}

void DescribeAbsoluteMouse(libevdev *dev)
{
    Identity(dev, "Inkora Virtual Absolute Mouse", kAbsoluteProduct);
    libevdev_enable_event_type(dev, EV_ABS);
    Axis(dev, ABS_X, 0, 32767, 0);
    Axis(dev, ABS_Y, 0, 32767, 0);
    libevdev_enable_event_type(dev, EV_KEY);
    Keys(dev, {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE});
}

void DescribeRelativeMouse(libevdev *dev)
{
    Identity(dev, "Inkora Virtual Mouse", kRelativeProduct);
    libevdev_enable_event_type(dev, EV_REL);
    for (unsigned code : {REL_X, REL_Y, REL_WHEEL, REL_WHEEL_HI_RES})
        libevdev_enable_event_code(dev, EV_REL, code, nullptr);
    libevdev_enable_event_type(dev, EV_KEY);
    Keys(dev, {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE});
}

class UinputEventSink : public VhidEventSink {
public:
    bool emitEvent(VhidNode node, uint16_t type, uint16_t code, int32_t value) override
    {
        switch (node) {
        case VhidNode::Pen: return pen->write(type, code, value);
        case VhidNode::AbsoluteMouse: return absolute->write(type, code, value);
        case VhidNode::RelativeMouse: return relative->write(type, code, value);
        }
        return false;
    }

    std::unique_ptr<UinputDevice> pen;
    std::unique_ptr<UinputDevice> absolute;
    std::unique_ptr<UinputDevice> relative;
};

} // namespace

UinputVhidBackend::UinputVhidBackend(const QByteArray &uinputPath) : m_uinputPath(uinputPath)
{
}

bool UinputVhidBackend::enumerate(QVector<VhidDeviceInfo> *devices)
{
    devices->clear();
    if (uinputAvailable(m_uinputPath)) {
        devices->append({QString::fromLatin1(kVhidHardwareId), QFile::decodeName(m_uinputPath)});
        return true;
    }
    const int error = errno;
    if (!m_told) {
        m_told = true;
        const QString node = QFile::decodeName(m_uinputPath);
        if (error == ENOENT)
            qWarning().noquote() << "uinput:" << node << "is missing: load the uinput module (sudo modprobe uinput)";
        else if (error == EACCES || error == EPERM)
            qWarning().noquote()
                << "uinput: cannot open" << node
                << ": permission denied (the udev rules of the package give the logged-in user access)";
        else
            qWarning().noquote() << "uinput: cannot open" << node << ":"
                                 << QString::fromLocal8Bit(std::strerror(error));
    }
    return true;
}

std::unique_ptr<VhidDevice> UinputVhidBackend::open(const QString &path, int *error)
{
    int err = 0;
    const QByteArray node = QFile::encodeName(path);
    auto sink = std::make_unique<UinputEventSink>();
    sink->pen = UinputDevice::create(node, DescribePen, &err);
    if (sink->pen)
        sink->absolute = UinputDevice::create(node, DescribeAbsoluteMouse, &err);
    if (sink->absolute)
        sink->relative = UinputDevice::create(node, DescribeRelativeMouse, &err);
    if (!sink->relative) {
        if (error)
            *error = err ? err : EIO;
        return nullptr;
    }
    if (error)
        *error = 0;
    return std::make_unique<VhidBridgeDevice>(std::move(sink));
}
