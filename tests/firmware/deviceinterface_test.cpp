// The updater's device interface on a scripted HID backend: vendor matching of device
// notices, the attribute block, the bounded write and the reading thread.
#include "firmware/deviceinterface.h"
#include "platform/hid/hidbackend.h"
#include "platform/hid/hidmonitor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QMap>
#include <QQueue>
#include <QTest>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

const QString kUsbPath = QStringLiteral("\\\\?\\hid#vid_28bd&pid_0935&mi_02&col01#hidraw3#{4d1e55b2-f16f-11cf-88cb-001111000030}");
const QString kBlePath = QStringLiteral("\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&0228bd_pid&0801"
                                        "_rev&0001_a1b2c3d4e5f6&col01#hidraw5#{4d1e55b2-f16f-11cf-88cb-001111000030}");
const QString kOtherVendorPath = QStringLiteral("\\\\?\\hid#vid_046d&pid_c52b&mi_00#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030}");

// One scripted interface. lock guards every member.
struct ScriptedDevice {
    QString path;
    QMap<int, QString> strings;
    QMap<int, QByteArray> raw;

    std::mutex lock;
    std::condition_variable changed;
    QVector<QByteArray> writes;
    bool holdWrites = false; // a write blocks until this is cleared
    QQueue<QByteArray> reports;
    bool gone = false;
};

class ScriptedHandle : public HidDevice {
public:
    explicit ScriptedHandle(std::shared_ptr<ScriptedDevice> d) : m_d(std::move(d)) {}
    int write(const uint8_t *data, int length) override
    {
        std::unique_lock<std::mutex> lock(m_d->lock);
        m_d->writes.append(QByteArray(reinterpret_cast<const char *>(data), length));
        m_d->changed.notify_all();
        m_d->changed.wait(lock, [this] { return !m_d->holdWrites; });
        return m_d->gone ? -1 : length;
    }
    int readTimeout(uint8_t *buffer, int size, int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_d->lock);
        m_d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_d->gone || !m_d->reports.isEmpty(); });
        if (m_d->gone)
            return -1;
        if (m_d->reports.isEmpty())
            return 0;
        const QByteArray r = m_d->reports.dequeue();
        const int n = std::min(size, int(r.size()));
        memcpy(buffer, r.constData(), size_t(n));
        return n;
    }
    bool indexedString(int index, QString *text) override
    {
        if (!m_d->strings.contains(index))
            return false;
        *text = m_d->strings.value(index);
        return true;
    }
    int indexedStringRaw(int index, uint8_t *buffer, int size) override
    {
        if (!m_d->raw.contains(index))
            return -1;
        const QByteArray r = m_d->raw.value(index);
        const int n = std::min(size, int(r.size()));
        memcpy(buffer, r.constData(), size_t(n));
        return n;
    }

private:
    std::shared_ptr<ScriptedDevice> m_d;
};

class ScriptedMonitor : public HidMonitor {
public:
    bool start() override { return true; }
};

class ScriptedBackend : public HidBackend {
public:
    bool init() override { return true; }
    QVector<HidDeviceInfo> enumerate(uint16_t) override
    {
        QVector<HidDeviceInfo> list;
        for (const QString &path : present) {
            HidDeviceInfo info;
            info.path = path;
            list << info;
        }
        return list;
    }
    std::unique_ptr<HidDevice> open(const QString &path) override
    {
        for (const auto &d : devices) {
            if (d->path.compare(path, Qt::CaseInsensitive) == 0)
                return std::make_unique<ScriptedHandle>(d);
        }
        return nullptr;
    }
    std::unique_ptr<HidMonitor> createMonitor(uint16_t) override
    {
        auto m = std::make_unique<ScriptedMonitor>();
        monitor = m.get();
        return m;
    }

    // A tablet with every string the attribute block reads.
    std::shared_ptr<ScriptedDevice> addTablet(const QString &path, uint8_t capabilityByte1 = 0x00)
    {
        auto d = std::make_shared<ScriptedDevice>();
        d->path = path;
        d->strings = {{1, QStringLiteral("Maker")}, {2, QStringLiteral("Pad")}, {3, QStringLiteral("SN1")},
                      {4, QStringLiteral("KPX2000A-A")}, {5, QStringLiteral("20210826")}};
        // MaxX 0x012345 (24-bit), MaxY 0x6789, pressure 0x1F1F, resolution 0 (not given).
        d->raw[100] = QByteArray::fromHex("4523896700001f1f0000010000");
        QByteArray capability(64, '\0');
        capability[1] = char(capabilityByte1);
        d->raw[110] = capability;
        d->raw[131] = QByteArray::fromHex("0102030405060708");
        devices << d;
        return d;
    }

