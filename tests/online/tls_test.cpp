// The services as installed talk https: the same flows over TLS, with the test
// server's own certificate trusted for the length of the test.
#include "httptestserver.h"
#include "base/usagerecord.h"
#include "online/jsonserver.h"
#include "online/updateserver.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray testFile(const char *name)
{
    QFile file(qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/tests/online/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class TlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "Qt has no TLS backend here";
        const QSslCertificate certificate(testFile("testserver.crt"), QSsl::Pem);
        const QSslKey key(testFile("testserver.key"), QSsl::Rsa, QSsl::Pem);
        ASSERT_FALSE(certificate.isNull());
        ASSERT_FALSE(key.isNull());
        m_server.useTls(certificate, key);
        ASSERT_TRUE(m_server.start());

        m_saved = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = m_saved;
        trusting.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(trusting);
    }

    void TearDown() override { QSslConfiguration::setDefaultConfiguration(m_saved); }

    static HttpResponse reply(const HttpRequest &request)
    {
        HttpResponse response;
        if (request.target == "/api/ping")
            response.body = R"({"code":1,"server_time":42})";
        else if (request.target.startsWith("/api/getlastdriver"))
            response.body = R"({"code":1,"message":"ok","data":{"version":"3.4.0","download_link":"x"}})";
        else if (request.target != "/receive/data")
            response.status = 404;
        return response;
    }

    HttpTestServer m_server{&TlsTest::reply};
    QSslConfiguration m_saved;
    QTemporaryDir m_install;
    QTemporaryDir m_data;
};

TEST_F(TlsTest, UpdateCheckAndUploadOverHttps)
{
    ASSERT_TRUE(m_server.baseUrl().startsWith(QStringLiteral("https://")));
    QFile config(m_install.path() + QStringLiteral("/dataconfig.ini"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[config]\nCheckUpdate=true\nData=true\nUpdateHost=" + m_server.baseUrl().toLatin1()
                 + "\nUpdateKey=abcdefghij12345678901234\nURL=" + m_server.baseUrl().toLatin1() + "/receive/data\n");
    config.close();

    UpdateServer update(m_install.path());
    QSignalSpy offers(&update, &UpdateServer::GetNewDriver);
    QSignalSpy ended(&update, &UpdateServer::UpdateCheckEnded);
    ASSERT_TRUE(ended.wait(20000));
    ASSERT_EQ(offers.size(), 1);
    EXPECT_EQ(offers.at(0).at(1).toString(), QStringLiteral("3.4.0"));

    JsonServer upload(m_install.path(), m_data.path(), QStringLiteral("ChineseSimplified"));
    QSignalSpy posted(&upload, &JsonServer::PostFinished);
    upload.AddRecord(UsageRecordText(QStringLiteral("OpenDriver"), QStringLiteral("1")));
    ASSERT_TRUE(posted.wait(20000));
    EXPECT_TRUE(posted.at(0).at(0).toBool());
    EXPECT_EQ(m_server.requestCount(), 3);
}

} // namespace
