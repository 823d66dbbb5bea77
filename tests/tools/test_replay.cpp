// The replay tool end to end: a short recording through the real tablet object, and
// the program's handling of bad input.
#include "tools/replay.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString WriteFile(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath(QStringLiteral("rec.txt"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

QVector<QJsonObject> Replay(const QByteArray &text, ReplayOptions o = ReplayOptions())
{
    QTemporaryDir dir;
    o.file = WriteFile(dir, text);
    QVector<QJsonObject> events;
    QString error;
    const int code = RunReplay(o, [&](const QByteArray &line) {
        QJsonParseError e;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &e);
        EXPECT_EQ(e.error, QJsonParseError::NoError) << line.constData();
        events.append(doc.object());
    }, &error);
    EXPECT_EQ(code, 0) << error.toStdString();
    return events;
}

QVector<QJsonObject> OfKind(const QVector<QJsonObject> &all, const char *kind)
{
    QVector<QJsonObject> out;
    for (const QJsonObject &o : all) {
        if (o.value(QStringLiteral("event")).toString() == QLatin1String(kind))
            out.append(o);
    }
    return out;
}

QString HidTool()
{
    return qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/inkora-hidtool");
}

} // namespace

TEST(Replay, PenStrokeKeysAndBatteryOfAShortRecording)
{
    const QByteArray rec =
        "I: 3 28bd 0935\n"
        // hover at (10000, 20000), tilt 5/-5
        "E: 000000.000000 10 02 a0 10 27 20 4e 00 00 05 fb\n"
        // tip down, pressure 0x1000
        "E: 000000.005000 10 02 a1 10 27 20 4e 00 10 05 fb\n"
        // tip up
        "E: 000000.010000 10 02 a0 10 27 20 4e 00 00 05 fb\n"
        // key 2 down, then all keys up
        "E: 000000.015000 10 02 f0 02 00 00 00 00 00 00 00\n"
        "E: 000000.020000 10 02 f0 00 00 00 00 00 00 00 00\n"
        // battery 64 %, charging
        "E: 000000.025000 10 02 f2 00 40 01 00 00 00 00 00\n"
        // something no rule knows
        "E: 000000.030000 4 02 55 00 00\n";
    const auto events = Replay(rec);

    const auto packets = OfKind(events, "packet");
    ASSERT_EQ(packets.size(), 5);
    EXPECT_EQ(packets[0].value(QStringLiteral("x")).toInt(), 10000);
    EXPECT_EQ(packets[0].value(QStringLiteral("y")).toInt(), 20000);
    EXPECT_EQ(packets[0].value(QStringLiteral("tiltY")).toInt(), -5);
    EXPECT_EQ(packets[1].value(QStringLiteral("pressure")).toInt(), 0x1000);
    EXPECT_EQ(packets[1].value(QStringLiteral("penButtonNo")).toInt(), 1);
    EXPECT_EQ(packets[1].value(QStringLiteral("penButtonDown")).toInt(), 1);
    EXPECT_EQ(packets[2].value(QStringLiteral("penButtonDown")).toInt(), 0);
    EXPECT_EQ(packets[3].value(QStringLiteral("keys")).toArray().at(1).toInt(), 1);
    EXPECT_EQ(packets[4].value(QStringLiteral("prevKeys")).toArray().at(1).toInt(), 1);
    EXPECT_EQ(packets[4].value(QStringLiteral("keys")).toArray().size(), 40);

    const auto logs = OfKind(events, "log");
    QStringList texts;
    for (const auto &l : logs)
        texts << l.value(QStringLiteral("text")).toString();
    EXPECT_TRUE(texts.contains(QStringLiteral("PenKey1 down"))) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("PenKey1 up")));

    const auto multi = OfKind(events, "multidata");
    ASSERT_EQ(multi.size(), 5);
    // 10000 of 44800 device units on a 44800-wide model
    EXPECT_EQ(multi[0].value(QStringLiteral("x44800")).toInt(), 10000);
    EXPECT_EQ(multi[3].value(QStringLiteral("keyDown")).toInt(), 1);
    EXPECT_EQ(multi[4].value(QStringLiteral("keyDown")).toInt(), 0);
    for (const char *field : {"flags", "penButtonNo", "penButtonDown", "relDx", "relDy", "screenX", "screenY",
                              "pressure", "x44800", "y29600", "x7FFF", "y7FFF", "tiltX", "tiltY", "keyId",
                              "keyDown", "ringIndex", "ringDelta"})
        EXPECT_TRUE(multi[0].contains(QLatin1String(field))) << field;

    // The battery report's message; the key actions add their usage records (id 99).
    QVector<QJsonObject> battery;
    for (const auto &m : OfKind(events, "message")) {
        if (m.value(QStringLiteral("id")).toInt() != 99)
            battery << m;
    }
    ASSERT_EQ(battery.size(), 1);
    EXPECT_EQ(battery[0].value(QStringLiteral("id")).toInt(), 88);
    EXPECT_EQ(battery[0].value(QStringLiteral("data")).toInt(), 1);
    EXPECT_EQ(battery[0].value(QStringLiteral("line")).toInt(), 7);
}

