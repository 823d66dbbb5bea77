// CBleTablet on libInkBLE and the mock BlueZ: the open sequence with its retries and
// log lines, the command table, and a missing library.

#include "bletestenv.h"

#include "device/cbletablet.h"
#include "tests/device/logcapture.h"

#include <QLibrary>
#include <QTest>

namespace {

using BleTablet = BleTestEnv;

QByteArray Hex(const char *hex)
{
    return QByteArray::fromHex(hex);
}

int CountLines(const QStringList &lines, const QString &text)
{
    int n = 0;
    for (const QString &l : lines)
        n += l.contains(text) ? 1 : 0;
    return n;
}

TEST_F(BleTablet, OpenRunsTheWholeSequence)
{
    auto sim = Pair(0x0801, QStringLiteral("Air Whole"));
    ASSERT_TRUE(sim);
    const BleModelEntry entry = Entry(0x0801, "Air Whole");
    CBleTablet tablet(0, m_names.get(), Library());
    ASSERT_TRUE(tablet.libraryLoaded());
    EXPECT_EQ(tablet.isBle, 1);
    ASSERT_TRUE(tablet.OpenBleDevice(QByteArrayLiteral("ble-path"), &entry));
    EXPECT_TRUE(tablet.isOpen());

    const DeviceAttributes a = tablet.CopyAttributes();
    EXPECT_STREQ(a.DevicePath, "ble-path");
    EXPECT_STREQ(a.PidText, "PID_0801");
    EXPECT_STREQ(a.ModelKey, "InkoraPadAirS");
    EXPECT_EQ(a.MaxX, 32000);
    EXPECT_EQ(a.MaxPressure, 8191);
    EXPECT_EQ(a.TabletType[1], CBleTablet::kBluetoothMarker);
    EXPECT_EQ(tablet.mode.load(), 4);
    EXPECT_EQ(sim->tablet().mode(), 4);
    EXPECT_EQ(tablet.profileKey, QStringLiteral("InkoraPadAirS"));

    // Product name, attribute 100, firmware version, mode, light queries: in this order
    // and in their Bluetooth lengths.
    const QList<QByteArray> sent = m_mock->writes(sim->characteristics()[0]);
    ASSERT_EQ(sent.size(), 6);
    EXPECT_EQ(sent[0], Hex("80060200000000000000"));
    EXPECT_EQ(sent[1], Hex("80066400000000000000"));
    EXPECT_EQ(sent[2], Hex("80060400000000000000"));
    EXPECT_EQ(sent[3], Hex("02b00400000000000000"));
    EXPECT_EQ(sent[4], Hex("02b40100010000000000" "0000"));
    EXPECT_EQ(sent[5], Hex("02b40100020000000000" "0000"));

    // Opening again with an empty path only says whether it is open.
    EXPECT_TRUE(tablet.OpenBleDevice(QByteArray(), &entry));
    tablet.CloseDevice();
    EXPECT_FALSE(tablet.isOpen());
    EXPECT_FALSE(tablet.OpenBleDevice(QByteArray(), &entry));
}

TEST_F(BleTablet, DisplayNameFromTheNameTableOrTheProductName)
{
    auto sim = Pair(0x0801, QStringLiteral("Air Named"));
    ASSERT_TRUE(sim);
    const BleModelEntry entry = Entry(0x0801, "Air Named");
    {
        CBleTablet tablet(0, m_names.get(), Library());
        ASSERT_TRUE(tablet.OpenBleDevice(QByteArrayLiteral("p"), &entry));
        // The product name reply came before the size reply it was asked ahead of.
        EXPECT_STREQ(tablet.CopyAttributes().DisplayName, "Inkora Air S");
    }
    m_names->setValue(QStringLiteral("Common/PID_0801"), QStringLiteral("My Air"));
    CBleTablet tablet(0, m_names.get(), Library());
    ASSERT_TRUE(tablet.OpenBleDevice(QByteArrayLiteral("p"), &entry));
    EXPECT_STREQ(tablet.CopyAttributes().DisplayName, "My Air");
}

TEST_F(BleTablet, AttributeAnsweredOnTheThirdTryAndTimeOuts)
{
    auto sim = Pair(0x0801, QStringLiteral("Air Slow"));
    ASSERT_TRUE(sim);
    const BleModelEntry entry = Entry(0x0801, "Air Slow");
    sim->loseAttributeRequests(100, 2);
    {
        LogCapture log;
        CBleTablet tablet(0, m_names.get(), Library());
        ASSERT_TRUE(tablet.OpenBleDevice(QByteArrayLiteral("p"), &entry));
        const QStringList lines = log.lines();
        EXPECT_EQ(CountLines(lines, QStringLiteral(" SentCmd(15,0,0) Failed")), 2);
        EXPECT_TRUE(lines.contains(QStringLiteral(" SentCmd(15,0,0) Failed 0")));
        EXPECT_TRUE(lines.contains(QStringLiteral(" SentCmd(15,0,0) Failed 1")));
        EXPECT_TRUE(lines.contains(QStringLiteral(" SentCmd(3,0,0) pass 4")));
        // Three requests for attribute 100 went out.
        int requests = 0;
        for (const QByteArray &c : m_mock->writes(sim->characteristics()[0]))
            requests += c.startsWith(Hex("800664")) ? 1 : 0;
        EXPECT_EQ(requests, 3);
    }

    // A device that never answers the mode request: 30 tries, then the open fails.
    sim->tablet().setAnswering(false);
    sim->loseAttributeRequests(100, 0);
    LogCapture log;
    CBleTablet tablet(0, m_names.get(), Library());
    EXPECT_FALSE(tablet.OpenBleDevice(QByteArrayLiteral("p"), &entry));
    EXPECT_EQ(CountLines(log.lines(), QStringLiteral(" SentCmd(15,0,0) Failed")), CBleTablet::kReplyTries);
    EXPECT_FALSE(tablet.isOpen());
}

TEST_F(BleTablet, NoPairedDeviceOfThatNameSendsNothing)
{
    auto sim = Pair(0x0801, QStringLiteral("Air Present"));
    ASSERT_TRUE(sim);
    const BleModelEntry entry = Entry(0x0801, "Air Absent");
    LogCapture log;
    CBleTablet tablet(0, m_names.get(), Library());
    EXPECT_FALSE(tablet.OpenBleDevice(QByteArrayLiteral("p"), &entry));
    const QStringList lines = log.lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("Air Absent pbleOpenDeviceEx")));
    EXPECT_TRUE(lines.contains(QStringLiteral("pbleOpenDeviceEx Error -101")));
    EXPECT_EQ(CountLines(lines, QStringLiteral("CBleTablet::SentCmd...")), 0);
    EXPECT_TRUE(m_mock->writes(sim->characteristics()[0]).isEmpty());
}

