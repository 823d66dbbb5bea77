// Usage upload against a local collection endpoint that fails and recovers: the
// switches, the body format, the pending file and its backlog, the records of the last
// moments, and the client id.
#include "httptestserver.h"
#include "base/usagerecord.h"
#include "online/jsonserver.h"
#include "online/jsonserveraction.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kChinese = QStringLiteral("ChineseSimplified");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class JsonServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        ASSERT_TRUE(m_install.isValid());
        ASSERT_TRUE(m_data.isValid());
    }

    void install(bool data = true)
    {
        writeFile(m_install.path() + QStringLiteral("/dataconfig.ini"),
                  "[config]\nData=" + QByteArray(data ? "true" : "false") + "\nURL=" + m_server.baseUrl().toLatin1()
                      + "/receive/data\n");
    }

    QString pending() const { return m_data.path() + QStringLiteral("/data/TabletData.txt"); }
    QByteArray bodyOf(int request) const { return m_server.requests().at(request).body; }

    bool waitForRequests(int count)
    {
        return QTest::qWaitFor([&] { return m_server.requestCount() >= count; }, 20000);
    }

    HttpResponse reply(const HttpRequest &request)
    {
        HttpResponse response;
        if (request.target != "/receive/data")
            response.status = 404;
        else if (m_nFailures > 0) {
            --m_nFailures;
            response.status = 503;
        }
        response.hang = m_bHang;
        response.body = R"({"code":1})";
        return response;
    }

    int m_nFailures = 0;
    bool m_bHang = false;
    HttpTestServer m_server{[this](const HttpRequest &r) { return reply(r); }};
    QTemporaryDir m_install;
    QTemporaryDir m_data;
};

TEST_F(JsonServerTest, CollectsOnlyWhenInstalledSwitchedOnAndInSimplifiedChinese)
{
    {
        JsonServer off(m_install.path(), m_data.path(), kChinese); // no dataconfig.ini
        EXPECT_FALSE(off.isInstalled());
        EXPECT_FALSE(off.isCollecting());
        off.AddRecord(UsageRecordText(QStringLiteral("OpenDriver"), QStringLiteral("1")));
        EXPECT_FALSE(QFileInfo::exists(m_data.path() + QStringLiteral("/dataconfig.ini")));
    }
    install(false);
    {
        JsonServer userOff(m_install.path(), m_data.path(), kChinese);
        EXPECT_TRUE(userOff.isInstalled());
        EXPECT_FALSE(userOff.isCollecting());
        userOff.AddRecord(UsageRecordText(QStringLiteral("OpenDriver"), QStringLiteral("1")));
        // The per-user copy is made once and then holds the user's own choice.
        userOff.SetEnabled(true);
        EXPECT_TRUE(userOff.isCollecting());
    }
    QSettings user(m_data.path() + QStringLiteral("/dataconfig.ini"), QSettings::IniFormat);
    EXPECT_TRUE(user.value(QStringLiteral("config/Data")).toBool());
    {
        JsonServer english(m_install.path(), m_data.path(), QStringLiteral("English"));
        EXPECT_TRUE(english.isEnabled());
        EXPECT_FALSE(english.isCollecting());
        english.AddRecord(UsageRecordText(QStringLiteral("OpenDriver"), QStringLiteral("1")));
        english.SetLanguage(kChinese);
        EXPECT_TRUE(english.isCollecting());
        english.SetLanguage(QStringLiteral("ChineseTraditional"));
        EXPECT_FALSE(english.isCollecting());
    }
    // Another language never overwrites the user's choice.
    user.sync();
    EXPECT_TRUE(user.value(QStringLiteral("config/Data")).toBool());
    EXPECT_EQ(m_server.requestCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(pending()));
}

TEST_F(JsonServerTest, RoutedRecordIsPostedWithBackslashesDoubledAsValidJson)
{
    install();
    JsonServer upload(m_install.path(), m_data.path(), kChinese);
    ASSERT_TRUE(upload.isCollecting());
    SetUsageRecordSink(&upload);
    const QString app = QStringLiteral("C:\\Program Files\\Paint\\paint.exe");
    const QString custom = QStringLiteral("say \"hi\"\nnow");
    UsageRecord(UsageRecordWithTablet(
        QStringLiteral("Inkora 16"),
        UsageRecordText(QStringLiteral("DoKeyAction"), UsagePairs{{QStringLiteral("custom"), custom},
                                                                  {QStringLiteral("curapp"), app}})));
    ASSERT_TRUE(waitForRequests(1));
    ClearUsageRecordSink(&upload);

    const HttpRequest request = m_server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\{\"mac\":\"[0-9A-Fa-f:]{17}\",\"time\":\"\\d{13}\","))
                    .match(QString::fromUtf8(request.body))
                    .hasMatch())
        << request.body.constData();
    EXPECT_TRUE(request.body.contains(R"(C:\\Program Files\\Paint\\paint.exe)"));

    QJsonParseError error;
    const QJsonObject body = QJsonDocument::fromJson(request.body, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << request.body.constData();
    EXPECT_EQ(body.value(QStringLiteral("tablet")).toString(), QStringLiteral("Inkora 16"));
    const QJsonObject action = body.value(QStringLiteral("DoKeyAction")).toObject();
    EXPECT_EQ(action.value(QStringLiteral("curapp")).toString(), app);
    // A quote or line break in a value neither breaks the body nor changes the value.
    EXPECT_EQ(action.value(QStringLiteral("custom")).toString(), custom);
}