TEST(Replay, ProductAndGeometryOptions)
{
    // Ring step on the reversed-ring product: 0x40 then 0x00 is +1 there.
    const QByteArray rec =
        "E: 0.0 10 02 f0 00 00 00 00 00 40 00 00\n"
        "E: 0.1 10 02 f0 00 00 00 00 00 00 00 00\n"
        "E: 0.2 10 02 a0 00 7d 00 7d 00 00 00 00\n";
    ReplayOptions o;
    o.productId = 0x0074;
    o.maxX = 64000;
    o.maxY = 64000;
    const auto events = Replay(rec, o);
    const auto packets = OfKind(events, "packet");
    ASSERT_GE(packets.size(), 2);
    bool sawStep = false;
    for (const auto &p : packets) {
        if (p.value(QStringLiteral("flags")).toInt() & 0x04) {
            EXPECT_EQ(p.value(QStringLiteral("ringDelta")).toInt(), 1);
            sawStep = true;
        }
    }
    EXPECT_TRUE(sawStep);
    const auto multi = OfKind(events, "multidata");
    // 32000 of 64000 is half of the 44800-unit width
    EXPECT_EQ(multi.last().value(QStringLiteral("x44800")).toInt(), 22400);
}

TEST(Replay, BadInputIsAnErrorNamingTheLineWithExitCode2)
{
    QTemporaryDir dir;
    struct Case {
        QByteArray text;
        QStringList extra;
        const char *expect;
    } cases[] = {
        {"I: 3 28bd 0935\nE: 0.0 3 02 a1\n", {}, "line 2: length field says 3"},
        {"I: 3 28bd 0935\nE: 0.0 2 02 a\n", {}, "line 2: \"a\" is not a hex byte"},
        {"I: 3 28bd 0935\nQ: what\n", {}, "line 2: unknown line tag"},
        {"E: 0.0 2 02 a0\n", {}, "no product id"},
        {"E: 0.0 2 02 a0\n", {QStringLiteral("--pid"), QStringLiteral("banana")}, "is not a number in 0..65535"},
        {"E: 0.0 2 02 a0\n", {QStringLiteral("--orientation"), QStringLiteral("4")}, "is not a number in 0..3"},
        // No model of that product: its geometry and key rules are unknown.
        {"I: 3 28bd 1234\nE: 0.0 2 02 a0\n", {}, "product id 0x1234 is no model"},
    };
    for (const Case &c : cases) {
        QProcess p;
        p.start(HidTool(), QStringList{QStringLiteral("replay"), WriteFile(dir, c.text)} + c.extra);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 2) << c.expect;
        EXPECT_TRUE(p.readAllStandardError().contains(c.expect)) << c.expect;
    }

    QProcess missing;
    missing.start(HidTool(), {QStringLiteral("replay"), dir.filePath(QStringLiteral("none.txt"))});
    ASSERT_TRUE(missing.waitForFinished(30000));
    EXPECT_EQ(missing.exitCode(), 2);

    QProcess help;
    help.start(HidTool(), {QStringLiteral("replay"), QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(30000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().contains("\"event\":\"multidata\""));
}

TEST(Replay, EveryShortOrOddReportIsHandledWithoutACrash)
{
    // Every report id/type byte pair the tablet dispatches on, at every length.
    QByteArray rec = "I: 3 28bd 094b\n";
    const int types[] = {0x06, 0xB0, 0xB4, 0xB6, 0xF0, 0xF2, 0xF8, 0xA1, 0xC0, 0x21, 0x61, 0xE1, 0x01};
    for (int type : types) {
        for (int len = 1; len <= 64; ++len) {
            QByteArray line = "E: 0.0 " + QByteArray::number(len);
            for (int i = 0; i < len; ++i)
                line += i == 1 ? " " + QByteArray::number(type, 16).rightJustified(2, '0') : QByteArray(" ff");
            rec += line + "\n";
        }
    }
    const auto events = Replay(rec);
    EXPECT_FALSE(events.isEmpty());
}

// The support use: a user's recording against the user's own profile. A shipped default
// profile has no screen area yet; it takes the screen as the program gives it at start,
// so the pen lands on the desktop; captions are the language file's, as on screen.
TEST(Replay, ShippedDefaultProfileMapsThePenAndCaptionsAreTheLiveOnes)
{
    QTemporaryDir dir;
    const QByteArray rec =
        "I: 3 28bd 0935\n"
        "E: 0.0 10 02 a0 80 57 d0 39 00 00 00 00\n" // hover at (22400, 14800), the middle
        "E: 0.1 10 02 a1 80 57 d0 39 00 10 00 00\n" // tip down
        "E: 0.2 10 02 f0 01 00 00 00 00 00 00 00\n" // key 1 (Brush) down
        "E: 0.3 10 02 f0 00 00 00 00 00 00 00 00\n";
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path()); // no per-user language file
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(HidTool(), {QStringLiteral("replay"), WriteFile(dir, rec), QStringLiteral("--profile"),
                        qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/resources/config/config.xml")});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    QVector<QJsonObject> events;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            events.append(QJsonDocument::fromJson(line).object());
    }
    const auto multi = OfKind(events, "multidata");
    ASSERT_GE(multi.size(), 2);
    EXPECT_NEAR(multi[0].value(QStringLiteral("screenX")).toDouble(), 960, 2);
    EXPECT_NEAR(multi[0].value(QStringLiteral("screenY")).toDouble(), 540, 2);
    EXPECT_GT(multi[1].value(QStringLiteral("pressure")).toInt(), 0);
    QStringList captions;
    for (const auto &c : OfKind(events, "caption"))
        captions << c.value(QStringLiteral("text")).toString();
    EXPECT_EQ(captions, QStringList{QStringLiteral("Brush (B)")});
}