TEST_F(BleTablet, CommandTable)
{
    auto sim = Pair(0x0801, QStringLiteral("Air Commands"));
    ASSERT_TRUE(sim);
    const BleModelEntry entry = Entry(0x0801, "Air Commands");
    const QString write = sim->characteristics()[0];

    // The library is connected (by another user of it) but this tablet is not open: the
    // second set-light form is held back; other commands go out.
    CBleTablet tablet(0, m_names.get(), Library());
    QLibrary lib(Library());
    ASSERT_TRUE(lib.load());
    auto open = reinterpret_cast<int32_t (*)(const char *)>(lib.resolve("bleOpenDeviceEx"));
    ASSERT_EQ(open("Air Commands"), 0);
    tablet.SentCmd(2, 1, 7);
    EXPECT_TRUE(m_mock->writes(write).isEmpty());

    ASSERT_TRUE(tablet.OpenBleDevice(QByteArrayLiteral("p"), &entry));
    const int before = m_mock->writes(write).size();
    struct Row {
        int type, a, b;
        const char *bytes;
    };
    const Row rows[] = {
        {2, 1, 7, "02b402010001070000000000"},
        {2, 2, 7, "02b402010002000000000000"}, // b only for light 1
        {0, 2, 0, "02b401000200000000000000"},
        {1, 1, 0x1FF, "02b4010101ff000000000000"}, // a and b are single bytes
        {3, 2, 0, "02b00200000000000000"},
        {4, 0, 0, "02b80400000000000000"},
        {11, 0, 0, "80060200000000000000"},
        {12, 0, 0, "80060300000000000000"},
        {13, 0, 0, "80060400000000000000"},
        {14, 0, 0, "80060500000000000000"},
        {15, 0, 0, "80066400000000000000"},
        {16, 0, 0, "80066700000000000000"},
        {17, 0, 0, "80066e00000000000000"},
        {18, 0, 0, "80068300000000000000"},
        {19, 0, 0, "8006f100000000000000"},
    };
    LogCapture log;
    for (const Row &r : rows)
        tablet.SentCmd(r.type, r.a, r.b);
    // Unlisted types send nothing but still log.
    tablet.SentCmd(5, 0, 0);
    tablet.SentCmd(20, 0, 0);
    const QList<QByteArray> w = m_mock->writes(write).mid(before);
    ASSERT_EQ(w.size(), int(std::size(rows)));
    for (int i = 0; i < w.size(); ++i)
        EXPECT_EQ(w[i].toHex(), QByteArray(rows[i].bytes)) << "type " << rows[i].type;
    EXPECT_EQ(CountLines(log.lines(), QStringLiteral("CBleTablet::SentCmd...")), int(std::size(rows)) + 2);
    // Attribute commands log "SentCmd--", a and (for 2, 4, 100) the send result.
    EXPECT_TRUE(log.lines().contains(QStringLiteral("SentCmd-- 0 1")));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("SentCmd-- 0")));
}

