// glib names a struct member "signals", which Qt defines as a keyword: glib first.
#include <umockdev.h>

#include "kerneltestbed.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <cstddef>
#include <linux/hidraw.h>
#include <linux/usbdevice_fs.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char kPreload[] = "libumockdev-preload.so.0";
const char kReexecMark[] = "INKORA_UMOCKDEV_REEXEC";

bool PreloadLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libumockdev-preload");
}

// Runs before main: a test program started without the preload starts itself again
// with it (once), so `ctest` and a plain run both get the emulated devices.
__attribute__((constructor)) void ReexecUnderPreload(int, char **argv, char **)
{
    if (PreloadLoaded() || std::getenv(kReexecMark))
        return;
    QByteArray preload(kPreload);
    if (const char *old = std::getenv("LD_PRELOAD"))
        preload += QByteArray(":") + old;
    setenv("LD_PRELOAD", preload.constData(), 1);
    setenv(kReexecMark, "1", 1);
    // The sanitizer runtimes accept a library loaded ahead of them only when told so.
    QByteArray asan = QByteArray(std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "");
    setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").constData(), 1);
    execv("/proc/self/exe", argv);
    // execv failed: carry on without; the tests say why they skip.
}

QString Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QString Hex4(unsigned v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
}

// The testbed's own pty path behind a node ("/dev/pts/3").
QByteArray PtyOf(KernelTestbed &bed, const QString &devnode)
{
    return QFile::symLinkTarget(bed.root() + devnode).toLocal8Bit();
}

void Complete(_UMockdevIoctlClient *client, long result, int error)
{
    umockdev_ioctl_client_complete(client, result, error);
}

// The argument of an ioctl that passes a value, not a pointer.
unsigned long ValueArg(_UMockdevIoctlClient *client)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    unsigned long v = 0;
    std::memcpy(&v, arg->data, sizeof v);
    return v;
}

// The memory an ioctl's pointer argument names, `size` bytes, loaded from the caller.
UMockdevIoctlData *PointerArg(_UMockdevIoctlClient *client, size_t size)
{
    GError *error = nullptr;
    UMockdevIoctlData *data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
    if (error)
        g_error_free(error);
    return data;
}

_UMockdevIoctlBase *Attach(KernelTestbed &bed, const QString &devnode)
{
    UMockdevIoctlBase *handler = umockdev_ioctl_base_new();
    GError *error = nullptr;
    if (!umockdev_testbed_attach_ioctl(bed.bed(), devnode.toUtf8().constData(), handler, &error)) {
        qWarning("testbed: cannot attach a handler to %s: %s", qPrintable(devnode), error->message);
        g_error_free(error);
    }
    return handler;
}

void Detach(KernelTestbed &bed, const QString &devnode, _UMockdevIoctlBase *handler)
{
    umockdev_testbed_detach_ioctl(bed.bed(), devnode.toUtf8().constData(), nullptr);
    g_object_unref(handler);
}

} // namespace

bool UmockdevReady(QString *why)
{
    if (PreloadLoaded())
        return true;
    *why = QStringLiteral("umockdev cannot preload here (%1 did not load: is the umockdev package installed?)")
               .arg(QLatin1String(kPreload));
    return false;
}

KernelTestbed::KernelTestbed() : m_bed(umockdev_testbed_new()) { }

KernelTestbed::~KernelTestbed()
{
    g_object_unref(m_bed);
}

bool KernelTestbed::add(const QString &record)
{
    GError *error = nullptr;
    if (umockdev_testbed_add_from_string(m_bed, record.toUtf8().constData(), &error))
        return true;
    qWarning("testbed: %s", error->message);
    g_error_free(error);
    return false;
}

void KernelTestbed::remove(const QString &syspath)
{
    umockdev_testbed_remove_device(m_bed, syspath.toUtf8().constData());
}

void KernelTestbed::uevent(const QString &syspath, const char *action)
{
    umockdev_testbed_uevent(m_bed, syspath.toUtf8().constData(), action);
}

QString KernelTestbed::root() const
{
    return QString::fromUtf8(umockdev_testbed_get_root_dir(m_bed));
}