    QStringList present;
    QVector<std::shared_ptr<ScriptedDevice>> devices;
    HidMonitor *monitor = nullptr; // lives on the notification thread
};

struct Notice {
    QString path;
    int arrived;
    QThread *thread;
};

std::mutex g_noticeLock;
std::vector<Notice> g_notices; // deep copies only: the notification thread appends

void CollectNotice(const char *path, const char *devicePath, int arrived, void *)
{
    EXPECT_STREQ(path, devicePath);
    std::lock_guard<std::mutex> lock(g_noticeLock);
    g_notices.push_back({QString::fromUtf8(path), arrived, QThread::currentThread()});
}

std::vector<Notice> Notices()
{
    std::lock_guard<std::mutex> lock(g_noticeLock);
    return g_notices;
}

class DeviceInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_backend = std::make_shared<ScriptedBackend>();
        SetDeviceInterfaceBackend(m_backend);
        std::lock_guard<std::mutex> lock(g_noticeLock);
        g_notices.clear();
    }
    void TearDown() override
    {
        ReleaseLib();
        SetDeviceInterfaceBackend(nullptr);
    }
    std::shared_ptr<ScriptedBackend> m_backend;
};

} // namespace

TEST_F(DeviceInterfaceTest, NoticesMatchTheVendorInEitherPathFormWhateverItsCase)
{
    m_backend->present = QStringList{kUsbPath, kBlePath, kOtherVendorPath};
    ASSERT_TRUE(InitLib());
    RegisterDevNotifyCallBack(&CollectNotice, nullptr);

    // The scan: the USB path and the Bluetooth path with its lower-case "0228bd_pid".
    const std::vector<Notice> scan = Notices();
    ASSERT_EQ(scan.size(), 2);
    EXPECT_EQ(scan[0].path, kUsbPath.toUpper());
    EXPECT_EQ(scan[1].path, kBlePath.toUpper());
    EXPECT_EQ(scan[0].arrived, 1);
    EXPECT_EQ(scan[1].arrived, 1);

    // Notices come on the notification thread.
    ASSERT_NE(m_backend->monitor, nullptr);
    HidMonitor *monitor = m_backend->monitor;
    for (const QString &path : {kOtherVendorPath, kBlePath}) {
        HidDeviceInfo info;
        info.path = path;
        QMetaObject::invokeMethod(monitor, [monitor, info] { emit monitor->interfaceRemoved(info); },
                                  Qt::QueuedConnection);
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return Notices().size() == 3; }, 5000));
    const Notice removal = Notices().back();
    EXPECT_EQ(removal.path, kBlePath.toUpper());
    EXPECT_EQ(removal.arrived, 0);
    EXPECT_NE(removal.thread, QThread::currentThread());
}

