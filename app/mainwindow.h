#pragma once
// The main window. It exists for the whole run: its constructor performs the start-up
// steps (per-user files, language), closing it only hides it into the tray, and its
// destructor is the program's shutdown. It shows one tablet and one application
// profile at a time: the pages the tablet's capabilities call for, the application bar,
// Confirm (save every tablet's profiles) and Cancel (reload them all).
//
// Edits go to the profile records in memory at once. The reading threads read the
// records for every packet; the fields the action engine and the pen path take per
// packet (pen buttons, keys, rings, mouse mode) are written through the tablet's
// EditProfile (under its appsMutex), the mapping fields through the mapping model. Each
// page has its controller (WorkAreaPage, PenPage, ShortcutKeyPage, RingPage,
// KeyGroupPage), which reaches the window through SettingsPageHost. Profile nodes are never kept
// across calls: Cancel and import replace them, so the current profile is looked up by
// its path each time.

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>

#include "app/pagerules.h"
#include "app/settingspagehost.h"
#include "device/ctablet.h"
#include "device/tabletpacket.h"

#include <functional>
#include <memory>

struct AppConfigNode;
class DdcBackend;
class DiagnosisFunction;
class DisplayBackend;
class JsonServer;
class MonitorControl;
class MyLrc;
class SettingForm;
class TabletMessages;
class UiServiceLink;
class UpdateOffer;
class UpdateServer;
class InstallerLauncher;
class BatteryWidget;
class QTimer;
class MappingModel;
class QAbstractButton;
class QCheckBox;
class QListWidget;
class QPushButton;
class QSlider;
class KeyGroupPage;
class PenPage;
class RingPage;
class ShortcutKeyPage;
class WorkAreaPage;

class CTablet;
class HidBackend;
class HidMonitor;
class LocaleBackend;
class IpcBackend;
class PowerMonitor;
class SharedBlock;
class SimControl;
class WindowBackend;
class WindowEndpoint;
class QAction;
class QComboBox;
class QLabel;
class QStackedWidget;
class TabletDiscovery;
class QSettings;
class QSystemTrayIcon;

// The pages' controllers reach the window through SettingsPageHost.
class MainWindow : public QMainWindow, private SettingsPageHost {
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
    QString languageText(const QString &key, const QString &fallback) const override;

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
    // An import refuses a file that lacks the profile of a model the defaults hold (110,
    // the models in importMissing()); a successful one keeps the replaced file beside it
    // (importBackup()), which restoreConfigBeforeImport() puts back.
    bool exportConfigTo(const QString &target);
    int importConfigFrom(const QString &file);
    int restoreConfigBeforeImport();
    QString importBackup() const { return m_strImportBackup; }
    QStringList importMissing() const { return m_ImportMissing; }
    // Opens the device transfer dialog for the selected tablet (modal).
    void openDeviceTransfer(bool sendToDevice);
    // The tablet of the device selector's current entry, or null.
    CTablet *currentTablet() const override;

    // The application profile being edited: the common profile, or the application
    // profile of currentAppPath() (null without a tablet).
    AppConfigNode *currentApp() const override;
    QString currentAppPath() const { return m_strCurrentApp; }
    int currentPenSlot() const;
    // Pages of the left-hand list in their order, and the page the stack shows.
    QVector<SettingsPage> listedPages() const;
    int shownPage() const;
    MappingModel *mappingModel() const { return m_pMapping.get(); }

    // The pages' controllers (children of the window, made with the window).
    WorkAreaPage *workAreaPage() const { return m_pWorkAreaPage; }
    PenPage *penPage() const { return m_pPenPage; }
    ShortcutKeyPage *shortcutKeyPage() const { return m_pShortcutKeyPage; }
    RingPage *ringPage() const { return m_pRingPage; }
    KeyGroupPage *keyGroupPage() const { return m_pKeyGroupPage; }

    // The controls, by their design names (tests and the screenshot run drive them).
    QCheckBox *mouseModeCheckBox() const;
    QCheckBox *windowsInkCheckBox() const;
    QSlider *speedSlider() const;
    QComboBox *penButtonList(int button) const;
    QComboBox *penMenu() const;
    QListWidget *applicationBar() const { return m_pAppBar; }
    QPushButton *addAppButton() const { return m_pAddApp; }
    QPushButton *deleteAppButton() const { return m_pDeleteApp; }
    QComboBox *keyList(int key) const;
    QAbstractButton *ringRadio(int id) const;
    QSlider *tabletLightSlider() const;
    // Selects a page of the list by its page id (no effect when it is not listed).
    void selectPage(SettingsPage page);
    // Adds the application profile of an executable (what the add button's file dialog
    // does after the choice). Done, or why not.
    bool addApplicationPath(const QString &path);