// The device descriptor and one configuration with a HID interface per entry, as the
// kernel keeps them in the usb_device's "descriptors" attribute (libusb reads it).
QString UsbDescriptors(uint16_t productId, int interfaces)
{
    QByteArray d = QByteArray::fromHex("12010002000000"
                                       "40"
                                       "bd28");
    d.append(char(productId & 0xFF)).append(char(productId >> 8));
    d += QByteArray::fromHex("000101020301");
    const int total = 9 + interfaces * (9 + 9 + 7);
    QByteArray config = QByteArray::fromHex("0902");
    config.append(char(total & 0xFF)).append(char(total >> 8)).append(char(interfaces));
    config += QByteArray::fromHex("0100a032");
    for (int i = 0; i < interfaces; ++i) {
        config += QByteArray::fromHex("0904");
        config.append(char(i));
        config += QByteArray::fromHex("000103000000"
                                      "092110010001221b00"
                                      "0705");
        config.append(char(0x81 + i));
        config += QByteArray::fromHex("03400001");
    }
    return Hex(d + config);
}

QString UsbTabletRecord(uint16_t productId, int devnum, const QString &product, const QString &serial,
                        const QVector<HidInterfaceRecord> &interfaces)
{
    const QString usb = QStringLiteral("/devices/pci0000:00/0000:00:14.0/usb1/1-2");
    QString out;
    int seq = 1;
    for (const HidInterfaceRecord &i : interfaces) {
        const QString intf = usb + QStringLiteral("/1-2:1.%1").arg(i.number);
        const QString hid =
            intf + QStringLiteral("/0003:28BD:%1.%2").arg(Hex4(productId)).arg(seq++, 4, 16, QLatin1Char('0'));
        // Children first: the hidraw node, the input devices and their event nodes.
        out += QStringLiteral("P: %1/hidraw/hidraw%2\nN: hidraw%2\nE: DEVNAME=/dev/hidraw%2\nE: SUBSYSTEM=hidraw\n"
                              "A: dev=244:%2\n\n")
                   .arg(hid)
                   .arg(i.hidraw);
        for (int e : i.events) {
            const QString input = hid + QStringLiteral("/input/input%1").arg(e + 10);
            out += QStringLiteral("P: %1/event%2\nN: input/event%2\nE: DEVNAME=/dev/input/event%2\n"
                                  "E: SUBSYSTEM=input\nA: dev=13:%3\n\n")
                       .arg(input)
                       .arg(e)
                       .arg(64 + e);
            out += QStringLiteral("P: %1\nE: SUBSYSTEM=input\nE: PRODUCT=3/28bd/%2/100\nA: id/version=0100\n"
                                  "A: name=%3\n\n")
                       .arg(input, Hex4(productId).toLower(), product);
        }
        out += QStringLiteral("P: %1\nE: SUBSYSTEM=hid\nE: DRIVER=%2\nE: HID_ID=0003:000028BD:0000%3\n"
                              "E: HID_NAME=%4\nE: HID_PHYS=usb-0000:00:14.0-2/input%5\nE: HID_UNIQ=%6\n"
                              "E: MODALIAS=hid:b0003g0001v000028BDp0000%3\n"
                              "L: driver=../../../../../../../../bus/hid/drivers/%2\nH: report_descriptor=%7\n\n")
                   .arg(hid, i.driver, Hex4(productId), product)
                   .arg(i.number)
                   .arg(serial, Hex(i.descriptor));
        out += QStringLiteral("P: %1\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=usbhid\n"
                              "A: bInterfaceNumber=%2\nA: bInterfaceClass=03\n\n")
                   .arg(intf)
                   .arg(i.number, 2, 16, QLatin1Char('0'));
    }
    out += QStringLiteral(
               "P: %1\nN: bus/usb/001/%2\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=/dev/bus/usb/001/%2\n"
               "A: idVendor=28bd\nA: idProduct=%3\nA: manufacturer=Inkora Labs\nA: product=%4\n"
               "A: serial=%5\nA: busnum=1\nA: devnum=%6\nA: dev=189:%6\nA: speed=12\nA: bConfigurationValue=1\n"
               "H: descriptors=%7\n\n")
               .arg(usb)
               .arg(devnum, 3, 10, QLatin1Char('0'))
               .arg(Hex4(productId).toLower(), product, serial)
               .arg(devnum)
               .arg(UsbDescriptors(productId, interfaces.size()));
    return out;
}

