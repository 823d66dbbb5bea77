// Update download against a local server: the file name rule, redirects, sizes the
// server does not announce, every byte in the finished file, and failures that the
// dialog shows instead of stopping silently.
#include "httptestserver.h"
#include "base/languagetexts.h"
#include "online/download.h"
#include "online/driverdownload.h"
#include "online/installerlauncher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

class RecordingLauncher : public InstallerLauncher {
public:
    bool OpenFile(const QString &path) override
    {
        opened.append(path);
        return openResult;
    }
    void QuitApplication() override { ++quits; }

    QStringList opened;
    bool openResult = true;
    int quits = 0;
};

// 300 KB that no shift or repetition of a piece can fake.
QByteArray package()
{
    QByteArray bytes;
    bytes.reserve(300 * 1024);
    quint32 x = 12345;
    while (bytes.size() < 300 * 1024) {
        x = x * 1103515245u + 12345u;
        bytes.append(static_cast<char>(x >> 24));
    }
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DownloadFileName, LastUsablePartOfTheLinkPath)
{
    const QList<QPair<const char *, const char *>> cases = {
        {"https://dl.example/files/Inkora_3.4.0.exe", "Inkora_3.4.0.exe"},
        {"https://dl.example/files/Inkora_3.4.0.exe/", "Inkora_3.4.0.exe"},
        {"https://dl.example/files/Inkora.exe?token=a/b", "Inkora.exe"},
        {"https://dl.example/", "Driver_Update.exe"},
        {"https://dl.example", "Driver_Update.exe"},
        {"///", "Driver_Update.exe"},
        {"", "Driver_Update.exe"},
        {"https://dl.example/files/..", "Driver_Update.exe"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Download::FileNameForLink(QLatin1String(c.first)), QLatin1String(c.second)) << c.first;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        ASSERT_TRUE(m_home.isValid());
        m_folder = m_home.path() + QStringLiteral("/Downloads/");
    }

    HttpResponse reply(const HttpRequest &request)
    {
        HttpResponse response;
        if (request.target == "/latest") {
            response.status = 302;
            response.addHeader("Location", "/files/Inkora_3.4.0.exe");
            response.body = "moved elsewhere";
        } else if (request.target == "/files/Inkora_3.4.0.exe") {
            response.body = m_package;
            response.chunkSize = 16 * 1024 + 7; // the last piece is a short tail
            response.sendLength = m_bSendLength;
            response.cutAfter = m_nCutAfter;
        } else if (request.target == "/to-file") {
            response.status = 302;
            response.addHeader("Location", "file:///etc/passwd");
        } else {
            response.status = 404;
            response.body = "not here";
        }
        return response;
    }

    QString link(const char *path) const { return m_server.baseUrl() + QLatin1String(path); }
    QStringList downloadsFolder() const { return QDir(m_folder).entryList(QDir::Files); }

    const QByteArray m_package = package();
    bool m_bSendLength = true;
    int m_nCutAfter = -1;
    HttpTestServer m_server{[this](const HttpRequest &r) { return reply(r); }};
    QTemporaryDir m_home;
    QString m_folder;
};

TEST_F(DownloadTest, RedirectedPackageArrivesWholeOpensAndQuits)
{
    for (const bool sendLength : {true, false}) {
        SCOPED_TRACE(sendLength ? "size announced" : "size unknown");
        m_bSendLength = sendLength;
        RecordingLauncher launcher;
        DriverDownLoad dialog(nullptr, &launcher, m_folder);
        QSignalSpy progress(dialog.download(), &Download::updateUIProgress);
        dialog.setDownloadLink(link("/latest"));
        dialog.show();
        EXPECT_EQ(dialog.currentPage(), 0);

        dialog.findChild<QPushButton *>(QStringLiteral("pushButton_update"))->click();
        EXPECT_EQ(dialog.currentPage(), 1);
        // The file is named from the link the user was given, not the redirect target.
        EXPECT_EQ(dialog.download()->fileName(), QStringLiteral("latest"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !launcher.opened.isEmpty(); }, 20000));

        const QString path = m_folder + QStringLiteral("latest");
        EXPECT_EQ(launcher.opened, QStringList{path});
        EXPECT_EQ(launcher.quits, 1);
        EXPECT_FALSE(dialog.isVisible());
        // Every byte, the tail after the last progress report included; none of the
        // redirect page's body.
        EXPECT_TRUE(readFile(path) == m_package);
        EXPECT_EQ(downloadsFolder(), QStringList{QStringLiteral("latest")});
        if (sendLength) {
            ASSERT_FALSE(progress.isEmpty());
            EXPECT_EQ(progress.last().at(0).toInt(), 100);
            EXPECT_GT(progress.size(), 2);
        } else {
            // No percentage while the size is unknown; at most the final count once
            // the end tells the size.
            EXPECT_LE(progress.size(), 1);
            if (!progress.isEmpty()) {
                EXPECT_EQ(progress.last().at(0).toInt(), 100);
            }
        }
        QFile::remove(path);
    }
}

