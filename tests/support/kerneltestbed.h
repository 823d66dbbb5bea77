#pragma once
// Emulated kernel devices for the Linux backends, on umockdev: a sysfs tree as the
// kernel builds it for USB and Bluetooth tablets, and device nodes (/dev/hidrawN,
// /dev/input/eventN, /dev/uinput) whose open, read, write and ioctl calls are answered
// by handlers in the test. The test program runs under libumockdev-preload (it re-execs
// itself with it when started without).
//
// Threads: umockdev answers the node handlers on a worker thread of its own; every node
// keeps its state behind its own mutex, which the test thread takes to read it.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <linux/input.h>
#include <linux/uinput.h>
#include <mutex>

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;

// Whether libumockdev-preload is loaded; when false, *why says why it could not be.
bool UmockdevReady(QString *why);

class KernelTestbed {
public:
    KernelTestbed();
    ~KernelTestbed();
    KernelTestbed(const KernelTestbed &) = delete;
    KernelTestbed &operator=(const KernelTestbed &) = delete;

    // Devices in umockdev's record form (children before their parents).
    bool add(const QString &record);
    void remove(const QString &syspath);
    // A uevent ("add", "remove") for a device, as udev sends it after its rules ran.
    void uevent(const QString &syspath, const char *action);
    QString root() const;
    _UMockdevTestbed *bed() const { return m_bed; }

private:
    _UMockdevTestbed *m_bed;
};

// One HID interface of a USB device: the hid device, its hidraw node and event nodes.
struct HidInterfaceRecord {
    int number = 0;        // bInterfaceNumber
    QByteArray descriptor; // report_descriptor, byte for byte
    int hidraw = 0;        // hidrawN
    QVector<int> events;   // eventN of the input devices made from it
    QString driver = QStringLiteral("hid-generic");
};

// A USB tablet at 1-2 on bus 1: the usb_device (ids, strings, busnum/devnum), one
// usb_interface per entry and below each its hid device 0003:28BD:PPPP.NNNN.
QString UsbTabletRecord(uint16_t productId, int devnum, const QString &product, const QString &serial,
                        const QVector<HidInterfaceRecord> &interfaces);
// A Bluetooth LE tablet made through uhid (0005:28BD:PPPP.NNNN under /devices/virtual/misc/uhid).
QString BluetoothTabletRecord(uint16_t productId, const QString &address, const QByteArray &descriptor, int hidraw);
// The sysfs path of the hidraw node N in the records above.
QString HidrawSyspath(const QString &record, int hidraw);

// /dev/hidrawN: what the device sends and what it was sent.
class HidrawNode {
public:
    HidrawNode(KernelTestbed &bed, const QString &devnode, const QByteArray &descriptor);
    ~HidrawNode();
    HidrawNode(const HidrawNode &) = delete;
    HidrawNode &operator=(const HidrawNode &) = delete;

    // A report the device sends (read returns it whole, or its first `cut` bytes).
    void send(const QByteArray &report);
    // The next read fails with this errno (EINTR, EIO, ENODEV); a read of zero bytes
    // when error is 0.
    void failRead(int error);
    // When a write starting with `prefix` arrives, the device sends `replies`.
    void answer(const QByteArray &prefix, const QVector<QByteArray> &replies);
    // Every write also goes to hook (on umockdev's thread), after the answers above.
    void forwardWrites(const std::function<void(const QByteArray &)> &hook);
    // Every report written to the node, as written.
    QVector<QByteArray> writes();
    // Waits until `count` writes arrived (false after timeoutMs).
    bool waitWrites(int count, int timeoutMs);
    int opens();

private:
    struct Entry {
        QByteArray bytes;
        int error = 0;
        bool empty = false;
    };
    static int OnRead(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, HidrawNode *self);
    static int OnWrite(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, HidrawNode *self);
    static int OnIoctl(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, HidrawNode *self);
    void push(const Entry &entry); // under m_lock

    KernelTestbed &m_bed;
    QString m_devnode;
    QByteArray m_descriptor;
    _UMockdevIoctlBase *m_handler;
    int m_master = -1; // the test end of the node's pty: one byte per pending entry
    int m_slave = -1;  // our own read end, to take that byte back
    std::mutex m_lock; // guards everything below
    std::condition_variable m_written;
    std::deque<Entry> m_pending;
    QVector<QPair<QByteArray, QVector<QByteArray>>> m_answers;
    QVector<QByteArray> m_writes;
    std::function<void(const QByteArray &)> m_forward;
    int m_opens = 0;
};

// /dev/bus/usb/BBB/DDD: the control transfers libusb sends through usbdevfs
// (SUBMITURB, then REAPURBNDELAY once the node polls writable), answered for GET_DESCRIPTOR
// of string descriptors: index 0 lists US English, the others come from `strings`
// (raw, header included); an unknown index stalls as a device does.
class UsbNode {
public:
    UsbNode(KernelTestbed &bed, const QString &devnode, const QMap<int, QByteArray> &strings);
    ~UsbNode();
    UsbNode(const UsbNode &) = delete;
    UsbNode &operator=(const UsbNode &) = delete;
    QVector<int> requested(); // string indexes asked for, in order

private:
    static int OnIoctl(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, UsbNode *self);
    KernelTestbed &m_bed;
    QString m_devnode;
    QMap<int, QByteArray> m_strings;
    _UMockdevIoctlBase *m_handler;
    std::mutex m_lock;                  // guards the two below
    std::deque<unsigned long> m_reaped; // caller addresses of finished URBs
    QVector<int> m_requested;
};

// /dev/input/eventN: EVIOCGRAB as the kernel answers it (EBUSY while another holds it).
class EvdevNode {
public:
    EvdevNode(KernelTestbed &bed, const QString &devnode);
    ~EvdevNode();
    EvdevNode(const EvdevNode &) = delete;
    EvdevNode &operator=(const EvdevNode &) = delete;

    void holdElsewhere(bool held); // another program has grabbed it
    bool grabbed();                // grabbed by the program under test

private:
    static int OnIoctl(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, EvdevNode *self);
    KernelTestbed &m_bed;
    QString m_devnode;
    _UMockdevIoctlBase *m_handler;
    std::mutex m_lock; // guards the two flags
    bool m_elsewhere = false;
    bool m_grabbed = false;
};

// /dev/uinput: records the device set-up ioctls and the events written, as the kernel
// would take them; UI_GET_SYSNAME names input devices the testbed has
// (/sys/devices/virtual/input/inputN with an eventM child).
class UinputNode {
public:
    explicit UinputNode(KernelTestbed &bed);
    ~UinputNode();
    UinputNode(const UinputNode &) = delete;
    UinputNode &operator=(const UinputNode &) = delete;

    struct Device {
        QString name;
        uint16_t vendor = 0, product = 0, bustype = 0;
        QVector<int> evbits, keybits, absbits, relbits, propbits;
        QVector<uinput_abs_setup> abs;
        bool created = false, destroyed = false;
        QVector<input_event> events;
        int writes = 0; // write() calls that brought them
    };
    QVector<Device> devices(); // one per open, in open order

private:
    static int OnIoctl(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, UinputNode *self);
    static int OnWrite(_UMockdevIoctlBase *, _UMockdevIoctlClient *client, UinputNode *self);
    Device *deviceOf(_UMockdevIoctlClient *client); // under m_lock
    KernelTestbed &m_bed;
    _UMockdevIoctlBase *m_handler;
    std::mutex m_lock; // guards m_devices and m_clients
    QVector<Device> m_devices;
    QVector<_UMockdevIoctlClient *> m_clients;
};
