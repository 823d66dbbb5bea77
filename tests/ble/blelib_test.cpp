// libInkBLE through its exports, against the mock BlueZ: opening by name, the
// characteristic roles, notifications, writes, the connection watch, renaming and the
// storage reads.

#include "blelib/inkble.h"
#include "mockbluezclient.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// What the data callback saw; the library calls it on its own thread.
struct Received {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<QByteArray> values;
    std::vector<std::thread::id> threads;

    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        values.clear();
        threads.clear();
    }
    bool waitFor(size_t count, int ms = 5000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return values.size() >= count; });
    }
    std::vector<QByteArray> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return values;
    }
    std::thread::id threadOf(size_t i)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return i < threads.size() ? threads[i] : std::thread::id();
    }
};
Received g_received;

int32_t Record(const uint8_t *data, int32_t length)
{
    std::lock_guard<std::mutex> lock(g_received.mutex);
    g_received.values.emplace_back(reinterpret_cast<const char *>(data), length);
    g_received.threads.push_back(std::this_thread::get_id());
    g_received.cv.notify_all();
    return 1;
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

class BleLibTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_mock = new MockBluez;
        if (!s_mock->start())
            s_skip = s_mock->reason();
    }
    static void TearDownTestSuite()
    {
        bleCloseDevice();
        delete s_mock;
        s_mock = nullptr;
    }
    void SetUp() override
    {
        if (!s_skip.isEmpty())
            GTEST_SKIP() << s_skip.toStdString();
        g_received.clear();
    }
    void TearDown() override
    {
        bleUnregisterAllDataCallBack(0);
        bleCloseDevice();
    }

    // A fresh address for every device of the suite (devices stay in the mock).
    static QString NextAddress()
    {
        return QStringLiteral("C0:FF:EE:00:00:%1").arg(++s_next, 2, 16, QLatin1Char('0')).toUpper();
    }

    // Opens a standard tablet with a fresh name; returns its characteristics [C, B, A].
    QStringList OpenStandard(const QString &name, QString *device = nullptr)
    {
        const QString path = s_mock->addStandardTablet(NextAddress(), name);
        if (device)
            *device = path;
        EXPECT_EQ(bleOpenDeviceEx(name.toUtf8().constData()), 0);
        return s_mock->characteristics(path);
    }

    static MockBluez *s_mock;
    static QString s_skip;
    static int s_next;
};

MockBluez *BleLibTest::s_mock = nullptr;
QString BleLibTest::s_skip;
int BleLibTest::s_next = 0;

TEST_F(BleLibTest, OpenByNameResults)
{
    EXPECT_EQ(bleOpenDeviceEx(""), -101);
    EXPECT_EQ(bleOpenDeviceEx(nullptr), -101);
    EXPECT_EQ(bleOpenDeviceEx("Nobody Here"), -101);

    // Exact, case-sensitive names only.
    s_mock->addStandardTablet(NextAddress(), QStringLiteral("Inkora Exact"));
    EXPECT_EQ(bleOpenDeviceEx("inkora exact"), -101);
    EXPECT_EQ(bleOpenDeviceEx("Inkora Exac"), -101);
    EXPECT_EQ(bleOpenDeviceEx("Inkora Exact"), 0);

    // No vendor service -> -1; the characteristics incomplete -> -2; A that cannot
    // notify (its subscription fails) -> -2.
    s_mock->addTablet(NextAddress(), QStringLiteral("No Service"), MockUuid::Base(0x180F),
                      {{MockUuid::Base(0x0001), {QStringLiteral("write")}}});
    EXPECT_EQ(bleOpenDeviceEx("No Service"), -1);
    s_mock->addTablet(NextAddress(), QStringLiteral("No A"), MockUuid::Base(0xFFF0),
                      {{MockUuid::Base(0x0001), {QStringLiteral("write")}},
                       {MockUuid::Base(0x0002), {QStringLiteral("notify")}}});
    EXPECT_EQ(bleOpenDeviceEx("No A"), -2);
    s_mock->addTablet(NextAddress(), QStringLiteral("Silent A"), MockUuid::Base(0xFFF0),
                      {{MockUuid::Base(0x0001), {QStringLiteral("write")}},
                       {MockUuid::Base(0x0002), {QStringLiteral("notify")}},
                       {MockUuid::Base(0x0003), {QStringLiteral("read")}}});
    EXPECT_EQ(bleOpenDeviceEx("Silent A"), -2);
    // A failed open leaves nothing connected.
    char name[32];
    EXPECT_EQ(bleGetBTName(name, sizeof name), -102);
}

