// The control channel of the simulated tablets and the recording virtual device of
// `Inkora --simulate`: what people and the end-to-end tests drive the program with.

#include "platform/vhid/vhidreport.h"
#include "sim/simbletablet.h"
#include "sim/simcontrol.h"
#include "sim/simhidbackend.h"
#include "sim/simreports.h"
#include "sim/simtablet.h"
#include "sim/vhidrecordfile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

QByteArray ReadOne(SimTablet &t)
{
    uint8_t buffer[64];
    const int n = t.read(buffer, sizeof buffer, 0);
    return n > 0 ? QByteArray(reinterpret_cast<const char *>(buffer), n) : QByteArray(n < 0 ? "gone" : "");
}

class SimControlTest : public ::testing::Test {
protected:
    SimHidBackend m_backend;
    SimControl m_control{&m_backend};
};

TEST_F(SimControlTest, PlugListAndUnplugByNumberOrModel)
{
    EXPECT_EQ(m_control.Execute(QStringLiteral("list")), QStringLiteral("ok"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("plug InkoraPadM")), QStringLiteral("ok 0"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("plug 0x0933")), QStringLiteral("ok 1"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("list")), QStringLiteral("ok 0:InkoraPadM 1:InkoraPadGlowL"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("plug NoSuchPad")), QStringLiteral("error: no simulated model NoSuchPad"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("plug 0x1234")), QStringLiteral("error: no simulated model 0x1234"));

    const std::shared_ptr<SimTablet> glow = m_backend.tablets().at(1);
    // A model key names the first tablet of that model, case aside.
    EXPECT_EQ(m_control.Execute(QStringLiteral("unplug inkorapadglowl")), QStringLiteral("ok"));
    EXPECT_EQ(ReadOne(*glow), QByteArray("gone"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("unplug 1")), QStringLiteral("error: no simulated tablet 1"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("list")), QStringLiteral("ok 0:InkoraPadM"));
}

// Bluetooth tablets are listed as bN and take pen, keys with the ring, and battery.
TEST_F(SimControlTest, BluetoothTabletsAreListedAndDrivenToo)
{
    SimBleHidBackend bluetooth(nullptr);
    const SimModel &ring = *SimBleModels::find(0x0804);
    const auto air = bluetooth.plugListedOnly(ring, QStringLiteral("Inkora Air Ring"), QStringLiteral("C0:FF:EE:5B:04:01"));
    m_control.SetBluetooth(&bluetooth);
    m_backend.plug(*SimModels::find(0x0935));
    EXPECT_EQ(m_control.Execute(QStringLiteral("list")), QStringLiteral("ok 0:InkoraPadM b0:InkoraPadAirRing"));

    EXPECT_EQ(m_control.Execute(QStringLiteral("battery b0 64 1")), QStringLiteral("ok"));
    EXPECT_EQ(ReadOne(air->tablet()), SimReports::battery(64, true));
    EXPECT_EQ(m_control.Execute(QStringLiteral("keys InkoraPadAirRing 0 0x40")), QStringLiteral("ok"));
    EXPECT_EQ(ReadOne(air->tablet()), SimReports::keysAndRing(ring, 0, 0x40));
    EXPECT_EQ(m_control.Execute(QStringLiteral("pen b0 100 200 300 1")), QStringLiteral("ok"));
    EXPECT_EQ(air->tablet().pendingReports(), 1);
    EXPECT_EQ(m_control.Execute(QStringLiteral("battery b0 101")), QStringLiteral("error: bad number 101 (0..100)"));
    EXPECT_TRUE(m_control.Execute(QStringLiteral("unplug b0")).startsWith(QLatin1String("error: ")));
    EXPECT_EQ(m_backend.tablets().first()->pendingReports(), 0);
}