    // Messages the window gave the user this run, oldest first (each is also logged).
    QStringList userNotices() const { return m_UserNotices; }

    // The services the window wires together.
    TabletMessages *tabletMessages() const { return m_pMessages; }
    UiServiceLink *uiServiceLink() const { return m_pUiLink; }
    // The pen display search: found (with DDC/CI) and the tray entry for its settings.
    bool penDisplayFound() const { return m_bPenDisplayFound; }
    QAction *displaySettingAction() const { return m_pDisplayAction; }
    SettingForm *settingForm() const { return m_pSettingForm.get(); }
    UpdateOffer *updateOffer() const { return m_pUpdateOffer.get(); }

    // Saves a picture of every listed page of every connected tablet (or of the
    // no-device page) into folder as "<model>-<page>.png"; the files written. Started by
    // the environment variable INKORA_SCREENSHOTS (the folder), which then ends the run.
    QStringList saveScreenshots(const QString &folder);

    // The custom function editors of keys and pen buttons (by default HotKeyWin) and of
    // ring items (by default RollerKey). Each receives the stored text and the device's
    // ring and touch-pad counts and returns true with the new text in *text when the
    // user accepted; on false nothing changes and the list returns to the stored entry.
    using CustomEditor = SettingsPageHost::CustomEditor;
    void setCustomEditor(CustomEditor editor) { m_CustomEditor = std::move(editor); }
    void setRingEditor(CustomEditor editor) { m_RingEditor = std::move(editor); }

signals:
    // A usage record named after the control or action that made it.
    void UsageRecord(QString name);

public slots:
    void OnShowDriver();
    void OnQuiqDriver();
    void onExportConfigueFile();
    void onImportConfigueFile();

    // The controls' slots (each posts a usage record named after itself).
    void onSelectTabletDevice(const QString &name);
    void onSelectAppItem(const QString &path, int index);
    void ConfirmButtonClicked();
    void CancelButtonClicked();
    void CloseBtnClicked();
    void OnAddApplication();
    void OnDeleteApplication();
    // Rebuilds everything for the current tablet and application.
    void UpdateUIByAppChange();

    // The settings form of the tray's setting entry, the diagnosis dialog, the pen
    // display's settings dialog.
    void OpenSettingForm();
    void OpenDiagnosis();
    void onCloseDiagnosisDlg();
    void OnDisplaySettings();
    // The pen display search, at start-up and after every display change.
    void RefreshPenDisplay();
    // The update check offers a newer driver: the settings button shows the red point and
    // the tray's update entry offers its download.
    void OnGetNewDriver(int flag, QString version, QString downloadLink, QString message);
    // The tray's update entry and the settings panel's driver download: the download of
    // an offer from a finished check, else what the check found (a new check is started
    // when the last one offered nothing).
    void OnUpdateDriver();
    // The usage timer: how long the driver has been in use.
    void OnUsageTimer();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void OnTabletConnected(CTablet *tablet, int slot);
    void OnTabletDisconnecting(CTablet *tablet, int slot);
    void RefreshDeviceSelector();
    void ReceivMultiData(CTablet *tablet, MultiData mData);

private:
    // Turns the live values (SentMultiData per packet) on for the current tablet while
    // the window or the diagnosis dialog can show them, and off for every other tablet.
    void updateLiveData();
    // The battery of the tablet shown (hidden for one that reports none) and every
    // tablet's battery in the tray icon's tool tip.
    void refreshBattery();
    void buildWindow();
    void installActionServices();
    void startServices();
    void connectTabletMessages();
    // The device page: the application bar, the page list and the stack of the pages
    // the controllers build, Confirm and Cancel.
    QWidget *buildDevicePage(QWidget *parent);
    void fillApplicationBar(CTablet *tablet);
    void rebuildPageList(CTablet *tablet);
    // The tablet picture of the express-key and ring pages.
    void showTabletPicture(const QString &picture);
    void postUsage(const QString &name) override;
    QString shownTabletEntry() const override;
    const CustomEditor &customEditor() const override;
    const CustomEditor &ringEditor() const override;
    // A modal editor runs an event loop of its own: meanwhile the tablet it was opened
    // for may leave (and be freed) and the window switch to another one. True when the
    // tablet is still here and shown with the same profile; otherwise the edit is
    // dropped, and the user told so when the editor had a result (withResult).
    bool editTargetStillHere(const QPointer<CTablet> &tablet, const AppConfigNode *app, const char *editor,
                             bool withResult) override;
    void tellEditDropped();
    // Tells the user: in a tray message when asked and a tray is there (one given before
    // the tray exists waits for it), otherwise in a message box that does not block.
    enum class NoticeWay { Box, Tray };
    void notifyUser(const QString &text, NoticeWay way);
    void showTrayOrBox(const QString &text);
    void showNoticeBox(const QString &text);
    QString tabletName() const;
    void startDevices(std::unique_ptr<HidBackend> hid);
    int replaceConfigWith(const QString &file, const QString &backup);
    bool createSharedBlock();

