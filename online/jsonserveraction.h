#pragma once
// The usage upload's worker. It lives on its own thread and posts one record at a time
// to the collection service, waiting for each reply. A body that could not be delivered
// is appended to the pending file ("TabletData.txt", each body followed by ",\n"); the
// first record after a successful post carries the whole pending file along as a JSON
// array, and the file is deleted once such a post succeeds.
//
// Ownership: m_queue, m_bRunning, m_bKeepQueued and m_bLoopEnded are guarded by m_mutex
// (the GUI thread adds and stops, the worker takes); standard locks, so thread sanitizer
// builds see every ordering. m_strLastBody, m_bLastOk and m_bBacklogSent belong to the
// worker thread. The URL, the folder paths and the client id are set at construction and
// only read afterwards.

#include <QObject>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>

class QNetworkAccessManager;
class QNetworkReply;

class JsonServerAction : public QObject {
    Q_OBJECT

public:
    // The pending file is deleted before an append once it has grown beyond this.
    static constexpr qint64 kPendingLimit = 1024 * 1024;

    // url: the collection endpoint. dataFolder: the per-user folder; the pending file
    // and "mymac.ini" live in its "/data/" folder.
    JsonServerAction(const QString &url, const QString &dataFolder, QObject *parent = nullptr);

    // Any thread.
    void Enqueue(const QString &record);
    // Any thread: the loop ends; a post in flight is cut short and its body kept in the
    // pending file. keepQueued: records still waiting are kept there too (program end)
    // instead of being dropped (collection switched off).
    void Stop(bool keepQueued);
    // The loop has returned (checked by the owner after the thread ended).
    bool HasEnded() const;

    QString Url() const { return m_strUrl; }
    QString Mac() const { return m_strMac; }

    // {"mac":"<mac>","time":"<ms since 1970>",<record>}; the record is JSON already
    // (UsageRecordText escaped its values, backslashes doubled among them).
    static QString BuildBody(const QString &mac, qint64 msecsSinceEpoch, const QString &record);
    // interfaceAddress when given; else "Data"/"mac" of dataFolder's "/data/mymac.ini";
    // else a new id "xx:xx:xx:xx:xx:00" (random lower-case hex), written to that file.
    static QString ClientId(const QString &dataFolder, const QString &interfaceAddress);
    // Hardware address of the first interface that is up, running and not loopback.
    static QString FirstInterfaceAddress();

signals:
    // After each post: ok when the service took it.
    void PostFinished(bool ok);
    void LoopEnded();

public slots:
    // The worker loop; runs on the worker thread until Stop().
    void RunLoop();

private:
    void Post(QNetworkAccessManager &manager, const QString &record);
    void KeepBody(const QString &body);
    QString ReadBacklog() const;
    bool IsRunning() const;

    const QString m_strUrl;
    const QString m_strDataPath;    // ".../data/"
    const QString m_strPendingPath; // ".../data/TabletData.txt"
    QString m_strMac;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QStringList m_queue;
    bool m_bRunning = true;
    bool m_bKeepQueued = false;
    bool m_bLoopEnded = false;

    QString m_strLastBody;
    bool m_bLastOk = true;      // the previous post succeeded
    bool m_bBacklogSent = false; // the last post carried the pending file
};
