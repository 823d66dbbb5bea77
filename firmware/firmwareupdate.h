#pragma once
// The updater's window "Firmware Update": waits for the tablet model that needs the new
// firmware, asks the user to confirm, restarts the tablet into its loader, sends the
// image and shows progress and the result (1 done, 98 image refused, 99 failed after
// the erase; 99 changes nothing on screen).
//
// Threads and ownership:
//  - GUI thread: device arrivals and removals (passed on from the notification thread),
//    the buttons, the results, the progress bar, and every member not named below.
//  - The notification thread: QueueNotice, under m_noticeLock.
//  - The open device's reading thread: ReceivtabletData and the whole image stream.
//    It reads m_pActiveDevice (atomic; the GUI thread clears it before closing the
//    device, and closing waits for the reading thread), the erased/done flags (atomics)
//    and the image under m_imageLock.

#include "firmware/deviceinterface.h"
#include "firmware/updatedevice.h"

#include <QByteArray>
#include <QMutex>
#include <QSettings>
#include <QString>
#include <QWidget>

#include <QVector>

#include <atomic>
#include <memory>
#include <mutex>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class WindowBackend;
class WindowEndpoint;

class FirmwareUpdate : public QWidget {
    Q_OBJECT

public:
    static constexpr char kWindowClass[] = "Qt5QWindowIcon";
    static constexpr char kWindowTitle[] = "Firmware Update";
    static constexpr char kImagePath[] = "/bin/kpx2000a_a220422.bin";

    // programFolder holds the image; dataFolder the main program's "language.ini".
    // simulatedLoader: the tablet is simulated, so the generated placeholder image may
    // be sent. window (may be null) registers the window so the main program can find
    // and restore it.
    FirmwareUpdate(const QString &programFolder, const QString &dataFolder, const QString &languageGroup,
                   bool simulatedLoader, WindowBackend *window = nullptr, QWidget *parent = nullptr);
    ~FirmwareUpdate() override;

    // Starts the device interface and reports every present tablet as arrived.
    bool StartDevices();

    // Device notices, on the GUI thread.
    void DeviceArrived(const QString &path);
    void DeviceRemoved(const QString &path);
    // From any thread: the notice is handled on the GUI thread, in order.
    void QueueNotice(const QString &path, bool arrived);

    // What tests look at.
    bool confirmEnabled() const;
    int pageIndex() const;
    int progressValue() const;
    bool progressVisible() const;
    QString tipsText() const;
    QString resultText() const;
    QString versionsText() const; // old and new firmware after a finished update
    bool closeVisible() const;
    bool deviceOpen() const { return m_pDevice != nullptr; }

signals:
    void showUpdate(bool show);
    void UpdataResult(int code);

public slots:
    void OnShowUpdate(bool show);
    void OnUpdataResult(int code);
    void ReceivtabletData(quint8 *data, int length);
    void OnUpdateFirmwareProgress(int percent);
    void on_pushButton_confirm_clicked();
    void on_pushButton_cancel_clicked();
    void on_pushButton_close_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void HandleNotices();

private:
    enum Entry { NoEntry = -1, TabletEntry = 0, LoaderEntry = 1 };
    static Entry EntryOf(const QString &path);

    void BuildWindow();
    void LoadTexts();
    QString Text(const char *key) const; // empty when the language file has none
    QString TipsWithName() const;
    bool OpenDevice(const QString &path);
    void CloseDevice();
    void ConnectWindowSignals();
    void ConnectDeviceSignals();
    void StoreFacts(const QString &version, int date);
    QString ImagePath() const;
    bool ReadImage(const QString &path, QByteArray *image, int *code);
    // Empty when the installed image can be sent; otherwise what to tell the user.
    QString ImageProblem();
    void ShowVersions();
    void ShowInterrupted();
    void SendStart(const QString &path);
    bool SendImage(UpdateDevice *device);
    void HandleSystemCommand(quint32 message, qint64 wParam);

    const QString m_strProgramFolder;
    const bool m_bSimulatedLoader;
    std::unique_ptr<QSettings> m_pLanguage;

    QStackedWidget *m_pPages = nullptr;
    QLabel *m_pTips = nullptr;
    QWidget *m_pButtonArea = nullptr;
    QPushButton *m_pConfirm = nullptr;
    QPushButton *m_pCancel = nullptr;
    QLabel *m_pUpgrading = nullptr;
    QWidget *m_pProgressArea = nullptr;
    QProgressBar *m_pProgress = nullptr;
    QLabel *m_pUpgradingTips = nullptr;
    QLabel *m_pResult = nullptr;
    QLabel *m_pVersions = nullptr;
    QPushButton *m_pClose = nullptr;
    std::unique_ptr<WindowEndpoint> m_pEndpoint;

    std::unique_ptr<UpdateDevice> m_pDevice;        // the open device; null when none
    std::atomic<UpdateDevice *> m_pActiveDevice{nullptr}; // the same, for the reading thread
    FwDeviceAttribute m_Attribute{};
    QString m_strOldFirmware; // "version date" before the update, as the tablet or the facts said
    QString m_strNewFirmware; // the same once the updated tablet is back
    std::atomic<int> m_bErased{0};
    std::atomic<int> m_bDone{0};
    int m_bOpened = 0;
    int m_bTabletSeen = 0;
    int m_bNeedsUpdate = 0;
    bool m_bConfirmPending = false; // a confirm that has not sent its Start yet
    bool m_bTransferring = false;   // Start sent, no result yet: closing would brick

    struct Notice {
        QString path;
        bool arrived;
    };
    std::mutex m_noticeLock; // guards m_notices
    QVector<Notice> m_notices;

    QMutex m_imageLock; // guards m_image and m_bImageStreamed
    QByteArray m_image; // the bytes whose size and CRC the Start packet announced
    bool m_bImageStreamed = false;
};
