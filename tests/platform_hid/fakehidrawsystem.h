#pragma once
// A hidraw system made of fixture trees, scripted handles and a grab recorder.

#include "platform/hid/linux/hidrawsystem.h"
#include "platform/hid/linux/inputgrab.h"

#include "tests/platform_hid/descriptors.h"

#include <QMap>
#include <QQueue>
#include <QVector>

#include <cstring>
#include <mutex>

// One scripted read result: the bytes (count = size) or a failure with errno.
struct ScriptedRead {
    QByteArray bytes;
    int result = 0;  // used when bytes is empty: 0 time-out, -1 failure
    int error = 0;
};

// What every handle of the fake did; shared with the test.
struct HandleLog {
    std::mutex lock;
    QStringList opened;                 // devnodes, in order
    QVector<int> writesByHandle;        // handle number of every write
    QVector<QByteArray> written;
    QVector<int> readsByHandle;
    QQueue<ScriptedRead> reads;         // served to any reading handle in order
};

class FakeHandle : public HidrawHandle {
public:
    FakeHandle(std::shared_ptr<HandleLog> log, int number) : m_log(std::move(log)), m_number(number) {}
    int readTimeout(uint8_t *buffer, int size, int, int *error) override
    {
        std::lock_guard<std::mutex> lock(m_log->lock);
        m_log->readsByHandle.append(m_number);
        *error = 0;
        if (m_log->reads.isEmpty())
            return 0;
        const ScriptedRead r = m_log->reads.dequeue();
        if (r.bytes.isEmpty()) {
            *error = r.error;
            return r.result;
        }
        const int n = std::min(size, int(r.bytes.size()));
        std::memcpy(buffer, r.bytes.constData(), size_t(n));
        return n;
    }
    int write(const uint8_t *data, int length) override
    {
        std::lock_guard<std::mutex> lock(m_log->lock);
        m_log->writesByHandle.append(m_number);
        m_log->written.append(QByteArray(reinterpret_cast<const char *>(data), length));
        return length;
    }

private:
    std::shared_ptr<HandleLog> m_log;
    int m_number;
};

class FakeHidrawSystem : public HidrawSystem {
public:
    QVector<HidrawTree> trees;
    std::shared_ptr<HandleLog> handles = std::make_shared<HandleLog>();
    bool openFails = false;
    // Raw string descriptors by index, header included.
    QMap<int, QByteArray> strings;
    QVector<int> stringRequests; // busnum * 1000 + devnum, per request

    QVector<HidrawTree> hidrawNodes() override { return trees; }
    bool hidrawNode(const QString &sysname, HidrawTree *tree) override
    {
        for (const HidrawTree &t : trees) {
            if (t.sysname == sysname) {
                *tree = t;
                return true;
            }
        }
        return false;
    }
    std::unique_ptr<HidrawHandle> openHandle(const QString &devnode) override
    {
        if (openFails)
            return nullptr;
        std::lock_guard<std::mutex> lock(handles->lock);
        handles->opened << devnode;
        return std::make_unique<FakeHandle>(handles, handles->opened.size());
    }
    int usbStringDescriptor(int busnum, int devnum, int index, uint8_t *buffer, int size) override
    {
        stringRequests.append(busnum * 1000 + devnum);
        if (!strings.contains(index))
            return -1;
        const QByteArray &s = strings[index];
        const int n = std::min(size, int(s.size()));
        std::memcpy(buffer, s.constData(), size_t(n));
        return n;
    }
};

// Grabs by descriptor number; a node listed in `refused` cannot be grabbed, a descriptor
// in `dead` belongs to a node that went away.
class FakeGrabber : public InputGrabber {
public:
    QStringList refused;
    QVector<int> dead;
    QMap<int, QString> held; // fd -> node
    QStringList grabbed;     // every successful grab, in order
    int nextFd = 100;

    int grab(const QString &devnode) override
    {
        if (refused.contains(devnode))
            return -1;
        held.insert(nextFd, devnode);
        grabbed << devnode;
        return nextFd++;
    }
    void release(int fd) override { held.remove(fd); }
    bool alive(int fd) override { return !dead.contains(fd); }
};

// A USB tablet's vendor interface as udev shows it: interface 2 of bus 1 device 7.
inline HidrawTree UsbTabletTree(const QString &node = QStringLiteral("hidraw3"), uint16_t pid = 0x0935,
                                const QByteArray &descriptor = Descriptors::VendorOnly())
{
    const QString pidText = QStringLiteral("%1").arg(pid, 4, 16, QLatin1Char('0')).toUpper();
    const QString hid = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.2/0003:28BD:")
                        + pidText + QStringLiteral(".0007");
    HidrawTree t;
    t.sysname = node;
    t.syspath = hid + QStringLiteral("/hidraw/") + node;
    t.devnode = QStringLiteral("/dev/") + node;
    t.hidSyspath = hid;
    t.hidId = QStringLiteral("0003:000028BD:0000") + pidText;
    t.hidName = QStringLiteral("Inkora Pad M");
    t.reportDescriptor = descriptor;
    t.interfaceNumber = QStringLiteral("02");
    t.busnum = QStringLiteral("1");
    t.devnum = QStringLiteral("7");
    t.manufacturer = QStringLiteral("Inkora");
    t.product = QStringLiteral("Inkora Pad M");
    t.serial = QStringLiteral("0000001");
    t.inputVersion = QStringLiteral("0100");
    t.eventNodes = QStringList{QStringLiteral("/dev/input/event5"), QStringLiteral("/dev/input/event6")};
    return t;
}

// A Bluetooth LE keypad through BlueZ (uhid): product 0x0801, version 0x0003.
inline HidrawTree BleKeypadTree(const QString &node = QStringLiteral("hidraw5"))
{
    HidrawTree t;
    t.sysname = node;
    t.hidSyspath = QStringLiteral("/sys/devices/virtual/misc/uhid/0005:28BD:0801.0009");
    t.syspath = t.hidSyspath + QStringLiteral("/hidraw/") + node;
    t.devnode = QStringLiteral("/dev/") + node;
    t.hidId = QStringLiteral("0005:000028BD:00000801");
    t.hidName = QStringLiteral("Inkora Air S");
    t.hidUniq = QStringLiteral("C8:DF:D0:BF:5B:5E");
    t.reportDescriptor = Descriptors::PenMouseVendor();
    t.inputVersion = QStringLiteral("0003");
    t.eventNodes = QStringList{QStringLiteral("/dev/input/event9")};
    return t;
}
