// The log file: exact line layout, rotation at its size boundary, and the process-wide
// handler (debug dropped, lines from several threads never mixed).

#include "base/loghandler.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <thread>
#include <vector>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(int(size), 'x')), size);
}

const QDateTime kTime(QDate(2024, 3, 5), QTime(14, 7, 9));

QByteArray stamp()
{
    return "DateTime:" + kTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss ddd")).toLocal8Bit();
}

TEST(LogLine, LayoutOfEveryLevel)
{
    const QMessageLogContext context("tablet.cpp", 42, "void CTablet::Open()", "default");
    const struct {
        QtMsgType type;
        const char *level;
    } levels[] = {
        {QtWarningMsg, " Warning:"}, {QtCriticalMsg, " Critical:"}, {QtFatalMsg, " Fatal:"},
        {QtInfoMsg, " Info:"}, {QtDebugMsg, " Message:"},
    };
    for (const auto &l : levels) {
        SCOPED_TRACE(l.level);
        EXPECT_EQ(formatLogLine(l.type, context, QStringLiteral("open failed"), kTime),
                  stamp() + l.level + "open failed File:tablet.cpp  Line:42  Action:void CTablet::Open()\r\n");
    }
    EXPECT_TRUE(stamp().startsWith("DateTime:2024-03-05 14:07:09 "));
}

TEST(LogLine, NullContextGivesEmptyFields)
{
    const QMessageLogContext context;
    EXPECT_EQ(formatLogLine(QtInfoMsg, context, QStringLiteral("start"), kTime),
              stamp() + " Info:start File:  Line:0  Action:\r\n");
    // a message's own trailing line break does not split the entry
    EXPECT_EQ(formatLogLine(QtInfoMsg, context, QStringLiteral("Unable to read indexed string 100\n"), kTime),
              stamp() + " Info:Unable to read indexed string 100 File:  Line:0  Action:\r\n");
}

class LogFileTest : public ::testing::Test {
protected:
    QString log() const { return m_dir.filePath(QStringLiteral("log.txt")); }
    QString old() const { return m_dir.filePath(QStringLiteral("oldlog.txt")); }
    QTemporaryDir m_dir;
};

TEST_F(LogFileTest, AppendsWholeLines)
{
    EXPECT_TRUE(appendLogLine("one\r\n", log(), old()));
    EXPECT_TRUE(appendLogLine("two\r\n", log(), old()));
    EXPECT_EQ(readAll(log()), QByteArray("one\r\ntwo\r\n"));
}

TEST_F(LogFileTest, MissingFolderLosesTheLine)
{
    const QString missing = m_dir.filePath(QStringLiteral("no/log.txt"));
    EXPECT_FALSE(appendLogLine("lost\r\n", missing, old()));
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(LogFileTest, RotatesOnlyPastWholeKiBLimit)
{
    // 1024 KiB + 1023 bytes is still 1024 whole KiB: kept.
    const qint64 below = 1024 * 1024 + 1023;
    writeBytes(log(), below);
    ASSERT_TRUE(appendLogLine("next\r\n", log(), old()));
    EXPECT_FALSE(QFile::exists(old()));
    EXPECT_EQ(QFileInfo(log()).size(), below + 6);

    // 1025 KiB: moved to the old log before the line is written; the previous old log
    // is replaced.
    writeBytes(log(), 1025 * 1024);
    writeBytes(old(), 10);
    ASSERT_TRUE(appendLogLine("fresh\r\n", log(), old()));
    EXPECT_EQ(QFileInfo(old()).size(), 1025 * 1024);
    EXPECT_EQ(readAll(log()), QByteArray("fresh\r\n"));
}

TEST_F(LogFileTest, FailedCopyKeepsTheLog)
{
    // An old-log path that cannot be deleted or written: the copy fails.
    ASSERT_TRUE(QDir().mkpath(old() + QStringLiteral("/busy")));
    writeBytes(log(), 1025 * 1024);
    ASSERT_TRUE(appendLogLine("kept\r\n", log(), old()));
    EXPECT_EQ(QFileInfo(log()).size(), 1025 * 1024 + 6);
    EXPECT_TRUE(readAll(log()).endsWith("kept\r\n"));
}

// The installed handler computes its paths once per process, so everything about it is
// checked in this one test.
TEST(LogHandler, WritesInfoDropsDebugAndNeverMixesThreads)
{
    QTemporaryDir home;
    const QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    const QString folder = home.filePath(QStringLiteral("Inkora V3"));
    ASSERT_TRUE(QDir().mkpath(folder));

    installLogHandler();
    qDebug("debug line");
    qInfo("info line");

    constexpr int kThreads = 4;
    constexpr int kLinesEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLinesEach; ++i)
                qWarning("thread %d line %d", t, i);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    qInstallMessageHandler(nullptr);
    qputenv("XDG_CONFIG_HOME", savedConfigHome);

    const QByteArray content = readAll(folder + QStringLiteral("/log.txt"));
    EXPECT_FALSE(content.contains("debug line"));
    ASSERT_TRUE(content.endsWith("\r\n"));
    const QList<QByteArray> lines = content.left(content.size() - 2).split('\n');
    ASSERT_EQ(lines.size(), 1 + kThreads * kLinesEach);
    EXPECT_TRUE(lines.first().contains(" Info:info line File:"));
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        EXPECT_TRUE(line.startsWith("DateTime:")) << line.constData();
        EXPECT_EQ(line.count("DateTime:"), 1) << line.constData();
        EXPECT_TRUE(line.endsWith('\r') || i == lines.size() - 1) << line.constData();
    }
}

} // namespace