    QString m_strInstallFolder;
    QString m_strDataFolder;
    QString m_strConfigPath;
    QString m_strInstalledVersion;
    int m_nProfileCheckCode = 0;
    QString m_strImportBackup;  // the file the last import replaced, until restored
    QStringList m_ImportMissing; // models the last refused import lacked
    QString m_strLanguageGroup;
    std::unique_ptr<QSettings> m_pNameSettings;
    std::unique_ptr<QSettings> m_pLanguageSettings;
    bool m_bStartedMinimised = false;
    QLabel *m_pNoDeviceLabel = nullptr;       // child widget
    QStackedWidget *m_pPages = nullptr;       // child widget: no-device page, device page
    QComboBox *m_pDeviceSelector = nullptr;   // child widget
    QAction *m_pSendProfileAction = nullptr;  // child of the settings menu
    QAction *m_pFetchProfileAction = nullptr;

    // The settings pages (children of the device page).
    QListWidget *m_pPageList = nullptr;
    QStackedWidget *m_pPageStack = nullptr;
    QVector<SettingsPage> m_ListedPages;
    bool m_bKeyGroupPage = false;
    QListWidget *m_pAppBar = nullptr;
    QPushButton *m_pAddApp = nullptr;
    QPushButton *m_pDeleteApp = nullptr;
    QString m_strCurrentApp; // empty: the common profile
    QString m_strShownTablet; // selector entry the pages were last built for

    // The pages' controllers (child objects), in the order of SettingsPage.
    WorkAreaPage *m_pWorkAreaPage = nullptr;
    PenPage *m_pPenPage = nullptr;
    ShortcutKeyPage *m_pShortcutKeyPage = nullptr;
    RingPage *m_pRingPage = nullptr;
    KeyGroupPage *m_pKeyGroupPage = nullptr;

    // Services (created in the constructor, see startServices).
    std::unique_ptr<JsonServer> m_pJsonServer;
    TabletMessages *m_pMessages = nullptr; // child object
    UiServiceLink *m_pUiLink = nullptr;    // child object
    std::unique_ptr<MyLrc> m_pCaption;     // top-level caption window
    std::unique_ptr<DdcBackend> m_pDdc;
    std::unique_ptr<MonitorControl> m_pMonitor;
    bool m_bPenDisplayFound = false;
    QRect m_PenDisplayRect;
    QAction *m_pDisplayAction = nullptr;   // child of the tray menu
    std::unique_ptr<UpdateServer> m_pUpdateServer;
    std::unique_ptr<InstallerLauncher> m_pLauncher;
    std::unique_ptr<UpdateOffer> m_pUpdateOffer; // goes before the update server
    QPushButton *m_pSettingsButton = nullptr;
    BatteryWidget *m_pBattery = nullptr;   // child widget, shown once a level is known
    QHash<const CTablet *, bool> m_BatteryCharging; // GUI thread; pruned to the open tablets
    QTimer *m_pUsageTimer = nullptr;       // child object
    qint64 m_nStartMs = 0;                 // window start, ms since the epoch
    std::unique_ptr<SettingForm> m_pSettingForm;
    DiagnosisFunction *m_pDiagnosis = nullptr; // child dialog, deleted on close

    CustomEditor m_CustomEditor;
    CustomEditor m_RingEditor;
    QStringList m_UserNotices;
    QStringList m_TrayNoticesWaiting; // given before the tray icon existed
    bool m_bTabletLimitTold = false;
    std::unique_ptr<DisplayBackend> m_pDisplay;
    std::unique_ptr<MappingModel> m_pMapping;

    // Device layer. Declared last: destroyed first, so every tablet is closed (its
    // reading thread stopped) before the rest of the window goes.
    std::unique_ptr<HidBackend> m_pHid;
    std::unique_ptr<PowerMonitor> m_pPower;
    std::unique_ptr<TabletDiscovery> m_pDiscovery;
    std::unique_ptr<HidMonitor> m_pHidMonitor;
    bool m_bDeviceStartupOk = false;
    // --simulate: the control socket of the simulated tablets in m_pHid (declared after
    // it, so it goes first).
    std::unique_ptr<SimControl> m_pSimControl;

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
