#pragma once
// The device transfer dialog: sends one application profile to a tablet that stores a
// profile on board, or fetches the stored one, with a progress bar. Modal; it follows
// the tablet's PostDeviceOperatorMsg(code, value) reports until it is closed.

#include <QDialog>
#include <QPointer>
#include <QString>

class CTablet;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTimer;

class ImportSettingDialog : public QDialog {
    Q_OBJECT

public:
    enum Direction { FetchFromDevice, SendToDevice };
    using TextLookup = std::function<QString(const QString &key, const QString &fallback)>;

    // appPath names the application profile to send (empty: the common profile).
    ImportSettingDialog(CTablet *tablet, Direction direction, const QString &appPath, TextLookup text,
                        QWidget *parent = nullptr);
    ~ImportSettingDialog() override;

    // Starts the transfer (also what Retry does).
    void Start();
    bool succeeded() const { return m_bSucceeded; }

    // Pause between two chunks, in ms (the device needs it to take them; tests shorten it).
    void setChunkPause(int ms) { m_nChunkPauseMs = ms; }
    // How long the device may stay silent during a transfer before it counts as failed
    // (a tablet unplugged half way never answers again).
    void setReplyTimeout(int ms);

    // Texts shown now, for tests and the log.
    QString statusText() const;
    int progressValue() const;

signals:
    void HideDialog();
    // The chunk handed to the tablet: index and bytes (always 29).
    void ChunkSent(int index, QByteArray chunk);

public slots:
    void ImportSaveProcessBar(int code, int value);

private:
    void SendPreparedBytes();
    void ShowResult(bool ok, const QString &text);
    void Pause(int ms);
    void OnReplyTimeout();

    QPointer<CTablet> m_pTablet;
    Direction m_direction;
    QString m_strAppPath;
    TextLookup m_text;
    bool m_bSucceeded = false;
    bool m_bSending = false;
    bool m_bSpecificFailure = false; // code 9 or 10 seen in this run
    int m_nChunkPauseMs = 50;
    QTimer *m_pReplyTimer = nullptr; // child; runs while an answer of the device is due

    QStackedWidget *m_pPages = nullptr;
    QLabel *m_pPercent = nullptr;
    QLabel *m_pResult = nullptr;
    QLabel *m_pPicture = nullptr;
    QProgressBar *m_pBar = nullptr;
    QPushButton *m_pRetry = nullptr;
    QPushButton *m_pClose = nullptr;
};
