// Application profiles and resets on the records, the chooser's process list, and the
// text fields' cut.

#include "config/appprofiles.h"
#include "config/profiletext.h"
#include "platform/process/linux/procfsprocessbackend.h"
#include "platform/process/processbackend.h"
#include "tests/config/profiletestsupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

QString Path(int i)
{
    return QStringLiteral("/usr/bin/app%1").arg(i);
}

TEST(ApplicationProfiles, AddCopiesTheCommonProfileOncePerExecutable)
{
    DeviceProfile p;
    p.data().CommonAPP.keys[3].Actid = 21;
    p.data().CommonAPP.pens[0].Speed = 4;
    EXPECT_EQ(AddApplication(p.data(), p.apps(), Path(1)), AppEditResult::Done);
    EXPECT_EQ(AddApplication(p.data(), p.apps(), Path(1)), AppEditResult::Duplicate);
    EXPECT_EQ(AddApplication(p.data(), p.apps(), QString()), AppEditResult::BadPath);
    // A path the record cannot hold whole would not name the executable any more.
    EXPECT_EQ(AddApplication(p.data(), p.apps(), QLatin1Char('/') + QString(1023, QLatin1Char('a'))),
              AppEditResult::BadPath);
    ASSERT_EQ(p.apps().size(), 1u);
    const AppConfigNode &app = *p.apps().at(Path(1));
    EXPECT_EQ(ProfileText(app.path), Path(1));
    EXPECT_EQ(app.keys[3].Actid, 21);
    EXPECT_EQ(app.pens[0].Speed, 4);
    EXPECT_EQ(p.data().Apps, &app);

    for (int i = 2; i <= kMaxApplications; ++i)
        EXPECT_EQ(AddApplication(p.data(), p.apps(), Path(i)), AppEditResult::Done);
    EXPECT_EQ(AddApplication(p.data(), p.apps(), Path(8)), AppEditResult::ListFull);
    EXPECT_EQ(ApplicationCount(p.data()), kMaxApplications);

    // The list keeps the order of adding; the map is in path order.
    int i = 1;
    for (const AppConfigNode *n = p.data().Apps; n; n = n->next)
        EXPECT_EQ(ProfileText(n->path), Path(i++));
}

TEST(ApplicationProfiles, DeleteUnlinksAnyNodeButNeverTheCommonProfile)
{
    DeviceProfile p;
    for (int i = 1; i <= 3; ++i)
        ASSERT_EQ(AddApplication(p.data(), p.apps(), Path(i)), AppEditResult::Done);
    std::unique_ptr<AppConfigNode> removed;
    EXPECT_EQ(DeleteApplication(p.data(), p.apps(), QString(), &removed), AppEditResult::CommonProfile);
    EXPECT_EQ(DeleteApplication(p.data(), p.apps(), Path(9), &removed), AppEditResult::NotFound);
    EXPECT_EQ(removed, nullptr);

    ProfileLog log;
    EXPECT_EQ(DeleteApplication(p.data(), p.apps(), Path(2), &removed), AppEditResult::Done);
    EXPECT_TRUE(log.has(QStringLiteral("delete path /usr/bin/app2")));
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->next, nullptr);
    EXPECT_EQ(ApplicationCount(p.data()), 2);
    EXPECT_EQ(ProfileText(p.data().Apps->next->path), Path(3));
    EXPECT_EQ(DeleteApplication(p.data(), p.apps(), Path(1), &removed), AppEditResult::Done);
    EXPECT_EQ(p.data().Apps, p.apps().at(Path(3)));
    // Room again for another application.
    EXPECT_EQ(AddApplication(p.data(), p.apps(), Path(2)), AppEditResult::Done);
}