TEST_F(JsonServerTest, FailedBodiesWaitInThePendingFileUntilAPostCarriesThem)
{
    install();
    m_nFailures = 2;
    JsonServer upload(m_install.path(), m_data.path(), kChinese);
    QSignalSpy posted(&upload, &JsonServer::PostFinished);
    const QString records[] = {
        UsageRecordText(QStringLiteral("First"), QStringLiteral("1")),
        UsageRecordText(QStringLiteral("Second"), QStringLiteral("2")),
        UsageRecordText(QStringLiteral("Third"), QStringLiteral("3")),
        UsageRecordText(QStringLiteral("Fourth"), QStringLiteral("4")),
    };

    // Two failures in a row: two bodies, each followed by ",\n".
    upload.AddRecord(records[0]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 1; }, 20000));
    upload.AddRecord(records[1]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 2; }, 20000));
    EXPECT_FALSE(posted.at(0).at(0).toBool());
    EXPECT_FALSE(posted.at(1).at(0).toBool());
    const QByteArray kept = bodyOf(0) + ",\n" + bodyOf(1) + ",\n";
    EXPECT_EQ(readFile(pending()), kept);

    // The service answers again; this post went alone (the one before failed), so the
    // pending file stays.
    upload.AddRecord(records[2]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 3; }, 20000));
    EXPECT_TRUE(posted.at(2).at(0).toBool());
    EXPECT_TRUE(bodyOf(2).startsWith("{"));
    EXPECT_EQ(readFile(pending()), kept);

    // The next one carries the backlog; its success deletes the file.
    upload.AddRecord(records[3]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 4; }, 20000));
    EXPECT_TRUE(posted.at(3).at(0).toBool());
    const QByteArray carried = bodyOf(3);
    EXPECT_TRUE(carried.startsWith("[" + kept));
    EXPECT_TRUE(carried.endsWith("\n ]"));
    const QJsonArray all = QJsonDocument::fromJson(carried).array();
    ASSERT_EQ(all.size(), 3);
    EXPECT_TRUE(all.at(0).toObject().contains(QStringLiteral("First")));
    EXPECT_TRUE(all.at(1).toObject().contains(QStringLiteral("Second")));
    EXPECT_TRUE(all.at(2).toObject().contains(QStringLiteral("Fourth")));
    EXPECT_FALSE(QFileInfo::exists(pending()));
}

TEST_F(JsonServerTest, BacklogOfAnEarlierRunGoesWithTheFirstRecordAndSurvivesItsFailure)
{
    install();
    const QByteArray earlier = R"({"mac":"12:34:56:78:9a:00","time":"1","ExitDriver":"1"},)" "\n";
    writeFile(pending(), earlier);
    m_nFailures = 1;
    JsonServer upload(m_install.path(), m_data.path(), kChinese);
    QSignalSpy posted(&upload, &JsonServer::PostFinished);

    upload.AddRecord(UsageRecordText(QStringLiteral("OpenDriver"), QStringLiteral("1")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 1; }, 20000));
    EXPECT_TRUE(bodyOf(0).startsWith("[" + earlier));
    // Failed: the earlier body is still there, followed by the new one.
    EXPECT_EQ(readFile(pending()), earlier + bodyOf(0).mid(1 + earlier.size()).replace("\n ]", ",\n"));
}

TEST_F(JsonServerTest, PendingFileAboveItsLimitIsStartedAfresh)
{
    install();
    writeFile(pending(), QByteArray(JsonServerAction::kPendingLimit + 1, 'x'));
    m_nFailures = 1;
    JsonServer upload(m_install.path(), m_data.path(), kChinese);
    QSignalSpy posted(&upload, &JsonServer::PostFinished);
    upload.AddRecord(UsageRecordText(QStringLiteral("OpenDriver"), QStringLiteral("1")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 1; }, 20000));
    // The failed post carried the oversized backlog; only its own body is kept.
    const QByteArray kept = readFile(pending());
    ASSERT_TRUE(kept.endsWith(",\n"));
    EXPECT_EQ(kept.count(",\n"), 1);
    EXPECT_FALSE(kept.contains("xxxx"));
    EXPECT_TRUE(bodyOf(0).endsWith(kept.chopped(2) + "\n ]"));
}

