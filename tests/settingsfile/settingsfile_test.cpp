// Settings files: export and import of the whole profile file, the chunks a profile
// document is sent to a tablet in, and the keypad profile document itself.
#include "config/profilestore.h"
#include "config/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

QByteArray Profile(const char *version)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config version=\"") + version
           + "\">\n <InkoraPadM/>\n</Config>\n";
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_default = m_dir.filePath(QStringLiteral("default.xml"));
        m_user = m_dir.filePath(QStringLiteral("config.xml"));
        ASSERT_TRUE(Write(m_default, Profile("1.3.0")));
        ASSERT_TRUE(Write(m_user, Profile("1.3.0") + "<!-- user's own -->\n"));
    }
    QTemporaryDir m_dir;
    QString m_default;
    QString m_user;
};

} // namespace

TEST_F(SettingsFile, ExportNamesTheFileByDateAndReplacesAnExistingOne)
{
    EXPECT_EQ(DefaultExportName(QStringLiteral("/home/u"), QDate(2026, 3, 7)),
              QStringLiteral("/home/u/Inkora_Config_2026-03-07.pcfg"));

    const QString target = m_dir.filePath(QStringLiteral("mine.pcfg"));
    ASSERT_TRUE(Write(target, "an older export that is longer than the profile file itself ......................"));
    ASSERT_TRUE(ExportConfigFile(m_user, target));
    EXPECT_EQ(Read(target), Read(m_user)); // a byte copy, nothing left of the old one
}

TEST_F(SettingsFile, AFailedExportLeavesTheExistingTargetInPlace)
{
    const QString target = m_dir.filePath(QStringLiteral("keep.pcfg"));
    ASSERT_TRUE(Write(target, "previous export"));
    EXPECT_FALSE(ExportConfigFile(m_dir.filePath(QStringLiteral("missing.xml")), target));
    EXPECT_EQ(Read(target), QByteArray("previous export"));
    // and a target in a folder that does not exist is a failure, not a silent success
    EXPECT_FALSE(ExportConfigFile(m_user, m_dir.filePath(QStringLiteral("no/such/folder/x.pcfg"))));
}

TEST_F(SettingsFile, ImportReplacesTheProfileFileOnlyWhenTheVersionMatches)
{
    const QByteArray before = Read(m_user);

    const QString other = m_dir.filePath(QStringLiteral("other.pcfg"));
    ASSERT_TRUE(Write(other, Profile("1.2.9")));
    EXPECT_EQ(ImportConfigFile(m_default, other, m_user), 104);
    EXPECT_EQ(Read(m_user), before);

    const QString broken = m_dir.filePath(QStringLiteral("broken.pcfg"));
    ASSERT_TRUE(Write(broken, "<Config version=\"1.3.0\"><unclosed>"));
    EXPECT_NE(ImportConfigFile(m_default, broken, m_user), 0);
    EXPECT_EQ(Read(m_user), before);

    const QString same = m_dir.filePath(QStringLiteral("same.pcfg"));
    ASSERT_TRUE(Write(same, Profile("1.3.0") + "<!-- exported elsewhere -->\n"));
    EXPECT_EQ(ImportConfigFile(m_default, same, m_user), 0);
    EXPECT_EQ(Read(m_user), Read(same));
}

TEST(ProfileChunks, AreWholeChunksPlusOnePaddedWithZeroBytes)
{
    QByteArray doc(58, 'x');
    const QVector<QByteArray> chunks = ProfileChunks(doc);
    ASSERT_EQ(chunks.size(), 3);
    for (const QByteArray &c : chunks)
        EXPECT_EQ(c.size(), kProfileChunkBytes);
    EXPECT_EQ(chunks[0] + chunks[1], doc);
    EXPECT_EQ(chunks[2], QByteArray(kProfileChunkBytes, '\0'));
    EXPECT_EQ(ProfileChunkPercent(0, 3), 0);
    EXPECT_EQ(ProfileChunkPercent(1, 3), 50);
    EXPECT_EQ(ProfileChunkPercent(2, 3), 100);

    // fewer bytes than one chunk: one padded chunk, shown as done
    const QVector<QByteArray> small = ProfileChunks(QByteArray("abc"));
    ASSERT_EQ(small.size(), 1);
    EXPECT_EQ(small[0].left(4), QByteArray("abc\0", 4));
    EXPECT_EQ(ProfileChunkPercent(0, 1), 100);
}

TEST(KeypadDocument, CarriesTheKeyGroupsAndTheRingThroughAWriteAndARead)
{
    auto app = std::make_unique<AppConfigNode>();
    std::memset(app.get(), 0, sizeof(AppConfigNode));
    std::strcpy(app->path, "/usr/bin/krita");
    app->SelectID = 2;
    app->groups[2].enabled = 1;
    app->groups[2].keys[10].id = 1;
    app->groups[2].keys[10].Actid = 5;
    app->groups[2].keys[10].Motid = 7;
    std::strcpy(app->groups[2].keys[10].custom, "1|Copy|17:29+67:46");
    app->groups[0].keys[0].Actid = 3; // no custom text with id 0
    std::strcpy(app->groups[0].keys[0].custom, "stale");
    app->ring.id = 1;
    app->ring.items[3].id = 2;
    std::strcpy(app->ring.items[3].custom, "4|Zoom|1|17:29+187:13|17:29+189:12");

    const QByteArray doc = WriteKeypadDocument(*app);
    EXPECT_TRUE(doc.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_TRUE(doc.contains("<KPD05App>"));
    EXPECT_TRUE(doc.contains("\n <app>")); // indent of one
    EXPECT_FALSE(doc.contains("stale"));

    auto back = std::make_unique<AppConfigNode>();
    std::memset(back.get(), 0, sizeof(AppConfigNode));
    ASSERT_TRUE(ReadKeypadDocument(doc, back.get()));
    EXPECT_STREQ(back->path, "/usr/bin/krita");
    EXPECT_EQ(back->SelectID, 2);
    EXPECT_EQ(back->groups[2].enabled, 1);
    EXPECT_EQ(back->groups[2].keys[10].Motid, 7);
    EXPECT_STREQ(back->groups[2].keys[10].custom, "1|Copy|17:29+67:46");
    EXPECT_EQ(back->groups[0].keys[0].Actid, 3);
    EXPECT_STREQ(back->ring.items[3].custom, "4|Zoom|1|17:29+187:13|17:29+189:12");
}

TEST(KeypadDocument, ABrokenDocumentLeavesTheProfileUnchanged)
{
    auto app = std::make_unique<AppConfigNode>();
    std::memset(app.get(), 0, sizeof(AppConfigNode));
    app->SelectID = 3;
    EXPECT_FALSE(ReadKeypadDocument("<KPD05App><app><SelectID>1</SelectID>", app.get()));
    EXPECT_FALSE(ReadKeypadDocument("<Other><app/></Other>", app.get()));
    EXPECT_FALSE(ReadKeypadDocument("<KPD05App><app><SelectID>99999999</SelectID></app></KPD05App>", app.get()));
    EXPECT_EQ(app->SelectID, 3);
}
