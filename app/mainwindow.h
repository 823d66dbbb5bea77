#pragma once
// The settings window: a view over the program core (AppCore), which builds it the
// first time it is shown and keeps it to the end of the run; closing it only hides it
// into the tray. It shows one tablet and one application profile at a time: the pages
// the tablet's capabilities call for, the application bar, Confirm (save every
// tablet's profiles) and Cancel (reload them all).
//
// Edits go to the profile records in memory at once. The reading threads read the
// records for every packet; the fields the action engine and the pen path take per
// packet (pen buttons, keys, rings, mouse mode) are written under the tablet's
// appsMutex, the mapping fields through the mapping model. Profile nodes are never kept
// across calls: Cancel and import replace them, so the current profile is looked up by
// its path each time.

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>

#include "action/actioncatalogue.h"
#include "app/appcore.h"
#include "app/pagerules.h"
#include "device/ctablet.h"
#include "device/tabletpacket.h"

#include <functional>
#include <memory>

struct AppConfigNode;
class TabletMessages;
class BatteryWidget;
class QProgressBar;
class MappingModel;
class mappingwidget;
class QPressAdjustWedget;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;

class CTablet;
class QAction;
class QComboBox;
class QLabel;
class QStackedWidget;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(AppCore &core, QWidget *parent = nullptr);
    ~MainWindow() override;

    AppCore &core() const { return m_core; }
    // Text of key in the chosen language, or fallback (built-in English).
    QString languageText(const QString &key, const QString &fallback) const;

    QString noDeviceText() const;

    // Names in the device selector, in its order.
    QStringList deviceSelectorNames() const;
    // Rebuilds the device selector from the tablets connected now.
    void RefreshDeviceSelector();

    // Opens the device transfer dialog for the selected tablet (modal).
    void openDeviceTransfer(bool sendToDevice);
    // The tablet of the device selector's current entry, or null.
    CTablet *currentTablet() const;

    // The application profile being edited: the common profile, or the application
    // profile of currentAppPath() (null without a tablet).
    AppConfigNode *currentApp() const;
    QString currentAppPath() const { return m_strCurrentApp; }
    int currentPenSlot() const { return m_nCurrentPen; }
    // Pages of the left-hand list in their order, and the page the stack shows.
    QVector<SettingsPage> listedPages() const;
    int shownPage() const;

    // The controls, by their design names (tests and the screenshot run drive them).
    QCheckBox *mouseModeCheckBox() const { return m_pMouseMode; }
    QCheckBox *windowsInkCheckBox() const { return m_pWindowsInk; }
    QSlider *speedSlider() const { return m_pSpeed; }
    QComboBox *penButtonList(int button) const { return m_pPenButtons[button]; }
    QComboBox *penMenu() const { return m_pPenSet; }
    QListWidget *applicationBar() const { return m_pAppBar; }
    QPushButton *addAppButton() const { return m_pAddApp; }
    QPushButton *deleteAppButton() const { return m_pDeleteApp; }
    QComboBox *keyList(int key) const { return m_KeyLists.value(key); }
    QAbstractButton *ringRadio(int id) const;
    QSlider *tabletLightSlider() const { return m_pLightSlider; }
    // Selects a page of the list by its page id (no effect when it is not listed).
    void selectPage(SettingsPage page);
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
    using CustomEditor = std::function<bool(QWidget *parent, QString *text, int rings, int trackPad)>;
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
    void checkBoxMousemodeClicked(bool checked);
    void checkBoxWindowsInkClicked(bool checked);
    void SliderMspeedValueChanged(int value);
    void comboBoxPbtn0Activated(int index);
    void comboBoxPbtn1Activated(int index);
    void comboBoxPbtn2Activated(int index);
    void ComboBoxPenSetClicked(int index);
    void on_horizontalSlider_pressLv_valueChanged(int level);
    void on_PressSensitivityChange(SPresslvPoints points);
    void onCheckBoxDisablePress(bool checked);
    void onCheckBoxDisableSlope(bool checked);
    void onCheckBoxDisableHotkey(bool checked);
    void onCheckBoxDisableTipMsg(bool checked);
    void HotkeyPushButtonClicked(int key);
    void RingRadioClicked(int id);
    void WheelComboBoxActivated(int ring, int item, int index);
    void TouchWheelClicked(bool touch);
    void HSliderTabletLightChanged(int value);
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
    void setSwitch(int16_t TabletXMLData::*field, bool on);
    QWidget *buildDevicePage(QWidget *parent);
    QWidget *buildWorkAreaPage(QWidget *parent);
    QWidget *buildPenPage(QWidget *parent);
    QWidget *buildShortcutKeyPage(QWidget *parent);
    QWidget *buildRingPage(QWidget *parent);
    QWidget *buildKeyGroupPage(QWidget *parent);
    void fillApplicationBar(CTablet *tablet);
    void rebuildPageList(CTablet *tablet);
    void updatePenPage(CTablet *tablet);
    void updateKeyLists(CTablet *tablet);
    void updateRingPage(CTablet *tablet);
    // Fills an action list with what the model offers at place (ActionOffered) and the
    // custom entry, and shows the stored choice.
    void fillActionList(QComboBox *list, int id, int actid, const QString &custom, ActionPlace place);
    // The custom entry of an action list: "Custom", with the function's name once it has one.
    QString CustomEntryText(const QString &custom) const;
    // The tablet picture of the express-key and ring pages.
    void showTabletPicture(const QString &picture);
    void penButtonActivated(int button, int index);
    // Asks before taking the selected pen off the pen menu (an edit like any other: OK
    // saves it, Cancel undoes it).
    void askRemovePen();
    void keyListActivated(int group, int key, int index);
    void postUsage(const QString &name);
    // A modal editor runs an event loop of its own: meanwhile the tablet it was opened
    // for may leave (and be freed) and the window switch to another one. True when the
    // tablet is still here and shown with the same profile; otherwise the edit is
    // dropped, and the user told so when the editor had a result (withResult).
    bool editTargetStillHere(const QPointer<CTablet> &tablet, const AppConfigNode *app, const char *editor,
                             bool withResult);
    void tellEditDropped();
    using NoticeWay = AppCore::NoticeWay;
    void notifyUser(const QString &text, NoticeWay way);
    QString tabletName() const;

    AppCore &m_core;
    MappingModel *m_pMapping;    // the core's
    TabletMessages *m_pMessages; // the core's
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
    int m_nCurrentPen = 0;
    bool m_bUpdating = false; // controls are being set from the profile: no writes back

    mappingwidget *m_pPreview = nullptr;
    QComboBox *m_pScreenList = nullptr;
    QSpinBox *m_pScreenSpins[4] = {};
    QSpinBox *m_pTabletSpins[4] = {};
    QButtonGroup *m_pRotation = nullptr;
    QPushButton *m_pDisplaySettingButton = nullptr;

    QLabel *m_pPenPicture = nullptr;
    QComboBox *m_pPenSet = nullptr;
    QPushButton *m_pPenRemove = nullptr;
    QComboBox *m_pPenButtons[3] = {};
    QLabel *m_pPenButtonLabels[3] = {};
    QCheckBox *m_pMouseMode = nullptr;
    QCheckBox *m_pWindowsInk = nullptr;
    QSlider *m_pSpeed = nullptr;
    QLabel *m_pSpeedLabels[2] = {};
    QSlider *m_pPressLevel = nullptr;
    QPressAdjustWedget *m_pPressCurve = nullptr;
    QCheckBox *m_pDisablePress = nullptr;
    QCheckBox *m_pDisableSlope = nullptr;
    QCheckBox *m_pDisableHotkey = nullptr;
    QCheckBox *m_pDisableTipMsg = nullptr;
    QGroupBox *m_pLightGroup = nullptr;
    QSlider *m_pLightSlider = nullptr;

    QLabel *m_pTabletPicture = nullptr; // express-key page
    QLabel *m_pRingPicture = nullptr;   // ring page
    QWidget *m_pKeyRows = nullptr;
    QVector<QComboBox *> m_KeyLists;
    QVector<QPushButton *> m_KeyButtons;
    QTabWidget *m_pKeyGroupTabs = nullptr;
    QVector<QComboBox *> m_GroupKeyLists[kProfileKeyGroups];
    // The ring function radio buttons: one exclusive group per ring, and the ring of the
    // key-group page (ids as RingRadioId gives them).
    QButtonGroup *m_pRingRadios[2] = {};
    QButtonGroup *m_pGroupRingRadios = nullptr;
    QGroupBox *m_pRingGroups[2] = {};
    QComboBox *m_pRingItems[2][kProfileRingItems] = {};
    QLabel *m_pRingItemLabels[2][kProfileRingItems] = {};
    QGroupBox *m_pTouchGroup = nullptr;
    QAbstractButton *m_pTouchRadio = nullptr;
    QAbstractButton *m_pWheelRadio = nullptr;
    QGroupBox *m_pGroupRingBox = nullptr;
    QComboBox *m_pGroupRingItems[kProfileRingItems] = {};

    QPushButton *m_pAreaSelectButton = nullptr;
    QPushButton *m_pCalibrateButton = nullptr;

    QPushButton *m_pSettingsButton = nullptr;
    BatteryWidget *m_pBattery = nullptr;   // child widget, shown once a level is known
    QProgressBar *m_pPressureBar = nullptr;

    CustomEditor m_CustomEditor;
    CustomEditor m_RingEditor;
};
