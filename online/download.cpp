#include "online/download.h"

#include <QDebug>
#include <QDateTime>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringList>

namespace {

// Aborts after this long without a byte; large packages on slow lines still finish.
constexpr int kTransferTimeoutMs = 60000;
constexpr int kMaxRedirects = 10;

bool isWebScheme(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

} // namespace

Download::Download(QObject *parent) : Download(QDir::homePath() + QStringLiteral("/Downloads/"), parent)
{
}

Download::Download(const QString &targetFolder, QObject *parent)
    : QObject(parent), m_strTargetFolder(targetFolder), m_strFileName(QStringLiteral("Driver_Update.exe"))
{
    if (!m_strTargetFolder.endsWith(QLatin1Char('/')))
        m_strTargetFolder += QLatin1Char('/');
    m_pManager = new QNetworkAccessManager(this);
}

Download::~Download()
{
    abort();
}

QString Download::FileNameForLink(const QString &link)
{
    const QUrl url(link.trimmed());
    // Only the path names the file: neither the host nor a query is a file name.
    const QString path = url.isValid() ? url.path(QUrl::FullyDecoded) : link;
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!parts.isEmpty()) {
        const QString last = parts.last();
        if (last != QLatin1String(".") && last != QLatin1String(".."))
            return last;
    }
    return QStringLiteral("Driver_Update.exe");
}

void Download::startDownload(QUrl url)
{
    abort();
    m_nRedirects = 0;
    m_nStartTime = QDateTime::currentSecsSinceEpoch();
    if (!isWebScheme(url)) {
        fail(FailNotAWebLink, url.toDisplayString());
        return;
    }
    if (!QDir().mkpath(m_strTargetFolder)) {
        fail(FailFolder, m_strTargetFolder);
        return;
    }
    QFile::remove(filePath());
    QFile::remove(partPath());
    m_partFile.setFileName(partPath());
    if (!m_partFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
        fail(FailWrite, partPath() + QStringLiteral(": ") + m_partFile.errorString());
        return;
    }
    qInfo().noquote() << "Download" << url.toDisplayString() << "to" << filePath();
    request(url);
}

bool Download::request(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    // Redirects are followed here, so the ".part" file continues at the new location
    // and a redirect page's own body never lands in it.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_pReply = m_pManager->get(request);
    connect(m_pReply, &QNetworkReply::downloadProgress, this, &Download::updateProgress);
    connect(m_pReply, &QIODevice::readyRead, this, &Download::onReadyRead);
    connect(m_pReply, &QNetworkReply::finished, this, &Download::finished);
    return true;
}

bool Download::isPayload() const
{
    if (!m_pReply || m_pReply->error() != QNetworkReply::NoError)
        return false;
    if (m_pReply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid())
        return false;
    const QVariant status = m_pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return !status.isValid() || (status.toInt() >= 200 && status.toInt() < 300);
}

bool Download::save()
{
    if (!m_pReply)
        return true;
    const QByteArray bytes = m_pReply->readAll();
    if (bytes.isEmpty() || !isPayload())
        return true; // a redirect or error page is not part of the package
    return m_partFile.write(bytes) == bytes.size();
}

void Download::onReadyRead()
{
    if (sender() != m_pReply)
        return;
    if (!save())
        fail(FailWrite, partPath() + QStringLiteral(": ") + m_partFile.errorString());
}

void Download::updateProgress(qint64 received, qint64 total)
{
    if (sender() != m_pReply || !isPayload())
        return;
    // Unknown size (total 0 or -1): no percentage; the transfer still finishes.
    if (total > 0)
        emit updateUIProgress(static_cast<int>(received * 100 / total), QString());
    if (!save())
        fail(FailWrite, partPath() + QStringLiteral(": ") + m_partFile.errorString());
}

void Download::finished()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply || reply != m_pReply) {
        if (reply)
            reply->deleteLater();
        return;
    }

    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (reply->error() == QNetworkReply::NoError && target.isValid()) {
        const QUrl next = reply->url().resolved(target.toUrl());
        dropReply();
        if (++m_nRedirects > kMaxRedirects) {
            fail(FailTooManyRedirects, QString());
            return;
        }
        if (!isWebScheme(next)
            || (reply->url().scheme() == QLatin1String("https") && next.scheme() != QLatin1String("https"))) {
            fail(FailRedirectRefused, next.toDisplayString());
            return;
        }
        qInfo().noquote() << "Download redirected to" << next.toDisplayString();
        request(next);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(FailNetwork, reply->errorString());
        return;
    }
    if (!isPayload()) {
        fail(FailHttpStatus, QString::number(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()));
        return;
    }
    // Bytes that came after the last progress report belong to the package too.
    if (!save() || !m_partFile.flush()) {
        fail(FailWrite, partPath() + QStringLiteral(": ") + m_partFile.errorString());
        return;
    }
    dropReply();
    m_partFile.close();
    QFile::remove(filePath());
    if (!QFile::rename(partPath(), filePath())) {
        fail(FailWrite, filePath());
        return;
    }
    qInfo().noquote() << "Download finished:" << filePath() << "after"
                      << QDateTime::currentSecsSinceEpoch() - m_nStartTime << "s";
    emit downloadFinished(filePath());
}

void Download::dropReply()
{
    if (!m_pReply)
        return;
    QNetworkReply *reply = m_pReply;
    m_pReply = nullptr;
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

void Download::abort()
{
    const bool active = m_pReply || m_partFile.isOpen();
    dropReply();
    if (m_partFile.isOpen()) {
        m_partFile.close();
        QFile::remove(m_partFile.fileName());
    }
    if (active)
        qInfo() << "Download abandoned";
}

void Download::fail(Failure failure, const QString &detail)
{
    qWarning().noquote() << "Download failed:" << int(failure) << detail;
    dropReply();
    if (m_partFile.isOpen()) {
        m_partFile.close();
        QFile::remove(m_partFile.fileName());
    }
    emit downloadFailed(int(failure), detail);
}
