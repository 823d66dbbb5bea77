#pragma once
// The program without its settings window: it exists for the whole run. Its
// constructor performs the start-up steps (per-user files, language, screens, the
// driver link, the engines' services, the tablets, the UI service link) and its
// destructor is the program's shutdown. It owns the tray icon and what hangs on it (the
// settings panel, the diagnosis dialog, the pen display's settings, the update offer),
// the notices, the settings file import and export, and the usage records.
//
// The settings window (MainWindow) is a view over it, built the first time it is
// shown: a run that stays in the tray never builds it. Until then the tablet shown is
// the first connected one, with its common profile.

#include "base/languagetexts.h"
#include "device/ctablet.h"
#include "platform/hid/hidbackend.h"
#include "platform/session/desktopsession.h"

#include <QHash>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

struct AppConfigNode;
class DdcBackend;
class DiagnosisFunction;
class DisplayBackend;
struct DisplaySearchResult;
class HidMonitor;
class InstallerLauncher;
class IpcBackend;
class JsonServer;
class LocaleBackend;
class MainWindow;
class MappingModel;
class MonitorControl;
class MyLrc;
class PowerMonitor;
class QAction;
class QMenu;
class QSettings;
class QSystemTrayIcon;
class QThreadPool;
class QTimer;
class QWidget;
class SettingForm;
class SharedBlock;
class SimControl;
class TabletDiscovery;
class TabletMessages;
class UiServiceLink;
class UpdateOffer;
class UpdateServer;
class WindowBackend;
class WindowEndpoint;

class AppCore : public QObject {
    Q_OBJECT

public:
    // installFolder holds "/config/" with the default per-user files; the data folder is
    // Paths::dataFolder(). locale gives the user's UI language. hid: the HID backend the
    // tablets are found on (simulated tablets in tests); null: the one the start-up
    // options choose.
    //
    // StartOrder::Now runs every start-up step in the constructor. TrayFirst (the
    // program) leaves what the tray icon does not need to the first turn of the event
    // loop, so the icon docks first: the pen display search, the update check, the HID
    // start-up with the tablets' opening, the simulation's control socket, the UI service
    // link and the caption window, in that order.
    enum class StartOrder { Now, TrayFirst };
    AppCore(const QString &installFolder, const LocaleBackend &locale, std::unique_ptr<HidBackend> hid = nullptr,
            StartOrder order = StartOrder::Now);
    ~AppCore() override;

    QString installFolder() const { return m_strInstallFolder; }
    QString dataFolder() const { return m_strDataFolder; }
    QString configPath() const { return m_strConfigPath; }
    // Version of the installed default profile (shown by the diagnosis dialog).
    QString installedProfileVersion() const { return m_strInstalledVersion; }
    // Result code of the start-up version check: 0 matched, else 101..105.
    int profileCheckCode() const { return m_nProfileCheckCode; }

    // Name table ("Common/PID_xxxx", "Dongle/PID_xxxx") and the texts of the language in
    // force (GUI thread; the pointer stays valid for the run, its texts follow a change).
    QSettings *nameSettings() const { return m_pNameSettings.get(); }
    const LanguageTexts *languageTexts() const { return &m_LanguageTexts; }
    QString languageGroup() const { return m_strLanguageGroup; }
    // The Language menu: a group, or empty for "System" (the desktop's locale). The
    // choice is kept in the per-user folder; the tray, the captions and the settings
    // window show the new language at once (an open window is built again in place).
    void SetLanguageChoice(const QString &group);
    QString languageChoice() const;
    // Text of key in the chosen language, or fallback (built-in English).
    QString languageText(const QString &key, const QString &fallback) const;

    // The settings window, built on the first call; null until then from windowIfBuilt.
    MainWindow &window();
    MainWindow *windowIfBuilt() const { return m_pWindow.get(); }

    bool startedMinimised() const { return m_bStartedMinimised; }
    void setStartedMinimised(bool minimised) { m_bStartedMinimised = minimised; }

    // The tray icon and its menu; made once, later calls do nothing.
    void createTrayIcon();
    // The same, taking over the icon showEarlyTrayIcon showed.
    void createTrayIcon(std::unique_ptr<QSystemTrayIcon> shown);
    // The program's tray icon, shown at once, before the core's start-up steps: the tray
    // host docks it while they run. It has no menu and no texts yet (the language file is
    // the core's); clicks on it wait for the event loop, which starts after createTrayIcon.
    static std::unique_ptr<QSystemTrayIcon> showEarlyTrayIcon();
    QSystemTrayIcon *trayIcon() const { return m_pTrayIcon; }
    // The tray menu's entries (null before createTrayIcon).
    QAction *showAction() const { return m_pShowAction; }
    QAction *displaySettingAction() const { return m_pDisplayAction; }

