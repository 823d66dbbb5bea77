#pragma once
// The main window. It exists for the whole run: its constructor performs the start-up
// steps (per-user files, language), closing it only hides it into the tray, and its
// destructor is the program's shutdown. For now it only says that no tablet is
// connected; the settings pages come with the device layer.

#include <QMainWindow>
#include <QString>

#include <memory>

class CTablet;
class HidBackend;
class HidMonitor;
class LocaleBackend;
class IpcBackend;
class PowerMonitor;
class SharedBlock;
class WindowBackend;
class WindowEndpoint;
class QAction;
class QComboBox;
class QLabel;
class QStackedWidget;
class TabletDiscovery;
class QSettings;
class QSystemTrayIcon;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // installFolder holds "/config/" with the default per-user files; the data folder is
    // Paths::dataFolder(). locale gives the user's UI language.
    MainWindow(const QString &installFolder, const LocaleBackend &locale, QWidget *parent = nullptr);
    // hid: the HID backend the tablets are found on (simulated tablets in tests and with
    // --simulate); null: the one the start-up options choose.
    MainWindow(const QString &installFolder, const LocaleBackend &locale, std::unique_ptr<HidBackend> hid,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    QString dataFolder() const { return m_strDataFolder; }
    QString configPath() const { return m_strConfigPath; }
    // Version of the installed default profile (shown by the diagnosis dialog).
    QString installedProfileVersion() const { return m_strInstalledVersion; }
    // Result code of the start-up version check: 0 matched, else 101..105.
    int profileCheckCode() const { return m_nProfileCheckCode; }

    // Name table ("Common/PID_xxxx", "Dongle/PID_xxxx") and language texts; the
    // language settings keep the chosen language's group open for the window's life.
    QSettings *nameSettings() const { return m_pNameSettings.get(); }
    QSettings *languageSettings() const { return m_pLanguageSettings.get(); }
    QString languageGroup() const { return m_strLanguageGroup; }
    // Text of key in the chosen language, or fallback (built-in English).
    QString languageText(const QString &key, const QString &fallback) const;

    bool startedMinimised() const { return m_bStartedMinimised; }
    void setStartedMinimised(bool minimised) { m_bStartedMinimised = minimised; }

    // The tray icon and its menu; made once, later calls do nothing.
    void createTrayIcon();
    QSystemTrayIcon *trayIcon() const { return m_pTrayIcon; }
    // The tray menu's entries (null before createTrayIcon). The setting and update
    // entries are for the dialogs that hang on them.
    QAction *showAction() const { return m_pShowAction; }
    QAction *quitAction() const { return m_pQuitAction; }
    QAction *settingAction() const { return m_pSettingAction; }
    QAction *updateAction() const { return m_pUpdateAction; }

    QString noDeviceText() const;

    // Device start-up: false when the HID library or the notices could not start (the
    // program goes on without hot-plug).
    bool deviceStartupOk() const { return m_bDeviceStartupOk; }
    TabletDiscovery *discovery() const { return m_pDiscovery.get(); }
    // The block the UI service reads the screen from and writes its results to.
    SharedBlock *sharedBlock() const { return m_pSharedBlock; }
    // Names in the device selector, in its order.
    QStringList deviceSelectorNames() const;

    // Settings files without the file dialogs (the slots below ask for the name).
    // Export: true when the copy is complete. Import: 0, or the code the user is shown.
    bool exportConfigTo(const QString &target);
    int importConfigFrom(const QString &file);
    // Opens the device transfer dialog for the selected tablet (modal).
    void openDeviceTransfer(bool sendToDevice);
    // The tablet of the device selector's current entry, or null.
    CTablet *currentTablet() const;

signals:
    // A usage record named after the control or action that made it.
    void UsageRecord(QString name);

public slots:
    void OnShowDriver();
    void OnQuiqDriver();
    void onExportConfigueFile();
    void onImportConfigueFile();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void OnTabletConnected(CTablet *tablet, int slot);
    void OnTabletDisconnecting(CTablet *tablet, int slot);
    void RefreshDeviceSelector();

private:
    void buildWindow();
    void startDevices(std::unique_ptr<HidBackend> hid);
    bool createSharedBlock();

    QString m_strInstallFolder;
    QString m_strDataFolder;
    QString m_strConfigPath;
    QString m_strInstalledVersion;
    int m_nProfileCheckCode = 0;
    QString m_strLanguageGroup;
    std::unique_ptr<QSettings> m_pNameSettings;
    std::unique_ptr<QSettings> m_pLanguageSettings;
    bool m_bStartedMinimised = false;
    QLabel *m_pNoDeviceLabel = nullptr;       // child widget
    QStackedWidget *m_pPages = nullptr;       // child widget: no-device page, device page
    QComboBox *m_pDeviceSelector = nullptr;   // child widget
    QAction *m_pSendProfileAction = nullptr;  // child of the settings menu
    QAction *m_pFetchProfileAction = nullptr;

    // Device layer. Declared last: destroyed first, so every tablet is closed (its
    // reading thread stopped) before the rest of the window goes.
    std::unique_ptr<HidBackend> m_pHid;
    std::unique_ptr<PowerMonitor> m_pPower;
    std::unique_ptr<TabletDiscovery> m_pDiscovery;
    std::unique_ptr<HidMonitor> m_pHidMonitor;
    bool m_bDeviceStartupOk = false;

    // The UI service link: the shared block and this program's message window.
    std::unique_ptr<WindowBackend> m_pWindowBackend;
    std::unique_ptr<IpcBackend> m_pBlockIpc;
    SharedBlock *m_pSharedBlock = nullptr; // child object
    std::unique_ptr<WindowEndpoint> m_pMessageWindow;
    QSystemTrayIcon *m_pTrayIcon = nullptr;   // child object
    QAction *m_pShowAction = nullptr;         // children of the tray menu
    QAction *m_pQuitAction = nullptr;
    QAction *m_pSettingAction = nullptr;
    QAction *m_pUpdateAction = nullptr;
};
