#include "online/jsonserveraction.h"

#include <QDebug>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QSettings>
#include <QTextCodec>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <chrono>

namespace {

constexpr int kPostTimeoutMs = 15000;
constexpr std::chrono::milliseconds kPostPause(10);
// How soon a stop cuts a post in flight short.
constexpr int kStopCheckMs = 50;

// Pending bodies are stored as GBK text. GB18030 writes the same bytes for everything
// GBK can hold and also keeps the characters GBK cannot.
QTextCodec *pendingCodec()
{
    QTextCodec *codec = QTextCodec::codecForName("GB18030");
    return codec ? codec : QTextCodec::codecForName("UTF-8");
}

} // namespace

JsonServerAction::JsonServerAction(const QString &url, const QString &dataFolder, QObject *parent)
    : QObject(parent),
      m_strUrl(url),
      m_strDataPath(dataFolder + QStringLiteral("/data/")),
      m_strPendingPath(m_strDataPath + QStringLiteral("TabletData.txt"))
{
    QDir().mkpath(m_strDataPath);
    m_strMac = ClientId(dataFolder, FirstInterfaceAddress());
}

QString JsonServerAction::BuildBody(const QString &mac, qint64 msecsSinceEpoch, const QString &record)
{
    return QStringLiteral("{\"mac\":\"%1\",\"time\":\"%2\",").arg(mac, QString::number(msecsSinceEpoch))
        + record + QLatin1Char('}');
}

QString JsonServerAction::FirstInterfaceAddress()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack))
            continue;
        const QString address = iface.hardwareAddress();
        if (!address.isEmpty())
            return address;
    }
    return QString();
}

QString JsonServerAction::ClientId(const QString &dataFolder, const QString &interfaceAddress)
{
    if (!interfaceAddress.isEmpty())
        return interfaceAddress;

    const QString dataPath = dataFolder + QStringLiteral("/data/");
    const QString path = dataPath + QStringLiteral("mymac.ini");
    if (QFileInfo::exists(path)) {
        QSettings settings(path, QSettings::IniFormat);
        const QString mac = settings.value(QStringLiteral("Data/mac")).toString();
        if (!mac.isEmpty())
            return mac;
    }

    // Five random pairs and "00": never the address of a real interface we could meet.
    QString mac;
    for (int i = 0; i < 5; ++i)
        mac += QStringLiteral("%1:").arg(QRandomGenerator::global()->bounded(256), 2, 16, QLatin1Char('0'));
    mac += QStringLiteral("00");

    QDir().mkpath(dataPath);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write("[Data]\nmac=" + mac.toLatin1() + '\n');
    else
        qWarning().noquote() << "Cannot write" << path << file.errorString();
    return mac;
}

void JsonServerAction::Enqueue(const QString &record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bRunning)
        return;
    m_queue.append(record);
    m_wake.notify_all();
}

void JsonServerAction::Stop(bool keepQueued)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRunning = false;
    m_bKeepQueued = keepQueued;
    m_wake.notify_all();
}

bool JsonServerAction::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bRunning;
}

bool JsonServerAction::HasEnded() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bLoopEnded;
}

void JsonServerAction::RunLoop()
{
    QNetworkAccessManager manager; // belongs to the worker thread
    for (;;) {
        QString record;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // Enqueue() and Stop() notify: no wake-ups while nothing is recorded.
            m_wake.wait(lock, [this] { return !m_bRunning || !m_queue.isEmpty(); });
            if (!m_bRunning)
                break;
            if (m_queue.isEmpty())
                continue;
            record = m_queue.takeFirst();
        }
        Post(manager, record);
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_bRunning && m_queue.isEmpty())
            m_wake.wait_for(lock, kPostPause);
    }

    QStringList left;
    bool keep = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        left.swap(m_queue);
        keep = m_bKeepQueued;
    }
    if (keep) {
        // Records of the last moments (such as "ExitDriver") go out with the next run.
        for (const QString &record : qAsConst(left))
            KeepBody(BuildBody(m_strMac, QDateTime::currentMSecsSinceEpoch(), record));
    }
    emit LoopEnded();
    // Last: the owner takes this lock before deleting the worker.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bLoopEnded = true;
}

QString JsonServerAction::ReadBacklog() const
{
    QFile file(m_strPendingPath);
    if (file.size() <= 0 || !file.open(QIODevice::ReadOnly))
        return QString();
    return pendingCodec()->toUnicode(file.readAll());
}

void JsonServerAction::Post(QNetworkAccessManager &manager, const QString &record)
{
    const QString body = BuildBody(m_strMac, QDateTime::currentMSecsSinceEpoch(), record);
    m_strLastBody = body;
    m_bBacklogSent = false;
    QString payload = body;
    if (m_bLastOk) {
        const QString backlog = ReadBacklog();
        if (!backlog.isEmpty()) {
            payload = QLatin1Char('[') + backlog + body + QStringLiteral("\n ]");
            m_bBacklogSent = true;
        }
    }

    QNetworkRequest request{QUrl(m_strUrl)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(kPostTimeoutMs);
    QEventLoop loop;
    QNetworkReply *reply = manager.post(request, payload.toUtf8());
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // A stop (program end, collection off) cuts the post short; its body is kept.
    QTimer stopCheck;
    stopCheck.setInterval(kStopCheckMs);
    connect(&stopCheck, &QTimer::timeout, reply, [this, reply] {
        if (!IsRunning())
            reply->abort();
    });
    stopCheck.start();
    if (!IsRunning())
        reply->abort();
    if (!reply->isFinished())
        loop.exec();
    stopCheck.stop();
    if (!reply->isFinished())
        reply->abort(); // the wait ended some other way: not delivered

    const QString answer = reply->isOpen() ? QString::fromUtf8(reply->readAll()) : QString();
    if (reply->error() != QNetworkReply::NoError) {
        // Every failed body is kept; it goes out with the first record after a success.
        KeepBody(m_strLastBody);
        qWarning().noquote() << "on_FinishedSlot server error" << reply->errorString() << answer;
        m_bLastOk = false;
        delete reply;
        emit PostFinished(false);
        return;
    }
    qInfo().noquote() << "on_FinishedSlot" << QThread::currentThread() << answer;
    m_bLastOk = true;
    if (m_bBacklogSent && !QFile::remove(m_strPendingPath))
        qWarning().noquote() << "Cannot delete" << m_strPendingPath;
    delete reply;
    emit PostFinished(true);
}

void JsonServerAction::KeepBody(const QString &body)
{
    QDir().mkpath(m_strDataPath);
    if (QFileInfo(m_strPendingPath).size() > kPendingLimit) {
        qWarning().noquote() << "Pending usage records above 1024 KB dropped";
        QFile::remove(m_strPendingPath);
    }
    QFile file(m_strPendingPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qWarning().noquote() << "Cannot keep usage record in" << m_strPendingPath << file.errorString();
        return;
    }
    file.write(pendingCodec()->fromUnicode(body + QStringLiteral(",\n")));
}
