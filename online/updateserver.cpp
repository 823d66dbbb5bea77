#include "online/updateserver.h"

#include "base/programstart.h"
#include "online/dataconfig.h"

#include <QDebug>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>
#include <QUrl>

#include <algorithm>

namespace {

// Qt 5.15 has no transfer timeout by default; a silent service must not keep a request
// open for the whole run.
constexpr int kRequestTimeoutMs = 15000;

int partValue(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : 0;
}

// -1, 0 or 1 as the dash-separated pieces of a third version part compare: the first
// differing piece decides; with all shared pieces equal, more pieces are newer.
int comparePieces(const QString &newPart, const QString &currentPart)
{
    const QStringList newPieces = newPart.split(QLatin1Char('-'));
    const QStringList currentPieces = currentPart.split(QLatin1Char('-'));
    const int shared = std::min(newPieces.size(), currentPieces.size());
    for (int i = 0; i < shared; ++i) {
        const int n = partValue(newPieces.at(i));
        const int c = partValue(currentPieces.at(i));
        if (n != c)
            return n > c ? 1 : -1;
    }
    if (newPieces.size() != currentPieces.size())
        return newPieces.size() > currentPieces.size() ? 1 : -1;
    return 0;
}

QString httpStatus(QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() ? QString::number(status.toInt()) : QString();
}

} // namespace

const QString &UpdateServer::InstalledDriverVersion()
{
    // The project's version, set in one place for the programs and the packages.
    static const QString version = QString::fromLatin1(ProgramVersion());
    return version;
}

UpdateServer::UpdateServer(const QString &installFolder, QObject *parent, StartCheck start) : QObject(parent)
{
    const DataConfig config = DataConfig::Read(installFolder);
    m_strHost = config.strUpdateHost;
    m_strKey = config.strUpdateKey;
    m_bEnabled = config.bCheckUpdate && !m_strHost.isEmpty() && !m_strKey.isEmpty();
    if (config.bCheckUpdate && !m_bEnabled)
        qInfo() << "Update check switched on without \"UpdateHost\" and \"UpdateKey\": check off";
    if (m_bEnabled && start == CheckAtOnce)
        startPing();
}

UpdateServer::~UpdateServer() = default;

bool UpdateServer::startCheck()
{
    if (!m_bEnabled || m_bRunning)
        return false;
    startPing();
    return true;
}

void UpdateServer::endCheck(CheckFailure failure, const QString &detail)
{
    m_bRunning = false;
    m_nFailure = failure;
    m_strFailureDetail = detail;
    emit UpdateCheckEnded();
}

void UpdateServer::startPing()
{
    m_bRunning = true;
    m_nFailure = CheckOk;
    m_strFailureDetail.clear();
    if (!m_pPingManager) {
        m_pPingManager = new QNetworkAccessManager(this);
        connect(m_pPingManager, &QNetworkAccessManager::finished, this, &UpdateServer::on_PingFinished);
    }
    QNetworkRequest request(QUrl(m_strHost + QStringLiteral("/api/ping")));
    request.setTransferTimeout(kRequestTimeoutMs);
    m_nMode = 2;
    m_pPingManager->get(request);
}

bool UpdateServer::IsNewer(const QString &newVersion, const QString &currentVersion)
{
    const QStringList n = newVersion.trimmed().split(QLatin1Char('.'));
    const QStringList c = currentVersion.trimmed().split(QLatin1Char('.'));
    const int count = std::min(n.size(), c.size());
    for (int j = 0; j < count; ++j) {
        if (j == 2) {
            // The third part may be "6-2": compared piece by piece, so "3.3.6-2" is newer
            // than "3.3.6" but "3.3.5-9" is not.
            const int order = comparePieces(n.at(j), c.at(j));
            if (order != 0)
                return order > 0;
            continue;
        }
        const int newValue = partValue(n.at(j));
        const int currentValue = partValue(c.at(j));
        if (currentValue < newValue)
            return true;
        if (currentValue > newValue)
            return false;
    }
    return c.size() < n.size();
}

bool UpdateServer::IsDownloadLink(const QString &link)
{
    const QUrl url(link.trimmed(), QUrl::StrictMode);
    return url.isValid() && !url.isRelative() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QString UpdateServer::Signature(const QString &key, const QString &serverTime)
{
    const QByteArray inner =
        QCryptographicHash::hash(key.toLatin1(), QCryptographicHash::Md5).toHex();
    const QByteArray sign =
        QCryptographicHash::hash(inner + serverTime.toLatin1(), QCryptographicHash::Md5).toHex();
    qDebug() << "md5Key: " << inner << "MD5" << sign;
    return QString::fromLatin1(sign);
}

void UpdateServer::on_PingFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    const QString status = httpStatus(reply);
    if (!status.isEmpty())
        qDebug().noquote() << "status code=" << status;
    if (reply->error() != QNetworkReply::NoError) {
        qDebug().noquote() << "Failed: " << reply->errorString();
        endCheck(CheckNetworkError, reply->errorString());
        return;
    }

    const QByteArray body = reply->readAll();
    qDebug().noquote() << QString::fromUtf8(body);
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isNull()) {
        qDebug() << "pingJsonisNull";
        endCheck(CheckUnreadableReply);
        return;
    }
    const QJsonObject object = document.object();
    const int code = object.value(QStringLiteral("code")).toInt();
    // The service's clock, in whatever unit it counts; only its decimal text matters.
    const QString serverTime =
        QString::number(object.value(QStringLiteral("server_time")).toVariant().toLongLong());

    if (code != 1 || m_nMode != 2) {
        endCheck(code != 1 ? CheckRefused : CheckOk);
        return;
    }
    m_nMode = 0; // one driver request per check

    const QString url = m_strHost + QStringLiteral("/api/getlastdriver")
        + QStringLiteral("?driver_code=NIBLO_A&system=windows&server_time=") + serverTime
        + QStringLiteral("&sign=") + Signature(m_strKey, serverTime);
    qDebug().noquote() << "Get  lastdriver: " << url;
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(kRequestTimeoutMs);
    if (!m_pDriverManager) {
        m_pDriverManager = new QNetworkAccessManager(this);
        connect(m_pDriverManager, &QNetworkAccessManager::finished, this, &UpdateServer::on_GetDriverFinished);
    }
    m_pDriverManager->get(request);
}

void UpdateServer::on_GetDriverFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    const QString status = httpStatus(reply);
    if (!status.isEmpty())
        qDebug().noquote() << "on_GetDriverFinished status code=" << status;
    if (reply->error() != QNetworkReply::NoError) {
        qDebug().noquote() << "on_GetDriverFinished Failed: " << reply->errorString();
        endCheck(CheckNetworkError, reply->errorString());
        return;
    }

    const QByteArray body = reply->readAll();
    qDebug().noquote() << QString::fromUtf8(body);
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonObject object = document.object();
    if (!document.isObject()) {
        endCheck(CheckUnreadableReply);
        return;
    }
    if (object.value(QStringLiteral("code")).toInt() == 1) {
        const QString message = object.value(QStringLiteral("message")).toString();
        const QJsonObject data = object.value(QStringLiteral("data")).toObject();
        const QString driverCode = data.value(QStringLiteral("driver_code")).toString();
        const QString system = data.value(QStringLiteral("system")).toString();
        const QString version = data.value(QStringLiteral("version")).toString();
        const QString link = data.value(QStringLiteral("download_link")).toString();
        qDebug().noquote() << "latest driver" << driverCode << system << version << link;
        emit GetNewDriver(1, version, link, message);
        endCheck(CheckOk);
        return;
    }
    endCheck(CheckRefused);
}
