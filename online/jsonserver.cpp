#include "online/jsonserver.h"

#include "online/jsonserveraction.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QThread>

JsonServer::JsonServer(const QString &installFolder, const QString &dataFolder, const QString &language,
                       QObject *parent)
    : QObject(parent), m_config(DataConfig::Read(installFolder)), m_strDataFolder(dataFolder),
      m_strLanguage(language)
{
    if (!m_config.bInstalled)
        return;
    const QString userPath = m_strDataFolder + QStringLiteral("/dataconfig.ini");
    if (!QFileInfo::exists(userPath)) {
        QDir().mkpath(m_strDataFolder);
        if (!QFile::copy(DataConfig::FilePath(installFolder), userPath))
            qWarning().noquote() << "Cannot copy dataconfig.ini to" << userPath;
    }
    m_pUserSettings = std::make_unique<QSettings>(userPath, QSettings::IniFormat);
    m_pUserSettings->setIniCodec("UTF-8");
    if (m_config.strCollectionUrl.isEmpty())
        qInfo() << "No collection URL in dataconfig.ini: usage records are not collected";
    SetEnabled(m_pUserSettings->value(QStringLiteral("config/Data"), false).toBool());
}

JsonServer::~JsonServer()
{
    ClearUsageRecordSink(this);
    StopWorker(true);
}

bool JsonServer::isCollecting() const
{
    return m_config.bInstalled && m_bEnabled && !m_config.strCollectionUrl.isEmpty()
        && m_strLanguage == QLatin1String("ChineseSimplified");
}

void JsonServer::SetEnabled(bool enabled)
{
    m_bEnabled = enabled;
    if (m_pUserSettings) {
        m_pUserSettings->setValue(QStringLiteral("config/Data"), enabled);
        m_pUserSettings->sync();
    }
    UpdateWorker();
}

void JsonServer::SetLanguage(const QString &name)
{
    m_strLanguage = name;
    UpdateWorker();
}

void JsonServer::AddRecord(const QString &record)
{
    std::lock_guard<std::mutex> lock(m_workerMutex);
    if (m_pWorker)
        m_pWorker->Enqueue(record);
}

void JsonServer::UpdateWorker()
{
    const bool want = isCollecting();
    if (want && !m_pWorker)
        StartWorker();
    else if (!want && m_pWorker)
        StopWorker(false); // switched off: what waits is dropped
}

void JsonServer::StartWorker()
{
    qInfo() << "JsonServer thread" << QThread::currentThread();
    auto *worker = new JsonServerAction(m_config.strCollectionUrl, m_strDataFolder);
    m_pThread = new QThread;
    worker->moveToThread(m_pThread);
    connect(m_pThread, &QThread::started, worker, &JsonServerAction::RunLoop);
    // Called on the worker thread once the loop is over; quit() is thread-safe.
    QThread *thread = m_pThread;
    connect(worker, &JsonServerAction::LoopEnded, worker, [thread] { thread->quit(); }, Qt::DirectConnection);
    connect(worker, &JsonServerAction::PostFinished, this, &JsonServer::PostFinished, Qt::QueuedConnection);
    {
        std::lock_guard<std::mutex> lock(m_workerMutex);
        m_pWorker = worker;
    }
    m_pThread->start(QThread::InheritPriority);
}

void JsonServer::StopWorker(bool keepQueued)
{
    JsonServerAction *worker = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_workerMutex);
        worker = m_pWorker;
        m_pWorker = nullptr;
    }
    if (!worker)
        return;
    // Stop cuts a post in flight short, so this wait never lasts a network timeout. The
    // thread quits when the loop has ended (never before: quitting would also end the
    // loop's wait for a reply, and that post would pass for delivered).
    worker->Stop(keepQueued);
    m_pThread->wait();
    // Taking the worker's lock once more orders its last writes before the delete.
    if (!worker->HasEnded())
        qWarning() << "Usage upload thread ended without its loop";
    delete worker;
    delete m_pThread;
    m_pThread = nullptr;
}