TEST(ApplicationProfiles, CloneGivesTheCopyAListOfItsOwn)
{
    auto original = std::make_unique<DeviceProfile>();
    original->data().DeviceKeyNum = 8;
    for (int i = 1; i <= 3; ++i)
        ASSERT_EQ(AddApplication(original->data(), original->apps(), Path(i)), AppEditResult::Done);
    DeviceProfile copy;
    CloneDeviceProfile(original->data(), &copy.data(), &copy.apps());
    EXPECT_TRUE(SameProfile(*original, copy));
    EXPECT_NE(copy.data().Apps, original->data().Apps);
    // The original going away (a tablet unplugged) leaves the copy whole; ASan checks.
    original.reset();
    EXPECT_EQ(ProfileText(copy.apps().at(Path(2))->path), Path(2));
    EXPECT_EQ(ApplicationCount(copy.data()), 3);
}

TEST(Resets, PenHotkeysAndRings)
{
    DeviceProfile p;
    TabletXMLData &d = p.data();
    d.DeviceKeyNum = 6;
    AppConfigNode &app = d.CommonAPP;

    PenConfig &pen = app.pens[1];
    pen.buttons[0] = PenButtonConfig{1, 27, {}};
    SetProfileText(pen.buttons[0].custom, QStringLiteral("custom"));
    pen.buttons[1].id = 4;
    pen.buttons[3].id = 9; // not stored, not reset
    pen.Press = SPresslvPoints{0.3f, 0.1f, 0.9f, 0.2f};
    pen.Speed = 10;
    pen.TablePC = 0;
    pen.RelativeCoords = 1;
    ResetPenSetting(pen);
    EXPECT_EQ(pen.buttons[0].id, 0);
    EXPECT_EQ(pen.buttons[0].Actid, 27);
    EXPECT_STREQ(pen.buttons[0].custom, "");
    EXPECT_EQ(pen.buttons[1].id, 0);
    EXPECT_EQ(pen.buttons[3].id, 9);
    EXPECT_FLOAT_EQ(pen.Press.P0, 0.0f);
    EXPECT_FLOAT_EQ(pen.Press.P1X, 0.5f);
    EXPECT_FLOAT_EQ(pen.Press.P1Y, 0.5f);
    EXPECT_FLOAT_EQ(pen.Press.P2, 1.0f);
    EXPECT_EQ(pen.Speed, 5);
    EXPECT_EQ(pen.TablePC, 1);
    EXPECT_EQ(pen.RelativeCoords, 0);

    // Keys: the current set, up to the model's key count; action numbers stay.
    for (int k = 0; k < kProfileKeys; ++k) {
        app.keys[k].id = 1;
        app.keys[k].Actid = int16_t(k);
        app.groups[2].keys[k].id = 1;
    }
    ResetHotkeySetting(d, app);
    EXPECT_EQ(app.keys[5].id, 0);
    EXPECT_EQ(app.keys[5].Actid, 5);
    EXPECT_EQ(app.keys[6].id, 1);
    EXPECT_EQ(app.groups[2].keys[0].id, 1);
    d.SupportGroupKeys = 1;
    app.SelectID = 2;
    ResetHotkeySetting(d, app);
    EXPECT_EQ(app.groups[2].keys[5].id, 0);
    EXPECT_EQ(app.groups[2].keys[6].id, 1);

    // Rings: function 0, first entries with their texts; touch mode by the model.
    app.ring.id = 2;
    app.ring2.id = 3;
    app.ring.items[1].id = 2;
    SetProfileText(app.ring.items[1].custom, QStringLiteral("4|mine|a|b|1:2|3:4"));
    const QStringList texts{QStringLiteral("Zoom"), QStringLiteral("Scroll"), QStringLiteral("Brush Size"),
                            QStringLiteral("Rotate")};
    EXPECT_EQ(ResetRingSetting(d, app, texts), 0);
    EXPECT_EQ(app.ring.id, 0);
    EXPECT_EQ(app.ring2.id, 0);
    EXPECT_EQ(app.ring.items[1].id, 0);
    EXPECT_STREQ(app.ring.items[1].custom, "Scroll");
    EXPECT_STREQ(app.ring2.items[3].custom, "Rotate");
    d.DeviceTrackPad = 1;
    EXPECT_EQ(ResetRingSetting(d, app), 1);
    EXPECT_EQ(app.TRMode, 1);
    EXPECT_STREQ(app.ring.items[0].custom, "");
}