QString BluetoothTabletRecord(uint16_t productId, const QString &address, const QByteArray &descriptor, int hidraw)
{
    const QString hid = QStringLiteral("/devices/virtual/misc/uhid/0005:28BD:%1.0009").arg(Hex4(productId));
    return QStringLiteral("P: %1/hidraw/hidraw%2\nN: hidraw%2\nE: DEVNAME=/dev/hidraw%2\nE: SUBSYSTEM=hidraw\n"
                          "A: dev=244:%2\n\n"
                          "P: %1\nE: SUBSYSTEM=hid\nE: DRIVER=hid-generic\nE: HID_ID=0005:000028BD:0000%3\n"
                          "E: HID_NAME=Inkora Keys BLE\nE: HID_PHYS=00:11:22:33:44:55\nE: HID_UNIQ=%4\n"
                          "H: report_descriptor=%5\n\n")
        .arg(hid)
        .arg(hidraw)
        .arg(Hex4(productId), address, Hex(descriptor));
}

QString HidrawSyspath(const QString &record, int hidraw)
{
    const QString suffix = QStringLiteral("/hidraw/hidraw%1").arg(hidraw);
    for (const QString &line : record.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("P: ")) && line.endsWith(suffix))
            return QStringLiteral("/sys") + line.mid(3);
    }
    return QString();
}

// ---- /dev/hidrawN ----

HidrawNode::HidrawNode(KernelTestbed &bed, const QString &devnode, const QByteArray &descriptor)
    : m_bed(bed), m_devnode(devnode), m_descriptor(descriptor), m_handler(Attach(bed, devnode))
{
    m_master = umockdev_testbed_get_dev_fd(bed.bed(), devnode.toUtf8().constData());
    // Raw mode: the marker bytes pass through the line discipline one by one, unechoed.
    m_slave = ::open(PtyOf(bed, devnode).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    termios t = {};
    if (m_slave >= 0 && tcgetattr(m_slave, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(m_slave, TCSANOW, &t);
    }
    g_signal_connect(m_handler, "handle-read", G_CALLBACK(OnRead), this);
    g_signal_connect(m_handler, "handle-write", G_CALLBACK(OnWrite), this);
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
}

HidrawNode::~HidrawNode()
{
    Detach(m_bed, m_devnode, m_handler);
    if (m_slave >= 0)
        ::close(m_slave);
}

void HidrawNode::push(const Entry &entry)
{
    m_pending.push_back(entry);
    const char marker = 'r';
    if (::write(m_master, &marker, 1) != 1)
        qWarning("testbed: the pty of %s takes no more data", qPrintable(m_devnode));
}

void HidrawNode::send(const QByteArray &report)
{
    std::lock_guard<std::mutex> lock(m_lock);
    push(Entry{report, 0, false});
}

void HidrawNode::failRead(int error)
{
    std::lock_guard<std::mutex> lock(m_lock);
    push(Entry{QByteArray(), error, error == 0});
}

void HidrawNode::answer(const QByteArray &prefix, const QVector<QByteArray> &replies)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_answers.append({prefix, replies});
}

void HidrawNode::forwardWrites(const std::function<void(const QByteArray &)> &hook)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_forward = hook;
}

QVector<QByteArray> HidrawNode::writes()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_writes;
}

bool HidrawNode::waitWrites(int count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    return m_written.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_writes.size() >= count; });
}

int HidrawNode::opens()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_opens;
}

