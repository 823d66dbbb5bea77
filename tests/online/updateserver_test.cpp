// Update check against a local service: the switches that keep it off, the ping and
// driver replies with each of their outcomes, and the version comparison.
#include "base/programstart.h"
#include "httptestserver.h"
#include "online/driverdownload.h"
#include "online/updateoffer.h"
#include "online/updateserver.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

namespace {

const char kKey[] = "abcdefghij12345678901234";

HttpResponse json(const QByteArray &body, int status = 200)
{
    HttpResponse response;
    response.status = status;
    response.addHeader("Content-Type", "application/json");
    response.body = body;
    return response;
}

// The address of a port on this machine where nothing listens (any more).
QByteArray ClosedPortUrl()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return QByteArray("http://127.0.0.1:1");
    const quint16 port = probe.serverPort();
    probe.close();
    return "http://127.0.0.1:" + QByteArray::number(port);
}

void writeDataConfig(const QString &folder, const QByteArray &text)
{
    QFile file(folder + QStringLiteral("/dataconfig.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class UpdateServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.start());
        ASSERT_TRUE(m_install.isValid());
    }

    void enable()
    {
        writeDataConfig(m_install.path(), "[config]\nCheckUpdate=true\nUpdateHost=" + m_server.baseUrl().toLatin1()
                                              + "\nUpdateKey=" + kKey + "\n");
    }

    // Replies by path; a driver reply of code 1 with a link by default.
    HttpResponse reply(const HttpRequest &request)
    {
        if (request.target.startsWith("/api/ping"))
            return m_ping;
        if (request.target.startsWith("/api/getlastdriver"))
            return m_driver;
        return json("{}", 404);
    }

    HttpResponse m_ping = json(R"({"code":1,"server_time":1700000000123})");
    HttpResponse m_driver = json(R"({"code":1,"message":"ok","data":{"driver_code":"NIBLO_A","system":"windows",)"
                                 R"("version":"3.4.0","download_link":"https://dl.example/Inkora_3.4.0.exe"}})");
    HttpTestServer m_server{[this](const HttpRequest &r) { return reply(r); }};
    QTemporaryDir m_install;
};

TEST_F(UpdateServerTest, StaysSilentUnlessSwitchedOnWithHostAndKey)
{
    const QByteArray host = "UpdateHost=" + m_server.baseUrl().toLatin1() + "\n";
    const QList<QByteArray> configs = {
        QByteArray(), // no dataconfig.ini at all
        "[config]\n" + host + "UpdateKey=" + kKey + "\n",
        "[config]\nCheckUpdate=false\n" + host + "UpdateKey=" + kKey + "\n",
        "[config]\nCheckUpdate=true\nUpdateKey=" + QByteArray(kKey) + "\n",
        "[config]\nCheckUpdate=true\n" + host,
    };
    for (const QByteArray &config : configs) {
        SCOPED_TRACE(config.constData());
        QFile::remove(m_install.path() + QStringLiteral("/dataconfig.ini"));
        if (!config.isNull())
            writeDataConfig(m_install.path(), config);
        UpdateServer update(m_install.path());
        EXPECT_FALSE(update.isEnabled());
        // No network access manager: nothing can have been sent.
        EXPECT_TRUE(update.findChildren<QNetworkAccessManager *>().isEmpty());
    }
    EXPECT_EQ(m_server.requestCount(), 0);
}

TEST_F(UpdateServerTest, SignedDriverRequestFollowsThePingAndReportsTheOffer)
{
    enable();
    UpdateServer update(m_install.path());
    QSignalSpy offers(&update, &UpdateServer::GetNewDriver);
    QSignalSpy ended(&update, &UpdateServer::UpdateCheckEnded);
    ASSERT_TRUE(update.isEnabled());
    ASSERT_TRUE(ended.wait(10000));

    ASSERT_EQ(m_server.requestCount(), 2);
    EXPECT_EQ(m_server.requests().at(0).target, "/api/ping");
    const HttpRequest driver = m_server.requests().at(1);
    const QUrl url(QStringLiteral("http://h") + QString::fromLatin1(driver.target));
    EXPECT_EQ(url.path(), QStringLiteral("/api/getlastdriver"));
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("driver_code")), QStringLiteral("NIBLO_A"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("system")), QStringLiteral("windows"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("server_time")), QStringLiteral("1700000000123"));
    // md5(md5(key) + "1700000000123"), worked out independently.
    EXPECT_EQ(query.queryItemValue(QStringLiteral("sign")), QStringLiteral("0070f99d2cb61feff6b2f4deb7b378c5"));
    EXPECT_EQ(driver.headers.value("content-type"), "application/x-www-form-urlencoded");

    ASSERT_EQ(offers.size(), 1);
    EXPECT_EQ(offers.at(0).at(0).toInt(), 1);
    EXPECT_EQ(offers.at(0).at(1).toString(), QStringLiteral("3.4.0"));
    EXPECT_EQ(offers.at(0).at(2).toString(), QStringLiteral("https://dl.example/Inkora_3.4.0.exe"));
    EXPECT_EQ(offers.at(0).at(3).toString(), QStringLiteral("ok"));
}