TEST_F(BleLibTest, SameNameTwiceFirstFailingSecondWinsOrGivesItsCode)
{
    // Enumeration follows the address order: the failing device comes first.
    s_mock->addTablet(QStringLiteral("C0:FF:EE:10:00:01"), QStringLiteral("Twin"), MockUuid::Base(0x180F), {});
    const QString second = s_mock->addStandardTablet(QStringLiteral("C0:FF:EE:10:00:02"), QStringLiteral("Twin"));
    EXPECT_EQ(bleOpenDeviceEx("Twin"), 0);
    const QStringList chars = s_mock->characteristics(second);
    ASSERT_EQ(chars.size(), 3);
    EXPECT_TRUE(s_mock->isNotifying(chars[2]));
    bleCloseDevice();
    EXPECT_FALSE(s_mock->isNotifying(chars[2])) << "closing ends the subscriptions";

    // Both fail: -1 for the first, -2 for the second; the second's code is returned.
    s_mock->addTablet(QStringLiteral("C0:FF:EE:20:00:01"), QStringLiteral("Pair"), MockUuid::Base(0x180F), {});
    s_mock->addTablet(QStringLiteral("C0:FF:EE:20:00:02"), QStringLiteral("Pair"), MockUuid::Base(0xFFF0),
                      {{MockUuid::Base(0x0002), {QStringLiteral("notify")}}});
    EXPECT_EQ(bleOpenDeviceEx("Pair"), -2);
}

TEST_F(BleLibTest, CharacteristicRolesOnTheBus)
{
    // 0xFFE0 in its 128-bit form; the write characteristic 0x0001 is also the only
    // other one that notifies, so it is both C and B.
    const QString device = s_mock->addTablet(NextAddress(), QStringLiteral("Shared C"), MockUuid::Base(0xFFE0),
                                             {{MockUuid::Base(0x0001), {QStringLiteral("write"), QStringLiteral("notify")}},
                                              {MockUuid::Base(0x0003), {QStringLiteral("notify")}}});
    ASSERT_EQ(bleOpenDeviceEx("Shared C"), 0);
    bleRegisterAllDataCallBack(&Record);
    const QStringList chars = s_mock->characteristics(device);
    ASSERT_EQ(chars.size(), 2);
    EXPECT_TRUE(s_mock->isNotifying(chars[0]));
    EXPECT_TRUE(s_mock->isNotifying(chars[1]));
    const uint8_t cmd[] = {0x02, 0xB0, 0x04};
    EXPECT_EQ(bleSendCommand(cmd, 3), 1);
    EXPECT_EQ(s_mock->writes(chars[0]), QList<QByteArray>{Bytes({0x02, 0xB0, 0x04})});
    // Both roles deliver.
    EXPECT_TRUE(s_mock->notify(chars[0], Bytes({0x02, 0xB0, 0x04, 0x01})));
    EXPECT_TRUE(s_mock->notify(chars[1], Bytes({0x02, 0xF2, 0x50})));
    ASSERT_TRUE(g_received.waitFor(2));
}

TEST_F(BleLibTest, NotificationsReachTheCallbackOnTheEventThread)
{
    const QStringList chars = OpenStandard(QStringLiteral("Notifier"));
    ASSERT_EQ(chars.size(), 3);
    bleRegisterAllDataCallBack(&Record);

    // A zero-length value gives no callback: the one after it is the first seen.
    EXPECT_TRUE(s_mock->notify(chars[2], QByteArray()));
    EXPECT_TRUE(s_mock->notify(chars[2], Bytes({0x02, 0xA1, 0x10, 0x27})));
    EXPECT_TRUE(s_mock->notify(chars[1], Bytes({0x02, 0xF0, 0x01})));
    ASSERT_TRUE(g_received.waitFor(2));
    const auto seen = g_received.snapshot();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], Bytes({0x02, 0xA1, 0x10, 0x27}));
    EXPECT_EQ(seen[1], Bytes({0x02, 0xF0, 0x01}));
    EXPECT_NE(g_received.threadOf(0), std::this_thread::get_id());
}

