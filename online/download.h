#pragma once
// Transfer of a driver package into the target folder. Bytes go to the file name with
// ".part" appended (opened for append) as they arrive; when the transfer ends well the
// last bytes are written too and the ".part" file is renamed. A redirect continues the
// same ".part" file at the new location; only http and https are followed, never from
// https down to http. A transfer that fails removes the ".part" file and says why.

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

class Download : public QObject {
    Q_OBJECT

public:
    // Target folder: the home folder's "/Downloads/".
    explicit Download(QObject *parent = nullptr);
    // targetFolder ends with "/".
    explicit Download(const QString &targetFolder, QObject *parent = nullptr);
    ~Download() override;

    // The last non-empty part of the link's path, or "Driver_Update.exe" when it has no
    // usable part ("." and ".." are not file names).
    static QString FileNameForLink(const QString &link);

    void setFileName(const QString &name) { m_strFileName = name; }
    QString fileName() const { return m_strFileName; }
    QString targetFolder() const { return m_strTargetFolder; }
    QString filePath() const { return m_strTargetFolder + m_strFileName; }
    QString partPath() const { return filePath() + QStringLiteral(".part"); }
    bool isRunning() const { return !m_pReply.isNull(); }

    // Ends a transfer in progress and removes its ".part" file; no signal.
    void abort();

    // Why a transfer failed; the detail that goes with each is named beside it.
    enum Failure {
        FailNotAWebLink = 1,     // the address as given (may be empty)
        FailFolder = 2,          // the target folder
        FailWrite = 3,           // the file and the system's reason
        FailTooManyRedirects = 4,
        FailRedirectRefused = 5, // the refused address
        FailNetwork = 6,         // the network's own words
        FailHttpStatus = 7,      // the status number
    };

signals:
    void downloadFinished(QString path);
    void updateUIProgress(int percent, QString text);
    // failure: a Failure value.
    void downloadFailed(int failure, QString detail);

public slots:
    // A new transfer: removes an old file of this name and its ".part" file first.
    void startDownload(QUrl url);
    void updateProgress(qint64 received, qint64 total);
    void finished();

private slots:
    void onReadyRead();

private:
    bool request(const QUrl &url);
    // Writes what the current reply has to the ".part" file; false when writing failed.
    bool save();
    bool isPayload() const;
    void fail(Failure failure, const QString &detail);
    void dropReply();

    QString m_strTargetFolder;
    QString m_strFileName;
    QNetworkAccessManager *m_pManager = nullptr; // child object
    QPointer<QNetworkReply> m_pReply;            // child of the manager
    QFile m_partFile;
    qint64 m_nStartTime = 0; // seconds since 1970
    int m_nRedirects = 0;
};