TEST_F(UpdateServerTest, PingThatDoesNotSucceedEndsTheCheck)
{
    HttpResponse cut = json(R"({"code":1,"server_time":1})");
    cut.cutAfter = 5;
    const QList<QPair<const char *, HttpResponse>> pings = {
        {"code 0", json(R"({"code":0,"server_time":1700000000123})")},
        {"not JSON", json("<html>busy</html>")},
        {"server error", json(R"({"code":1,"server_time":1})", 500)},
        {"connection cut", cut},
    };
    for (const auto &ping : pings) {
        SCOPED_TRACE(ping.first);
        m_ping = ping.second;
        enable();
        const int before = m_server.requestCount();
        UpdateServer update(m_install.path());
        QSignalSpy offers(&update, &UpdateServer::GetNewDriver);
        QSignalSpy ended(&update, &UpdateServer::UpdateCheckEnded);
        ASSERT_TRUE(ended.wait(10000));
        EXPECT_EQ(m_server.requestCount() - before, 1);
        EXPECT_EQ(update.findChildren<QNetworkAccessManager *>().size(), 1); // the ping's only
        EXPECT_TRUE(offers.isEmpty());
    }
}

TEST_F(UpdateServerTest, DriverReplyCodeDecidesTheOfferEvenWithoutData)
{
    struct Case {
        const char *body;
        int offers;
    };
    const Case cases[] = {
        {R"({"code":1,"message":"none"})", 1}, // no "data": still reported, with empty fields
        {R"({"code":0,"message":"none","data":{"version":"9.9.9"}})", 0},
        {"garbage", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        m_driver = json(c.body);
        enable();
        UpdateServer update(m_install.path());
        QSignalSpy offers(&update, &UpdateServer::GetNewDriver);
        QSignalSpy ended(&update, &UpdateServer::UpdateCheckEnded);
        ASSERT_TRUE(ended.wait(10000));
        ASSERT_EQ(offers.size(), c.offers);
        if (c.offers == 1) {
            EXPECT_EQ(offers.at(0).at(0).toInt(), 1);
            EXPECT_TRUE(offers.at(0).at(1).toString().isEmpty());
            EXPECT_TRUE(offers.at(0).at(2).toString().isEmpty());
            EXPECT_EQ(offers.at(0).at(3).toString(), QStringLiteral("none"));
        }
    }
}

TEST_F(UpdateServerTest, RefusedOrSilentServiceEndsTheCheckWithoutAnOffer)
{
    {
        SCOPED_TRACE("connection refused");
        // The comment keeps this file's size apart from the next one's: settings files
        // of the same size and time are taken from the process's cache.
        writeDataConfig(m_install.path(), "[config]\n; nothing listens here\nCheckUpdate=true\nUpdateHost="
                                              + ClosedPortUrl() + "\nUpdateKey=" + kKey + "\n");
        UpdateServer update(m_install.path());
        QSignalSpy offers(&update, &UpdateServer::GetNewDriver);
        QSignalSpy ended(&update, &UpdateServer::UpdateCheckEnded);
        ASSERT_TRUE(update.isEnabled());
        ASSERT_TRUE(ended.wait(10000));
        EXPECT_EQ(ended.size(), 1);
        EXPECT_TRUE(offers.isEmpty());
    }
    {
        // The ping is answered, the driver request never is: the request's own time
        // limit ends the check (the program never waits on it).
        SCOPED_TRACE("silent driver request");
        m_driver.hang = true;
        enable();
        UpdateServer update(m_install.path());
        QSignalSpy offers(&update, &UpdateServer::GetNewDriver);
        QSignalSpy ended(&update, &UpdateServer::UpdateCheckEnded);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ended.isEmpty(); }, 40000));
        EXPECT_EQ(ended.size(), 1);
        EXPECT_TRUE(offers.isEmpty());
        ASSERT_EQ(m_server.requestCount(), 2);
        EXPECT_TRUE(m_server.requests().last().target.startsWith("/api/getlastdriver"));
    }
}

