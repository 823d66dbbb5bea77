// The consumer side of the driver link in inkora-hidtool: `wintab` reading the map,
// and the replay's recording driver link.
#include "driverlink/cvmultidriver.h"
#include "driverlink/cwintabmap.h"
#include "driverlink/driverlink.h"
#include "platform/input/inputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "tools/replay.h"
#include "tools/wintab.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QJsonObject Json(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(line, &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.constData();
    return o;
}

QString Event(const QJsonObject &o)
{
    return o.value(QStringLiteral("event")).toString();
}

int Int(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toInt(-99999);
}

WintabPacket Numbered(int n)
{
    WintabPacket p;
    p.context = 2;
    p.serial = n;
    p.x = n * 10;
    return p;
}

class WintabTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(map.Create());
    }

    QVector<QJsonObject> Run(const WintabOptions &o)
    {
        QVector<QJsonObject> lines;
        QString error;
        EXPECT_EQ(RunWintab(o, ipc, [&](const QByteArray &l) { lines.append(Json(l)); }, [] { return false; }, &error),
                  0)
            << error.toStdString();
        return lines;
    }

    QTemporaryDir dir;
    PosixIpcBackend ipc{dir.path()};
    CWintabMap map{ipc};
};

} // namespace

TEST_F(WintabTool, PrintsHeaderOpenContextsAndTheNewestPacketsOldestFirst)
{
    map.SetRect(0, 0, 1920, 1080);
    // Context 4 open, context 5 only enabled (not open: not printed).
    auto peer = ipc.openSharedMemory(QLatin1String(kWintabMapName), kWintabMapSize, false, nullptr);
    ASSERT_TRUE(peer);
    peer->data()[4 * 416 + 4] = 1;
    peer->data()[4 * 416 + 5] = 1;
    peer->data()[5 * 416 + 5] = 1;
    for (int n = 0; n < 1005; ++n)
        map.WritePacket(Numbered(n));

    WintabOptions o;
    o.packets = 3;
    const QVector<QJsonObject> lines = Run(o);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(Event(lines[0]), QStringLiteral("map"));
    EXPECT_EQ(Int(lines[0], "counter"), 1005);
    EXPECT_EQ(Int(lines[0], "right"), 1920);
    EXPECT_EQ(Int(lines[0], "yExtent"), 29600);
    EXPECT_EQ(Event(lines[1]), QStringLiteral("context"));
    EXPECT_EQ(Int(lines[1], "index"), 4);
    EXPECT_EQ(Int(lines[1], "enabled"), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Event(lines[2 + i]), QStringLiteral("packet"));
        EXPECT_EQ(Int(lines[2 + i], "number"), 1002 + i);
        EXPECT_EQ(Int(lines[2 + i], "entry"), 2 + i);
        EXPECT_EQ(Int(lines[2 + i], "serial"), 1002 + i);
        EXPECT_EQ(Int(lines[2 + i], "x"), (1002 + i) * 10);
    }

    // Asking for more than the ring holds gives the ring.
    o.packets = 5000;
    EXPECT_EQ(Run(o).size(), 1 + 1 + 1000);
}

TEST(WintabToolNoMap, SaysTheProgramIsNotRunning)
{
    QTemporaryDir dir;
    PosixIpcBackend ipc(dir.path());
    QString error;
    int lines = 0;
    EXPECT_EQ(RunWintab(WintabOptions(), ipc, [&](const QByteArray &) { ++lines; }, [] { return false; }, &error), 1);
    EXPECT_EQ(lines, 0);
    EXPECT_TRUE(error.contains(QStringLiteral("not running"))) << error.toStdString();
}