    // Device start-up: false when the HID library or the notices could not start (the
    // program goes on without hot-plug).
    bool deviceStartupOk() const { return m_bDeviceStartupOk; }
    TabletDiscovery *discovery() const { return m_pDiscovery.get(); }
    // The block the UI service reads the screen from and writes its results to.
    SharedBlock *sharedBlock() const { return m_pSharedBlock; }
    // The tablet the settings window shows (the first connected one before it is
    // built), or null; and the application profile it edits.
    CTablet *currentTablet() const;
    AppConfigNode *currentApp() const;
    // The product name of the current tablet, for usage records.
    QString tabletName() const;

    // Settings files without the file dialogs. Export: true when the copy is complete.
    // Import: 0, or the code the user is shown. An import refuses a file that lacks the
    // profile of a model the defaults hold (110, the models in importMissing()); a
    // successful one keeps the replaced file beside it (importBackup()), which
    // restoreConfigBeforeImport() puts back.
    bool exportConfigTo(const QString &target);
    int importConfigFrom(const QString &file);
    int restoreConfigBeforeImport();
    QString importBackup() const { return m_strImportBackup; }
    QStringList importMissing() const { return m_ImportMissing; }

    // Tells the user: in a tray message when asked and a tray is there (one given before
    // the tray exists waits for it), otherwise in a message box that does not block.
    enum class NoticeWay { Box, Tray };
    void notifyUser(const QString &text, NoticeWay way);
    // Messages given to the user this run, oldest first (each is also logged).
    QStringList userNotices() const { return m_UserNotices; }

    MappingModel *mappingModel() const { return m_pMapping.get(); }
    TabletMessages *tabletMessages() const { return m_pMessages; }
    UiServiceLink *uiServiceLink() const { return m_pUiLink; }
    UpdateOffer *updateOffer() const { return m_pUpdateOffer.get(); }
    SettingForm *settingForm() const { return m_pSettingForm.get(); }
    // The pen display search: found (with DDC/CI), and the display's mode.
    bool penDisplayFound() const { return m_bPenDisplayFound; }

    // One of the device profile's four switches (pressure, tilt, express keys, tips),
    // for the current tablet; the pen page and the settings panel both set them.
    void setProfileSwitch(int16_t TabletXMLData::*field, bool on);
    // The ring's touch or wheel mode of the current application profile, and the
    // tablet told so.
    void setTouchMode(bool touch);
    // Turns the live values (SentMultiData per packet) on for the current tablet while
    // the window or the diagnosis dialog can show them, and off for every other tablet.
    void updateLiveData();
    // Once the program has been quiet for a moment after a burst of work (start-up, a
    // tablet coming or going, the settings window hidden), the heap's free pages go
    // back to the system: one single-shot timer, nothing while idle.
    void scheduleMemoryReturn();
    // The battery of every tablet in the tray icon's tool tip; the window shows the
    // current one's.
    void refreshBattery();
    int batteryCharging(const CTablet *tablet) const; // -1 unknown, 0 no, 1 charging

signals:
    // A usage record named after the control or action that made it.
    void UsageRecord(QString name);
    // The tablets connected, or the one the window shows, changed.
    void CurrentTabletChanged();
    // The switches of setProfileSwitch changed from elsewhere than the pen page.
    void ProfileSwitchesChanged();
    void BatteryChanged();
    void PenDisplayChanged();
    // The language group in force changed (the settings window was built again).
    void LanguageChanged(const QString &group);

public slots:
    // The tray's Show, a second start, an express key: builds the window when needed.
    void OnShowDriver();
    void OnQuiqDriver();
    void onExportConfigueFile();
    void onImportConfigueFile();
    void OpenSettingForm();
    void OpenDiagnosis();
    void onCloseDiagnosisDlg();
    void OnDisplaySettings();
    // The pen display search, at start-up and after every display change. Under
    // StartOrder::Now at once, on this thread; under TrayFirst on a worker of its own
    // (the DDC/CI answers may take seconds), its result applied when it comes back.
    void RefreshPenDisplay();
    // The tray's update entry and the settings panel's driver download.
    void OnUpdateDriver();
    // The usage timer: how long the driver has been in use.
    void OnUsageTimer();

private:
    void installActionServices();
    void startServices();
    // The steps TrayFirst leaves to the event loop.
    void startAfterTray(std::unique_ptr<HidBackend> hid);
    void connectTabletMessages();
    void startDevices(std::unique_ptr<HidBackend> hid);
    bool createSharedBlock();
    void onTabletConnected(CTablet *tablet, int slot);
    void onTabletDisconnecting(CTablet *tablet, int slot);
    void tabletsChanged();
    int replaceConfigWith(const QString &file, const QString &backup);
    void showTrayOrBox(const QString &text);
    void showNoticeBox(const QString &text);
    QWidget *dialogParent() const;
    void applyLanguage(const QString &group);
    void retranslateTray();
    void rebuildWindow();
    // GUI thread: takes a search's result (the last search asked for only).
    void applyPenDisplay(const DisplaySearchResult &result, int generation);