TEST_F(BleLibTest, SendsGoToTheWriteCharacteristicUntilTheTabletIsGone)
{
    QString device;
    const QStringList chars = OpenStandard(QStringLiteral("Sender"), &device);
    ASSERT_EQ(chars.size(), 3);
    const uint8_t cmd[] = {0x80, 0x06, 0x64, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(bleSendCommand(cmd, sizeof cmd), 1);
    EXPECT_EQ(s_mock->writes(chars[0]), QList<QByteArray>{QByteArray(reinterpret_cast<const char *>(cmd), sizeof cmd)});
    EXPECT_TRUE(s_mock->writes(chars[1]).isEmpty());

    // A refused write is 0, not a success.
    ASSERT_TRUE(s_mock->setWriteFails(device, true));
    EXPECT_EQ(bleSendCommand(cmd, sizeof cmd), 0);
    ASSERT_TRUE(s_mock->setWriteFails(device, false));

    // Switched off: once the connection watch has seen it, the connection is closed and
    // sends give -3.
    ASSERT_TRUE(s_mock->setConnected(device, false));
    char name[32];
    EXPECT_TRUE(QTest::qWaitFor([&] { return bleGetBTName(name, sizeof name) == -102; }, 10000));
    EXPECT_EQ(bleSendCommand(cmd, sizeof cmd), -3);
    ASSERT_TRUE(s_mock->setConnected(device, true));
}

TEST_F(BleLibTest, NamesStayWithinTheirLimits)
{
    char small[12];
    EXPECT_EQ(bleGetBTName(small, sizeof small), -101);
    char buffer[64];
    EXPECT_EQ(bleGetBTName(buffer, sizeof buffer), -102);
    EXPECT_EQ(bleSetBTName("Four"), -103);

    QString device;
    const QStringList chars = OpenStandard(QStringLiteral("A Rather Long Tablet Name"), &device);
    ASSERT_EQ(chars.size(), 3);
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(bleGetBTName(buffer, 64), 0);
    EXPECT_STREQ(buffer, "A Rather Long Tablet Name");
    // 25 characters and the terminator do not fit in 20 bytes: nothing past them moves.
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(bleGetBTName(buffer, 20), -101);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(buffer[i], 0x5A) << i;
    EXPECT_EQ(bleGetBTName(buffer, 26), 0);

    EXPECT_EQ(bleSetBTName("abc"), -101);
    EXPECT_EQ(bleSetBTName("abcdefghijklmno"), -101);
    EXPECT_EQ(bleSetBTName(nullptr), -101);
    EXPECT_TRUE(s_mock->writes(chars[0]).isEmpty());
    EXPECT_EQ(bleSetBTName("abcdefghijklmn"), 0);
    const QList<QByteArray> w = s_mock->writes(chars[0]);
    ASSERT_EQ(w.size(), 1);
    QByteArray expected = Bytes({0xFD, 0xFD, 0x01, 0x02, 14}) + QByteArray("abcdefghijklmn") + QByteArray(1, '\0');
    EXPECT_EQ(w[0], expected);
    EXPECT_EQ(w[0].size(), 20);

    ASSERT_TRUE(s_mock->setWriteFails(device, true));
    EXPECT_EQ(bleSetBTName("Renamed"), -103);
    ASSERT_TRUE(s_mock->setWriteFails(device, false));
}

TEST_F(BleLibTest, StorageReadsInChunksAfterTheAccessStep)
{
    uint8_t out[16];
    const uint32_t code = 0x44332211; // goes out in memory order: 11 22 33 44
    EXPECT_EQ(bleGetStorage(0, out, 6, &code, 0), -3);

    QString device;
    const QStringList chars = OpenStandard(QStringLiteral("Storage"), &device);
    ASSERT_EQ(chars.size(), 3);
    QByteArray content(256, '\0');
    for (int i = 0; i < 256; ++i)
        content[i] = char(i ^ 0xA5);
    ASSERT_TRUE(s_mock->setStorage(device, content, Bytes({0x11, 0x22, 0x33, 0x44}), true));

    // Offset 250 and length 6 run past byte 255.
    EXPECT_EQ(bleGetStorage(250, out, 6, &code, 0), -101);
    EXPECT_EQ(bleGetStorage(-4, out, 6, &code, 0), -101);
    EXPECT_EQ(bleGetStorage(0, nullptr, 6, &code, 0), -101);

    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(bleGetStorage(10, out, 6, &code, 0), 6);
    EXPECT_EQ(QByteArray(reinterpret_cast<char *>(out), 6), content.mid(10, 6));
    EXPECT_EQ(out[6], 0xEE) << "only length bytes are written";
    const QList<QByteArray> w = s_mock->writes(chars[0]);
    ASSERT_GE(w.size(), 3);
    EXPECT_EQ(w[w.size() - 3], Bytes({0x04, 0x67, 0x11, 0x22, 0x33, 0x44, 0x00, 0x00}));
    EXPECT_EQ(w[w.size() - 2], Bytes({0x04, 0x20, 10, 0, 0, 0, 0, 4}));
    EXPECT_EQ(w[w.size() - 1], Bytes({0x04, 0x20, 14, 0, 0, 0, 0, 2}));
    // The last byte of the storage is reachable.
    EXPECT_EQ(bleGetStorage(251, out, 4, &code, 0), 4);
    EXPECT_EQ(QByteArray(reinterpret_cast<char *>(out), 4), content.mid(251, 4));

    // A wrong code and a missing one fail the access step.
    const uint32_t wrong = 1;
    EXPECT_EQ(bleGetStorage(0, out, 4, &wrong, 0), -104);
    EXPECT_EQ(bleGetStorage(0, out, 4, nullptr, 0), -104);
}

TEST_F(BleLibTest, StorageWithoutRepliesTimesOut)
{
    QString device;
    OpenStandard(QStringLiteral("Mute Storage"), &device);
    ASSERT_TRUE(s_mock->setStorage(device, QByteArray(), Bytes({0, 0, 0, 0}), false));
    uint8_t out[4] = {1, 2, 3, 4};
    const uint32_t code = 0;
    EXPECT_EQ(bleGetStorage(0, out, 4, &code, 0), -104);
    EXPECT_EQ(out[0], 1);
}

} // namespace