TEST_F(JsonServerTest, RecordsOfTheLastMomentsAreKeptForTheNextRun)
{
    install();
    m_bHang = true; // the service takes the request and never answers
    {
        JsonServer upload(m_install.path(), m_data.path(), kChinese);
        upload.AddRecord(UsageRecordText(QStringLiteral("Record"), QStringLiteral("1")));
        ASSERT_TRUE(waitForRequests(1));
        upload.AddRecord(UsageRecordText(QStringLiteral("Record"), QStringLiteral("2")));
        upload.AddRecord(UsageRecordText(QStringLiteral("ExitDriver"), QStringLiteral("1")));
    } // program end while the first post waits
    const QByteArray kept = readFile(pending());
    EXPECT_EQ(kept.count(",\n"), 3) << kept.constData();
    EXPECT_TRUE(kept.startsWith(bodyOf(0) + ",\n"));
    EXPECT_TRUE(kept.contains(R"("Record":"2"})"));
    EXPECT_TRUE(kept.contains(R"("ExitDriver":"1"})"));
}

TEST_F(JsonServerTest, SwitchedOffByTheUserStoresTheChoiceAndDropsRecords)
{
    install();
    JsonServer upload(m_install.path(), m_data.path(), kChinese);
    ASSERT_TRUE(upload.isCollecting());
    upload.SetEnabled(false);
    EXPECT_FALSE(upload.isCollecting());
    upload.AddRecord(UsageRecordText(QStringLiteral("OpenDriver"), QStringLiteral("1")));
    QSettings user(m_data.path() + QStringLiteral("/dataconfig.ini"), QSettings::IniFormat);
    EXPECT_FALSE(user.value(QStringLiteral("config/Data")).toBool());
    // Switched on again, the next record goes out.
    upload.SetEnabled(true);
    upload.AddRecord(UsageRecordText(QStringLiteral("OpenDriver"), QStringLiteral("2")));
    ASSERT_TRUE(waitForRequests(1));
    EXPECT_TRUE(bodyOf(0).contains(R"("OpenDriver":"2")"));
}

TEST_F(JsonServerTest, RefusedOrSilentServiceKeepsEveryBodyForLater)
{
    // Nothing listens at the collection address.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QByteArray closed = "http://127.0.0.1:" + QByteArray::number(probe.serverPort()) + "/receive/data";
    probe.close();
    // The comment keeps this file's size apart from the next one's: settings files of the
    // same size and time are taken from the process's cache.
    writeFile(m_install.path() + QStringLiteral("/dataconfig.ini"),
              "[config]\n; nothing listens here\nData=true\nURL=" + closed + "\n");
    {
        JsonServer upload(m_install.path(), m_data.path(), kChinese);
        QSignalSpy posted(&upload, &JsonServer::PostFinished);
        upload.AddRecord(UsageRecordText(QStringLiteral("Refused"), QStringLiteral("1")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 1; }, 20000));
        EXPECT_FALSE(posted.at(0).at(0).toBool());
    }
    const QByteArray afterRefused = readFile(pending());
    EXPECT_TRUE(afterRefused.contains("Refused")) << afterRefused.constData();
    EXPECT_TRUE(afterRefused.endsWith(",\n"));

    // A service that takes the request and never answers: the post's time limit ends it,
    // and its body joins the one kept before.
    install();
    m_bHang = true;
    JsonServer upload(m_install.path(), m_data.path(), kChinese);
    QSignalSpy posted(&upload, &JsonServer::PostFinished);
    upload.AddRecord(UsageRecordText(QStringLiteral("Silent"), QStringLiteral("2")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 1; }, 40000));
    EXPECT_FALSE(posted.at(0).at(0).toBool());
    const QByteArray afterSilent = readFile(pending());
    EXPECT_TRUE(afterSilent.startsWith(afterRefused));
    EXPECT_TRUE(afterSilent.contains("Silent"));
}

TEST(JsonServerClientId, InterfaceAddressElseStoredElseGeneratedOnce)
{
    QTemporaryDir data;
    EXPECT_EQ(JsonServerAction::ClientId(data.path(), QStringLiteral("AA:BB:CC:DD:EE:FF")),
              QStringLiteral("AA:BB:CC:DD:EE:FF"));

    const QString generated = JsonServerAction::ClientId(data.path(), QString());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^([0-9a-f]{2}:){5}00$")).match(generated).hasMatch()) << qPrintable(generated);
    EXPECT_EQ(readFile(data.path() + QStringLiteral("/data/mymac.ini")), "[Data]\nmac=" + generated.toLatin1() + "\n");
    EXPECT_EQ(JsonServerAction::ClientId(data.path(), QString()), generated);
}

} // namespace
