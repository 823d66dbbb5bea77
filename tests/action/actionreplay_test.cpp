// Express keys of a recorded session replayed through the tablet object with a profile
// file: the injected keys, captions, programs and messages that come out, and the
// profile chosen by the foreground application.
#include "config/appprofiles.h"
#include "config/profilestore.h"
#include "config/profiletext.h"
#include "tools/replay.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char kModel[] = "InkoraPadM"; // the model of product 0x0935

// Key 1 down and up, key 2 down and up, key 3 down and up.
const QByteArray kKeys =
    "I: 3 28bd 0935\n"
    // [1] 0xF0 key report, [2] keys 1..8 as bits
    "E: 000000.000000 10 02 f0 01 00 00 00 00 00 00 00\n"
    "E: 000000.010000 10 02 f0 00 00 00 00 00 00 00 00\n"
    "E: 000000.020000 10 02 f0 02 00 00 00 00 00 00 00\n"
    "E: 000000.030000 10 02 f0 00 00 00 00 00 00 00 00\n"
    "E: 000000.040000 10 02 f0 04 00 00 00 00 00 00 00\n"
    "E: 000000.050000 10 02 f0 00 00 00 00 00 00 00 00\n";

class ActionReplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString defaults = qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/resources/config/config.xml");
        profilePath = dir.filePath(QStringLiteral("config.xml"));
        ASSERT_TRUE(QFile::copy(defaults, profilePath)) << defaults.toStdString();
        recordingPath = dir.filePath(QStringLiteral("keys.txt"));
        QFile recording(recordingPath);
        ASSERT_TRUE(recording.open(QIODevice::WriteOnly));
        recording.write(kKeys);
    }

    // Binds key numbers 1..3 in the common profile and gives /opt/paint its own key 1.
    void WriteProfile(bool captions)
    {
        ProfileStore store(profilePath);
        DeviceProfile p;
        ASSERT_TRUE(store.LoadConfig(QString::fromLatin1(kModel), &p.data(), &p.apps()));
        p.data().DisableInfo = captions ? 0 : 1;
        KeyConfig *keys = CurrentKeySet(p.data(), p.data().CommonAPP);
        for (int i = 0; i < 3; ++i)
            keys[i].Motid = int16_t(i + 1);
        keys[0].id = 1;
        SetProfileText(keys[0].custom, QStringLiteral("1|Copy Paste|C,V|17:29+67:46,17:29+86:47"));
        keys[1].id = 0;
        keys[1].Actid = 103;
        keys[2].id = 1;
        SetProfileText(keys[2].custom, QStringLiteral("2|Tool|C:/tools/app.EXE"));
        ASSERT_EQ(AddApplication(p.data(), p.apps(), QStringLiteral("/opt/paint")), AppEditResult::Done);
        KeyConfig *appKeys = CurrentKeySet(p.data(), *p.apps().at(QStringLiteral("/opt/paint")));
        appKeys[0].id = 0;
        appKeys[0].Actid = 19; // Ctrl+C
        ASSERT_TRUE(store.SaveConfig(QString::fromLatin1(kModel), p.data(), p.apps()));
    }

    QVector<QJsonObject> Replay(const QString &foreground = QString(), const QString &windowClass = QString())
    {
        ReplayOptions o;
        o.file = recordingPath;
        o.profile = profilePath;
        o.foreground = foreground;
        o.foregroundClass = windowClass;
        QVector<QJsonObject> all;
        QString error;
        EXPECT_EQ(RunReplay(o, [&](const QByteArray &line) { all.append(QJsonDocument::fromJson(line).object()); },
                            &error),
                  0)
            << error.toStdString();
        return all;
    }

    // The output events of one kind as compact text, in order.
    static QStringList Texts(const QVector<QJsonObject> &all, const char *kind)
    {
        QStringList out;
        for (const QJsonObject &o : all) {
            if (o.value(QStringLiteral("event")).toString() != QLatin1String(kind))
                continue;
            if (!qstrcmp(kind, "key"))
                out << QStringLiteral("%1:%2 %3")
                           .arg(o.value(QStringLiteral("vk")).toInt())
                           .arg(o.value(QStringLiteral("sc")).toInt())
                           .arg(o.value(QStringLiteral("down")).toBool() ? QStringLiteral("down") : QStringLiteral("up"));
            else if (!qstrcmp(kind, "caption"))
                out << o.value(QStringLiteral("text")).toString();
            else if (!qstrcmp(kind, "open"))
                out << o.value(QStringLiteral("url")).toString();
            else if (!qstrcmp(kind, "message"))
                out << QStringLiteral("%1 %2").arg(o.value(QStringLiteral("id")).toInt())
                           .arg(o.value(QStringLiteral("data")).toVariant().toString());
        }
        return out;
    }

    QTemporaryDir dir;
    QString profilePath;
    QString recordingPath;
};

} // namespace

TEST_F(ActionReplay, CommonProfileKeysRunFromRecordedReports)
{
    WriteProfile(true);
    const auto all = Replay();
    EXPECT_EQ(Texts(all, "key"), QString::fromLatin1("17:29 down|67:46 down|17:29 up|67:46 up|"
                                                     "17:29 down|86:47 down|17:29 up|86:47 up")
                                     .split(QLatin1Char('|')));
    EXPECT_EQ(Texts(all, "caption"), (QStringList{QStringLiteral("Copy Paste"), QStringLiteral("Eraser"),
                                                  QStringLiteral("Tool")}));
    EXPECT_EQ(Texts(all, "open"), QStringList{QStringLiteral("file:///C:/tools/app.EXE")});
    const QStringList messages = Texts(all, "message");
    EXPECT_TRUE(messages.contains(QStringLiteral("3 1"))) << messages.join(QLatin1Char('|')).toStdString();
    int usage = 0;
    for (const QString &m : messages)
        usage += m.startsWith(QLatin1String("99 "));
    EXPECT_EQ(usage, 6); // one per press and per release
}

TEST_F(ActionReplay, ForegroundApplicationChoosesItsProfile)
{
    WriteProfile(false);
    auto all = Replay(QStringLiteral("/opt/paint"));
    QStringList keys = Texts(all, "key");
    ASSERT_GE(keys.size(), 4);
    EXPECT_EQ(keys.mid(0, 4), QString::fromLatin1("162:29 down|67:46 down|162:29 up|67:46 up").split(QLatin1Char('|')));
    EXPECT_TRUE(Texts(all, "caption").isEmpty()); // captions off

    // Another letter case is another program: the common profile.
    all = Replay(QStringLiteral("/opt/Paint"));
    keys = Texts(all, "key");
    ASSERT_GE(keys.size(), 1);
    EXPECT_EQ(keys.at(0), QStringLiteral("17:29 down"));

    // The key-sending window class: the pen/eraser key also types 'E'.
    all = Replay(QString(), QStringLiteral("sfl_window_class"));
    EXPECT_TRUE(Texts(all, "key").contains(QStringLiteral("69:18 down")));
}