TEST(ProfileTextField, CutKeepsWholeCharactersAndTheNul)
{
    char field[8];
    std::memset(field, 'x', sizeof field);
    EXPECT_TRUE(SetProfileText(field, QStringLiteral("abc")));
    EXPECT_EQ(QByteArray(field, 8), QByteArray("abc\0\0\0\0\0", 8));
    EXPECT_TRUE(SetProfileText(field, QStringLiteral("1234567")));
    EXPECT_FALSE(SetProfileText(field, QStringLiteral("12345678")));
    EXPECT_EQ(ProfileText(field), QStringLiteral("1234567"));
    // "aé€" is 1 + 2 + 3 bytes; "€" would need bytes 3..5 of 7 usable: it fits, the
    // next one does not.
    EXPECT_FALSE(SetProfileText(field, QString::fromUtf8("a\xc3\xa9\xe2\x82\xac\xe2\x82\xac")));
    EXPECT_EQ(ProfileText(field), QString::fromUtf8("a\xc3\xa9\xe2\x82\xac"));
    // A record without a NUL (damaged) reads as far as the field goes.
    std::memset(field, 'y', sizeof field);
    EXPECT_EQ(ProfileText(field), QString(8, QLatin1Char('y')));
}

class ProcessListTest : public ::testing::Test {
protected:
    QString file(const QString &name)
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(ProcessListTest, ChooserOffersReadableExecutablesOncePerName)
{
    const QString editor = file(QStringLiteral("bin/editor"));
    const QString other = file(QStringLiteral("opt/editor")); // same name, second process
    const QString viewer = file(QStringLiteral("bin/viewer"));
    const FixedProcessBackend processes({
        {1, QStringLiteral("editor"), editor},
        {2, QStringLiteral("kthread"), QString()},                  // no image path
        {3, QStringLiteral("gone"), m_dir.filePath(QStringLiteral("bin/gone (deleted)"))},
        {4, QStringLiteral("dir"), m_dir.filePath(QStringLiteral("bin"))},
        {5, QStringLiteral("editor"), other},
        {6, QString(), viewer},                                      // name from the image
        {7, QStringLiteral("viewer"), viewer},
    });
    EXPECT_EQ(ListApplications(processes), (QStringList{editor, viewer}));
}

TEST_F(ProcessListTest, ProcfsBackendReadsImageLinks)
{
    // A /proc-shaped tree: two processes with image links, one without (another
    // user's process), and entries that are no process.
    const QString image = file(QStringLiteral("usr/bin/paint"));
    const QString root = m_dir.filePath(QStringLiteral("proc"));
    for (const char *dir : {"12", "7", "30", "self", "sys"})
        QDir().mkpath(root + QLatin1Char('/') + QLatin1String(dir));
    ASSERT_TRUE(QFile::link(image, root + QStringLiteral("/12/exe")));
    ASSERT_TRUE(QFile::link(image, root + QStringLiteral("/7/exe")));
    QFile comm(root + QStringLiteral("/30/comm"));
    ASSERT_TRUE(comm.open(QIODevice::WriteOnly));
    comm.write("kworker/0:1\n");
    comm.close();

    ProfileLog log;
    const QVector<ProcessInfo> list = ProcfsProcessBackend(root).snapshot();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].pid, 7);
    EXPECT_EQ(list[0].imagePath, image);
    EXPECT_EQ(list[0].name, QStringLiteral("paint"));
    EXPECT_EQ(list[1].pid, 12);
    EXPECT_EQ(list[2].pid, 30);
    EXPECT_TRUE(list[2].imagePath.isEmpty());
    EXPECT_EQ(list[2].name, QStringLiteral("kworker/0:1"));

    // The real /proc shows this test program with its own image.
    bool self = false;
    for (const ProcessInfo &p : ProcfsProcessBackend().snapshot()) {
        if (p.pid == qint64(getpid())) {
            self = true;
            EXPECT_EQ(QFileInfo(p.imagePath).canonicalFilePath(),
                      QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
        }
    }
    EXPECT_TRUE(self);
}

} // namespace