TEST_F(WintabTool, WatchFollowsNewPacketsAsTheProgramWritesThem)
{
    map.WritePacket(Numbered(0));
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    tool.setProcessEnvironment(env);
    tool.start(qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/inkora-hidtool"),
               {QStringLiteral("wintab"), QStringLiteral("--watch")});
    ASSERT_TRUE(tool.waitForStarted(10000));

    QVector<QJsonObject> lines;
    auto readUntil = [&](int count) {
        while (lines.size() < count) {
            if (!tool.canReadLine() && !tool.waitForReadyRead(10000))
                return false;
            while (tool.canReadLine())
                lines.append(Json(tool.readLine().trimmed()));
        }
        return true;
    };
    ASSERT_TRUE(readUntil(2)) << tool.readAllStandardError().constData();
    EXPECT_EQ(Event(lines[0]), QStringLiteral("map"));
    EXPECT_EQ(Int(lines[1], "number"), 0);

    map.WritePacket(Numbered(1));
    map.WritePacket(Numbered(2));
    ASSERT_TRUE(readUntil(4));
    EXPECT_EQ(Int(lines[2], "number"), 1);
    EXPECT_EQ(Int(lines[3], "number"), 2);

    // The program starts again and makes the map anew.
    ASSERT_TRUE(map.Create());
    map.WritePacket(Numbered(7));
    ASSERT_TRUE(readUntil(7));
    EXPECT_EQ(Event(lines[4]), QStringLiteral("reset"));
    EXPECT_EQ(Event(lines[5]), QStringLiteral("map"));
    EXPECT_EQ(Int(lines[6], "serial"), 7);

    tool.kill();
    tool.waitForFinished(10000);
}

TEST(ReplayDriverLink, ReportsAndMouseEventsOfTheEngineBecomeJsonLines)
{
    QVector<QJsonObject> lines;
    int line = 12;
    {
        ReplayDriverLink link([&](const QByteArray &l) { lines.append(Json(l)); }, &line);
        CVMultiDriver *vmulti = DriverLink::VMultiDriver();
        ASSERT_NE(vmulti, nullptr);
        EXPECT_TRUE(vmulti->IsFound());
        ASSERT_NE(DriverLink::WintabMap(), nullptr);
        EXPECT_TRUE(DriverLink::WintabMap()->IsCreated());

        EXPECT_TRUE(vmulti->PenReport(0x11, 0x0102, 0x0304, 0x0506, 7, 8));
        line = 13;
        EXPECT_TRUE(vmulti->RelativeMouseReport(1, -1, 0, 0));
        MouseInput move;
        move.x = 65535;
        move.y = 32767;
        move.flags = MouseMove | MouseAbsolute;
        EXPECT_EQ(DriverLink::Input()->sendMouse(&move, 1), 1);
    }
    EXPECT_EQ(DriverLink::VMultiDriver(), nullptr);
    EXPECT_EQ(DriverLink::Input(), nullptr);

    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(Event(lines[0]), QStringLiteral("vhid"));
    EXPECT_EQ(Int(lines[0], "line"), 12);
    EXPECT_EQ(lines[0].value(QStringLiteral("kind")).toString(), QStringLiteral("pen"));
    const QString pen = lines[0].value(QStringLiteral("bytes")).toString();
    EXPECT_EQ(pen.size(), 130);
    EXPECT_TRUE(pen.startsWith(QStringLiteral("400a05110201040306050708"))) << pen.toStdString();
    // Through the bridge: the pen comes in, then touches with its pressure.
    EXPECT_EQ(lines[0].value(QStringLiteral("evdev")).toString(),
              QStringLiteral("pen BTN_TOOL_PEN 1, pen ABS_X 258, pen ABS_Y 772, pen ABS_PRESSURE 0, "
                             "pen ABS_TILT_X 7, pen ABS_TILT_Y 8, pen SYN_REPORT 0, pen ABS_PRESSURE 1286, "
                             "pen BTN_TOUCH 1, pen SYN_REPORT 0"));
    EXPECT_EQ(lines[1].value(QStringLiteral("kind")).toString(), QStringLiteral("rel"));
    // The pen's bytes 7-11 are still in the shared buffer.
    EXPECT_TRUE(lines[1].value(QStringLiteral("bytes")).toString().startsWith(QStringLiteral("40050401ff00000306050708")));
    EXPECT_EQ(Event(lines[2]), QStringLiteral("mouse"));
    EXPECT_EQ(Int(lines[2], "flags"), 0x8001);
    EXPECT_EQ(Int(lines[2], "x"), 65535);
    EXPECT_EQ(Int(lines[2], "y"), 32767);
    EXPECT_EQ(Int(lines[2], "line"), 13);
}