// The library's own symbols: the eight C functions and nothing of its internals (the
// standard library's shared type records may show up beside them).
TEST(BleLibExports, OnlyTheCFunctionsLeaveTheLibrary)
{
    const QString lib = qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/libInkBLE.so");
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), QStringLiteral("-C"), lib});
    if (!nm.waitForStarted())
        GTEST_SKIP() << "nm is not installed";
    ASSERT_TRUE(nm.waitForFinished(30000));
    ASSERT_EQ(nm.exitCode(), 0) << nm.readAllStandardError().toStdString();
    QStringList own;
    for (const QString &line : QString::fromUtf8(nm.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QString type = line.section(QLatin1Char(' '), 1, 1);
        const QString name = line.section(QLatin1Char(' '), 2);
        if (type.isEmpty() || type == QLatin1String("U") || type.at(0).isLower())
            continue;
        if (name.contains(QLatin1String("std::")))
            continue;
        own << name;
    }
    own.sort();
    EXPECT_EQ(own, QStringList({QStringLiteral("bleCloseDevice"), QStringLiteral("bleGetBTName"),
                                QStringLiteral("bleGetStorage"), QStringLiteral("bleOpenDeviceEx"),
                                QStringLiteral("bleRegisterAllDataCallBack"), QStringLiteral("bleSendCommand"),
                                QStringLiteral("bleSetBTName"), QStringLiteral("bleUnregisterAllDataCallBack")}));
}