    QString m_strInstallFolder;
    QString m_strDataFolder;
    QString m_strConfigPath;
    QString m_strInstalledVersion;
    int m_nProfileCheckCode = 0;
    QString m_strImportBackup;  // the file the last import replaced, until restored
    QStringList m_ImportMissing; // models the last refused import lacked
    QString m_strLanguageGroup;
    QString m_strSystemGroup; // the desktop's, used while the user chose "System"
    std::unique_ptr<QSettings> m_pNameSettings;
    // Only the group in force: the whole file's texts would stay on the heap for the run.
    LanguageTexts m_LanguageTexts;
    // The reading threads' texts: they take the pointer under the lock and read the
    // immutable table outside it; a language change swaps the pointer under the lock.
    std::shared_ptr<std::shared_ptr<const LanguageTexts>> m_pThreadLanguage;
    std::shared_ptr<std::mutex> m_pThreadLanguageLock;
    bool m_bStartedMinimised = false;

    // The session, read once at start-up, and what serves each facility in it.
    DesktopSession m_Session;
    SessionBackends m_SessionBackends;

    // Services.
    std::unique_ptr<DisplayBackend> m_pDisplay;
    std::unique_ptr<MappingModel> m_pMapping;
    std::unique_ptr<JsonServer> m_pJsonServer;
    TabletMessages *m_pMessages = nullptr; // child object
    UiServiceLink *m_pUiLink = nullptr;    // child object
    std::unique_ptr<MyLrc> m_pCaption;     // top-level caption window
    std::unique_ptr<DdcBackend> m_pDdc;
    std::unique_ptr<MonitorControl> m_pMonitor;
    bool m_bPenDisplayFound = false;
    QRect m_PenDisplayRect;
    // The pen display search off the GUI thread: one worker, one search at a time. A
    // search has copies of the outputs and the screen table, and the DDC backend (whose
    // calls any thread may make); its result comes back to the GUI thread in a queued
    // call on this object, which owns the found state above. Goes before the DDC backend
    // (its destruction waits for a search under way).
    bool m_bSearchOffGuiThread = false;
    int m_nSearchGeneration = 0; // GUI thread: the last search asked for
    std::unique_ptr<QThreadPool> m_pSearchPool;
    std::unique_ptr<UpdateServer> m_pUpdateServer;
    std::unique_ptr<InstallerLauncher> m_pLauncher;
    std::unique_ptr<UpdateOffer> m_pUpdateOffer; // goes before the update server
    QHash<const CTablet *, bool> m_BatteryCharging; // GUI thread; pruned to the open tablets
    QTimer *m_pUsageTimer = nullptr; // child object
    QTimer *m_pMemoryTimer = nullptr; // child object
    qint64 m_nStartMs = 0;           // start, ms since the epoch
    std::unique_ptr<SettingForm> m_pSettingForm;
    DiagnosisFunction *m_pDiagnosis = nullptr; // deleted on close
    QStringList m_UserNotices;
    QStringList m_TrayNoticesWaiting; // given before the tray icon existed
    bool m_bTabletLimitTold = false;

    // Device layer: destroyed before the services, so every tablet is closed (its
    // reading thread stopped) before anything it uses goes.
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

    // The tray: the icon and its entries are child objects, the menu a top-level widget.
    std::unique_ptr<QMenu> m_pTrayMenu;
    QSystemTrayIcon *m_pTrayIcon = nullptr;
    QAction *m_pShowAction = nullptr;
    QAction *m_pQuitAction = nullptr;
    QAction *m_pSettingAction = nullptr;
    QAction *m_pUpdateAction = nullptr;
    QAction *m_pDisplayAction = nullptr;

    // The settings window: last, so it goes first (it shows the tablets and services).
    std::unique_ptr<MainWindow> m_pWindow;
};