TEST(UpdateVersion, NewerThanTheInstalledDriver)
{
    EXPECT_EQ(UpdateServer::InstalledDriverVersion(), QLatin1String(ProgramVersion()));
    const QString installed = QStringLiteral("3.3.6");
    for (const char *newer : {"3.3.7", "3.4", "3.3.6.1", "3.3.6-2", "3.3.10", "4.0.0", "3.3.7-1"})
        EXPECT_TRUE(UpdateServer::IsNewer(QLatin1String(newer), installed)) << newer;
    // "" is what a reply without "data" offers. "3.3.5-9" is an older build of an older
    // version, however many pieces it has.
    for (const char *older : {"3.3.6", "3.3.5", "3.2.9", "2.9.9.9", "3.3.5-9", "", "3.3"})
        EXPECT_FALSE(UpdateServer::IsNewer(QLatin1String(older), installed)) << older;
    EXPECT_FALSE(UpdateServer::IsNewer(QStringLiteral("3.3.6"), QStringLiteral("3.3.6-1")));
    EXPECT_TRUE(UpdateServer::IsNewer(QStringLiteral("3.3.6-2"), QStringLiteral("3.3.6-1")));
}

TEST(UpdateVersion, RedPointOnlyForANewerDriverWhileTheCheckIsOn)
{
    const QString link = QStringLiteral("https://dl.example/Inkora_3.4.exe");
    QPushButton button;
    EXPECT_TRUE(ApplyNewDriverOffer(&button, true, QStringLiteral("3.4"), link));
    EXPECT_EQ(button.property("redPoint").toString(), QStringLiteral("1"));
    EXPECT_TRUE(button.styleSheet().contains(QStringLiteral(":/image/Res/btn_setting_r.png")));

    EXPECT_FALSE(ApplyNewDriverOffer(&button, true, QStringLiteral("3.3.6"), link));
    EXPECT_EQ(button.property("redPoint").toString(), QStringLiteral("0"));
    EXPECT_TRUE(button.styleSheet().isEmpty());

    EXPECT_TRUE(ApplyNewDriverOffer(&button, false, QStringLiteral("3.4"), link));
    EXPECT_EQ(button.property("redPoint").toString(), QStringLiteral("0"));
}

