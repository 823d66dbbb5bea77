#pragma once
// Check for a newer driver package, at start-up and again when the user asks. When
// "/dataconfig.ini" enables it, a ping fetches the service's clock, then the
// latest-driver request goes out signed with MD5(MD5(key) + server time). A reply with code 1 is reported through GetNewDriver;
// the main window decides with IsNewer whether to offer it. Everything runs on the
// GUI thread through asynchronous replies; every request has a transfer timeout.

#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

class UpdateServer : public QObject {
    Q_OBJECT

public:
    // The installed driver version that offers are compared with.
    static const QString &InstalledDriverVersion();

    // installFolder holds "/dataconfig.ini". When the check is on, the ping starts here,
    // or with the first startCheck() (CheckLater: a program that starts it once its
    // event loop runs).
    enum StartCheck { CheckAtOnce, CheckLater };
    explicit UpdateServer(const QString &installFolder, QObject *parent = nullptr, StartCheck start = CheckAtOnce);
    ~UpdateServer() override;

    // The check is on: "CheckUpdate" set and both the host and the signing key given.
    bool isEnabled() const { return m_bEnabled; }
    // A check is waiting for the service's replies.
    bool isRunning() const { return m_bRunning; }
    // How the last check ended (CheckOk also while none has ended yet), and the
    // network's own words for a network failure.
    enum CheckFailure { CheckOk = 0, CheckNetworkError = 1, CheckUnreadableReply = 2, CheckRefused = 3 };
    CheckFailure lastFailure() const { return m_nFailure; }
    QString lastFailureDetail() const { return m_strFailureDetail; }
    // Checks again when the user asks for it (the start-up check runs by itself); false
    // when the check is off or one is still running.
    bool startCheck();

    // new is newer than current. Versions are dot-separated; the third part may carry
    // dash-separated pieces ("3.3.6-2" is newer than "3.3.6"). Parts that are no plain
    // number count as 0.
    static bool IsNewer(const QString &newVersion, const QString &currentVersion);
    // A link the download can fetch: an absolute http or https URL with a host. The
    // service's reply is outside input; anything else is never offered.
    static bool IsDownloadLink(const QString &link);
    // Lower-case hex MD5 of (lower-case hex MD5 of key) + serverTime, all Latin-1.
    static QString Signature(const QString &key, const QString &serverTime);

signals:
    void GetNewDriver(int flag, QString version, QString downloadLink, QString message);
    // The check is over, whatever its outcome (after GetNewDriver when there was one).
    void UpdateCheckEnded();

public slots:
    void on_PingFinished(QNetworkReply *reply);
    void on_GetDriverFinished(QNetworkReply *reply);

private:
    void startPing();
    void endCheck(CheckFailure failure, const QString &detail = QString());

    bool m_bEnabled = false;
    bool m_bRunning = false;
    CheckFailure m_nFailure = CheckOk;
    QString m_strFailureDetail;
    // 2 while a check runs: only then does a ping lead to the driver request.
    int m_nMode = 0;
    QString m_strHost;
    QString m_strKey;
    QNetworkAccessManager *m_pPingManager = nullptr;   // child object
    QNetworkAccessManager *m_pDriverManager = nullptr; // child object
};