TEST_F(DeviceInterfaceTest, AttributeBlockAndTheModeCommandOfSomeCapabilityBlocks)
{
    struct Case {
        uint8_t capabilityByte1;
        bool modeCommand;
    };
    for (const Case c : {Case{0x30, true}, Case{0x10, true}, Case{0x40, false}, Case{0x00, false}}) {
        SCOPED_TRACE(c.capabilityByte1);
        m_backend->devices.clear();
        auto tablet = m_backend->addTablet(kUsbPath, c.capabilityByte1);
        FwDevice *device = nullptr;
        ASSERT_TRUE(OpenDevice(kUsbPath.toUtf8().constData(), &device));
        const FwDeviceAttribute a = GetDeviceAttribute(device);
        EXPECT_EQ(a.MaxX, 0x012345);
        EXPECT_EQ(a.MaxY, 0x6789); // byte 11, the third byte, is 0
        EXPECT_EQ(a.MaxPressure, 0x1F1F);
        EXPECT_EQ(a.Resolution, 5080);
        EXPECT_EQ(a.WidthInch100, 0x012345 * 100 / 5080);
        EXPECT_STREQ(a.ProductName, "Pad");
        EXPECT_STREQ(a.ICVersion, "KPX2000A-A");
        EXPECT_STREQ(a.ICData, "20210826");
        EXPECT_EQ(a.TabletType[1], c.capabilityByte1);
        EXPECT_EQ(a.SerialCode[7], 0x08);
        {
            std::lock_guard<std::mutex> lock(tablet->lock);
            if (c.modeCommand) {
                ASSERT_EQ(tablet->writes.size(), 1);
                QByteArray expected(64, '\0');
                expected[0] = char(0x02);
                expected[1] = char(0xB0);
                expected[2] = char(0x04);
                EXPECT_EQ(tablet->writes[0], expected);
            } else {
                EXPECT_TRUE(tablet->writes.isEmpty());
            }
        }
        EXPECT_TRUE(CloseDevice(device));
    }
    // Without a device the block is all zero.
    const FwDeviceAttribute none = GetDeviceAttribute(nullptr);
    EXPECT_EQ(none.MaxX, 0);
    EXPECT_STREQ(none.ProductName, "");
}

TEST_F(DeviceInterfaceTest, FailedOpensStillListTheObjectAndCloseOnce)
{
    auto tablet = m_backend->addTablet(kUsbPath);
    tablet->strings.remove(5); // no firmware date: the attribute block cannot be filled

    for (const QString &path : {kUsbPath, QStringLiteral("\\\\?\\hid#vid_28bd&pid_0001#none#{x}")}) {
        FwDevice *device = nullptr;
        EXPECT_FALSE(OpenDevice(path.toUtf8().constData(), &device));
        ASSERT_NE(device, nullptr);
        EXPECT_STREQ(GetStringID(device, 2), "");
        EXPECT_FALSE(SendCmd(device, reinterpret_cast<const uint8_t *>("\x02\xB0\x04"), 3));
        EXPECT_TRUE(CloseDevice(device));
        EXPECT_FALSE(CloseDevice(device)); // closed already: not freed twice
    }
    EXPECT_FALSE(CloseDevice(nullptr));
}

TEST_F(DeviceInterfaceTest, SendCmdGivesUpAfterItsBoundAndCancelsWhatHadNotStarted)
{
    auto tablet = m_backend->addTablet(kUsbPath);
    FwDevice *device = nullptr;
    ASSERT_TRUE(OpenDevice(kUsbPath.toUtf8().constData(), &device));
    {
        std::lock_guard<std::mutex> lock(tablet->lock);
        tablet->holdWrites = true;
    }
    const uint8_t first[] = {0x02, 0xB2, 0x03, 0x01};
    const uint8_t second[] = {0x02, 0xB2, 0x03, 0x02};
    const uint8_t third[] = {0x02, 0xB2, 0x03, 0x03};
    EXPECT_FALSE(SendCmd(device, first, sizeof first));   // started, never completes in time
    EXPECT_FALSE(SendCmd(device, second, sizeof second)); // queued behind it: cancelled
    {
        std::lock_guard<std::mutex> lock(tablet->lock);
        tablet->holdWrites = false;
        tablet->changed.notify_all();
    }
    EXPECT_TRUE(SendCmd(device, third, sizeof third));
    {
        std::lock_guard<std::mutex> lock(tablet->lock);
        ASSERT_EQ(tablet->writes.size(), 2);
        EXPECT_EQ(uint8_t(tablet->writes[0][3]), 0x01);
        EXPECT_EQ(uint8_t(tablet->writes[1][3]), 0x03);
        // Zero-padded to the 64-byte output report.
        EXPECT_EQ(tablet->writes[1].size(), 64);
        EXPECT_EQ(tablet->writes[1].mid(4), QByteArray(60, '\0'));
    }
    // Longer than the report: refused rather than cut.
    const QByteArray tooLong(65, '\x02');
    EXPECT_FALSE(SendCmd(device, reinterpret_cast<const uint8_t *>(tooLong.constData()), tooLong.size()));
    EXPECT_TRUE(CloseDevice(device));
}

