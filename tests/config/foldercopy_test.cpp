// Recursive copy of the default configuration folder into the per-user folder.

#include "config/foldercopy.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

class FolderCopyTest : public ::testing::Test {
protected:
    void put(const QString &relative, const QByteArray &content)
    {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray read(const QString &relative) const
    {
        QFile file(m_dir.filePath(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    QTemporaryDir m_dir;
};

TEST_F(FolderCopyTest, CopiesNestedFoldersIntoAMissingDestination)
{
    put(QStringLiteral("src/config.xml"), "profile");
    put(QStringLiteral("src/.hidden"), "dot file");
    put(QStringLiteral("src/image/tablet/k1.png"), "png");
    QDir().mkpath(path(QStringLiteral("src/empty")));

    ASSERT_TRUE(copyFolder(path(QStringLiteral("src")), path(QStringLiteral("a/b/dst")), false));
    EXPECT_EQ(read(QStringLiteral("a/b/dst/config.xml")), QByteArray("profile"));
    EXPECT_EQ(read(QStringLiteral("a/b/dst/.hidden")), QByteArray("dot file"));
    EXPECT_EQ(read(QStringLiteral("a/b/dst/image/tablet/k1.png")), QByteArray("png"));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("a/b/dst/empty"))).isDir());
}

TEST_F(FolderCopyTest, OverwriteReplacesAndKeepsOthers)
{
    put(QStringLiteral("src/config.xml"), "new");
    put(QStringLiteral("dst/config.xml"), "old");
    put(QStringLiteral("dst/log.txt"), "user log");

    // Without overwrite an existing file makes the copy fail and stays as it was.
    EXPECT_FALSE(copyFolder(path(QStringLiteral("src")), path(QStringLiteral("dst")), false));
    EXPECT_EQ(read(QStringLiteral("dst/config.xml")), QByteArray("old"));

    EXPECT_TRUE(copyFolder(path(QStringLiteral("src")), path(QStringLiteral("dst")), true));
    EXPECT_EQ(read(QStringLiteral("dst/config.xml")), QByteArray("new"));
    EXPECT_EQ(read(QStringLiteral("dst/log.txt")), QByteArray("user log"));
}

TEST_F(FolderCopyTest, FirstFailureStopsTheCopy)
{
    // Entries are copied in name order: "b" cannot replace a folder of that name, so
    // "c" is never reached.
    put(QStringLiteral("src/a"), "a");
    put(QStringLiteral("src/b"), "b");
    put(QStringLiteral("src/c"), "c");
    put(QStringLiteral("dst/b/inside"), "a folder where a file should go");

    EXPECT_FALSE(copyFolder(path(QStringLiteral("src")), path(QStringLiteral("dst")), true));
    EXPECT_EQ(read(QStringLiteral("dst/a")), QByteArray("a"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("dst/c"))));
}

TEST_F(FolderCopyTest, ReadOnlyInstallationGivesWritableUserFiles)
{
    put(QStringLiteral("src/config.xml"), "profile");
    QFile::setPermissions(path(QStringLiteral("src/config.xml")), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

    ASSERT_TRUE(copyFolder(path(QStringLiteral("src")), path(QStringLiteral("dst")), true));
    EXPECT_TRUE(QFile::permissions(path(QStringLiteral("dst/config.xml"))) & QFile::WriteOwner);
}

} // namespace