TEST_F(DownloadTest, AnOldFileOfTheSameNameIsReplaced)
{
    QDir().mkpath(m_folder);
    for (const char *name : {"Inkora_3.4.0.exe", "Inkora_3.4.0.exe.part"}) {
        QFile old(m_folder + QLatin1String(name));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("stale bytes of an earlier try");
    }
    Download download(m_folder);
    QSignalSpy finished(&download, &Download::downloadFinished);
    download.setFileName(Download::FileNameForLink(link("/files/Inkora_3.4.0.exe")));
    download.startDownload(QUrl(link("/files/Inkora_3.4.0.exe")));
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_TRUE(readFile(m_folder + QStringLiteral("Inkora_3.4.0.exe")) == m_package);
    EXPECT_EQ(downloadsFolder(), QStringList{QStringLiteral("Inkora_3.4.0.exe")});
}

TEST_F(DownloadTest, FailureIsShownAndLeavesNoFile)
{
    const QList<QPair<const char *, int>> cases = {
        {"/missing.exe", -1},               // 404: its page is no installer
        {"/files/Inkora_3.4.0.exe", 50000}, // connection lost before the announced size
        {"/to-file", -1},                   // redirect away from the web
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        m_nCutAfter = c.second;
        RecordingLauncher launcher;
        DriverDownLoad dialog(nullptr, &launcher, m_folder);
        QSignalSpy failed(dialog.download(), &Download::downloadFailed);
        dialog.setDownloadLink(link(c.first));
        dialog.show();
        dialog.findChild<QPushButton *>(QStringLiteral("pushButton_update"))->click();
        ASSERT_TRUE(failed.wait(20000));

        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.currentPage(), 1);
        EXPECT_TRUE(dialog.statusText().startsWith(QStringLiteral("The download failed.\n"))) << dialog.statusText().toStdString();
        EXPECT_TRUE(launcher.opened.isEmpty());
        EXPECT_EQ(launcher.quits, 0);
        EXPECT_TRUE(downloadsFolder().isEmpty());
    }
}

TEST_F(DownloadTest, OfferWithoutAnAddressIsSaidInPlainWords)
{
    RecordingLauncher launcher;
    DriverDownLoad dialog(nullptr, &launcher, m_folder);
    dialog.show();
    dialog.findChild<QPushButton *>(QStringLiteral("pushButton_update"))->click();
    EXPECT_EQ(dialog.statusText(),
              QStringLiteral("The download failed.\nThe update offer has no usable download address."));
    EXPECT_EQ(m_server.requestCount(), 0);
    EXPECT_TRUE(downloadsFolder().isEmpty());
}

TEST_F(DownloadTest, PackageThatCannotBeOpenedKeepsTheProgramRunning)
{
    RecordingLauncher launcher;
    launcher.openResult = false;
    DriverDownLoad dialog(nullptr, &launcher, m_folder);
    dialog.setDownloadLink(link("/files/Inkora_3.4.0.exe"));
    dialog.show();
    dialog.findChild<QPushButton *>(QStringLiteral("pushButton_update"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !launcher.opened.isEmpty(); }, 20000));
    EXPECT_EQ(launcher.quits, 0);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(DownloadTest, NotNowAndCloseAbandonWithoutLeavingFiles)
{
    RecordingLauncher launcher;
    {
        DriverDownLoad dialog(nullptr, &launcher, m_folder);
        dialog.setDownloadLink(link("/files/Inkora_3.4.0.exe"));
        dialog.show();
        dialog.findChild<QPushButton *>(QStringLiteral("pushButton_notNow"))->click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(m_server.requestCount(), 0);
    }
    {
        DriverDownLoad dialog(nullptr, &launcher, m_folder);
        dialog.setDownloadLink(link("/files/Inkora_3.4.0.exe"));
        dialog.show();
        dialog.findChild<QPushButton *>(QStringLiteral("pushButton_update"))->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(dialog.download()->partPath()).size() > 0; }, 20000));
        dialog.findChild<QPushButton *>(QStringLiteral("pushButton_close"))->click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(dialog.download()->isRunning());
    }
    EXPECT_TRUE(downloadsFolder().isEmpty());
    EXPECT_TRUE(launcher.opened.isEmpty());
}

TEST(DownloadDialog, TextsComeFromTheLanguageFileWithChineseFallbacks)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/language.ini");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[English]\nDriverDownLoad.Tips1=A new driver version is available. Update now?\n"
                   "DriverDownLoad.BeginDlButton=\n");
    }
    const LanguageTexts language = LanguageTexts::load(path, QStringLiteral("English"));
    RecordingLauncher launcher;
    DriverDownLoad dialog(&language, &launcher, dir.path());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Inkora Update"));
    const auto *question = dialog.findChild<QLabel *>(QStringLiteral("label_tips"));
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->text(), QStringLiteral("A new driver version is available. Update now?"));
    // An empty value keeps the built-in text.
    EXPECT_EQ(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_update"))->text(), QStringLiteral("立即更新"));
    EXPECT_EQ(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_notNow"))->text(), QStringLiteral("暂不更新"));
}

} // namespace