TEST_F(BleTablet, MissingLibraryLeavesEverythingInert)
{
    LogCapture log;
    CBleTablet tablet(0, m_names.get(), QStringLiteral("/nonexistent/libInkBLE"));
    EXPECT_FALSE(tablet.libraryLoaded());
    EXPECT_TRUE(log.lines().contains(QStringLiteral("CBleTablet load error!!!\n")));
    const BleModelEntry entry = Entry(0x0801, "Air Nowhere");
    EXPECT_FALSE(tablet.OpenBleDevice(QByteArrayLiteral("p"), &entry));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("pbleFindDevice is nullptr,error!")));
    // Commands and close do nothing, not even the closing log line.
    tablet.SentCmd(3, 4, 0);
    tablet.CloseDevice();
    EXPECT_EQ(CountLines(log.lines(), QStringLiteral("CBleTablet::SentCmd...")), 0);
}

TEST_F(BleTablet, MalformedNotificationsAreDroppedAndTheTabletGoesOn)
{
    auto sim = Pair(0x0801, QStringLiteral("Air Noise"));
    ASSERT_TRUE(sim);
    const BleModelEntry entry = Entry(0x0801, "Air Noise");
    CBleTablet tablet(0, m_names.get(), Library());
    ASSERT_TRUE(tablet.OpenBleDevice(QByteArrayLiteral("p"), &entry));
    const DeviceAttributes before = tablet.CopyAttributes();
    const QString notifying = sim->characteristics()[2];

    const QList<QByteArray> noise = {
        QByteArray(),
        Hex("02"),
        Hex("0206"),                               // attribute reply without its id
        Hex("0206640110"),                         // size reply far too short
        Hex("02060201") + QByteArray(300, 'N'),    // product name longer than its field
        QByteArray(512, char(0xFF)),               // oversized, unknown id
        Hex("027e0102030405060708090a"),           // unknown report
        Hex("55aa"),
        Hex("0420050000000004deadbeef"),           // storage chunk nobody asked for
        Hex("0467"),                               // storage access reply cut short
        Hex("02f20010"),                           // battery report one byte short
        Hex("02b6000101000000"),                   // profile header cut before its id
    };
    for (const QByteArray &n : noise)
        ASSERT_TRUE(m_mock->notify(notifying, n)) << n.toHex().constData();
    // Notifications are handled in order on the event thread: once this one shows, every
    // one before it has been through the tablet.
    ASSERT_TRUE(m_mock->notify(notifying, Hex("02f2002a00")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tablet.batteryLevel.load() == 42; }, 5000));

    const DeviceAttributes after = tablet.CopyAttributes();
    EXPECT_EQ(QByteArray(after.ProductName), QByteArray(sizeof after.ProductName - 1, 'N'));
    EXPECT_EQ(after.MaxX, before.MaxX);
    EXPECT_EQ(after.MaxY, before.MaxY);
    EXPECT_EQ(after.MaxPressure, before.MaxPressure);
    EXPECT_TRUE(tablet.isOpen());
    EXPECT_FALSE(tablet.ApplyReceivedProfile());

    // Still answering: the device description is asked for again and filled in.
    tablet.SentCmd(11, 0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QByteArray(tablet.CopyAttributes().ProductName) != after.ProductName; },
                                5000));
}

} // namespace