namespace {
struct Received {
    std::mutex lock;
    QVector<QByteArray> reports;
    QThread *thread = nullptr;
};

void CollectData(const uint8_t *data, int32_t length, void *user)
{
    auto *r = static_cast<Received *>(user);
    std::lock_guard<std::mutex> lock(r->lock);
    r->reports.append(QByteArray(reinterpret_cast<const char *>(data), length));
    r->thread = QThread::currentThread();
}
} // namespace

TEST_F(DeviceInterfaceTest, ReportsReachTheCallbackOnTheReadingThreadUntilTheDeviceGoes)
{
    auto tablet = m_backend->addTablet(kUsbPath);
    FwDevice *device = nullptr;
    ASSERT_TRUE(OpenDevice(kUsbPath.toUtf8().constData(), &device));
    Received received;
    RegisterDataCallBack(&CollectData, device, &received);
    {
        std::lock_guard<std::mutex> lock(tablet->lock);
        tablet->reports.enqueue(QByteArray::fromHex("02b20201"));
        tablet->changed.notify_all();
    }
    auto count = [&received] {
        std::lock_guard<std::mutex> lock(received.lock);
        return received.reports.size();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return count() == 1; }, 5000));
    {
        std::lock_guard<std::mutex> lock(received.lock);
        EXPECT_EQ(received.reports[0], QByteArray::fromHex("02b20201"));
        EXPECT_NE(received.thread, QThread::currentThread());
    }

    // Unregistered: later reports are read and dropped.
    UnregisterDataCallBack(device);
    {
        std::lock_guard<std::mutex> lock(tablet->lock);
        tablet->reports.enqueue(QByteArray::fromHex("02b20202"));
        tablet->changed.notify_all();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::lock_guard<std::mutex> lock(tablet->lock);
        return tablet->reports.isEmpty();
    }, 5000));
    EXPECT_EQ(count(), 1);

    // The device leaves: the reading thread waits for the close instead of failing on.
    {
        std::lock_guard<std::mutex> lock(tablet->lock);
        tablet->gone = true;
        tablet->changed.notify_all();
    }
    EXPECT_TRUE(CloseDevice(device));
}

TEST_F(DeviceInterfaceTest, StringsAreCutToTheirBufferOnACharacterBoundary)
{
    auto tablet = m_backend->addTablet(kUsbPath);
    // 126 ASCII bytes, then a two-byte character that would end past byte 127.
    tablet->strings[2] = QString(126, QLatin1Char('a')) + QString::fromUtf8("\xC3\xA9") + QStringLiteral("tail");
    tablet->strings[4] = QStringLiteral("KPX2000A-A");
    FwDevice *device = nullptr;
    ASSERT_TRUE(OpenDevice(kUsbPath.toUtf8().constData(), &device));
    const FwDeviceAttribute a = GetDeviceAttribute(device);
    EXPECT_EQ(QByteArray(a.ProductName), QByteArray(126, 'a'));
    EXPECT_EQ(QByteArray(GetStringID(device, 2)), QByteArray(126, 'a'));
    // The id is taken modulo 256, as a string index byte.
    EXPECT_STREQ(GetStringID(device, 0x104), "KPX2000A-A");
    EXPECT_STREQ(GetStringID(nullptr, 4), "");
    EXPECT_TRUE(CloseDevice(device));
}

TEST(DeviceInterfaceExports, FwFlasherExportsTheInterfaceByName)
{
    const QString program = qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/FwFlasher");
    if (!QFile::exists(program))
        GTEST_SKIP() << "FwFlasher not built at " << program.toStdString();
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), program});
    if (!nm.waitForStarted(5000))
        GTEST_SKIP() << "nm is not available";
    ASSERT_TRUE(nm.waitForFinished(30000));
    const QString symbols = QString::fromLatin1(nm.readAllStandardOutput());
    for (const char *name : {"InitLib", "ReleaseLib", "OpenDevice", "CloseDevice", "RegisterDataCallBack",
                             "UnregisterDataCallBack", "RegisterDevNotifyCallBack", "GetDeviceAttribute",
                             "GetForegroundAppPath", "SendToDriverLib", "SendCmd", "GetStringID"}) {
        // Plain C names: " T InitLib" at the end of a line, not a mangled C++ name.
        EXPECT_TRUE(symbols.contains(QRegularExpression(QStringLiteral(" T %1$").arg(QLatin1String(name)),
                                                        QRegularExpression::MultilineOption)))
            << name;
    }
}