int HidrawNode::OnRead(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, HidrawNode *self)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::mutex> lock(self->m_lock);
    if (self->m_pending.empty()) {
        // The reader was told nothing is there (O_NONBLOCK semantics of hidraw).
        Complete(client, -1, EAGAIN);
        return TRUE;
    }
    const Entry e = self->m_pending.front();
    self->m_pending.pop_front();
    char marker = 0;
    if (::read(self->m_slave, &marker, 1) != 1)
        qWarning("testbed: %s lost a marker", qPrintable(self->m_devnode));
    if (e.error) {
        Complete(client, -1, e.error);
        return TRUE;
    }
    // hidraw hands out one report per read, cut to the caller's buffer.
    const int n = std::min(int(e.bytes.size()), int(arg->data_len));
    umockdev_ioctl_data_update(arg, 0, reinterpret_cast<guint8 *>(const_cast<char *>(e.bytes.constData())), n);
    Complete(client, n, 0);
    return TRUE;
}

int HidrawNode::OnWrite(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, HidrawNode *self)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    const QByteArray bytes(reinterpret_cast<const char *>(arg->data), arg->data_len);
    std::function<void(const QByteArray &)> forward;
    {
        std::lock_guard<std::mutex> lock(self->m_lock);
        self->m_writes.append(bytes);
        for (const auto &a : qAsConst(self->m_answers)) {
            if (bytes.startsWith(a.first)) {
                for (const QByteArray &reply : a.second)
                    self->push(Entry{reply, 0, false});
            }
        }
        forward = self->m_forward;
    }
    if (forward)
        forward(bytes);
    self->m_written.notify_all();
    Complete(client, bytes.size(), 0);
    return TRUE;
}

int HidrawNode::OnIoctl(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, HidrawNode *self)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (request == HIDIOCGRDESCSIZE) {
        UMockdevIoctlData *size = PointerArg(client, sizeof(int));
        int n = self->m_descriptor.size();
        umockdev_ioctl_data_update(size, 0, reinterpret_cast<guint8 *>(&n), sizeof n);
        std::lock_guard<std::mutex> lock(self->m_lock);
        ++self->m_opens; // the descriptor size is asked once per open
        Complete(client, 0, 0);
    } else if (request == HIDIOCGRDESC) {
        UMockdevIoctlData *d = PointerArg(client, sizeof(hidraw_report_descriptor));
        hidraw_report_descriptor desc = {};
        std::memcpy(&desc, d->data, sizeof(uint32_t));
        desc.size = std::min<uint32_t>(desc.size, uint32_t(self->m_descriptor.size()));
        std::memcpy(desc.value, self->m_descriptor.constData(), desc.size);
        umockdev_ioctl_data_update(d, 0, reinterpret_cast<guint8 *>(&desc), sizeof desc);
        Complete(client, 0, 0);
    } else {
        Complete(client, -1, ENOTTY);
    }
    return TRUE;
}

// ---- /dev/bus/usb/BBB/DDD ----

UsbNode::UsbNode(KernelTestbed &bed, const QString &devnode, const QMap<int, QByteArray> &strings)
    : m_bed(bed), m_devnode(devnode), m_strings(strings), m_handler(Attach(bed, devnode))
{
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
}

UsbNode::~UsbNode()
{
    Detach(m_bed, m_devnode, m_handler);
}

QVector<int> UsbNode::requested()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_requested;
}

