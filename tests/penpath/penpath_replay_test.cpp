// A recorded stroke replayed through the tablet object and the action engine, for each
// orientation of the tablet: where it lands on the screens, at what pressure, and what
// reaches the virtual device and the Wintab map.
#include "tools/replay.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// 10 x 6 inches at 1000 lines per inch; two screens side by side, 2000 x 600 together.
// The stroke: hover at (2500, 1500), touch there at full pressure tilted (10, -40), draw
// to the middle (5000, 3000), leave.
const QByteArray kStroke =
    "I: 3 28bd 0935\n"
    // [1] status, [2..3] x, [4..5] y, [6..7] pressure, [8] tilt x, [9] tilt y
    "E: 000000.000000 10 02 a0 c4 09 dc 05 00 00 00 00\n"
    "E: 000000.004000 10 02 a1 c4 09 dc 05 ff 1f 0a d8\n"
    "E: 000000.008000 10 02 a1 88 13 b8 0b ff 1f 0a d8\n"
    "E: 000000.012000 10 02 c0 88 13 b8 0b 00 00 00 00\n";

ReplayOptions StrokeOptions(const QString &file)
{
    ReplayOptions o;
    o.file = file;
    o.maxX = 10000;
    o.maxY = 6000;
    o.resolution = 1000;
    o.maxPressure = 8191;
    o.screens = QStringLiteral("0,0,1000,600;1000,0,1000,600");
    return o;
}

struct Replayed {
    QVector<QJsonObject> all;
    QVector<QJsonObject> Of(const char *kind) const
    {
        QVector<QJsonObject> out;
        for (const QJsonObject &o : all) {
            if (o.value(QStringLiteral("event")).toString() == QLatin1String(kind))
                out.append(o);
        }
        return out;
    }
};

Replayed Replay(ReplayOptions o)
{
    Replayed r;
    QString error;
    const int code = RunReplay(o, [&](const QByteArray &line) {
        r.all.append(QJsonDocument::fromJson(line).object());
    }, &error);
    EXPECT_EQ(code, 0) << error.toStdString();
    return r;
}

int Byte(const QJsonObject &vhid, int at)
{
    return QByteArray::fromHex(vhid.value(QStringLiteral("bytes")).toString().toLatin1()).at(at) & 0xFF;
}

int U16(const QJsonObject &vhid, int at)
{
    return Byte(vhid, at) | (Byte(vhid, at + 1) << 8);
}

int Int(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toInt();
}

class ReplayStroke : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("stroke.txt"));
        QFile f(m_file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kStroke);
    }
    QTemporaryDir m_dir;
    QString m_file;
};

} // namespace

TEST_F(ReplayStroke, EachOrientationLandsOnItsOwnCorner)
{
    struct Case {
        int orientation;
        int hoverX, hoverY; // screen pixels of the first point; the middle stays (1000, 300)
        int tiltX, tiltY;   // (10, -40) turned with the tablet
    };
    const Case cases[] = {
        {0, 500, 150, 10, -40},
        {1, 1500, 150, 40, 10},
        {2, 1500, 450, -10, 40},
        {3, 500, 450, -40, -10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "orientation " << c.orientation);
        ReplayOptions o = StrokeOptions(m_file);
        o.orientation = c.orientation;
        const Replayed r = Replay(o);

        const auto multi = r.Of("multidata");
        ASSERT_EQ(multi.size(), 4);
        EXPECT_EQ(multi[0].value(QStringLiteral("screenX")).toDouble(), c.hoverX);
        EXPECT_EQ(multi[0].value(QStringLiteral("screenY")).toDouble(), c.hoverY);
        EXPECT_EQ(Int(multi[0], "x7FFF"), c.hoverX * 32767 / 2000);
        EXPECT_EQ(Int(multi[0], "y7FFF"), c.hoverY * 32767 / 600);
        EXPECT_EQ(Int(multi[0], "x44800"), c.hoverX * 44800 / 2000);
        EXPECT_EQ(Int(multi[0], "y29600"), c.hoverY * 29600 / 600);
        EXPECT_EQ(Int(multi[0], "pressure"), 0);
        EXPECT_EQ(Int(multi[1], "pressure"), 8191);
        EXPECT_EQ(int8_t(Int(multi[1], "tiltX")), c.tiltX);
        EXPECT_EQ(int8_t(Int(multi[1], "tiltY")), c.tiltY);
        EXPECT_EQ(multi[2].value(QStringLiteral("screenX")).toDouble(), 1000.0);
        EXPECT_EQ(multi[2].value(QStringLiteral("screenY")).toDouble(), 300.0);

        // Ink on: one pen report per sample; the pen leaves at the end.
        const auto vhid = r.Of("vhid");
        ASSERT_EQ(vhid.size(), 4);
        const int statuses[] = {0x10, 0x11, 0x11, 0xC0};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(vhid[i].value(QStringLiteral("kind")).toString(), QStringLiteral("pen"));
            EXPECT_EQ(Byte(vhid[i], 3), statuses[i]) << i;
        }
        EXPECT_EQ(U16(vhid[0], 4), c.hoverX * 32767 / 2000);
        EXPECT_EQ(U16(vhid[0], 6), c.hoverY * 32767 / 600);
        EXPECT_EQ(U16(vhid[1], 8), 8191);
        EXPECT_EQ(int8_t(Byte(vhid[1], 10)), c.tiltX);
        EXPECT_EQ(U16(vhid[2], 4), 16383);
        // No Wintab application in front: nothing in the ring.
        EXPECT_TRUE(r.Of("wintab").isEmpty());
    }
}

