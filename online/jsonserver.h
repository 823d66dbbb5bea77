#pragma once
// The usage upload. Collection runs only when the installation has "/dataconfig.ini",
// the user's own copy of it says "Data" = true, a collection URL is configured and the
// user interface language is Simplified Chinese. While it runs, records go to the
// worker (JsonServerAction) on its own thread; otherwise they are dropped.
//
// The language only gates collection: another language does not change the user's
// stored "Data" choice, so collection resumes when the language returns.
//
// Threads: AddRecord may be called on any thread (the usage-record routing calls it);
// m_pWorker is guarded by m_workerMutex. Everything else belongs to the GUI thread.

#include "base/usagerecord.h"
#include "online/dataconfig.h"

#include <QObject>
#include <QString>

#include <memory>
#include <mutex>

class JsonServerAction;
class QSettings;
class QThread;

class JsonServer : public QObject, public UsageRecordSink {
    Q_OBJECT

public:
    // installFolder holds "/dataconfig.ini"; dataFolder is the per-user folder;
    // language is the language file's group name ("ChineseSimplified", ...).
    JsonServer(const QString &installFolder, const QString &dataFolder, const QString &language,
               QObject *parent = nullptr);
    ~JsonServer() override;

    bool isInstalled() const { return m_config.bInstalled; }
    // The user's choice ("Data").
    bool isEnabled() const { return m_bEnabled; }
    // Records are being collected now.
    bool isCollecting() const;
    QString language() const { return m_strLanguage; }

    // Switches collection on or off and stores "Data" in the per-user file.
    void SetEnabled(bool enabled);
    // Any name other than "ChineseSimplified" stops collection.
    void SetLanguage(const QString &name);
    // Any thread; queued only while collecting.
    void AddRecord(const QString &record) override;

signals:
    // After each post of the worker: ok when the service took it.
    void PostFinished(bool ok);

private:
    void UpdateWorker();
    void StartWorker();
    void StopWorker(bool keepQueued);

    DataConfig m_config;
    QString m_strDataFolder;
    QString m_strLanguage;
    bool m_bEnabled = false;
    std::unique_ptr<QSettings> m_pUserSettings; // per-user "dataconfig.ini"; null when not installed

    mutable std::mutex m_workerMutex;
    JsonServerAction *m_pWorker = nullptr; // owned; lives on m_pThread; guarded by m_workerMutex
    QThread *m_pThread = nullptr;          // owned
};