int UsbNode::OnIoctl(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, UsbNode *self)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    std::lock_guard<std::mutex> lock(self->m_lock);
    if (request == USBDEVFS_SUBMITURB) {
        // The caller's address of its URB, before resolving replaces it with our copy's.
        const unsigned long urbAddress = ValueArg(client);
        UMockdevIoctlData *urbData = PointerArg(client, sizeof(usbdevfs_urb));
        usbdevfs_urb urb = {};
        std::memcpy(&urb, urbData->data, sizeof urb);
        GError *error = nullptr;
        UMockdevIoctlData *buffer =
            umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer), size_t(urb.buffer_length), &error);
        if (error)
            g_error_free(error);
        if (urb.type != USBDEVFS_URB_TYPE_CONTROL || !buffer || urb.buffer_length < 8) {
            Complete(client, -1, EINVAL);
            return TRUE;
        }
        // The setup packet leads the buffer: bmRequestType, bRequest, wValue, wIndex, wLength.
        const uint8_t *setup = buffer->data;
        const int index = setup[2];
        const int wLength = setup[6] | setup[7] << 8;
        QByteArray reply;
        if (setup[0] == 0x80 && setup[1] == 0x06 && setup[3] == 0x03) {
            self->m_requested << index;
            reply = index == 0 ? QByteArray("\x04\x03\x09\x04", 4) : self->m_strings.value(index);
        }
        int status = 0;
        if (reply.isEmpty()) {
            status = -EPIPE; // a stall
        } else {
            reply = reply.left(std::min(wLength, urb.buffer_length - 8));
            umockdev_ioctl_data_update(buffer, 8, reinterpret_cast<guint8 *>(reply.data()), reply.size());
        }
        int actual = reply.size();
        umockdev_ioctl_data_update(urbData, offsetof(usbdevfs_urb, status), reinterpret_cast<guint8 *>(&status),
                                   sizeof status);
        umockdev_ioctl_data_update(urbData, offsetof(usbdevfs_urb, actual_length), reinterpret_cast<guint8 *>(&actual),
                                   sizeof actual);
        self->m_reaped.push_back(urbAddress);
        Complete(client, 0, 0);
    } else if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
        if (self->m_reaped.empty()) {
            Complete(client, -1, EAGAIN);
            return TRUE;
        }
        unsigned long address = self->m_reaped.front();
        self->m_reaped.pop_front();
        UMockdevIoctlData *out = PointerArg(client, sizeof address);
        umockdev_ioctl_data_update(out, 0, reinterpret_cast<guint8 *>(&address), sizeof address);
        Complete(client, 0, 0);
    } else {
        Complete(client, -1, ENOTTY);
    }
    return TRUE;
}

// ---- /dev/input/eventN ----

EvdevNode::EvdevNode(KernelTestbed &bed, const QString &devnode)
    : m_bed(bed), m_devnode(devnode), m_handler(Attach(bed, devnode))
{
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
}

EvdevNode::~EvdevNode()
{
    Detach(m_bed, m_devnode, m_handler);
}

void EvdevNode::holdElsewhere(bool held)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_elsewhere = held;
}

bool EvdevNode::grabbed()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_grabbed;
}

int EvdevNode::OnIoctl(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, EvdevNode *self)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    std::lock_guard<std::mutex> lock(self->m_lock);
    if (request == EVIOCGRAB) {
        // evdev_grab: EBUSY when any client holds it; ungrab: EINVAL when not ours.
        if (ValueArg(client)) {
            if (self->m_elsewhere || self->m_grabbed) {
                Complete(client, -1, EBUSY);
                return TRUE;
            }
            self->m_grabbed = true;
        } else {
            if (!self->m_grabbed) {
                Complete(client, -1, EINVAL);
                return TRUE;
            }
            self->m_grabbed = false;
        }
        Complete(client, 0, 0);
    } else if (request == EVIOCGVERSION) {
        UMockdevIoctlData *v = PointerArg(client, sizeof(int));
        int version = EV_VERSION;
        umockdev_ioctl_data_update(v, 0, reinterpret_cast<guint8 *>(&version), sizeof version);
        Complete(client, 0, 0);
    } else {
        Complete(client, -1, ENOTTY);
    }
    return TRUE;
}

// ---- /dev/uinput ----

UinputNode::UinputNode(KernelTestbed &bed) : m_bed(bed), m_handler(nullptr)
{
    bed.add(QStringLiteral("P: /devices/virtual/misc/uinput\nN: uinput\nE: DEVNAME=/dev/uinput\nE: SUBSYSTEM=misc\n"
                           "A: dev=10:223\n\n"));
    // The input devices the kernel would make, one per UI_DEV_CREATE.
    for (int i = 0; i < 4; ++i)
        bed.add(QStringLiteral("P: /devices/virtual/input/input%1/event%2\nN: input/event%2\nE: SUBSYSTEM=input\n"
                               "E: DEVNAME=/dev/input/event%2\nA: dev=13:%3\n\nP: /devices/virtual/input/input%1\n"
                               "E: SUBSYSTEM=input\n\n")
                    .arg(100 + i)
                    .arg(40 + i)
                    .arg(104 + i));
    m_handler = Attach(bed, QStringLiteral("/dev/uinput"));
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
    g_signal_connect(m_handler, "handle-write", G_CALLBACK(OnWrite), this);
}