TEST_F(ReplayStroke, BadScreenAndContextListsAreRefused)
{
    for (const char *screens : {"0,0,1000", "0,0,0,600", "a,b,c,d", ";"}) {
        ReplayOptions o = StrokeOptions(m_file);
        o.screens = QLatin1String(screens);
        QString error;
        EXPECT_EQ(RunReplay(o, [](const QByteArray &) {}, &error), 2) << screens;
        EXPECT_TRUE(error.contains(QLatin1String("--screens"))) << error.toStdString();
    }
    for (const char *contexts : {"50", "x", "3:y", "1:2:3"}) {
        ReplayOptions o = StrokeOptions(m_file);
        o.wintabContexts = QLatin1String(contexts);
        QString error;
        EXPECT_EQ(RunReplay(o, [](const QByteArray &) {}, &error), 2) << contexts;
    }
}

TEST_F(ReplayStroke, WintabPacketsAndMessagesOfTheForegroundProcess)
{
    ReplayOptions o = StrokeOptions(m_file);
    o.foregroundPid = 4242;
    // Context 2 wants a message per packet and one when the cursor enters.
    o.wintabContexts = QStringLiteral("2:0xD");
    const Replayed r = Replay(o);

    const auto wintab = r.Of("wintab");
    ASSERT_EQ(wintab.size(), 4);
    const int buttons[] = {0, 1, 1, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Int(wintab[i], "entry"), i);
        EXPECT_EQ(Int(wintab[i], "context"), 2);
        EXPECT_EQ(Int(wintab[i], "serial"), i + 1);
        EXPECT_EQ(Int(wintab[i], "cursor"), 1);
        EXPECT_EQ(Int(wintab[i], "status"), 0);
        EXPECT_EQ(Int(wintab[i], "time"), i * 4); // the recording's milliseconds
        EXPECT_EQ(Int(wintab[i], "buttons"), buttons[i]) << i;
    }
    // Hover at screen (500, 150) of 2000 x 600; y counts up from the bottom.
    EXPECT_EQ(Int(wintab[0], "x"), 500 * 44800 / 2000);
    EXPECT_EQ(Int(wintab[0], "y"), 29600 - 150 * 29600 / 600);
    EXPECT_EQ(Int(wintab[0], "altitude"), 900);
    EXPECT_EQ(Int(wintab[1], "pressure"), 8191);
    EXPECT_NEAR(Int(wintab[1], "azimuth"), 118, 1);
    EXPECT_NEAR(Int(wintab[1], "altitude"), 493, 1);
    // time and serial always; then what moved.
    EXPECT_EQ(Int(wintab[1], "changed"), 0x4 | 0x10 | 0x40 | 0x400 | 0x1000);
    EXPECT_EQ(Int(wintab[2], "changed"), 0x4 | 0x10 | 0x80 | 0x100);

    const auto posts = r.Of("post");
    ASSERT_EQ(posts.size(), 7);
    for (const QJsonObject &p : posts)
        EXPECT_EQ(Int(p, "window"), 0x1000 + 2);
    const int expected[][3] = {
        {0x7FF5, 2, 0x10001}, {0x7FF7, 0, 2}, {0x7FF0, 0, 2}, // enter with the first packet
        {0x7FF0, 1, 2}, {0x7FF0, 2, 2},
        {0x7FF0, 3, 2}, {0x7FF5, 2, 0x10000},                 // leave
    };
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Int(posts[i], "msg"), expected[i][0]) << i;
        EXPECT_EQ(Int(posts[i], "wparam"), expected[i][1]) << i;
        EXPECT_EQ(Int(posts[i], "lparam"), expected[i][2]) << i;
    }

    // Each report's lines in the order things happened: the ring packet, its messages,
    // then the pointer report.
    QStringList order;
    for (const QJsonObject &e : r.all) {
        if (Int(e, "line") == 2)
            order << e.value(QStringLiteral("event")).toString();
    }
    EXPECT_EQ(order.join(QLatin1Char(',')), QStringLiteral("packet,wintab,post,post,post,vhid,multidata"));

    // Without the system-cursor option the Wintab application alone gets the pen.
    o.wintabContexts = QStringLiteral("2:0x4");
    const Replayed quiet = Replay(o);
    EXPECT_EQ(quiet.Of("wintab").size(), 4);
    EXPECT_TRUE(quiet.Of("vhid").isEmpty());
}