TEST_F(SimControlTest, ScriptedReportsAreTheDevicesOwnBytes)
{
    m_backend.plug(*SimModels::find(0x0935));
    const std::shared_ptr<SimTablet> t = m_backend.tablets().first();

    EXPECT_EQ(m_control.Execute(QStringLiteral("keys 0 0x4")), QStringLiteral("ok"));
    EXPECT_EQ(ReadOne(*t), SimReports::keysAndRing(t->model(), 0x4, 0));

    EXPECT_EQ(m_control.Execute(QStringLiteral("pen InkoraPadM 100 200 3000 1")), QStringLiteral("ok"));
    SimPenSample sample;
    sample.x = 100;
    sample.y = 200;
    sample.pressure = 3000;
    sample.buttons = 1;
    EXPECT_EQ(ReadOne(*t), SimReports::pen(t->model(), sample));
    // Leaving proximity.
    EXPECT_EQ(m_control.Execute(QStringLiteral("pen 0 100 200 0 0 0")), QStringLiteral("ok"));
    sample.pressure = 0;
    sample.buttons = 0;
    sample.inRange = false;
    EXPECT_EQ(ReadOne(*t), SimReports::pen(t->model(), sample));

    // Hover in, the tip-down samples, lift, leave.
    EXPECT_EQ(m_control.Execute(QStringLiteral("stroke 0 0 0 1000 500 4 8191")), QStringLiteral("ok"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("pending 0")), QStringLiteral("ok 7"));

    uint8_t mode[10] = {0x02, 0xB0, 0x02};
    t->write(mode, sizeof mode);
    EXPECT_EQ(m_control.Execute(QStringLiteral("mode 0")), QStringLiteral("ok 2"));
}

TEST_F(SimControlTest, MalformedCommandsAreRefusedAndQueueNothing)
{
    m_backend.plug(*SimModels::find(0x0935));
    const std::shared_ptr<SimTablet> t = m_backend.tablets().first();
    const char *refused[][2] = {
        {"", "error: empty command"},
        {"jump 0", "error: unknown command jump"},
        {"keys 0", "error: keys T BITS [RING]"},
        {"keys 0 1 2 3", "error: keys T BITS [RING]"},
        {"keys 0 1 256", "error: bad number 256 (0..255)"},
        {"keys 7 1", "error: no simulated tablet 7"},
        {"keys 0 12abc", "error: bad number 12abc (0..1099511627775)"},
        {"keys 0 -1", "error: bad number -1 (0..1099511627775)"},
        {"keys 0 0x10000000000", "error: bad number 0x10000000000 (0..1099511627775)"}, // key 41 does not exist
        {"pen 0 1 2 8192", "error: bad number 8192 (0..8191)"},                  // 13-bit pressure
        {"pen 0 1 2 3 16", "error: bad number 16 (0..15)"},
        {"stroke 0 0 0 9 9 1 100", "error: a stroke has at least 2 steps"},
        {"stroke 0 0 0 9 9 10001 100", "error: bad number 10001 (0..10000)"},
        {"stroke 0 0 0 9 9 5 100 1001", "error: bad number 1001 (0..1000)"},
        {"stroke 0 0 0 0x10000 9 5 100", "error: bad number 0x10000 (0..65535)"}, // 16-bit x of this model
        {"pen 0 1 65536 0", "error: bad number 65536 (0..65535)"},
    };
    for (const auto &c : refused)
        EXPECT_EQ(m_control.Execute(QString::fromLatin1(c[0])), QString::fromLatin1(c[1])) << c[0];
    EXPECT_EQ(t->pendingReports(), 0);

    // The 12-byte pen report carries 24-bit coordinates.
    m_backend.plug(*SimModels::find(0x094B));
    EXPECT_EQ(m_control.Execute(QStringLiteral("pen 1 344520 193800 0")), QStringLiteral("ok"));
    EXPECT_EQ(m_control.Execute(QStringLiteral("pen 1 0x1000000 0 0")), QStringLiteral("error: bad number 0x1000000 (0..16777215)"));
}

// Over the socket: lines answered in order, several in one write; an endless line ends
// the connection instead of growing the buffer.
TEST_F(SimControlTest, SocketAnswersEachLineAndDropsOverlongOnes)
{
    m_backend.plug(*SimModels::find(0x0935));
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("inkora-simulate"));
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly)); // left by a run that died
    stale.close();
    ASSERT_TRUE(m_control.Listen(path));
    EXPECT_EQ(m_control.socketPath(), path);

    QLocalSocket client;
    client.connectToServer(path);
    ASSERT_TRUE(client.waitForConnected(5000));
    // Server and client share this thread: the waits run its event loop.
    QByteArray answers;
    const auto collect = [&] { answers += client.readAll(); };
    QObject::connect(&client, &QLocalSocket::readyRead, collect);
    client.write("list\nmode 0\n\nkeys 0 1\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return answers.count('\n') >= 4; }, 10000));
    EXPECT_EQ(answers, QByteArray("ok 0:InkoraPadM\nok 0\nerror: empty command\nok\n"));

    answers.clear();
    client.write(QByteArray(SimControl::kMaxLine + 100, 'x'));
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 10000));
    EXPECT_EQ(answers, QByteArray("error: line too long\n"));
    EXPECT_EQ(client.state(), QLocalSocket::UnconnectedState);
}

