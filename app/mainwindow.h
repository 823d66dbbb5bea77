#pragma once
// The settings window: a view over the program core (AppCore), which builds it the
// first time it is shown and keeps it to the end of the run; closing it only hides it
// into the tray. It shows one tablet and one application profile at a time: the pages
// the tablet's capabilities call for, the application bar, Confirm (save every
// tablet's profiles) and Cancel (reload them all).
//
// Edits go to the profile records in memory at once. The reading threads read the
// records for every packet; the fields the action engine and the pen path take per
// packet (pen buttons, keys, rings, mouse mode) are written through the tablet's
// EditProfile, the mapping fields through the mapping model. Each page has its
// controller (WorkAreaPage, PenPage, ShortcutKeyPage, RingPage, KeyGroupPage), which
// reaches the window through SettingsPageHost. Profile nodes are never kept
// across calls: Cancel and import replace them, so the current profile is looked up by
// its path each time.

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>

#include "app/appcore.h"
#include "app/pagerules.h"
#include "app/settingspagehost.h"
#include "device/ctablet.h"
#include "device/tabletpacket.h"

#include <functional>
#include <memory>

struct AppConfigNode;
class TabletMessages;
class BatteryWidget;
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
class QAction;
class QComboBox;
class QLabel;
class QStackedWidget;

// The pages' controllers reach the window through SettingsPageHost.
class MainWindow : public QMainWindow, private SettingsPageHost {
    Q_OBJECT

public:
    explicit MainWindow(AppCore &core, QWidget *parent = nullptr);
    ~MainWindow() override;

    AppCore &core() const { return m_core; }
    // Text of key in the chosen language, or fallback (built-in English).
    QString languageText(const QString &key, const QString &fallback) const override;

    QString noDeviceText() const;

    // Names in the device selector, in its order.
    QStringList deviceSelectorNames() const;
    // Rebuilds the device selector from the tablets connected now.
    void RefreshDeviceSelector();

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
    // What the window shows: the tablet's selector entry, the application profile's
    // path and the page list's row; a window built anew (language switch) shows it again.
    struct View {
        QString tablet;
        QString app;
        int pageRow = -1;
    };
    View currentView() const;
    void showView(const View &view);
    // Adds the application profile of an executable (what the add button's file dialog
    // does after the choice). Done, or why not.
    bool addApplicationPath(const QString &path);

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

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The battery of the tablet shown (hidden for one that reports none).
    void refreshBattery();
    // The display settings button belongs to a pen display mapped onto its own monitor.
    void refreshDisplayButton();
    void buildWindow();
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
    using NoticeWay = AppCore::NoticeWay;
    void notifyUser(const QString &text, NoticeWay way);
    QString tabletName() const;

    AppCore &m_core;
    MappingModel *m_pMapping;    // the core's
    TabletMessages *m_pMessages; // the core's
    QLabel *m_pNoDeviceLabel = nullptr;       // child widget
    QLabel *m_pDesktopNotice = nullptr;       // child widget: what the Wayland desktop lacks
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

    QPushButton *m_pSettingsButton = nullptr;
    BatteryWidget *m_pBattery = nullptr;   // child widget, shown once a level is known

    CustomEditor m_CustomEditor;
    CustomEditor m_RingEditor;
};