TEST(UpdateVersion, NewerDriverWithoutAFetchableLinkIsNoOffer)
{
    // The service's reply decides the link: only an absolute web address is offered.
    QPushButton button;
    for (const char *bad : {"", "   ", "dl.example/x.exe", "/x.exe", "ftp://dl.example/x.exe", "file:///etc/passwd",
                            "javascript:alert(1)", "http://", "https:///x.exe", "http://exa mple/x"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(UpdateServer::IsDownloadLink(QLatin1String(bad)));
        EXPECT_FALSE(ApplyNewDriverOffer(&button, true, QStringLiteral("9.9.9"), QLatin1String(bad)));
        EXPECT_EQ(button.property("redPoint").toString(), QStringLiteral("0"));
    }
    for (const char *good : {"http://dl.example/x.exe", "https://dl.example:8443/a/b.exe?x=1", " https://h/x "}) {
        SCOPED_TRACE(good);
        EXPECT_TRUE(UpdateServer::IsDownloadLink(QLatin1String(good)));
        EXPECT_TRUE(ApplyNewDriverOffer(&button, true, QStringLiteral("9.9.9"), QLatin1String(good)));
    }
}

} // namespace

// The user's request for the update: only an offer from a finished check opens the
// dialog; anything else is said in plain words, and asking again after a check without
// an offer checks again.
TEST_F(UpdateServerTest, RequestOpensOnlyAFinishedChecksOffer)
{
    {
        UpdateServer off(m_install.path()); // no "/dataconfig.ini"
        UpdateOffer offer(&off, nullptr, nullptr, nullptr);
        offer.Request();
        EXPECT_EQ(offer.dialog(), nullptr);
        EXPECT_TRUE(offer.noteText().contains(QStringLiteral("switched off")));
        EXPECT_EQ(m_server.requestCount(), 0);
    }

    const HttpResponse goodPing = m_ping;
    const HttpResponse goodDriver = m_driver;
    m_driver = json(R"({"code":1,"message":"ok","data":{"version":"3.3.6","download_link":"https://dl.example/a.exe"}})");
    enable();
    UpdateServer update(m_install.path());
    UpdateOffer offer(&update, nullptr, nullptr, nullptr);
    QSignalSpy ended(&update, &UpdateServer::UpdateCheckEnded);
    offer.Request(); // while the start-up check still runs
    EXPECT_EQ(offer.noteText(), QStringLiteral("Checking for a newer driver…"));
    EXPECT_EQ(offer.dialog(), nullptr);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(offer.noteText(), QStringLiteral("Driver 3.3.6 is the newest."));
    EXPECT_EQ(m_server.requestCount(), 2);

    struct Step {
        const char *name;
        HttpResponse ping, driver;
        const char *note;
    };
    const Step steps[] = {
        {"newer without a link", goodPing,
         json(R"({"code":1,"message":"ok","data":{"version":"3.4.0","download_link":""}})"), "no download address"},
        {"refused", json(R"({"code":0,"server_time":1})"), goodDriver, "refused the request"},
        {"unreadable", goodPing, json("<html>busy</html>"), "cannot be read"},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        m_ping = step.ping;
        m_driver = step.driver;
        offer.Request();
        ASSERT_TRUE(ended.wait(10000));
        EXPECT_TRUE(offer.noteText().contains(QLatin1String(step.note))) << offer.noteText().toStdString();
        EXPECT_EQ(offer.dialog(), nullptr);
    }

    m_ping = goodPing;
    m_driver = goodDriver;
    offer.Request();
    ASSERT_TRUE(ended.wait(10000));
    ASSERT_NE(offer.dialog(), nullptr);
    EXPECT_EQ(offer.dialog()->downloadLink(), QStringLiteral("https://dl.example/Inkora_3.4.0.exe"));
    EXPECT_TRUE(offer.noteText().isEmpty());
    // The offer stands: asking again shows it without a new check.
    const int requests = m_server.requestCount();
    offer.Request();
    EXPECT_EQ(m_server.requestCount(), requests);
    EXPECT_FALSE(update.isRunning());
}