QVector<QJsonObject> Lines(const QString &path)
{
    QFile file(path);
    QVector<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines.append(QJsonDocument::fromJson(line).object());
    }
    return lines;
}

QByteArray PenReport(uint8_t status, uint16_t x, uint16_t y, uint16_t pressure)
{
    QByteArray r(kVhidReportLength, '\0');
    r[0] = char(kVhidReportId);
    r[1] = char(kVhidPenKind[0]);
    r[2] = char(kVhidPenKind[1]);
    r[3] = char(status);
    r[4] = char(x & 0xFF);
    r[5] = char(x >> 8);
    r[6] = char(y & 0xFF);
    r[7] = char(y >> 8);
    r[8] = char(pressure & 0xFF);
    r[9] = char(pressure >> 8);
    return r;
}

// Every report is on disk as soon as it was written (the program may be killed next),
// with the bridge's events; a refused report fails the write; a release lets go of the
// tip and the tool.
TEST(VhidRecordFile, OneFlushedLinePerReportAndTheRelease)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("vhid.jsonl"));
    QString why;
    std::unique_ptr<VhidRecordFile> backend = VhidRecordFile::Open(path, &why);
    ASSERT_TRUE(backend) << why.toStdString();
    QVector<VhidDeviceInfo> devices;
    ASSERT_TRUE(backend->enumerate(&devices));
    ASSERT_EQ(devices.size(), 1);
    EXPECT_EQ(devices.first().hardwareId, QString::fromLatin1(kVhidHardwareId));
    int error = -1;
    EXPECT_FALSE(backend->open(QStringLiteral("elsewhere"), &error));
    EXPECT_EQ(error, ENOENT);
    std::unique_ptr<VhidDevice> device = backend->open(devices.first().path, &error);
    ASSERT_TRUE(device);

    const QByteArray down = PenReport(VhidPenInRange | VhidPenTip, 16384, 100, 4096);
    ASSERT_TRUE(device->write(reinterpret_cast<const uint8_t *>(down.constData()), down.size(), &error));
    QVector<QJsonObject> lines = Lines(path);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].value(QStringLiteral("report")).toString(), QString::fromLatin1(down.toHex()));
    EXPECT_EQ(lines[0].value(QStringLiteral("kind")).toString(), QStringLiteral("pen"));
    EXPECT_TRUE(lines[0].value(QStringLiteral("ok")).toBool());
    const QString events = lines[0].value(QStringLiteral("events")).toString();
    EXPECT_TRUE(events.contains(QStringLiteral("pen ABS_X 16384"))) << events.toStdString();
    EXPECT_TRUE(events.contains(QStringLiteral("pen ABS_PRESSURE 4096"))) << events.toStdString();
    EXPECT_TRUE(events.contains(QStringLiteral("pen BTN_TOUCH 1"))) << events.toStdString();

    const QByteArray shortReport = down.left(20);
    EXPECT_FALSE(device->write(reinterpret_cast<const uint8_t *>(shortReport.constData()), shortReport.size(), &error));
    EXPECT_EQ(error, EINVAL);

    device->releaseAll();
    lines = Lines(path);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_FALSE(lines[1].value(QStringLiteral("ok")).toBool());
    EXPECT_TRUE(lines[2].value(QStringLiteral("release")).toBool());
    const QString released = lines[2].value(QStringLiteral("events")).toString();
    EXPECT_TRUE(released.contains(QStringLiteral("pen BTN_TOUCH 0"))) << released.toStdString();
    EXPECT_TRUE(released.contains(QStringLiteral("pen BTN_TOOL_PEN 0"))) << released.toStdString();

    EXPECT_FALSE(VhidRecordFile::Open(folder.filePath(QStringLiteral("no/such/folder/x")), &why));
    EXPECT_FALSE(why.isEmpty());
}

} // namespace