UinputNode::~UinputNode()
{
    Detach(m_bed, QStringLiteral("/dev/uinput"), m_handler);
}

QVector<UinputNode::Device> UinputNode::devices()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_devices;
}

UinputNode::Device *UinputNode::deviceOf(_UMockdevIoctlClient *client)
{
    const int i = m_clients.indexOf(client);
    if (i >= 0)
        return &m_devices[i];
    m_clients.append(client);
    m_devices.append(Device());
    return &m_devices.last();
}

int UinputNode::OnIoctl(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, UinputNode *self)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    std::lock_guard<std::mutex> lock(self->m_lock);
    Device *d = self->deviceOf(client);
    const int value = int(ValueArg(client));
    long result = 0;
    if (request == UI_GET_VERSION) {
        UMockdevIoctlData *v = PointerArg(client, sizeof(unsigned));
        unsigned version = 5;
        umockdev_ioctl_data_update(v, 0, reinterpret_cast<guint8 *>(&version), sizeof version);
    } else if (request == UI_SET_EVBIT) {
        d->evbits << value;
    } else if (request == UI_SET_KEYBIT) {
        d->keybits << value;
    } else if (request == UI_SET_ABSBIT) {
        d->absbits << value;
    } else if (request == UI_SET_RELBIT) {
        d->relbits << value;
    } else if (request == UI_SET_PROPBIT) {
        d->propbits << value;
    } else if (request == UI_ABS_SETUP) {
        uinput_abs_setup abs = {};
        std::memcpy(&abs, PointerArg(client, sizeof abs)->data, sizeof abs);
        d->abs << abs;
    } else if (request == UI_DEV_SETUP) {
        uinput_setup setup = {};
        std::memcpy(&setup, PointerArg(client, sizeof setup)->data, sizeof setup);
        d->name = QString::fromUtf8(setup.name, int(strnlen(setup.name, sizeof setup.name)));
        d->vendor = setup.id.vendor;
        d->product = setup.id.product;
        d->bustype = setup.id.bustype;
    } else if (request == UI_DEV_CREATE) {
        d->created = !d->name.isEmpty();
        result = d->created ? 0 : -1;
    } else if (request == UI_DEV_DESTROY) {
        d->destroyed = true;
    } else if ((request & ~(unsigned long)(_IOC_SIZEMASK << _IOC_SIZESHIFT)) == UI_GET_SYSNAME(0)) {
        const int size = int(_IOC_SIZE(request));
        QByteArray name = QStringLiteral("input%1").arg(100 + self->m_clients.indexOf(client)).toLatin1();
        name.append('\0');
        UMockdevIoctlData *buffer = PointerArg(client, size_t(size));
        umockdev_ioctl_data_update(buffer, 0, reinterpret_cast<guint8 *>(name.data()),
                                   std::min(size, int(name.size())));
    } else if (request == UI_SET_PHYS) {
        // the text stays in the caller
    } else {
        Complete(client, -1, EINVAL);
        return TRUE;
    }
    Complete(client, result, result ? EINVAL : 0);
    return TRUE;
}

int UinputNode::OnWrite(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, UinputNode *self)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::mutex> lock(self->m_lock);
    Device *d = self->deviceOf(client);
    // The kernel takes whole input_event records only, and only once created.
    if (!d->created || arg->data_len % int(sizeof(input_event)) != 0) {
        Complete(client, -1, EINVAL);
        return TRUE;
    }
    for (int off = 0; off < arg->data_len; off += int(sizeof(input_event))) {
        input_event e = {};
        std::memcpy(&e, arg->data + off, sizeof e);
        d->events << e;
    }
    ++d->writes;
    Complete(client, arg->data_len, 0);
    return TRUE;
}
