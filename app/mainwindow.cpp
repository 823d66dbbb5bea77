#include "action/ui/jingximode.h"
#include "action/ui/keypreviewwindow.h"
#include "app/mainwindow.h"

#include "action/ui/batterywidget.h"
#include "app/importsettingdialog.h"
#include "app/mappingmodel.h"
#include "app/tabletmessages.h"
#include "app/uiservicelink.h"
#include "app/keygrouppage.h"
#include "app/penpage.h"
#include "app/ringpage.h"
#include "app/workareapage.h"
#include "base/language.h"
#include "device/ctablet.h"
#include "device/tabletdiscovery.h"
#include "online/updateoffer.h"
#include "platform/foreground/linux/desktopintegration.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTabWidget>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char kNoDeviceKey[] = "MainWindow.noDevice";
const char kNoDeviceText[] = "Please connect device.";
} // namespace

MainWindow::MainWindow(AppCore &core, QWidget *parent)
    : QMainWindow(parent), m_core(core), m_pMapping(core.mappingModel()), m_pMessages(core.tabletMessages())
{
    connect(this, &MainWindow::UsageRecord, &m_core, &AppCore::UsageRecord);

    // Before the widgets exist: changing the flags re-parents the window, which polishes
    // every widget under it again with the style sheet.
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    buildWindow();
    setWindowTitle(QStringLiteral("Inkora"));
    setWindowIcon(QIcon(QStringLiteral(":/image/Res/inkora.png")));

    core.updateOffer()->SetSettingsButton(m_pSettingsButton);
    if (UiServiceLink *link = core.uiServiceLink()) {
        connect(m_pWorkAreaPage, &WorkAreaPage::SelectScreenAreaClicked, link, &UiServiceLink::SetscreenAreaClicked);
        connect(m_pWorkAreaPage, &WorkAreaPage::CalibrateClicked, link, &UiServiceLink::ScreenCalibrateClicked);
        connect(link, &UiServiceLink::ResultDropped, this, &MainWindow::tellEditDropped);
    }
    connectTabletMessages();
    connect(&core, &AppCore::BatteryChanged, this, &MainWindow::refreshBattery);
    connect(&core, &AppCore::PenDisplayChanged, this, &MainWindow::refreshDisplayButton);
    connect(&core, &AppCore::ProfileSwitchesChanged, this, [this] {
        if (CTablet *tablet = currentTablet())
            m_pPenPage->Update(tablet);
    });
    RefreshDeviceSelector();
}

void MainWindow::RefreshDeviceSelector()
{
    const QString previous = m_pDeviceSelector->currentText();
    const QSignalBlocker block(m_pDeviceSelector);
    m_pDeviceSelector->clear();
    static const QMap<QString, CTablet *> none;
    const QMap<QString, CTablet *> &list = m_core.discovery() ? m_core.discovery()->deviceList() : none;
    for (auto it = list.begin(); it != list.end(); ++it) {
        const QString model = QString::fromLatin1(it.value()->m_DeviceAttributes.ModelKey);
        const QIcon picture = model.isEmpty() ? QIcon() : QIcon(QStringLiteral(":/image/tablet/%1.png").arg(model));
        m_pDeviceSelector->addItem(picture, it.key());
    }
    const int keep = m_pDeviceSelector->findText(previous);
    if (keep >= 0)
        m_pDeviceSelector->setCurrentIndex(keep);
    m_pPages->setCurrentIndex(list.isEmpty() ? 0 : 1);
    if (!list.isEmpty() && m_pDeviceSelector->currentText() != m_strShownTablet) {
        m_strShownTablet = m_pDeviceSelector->currentText();
        onSelectTabletDevice(m_strShownTablet);
    } else if (list.isEmpty()) {
        m_strShownTablet.clear();
        m_pMapping->SetTablet(nullptr);
    }
    // Only tablets with an on-board profile store (the keypad document) transfer one.
    CTablet *tablet = currentTablet();
    const bool onBoard = tablet && tablet->TabletXMLData && tablet->TabletXMLData->SupportGroupKeys != 0;
    m_pSendProfileAction->setVisible(onBoard);
    m_pFetchProfileAction->setVisible(onBoard);
}

CTablet *MainWindow::currentTablet() const
{
    const TabletDiscovery *discovery = m_core.discovery();
    if (!discovery)
        return nullptr;
    const QMap<QString, CTablet *> &list = discovery->deviceList();
    const auto it = list.find(m_pDeviceSelector->currentText());
    return it == list.end() ? nullptr : it.value();
}

void MainWindow::openDeviceTransfer(bool sendToDevice)
{
    CTablet *tablet = currentTablet();
    if (!tablet)
        return;
    ImportSettingDialog dialog(tablet, sendToDevice ? ImportSettingDialog::SendToDevice : ImportSettingDialog::FetchFromDevice,
                               QString(), [this](const QString &key, const QString &fallback) { return languageText(key, fallback); },
                               this);
    QTimer::singleShot(0, &dialog, &ImportSettingDialog::Start);
    const QPointer<CTablet> editing(tablet);
    const AppConfigNode *app = currentApp();
    const bool ok = dialog.exec() == QDialog::Accepted;
    // A send has shown its failure in the dialog; a fetched profile has nowhere to go.
    if (!editTargetStillHere(editing, app, "profile transfer", ok && !sendToDevice))
        return;
    if (ok && !sendToDevice && tablet->ApplyReceivedProfile())
        UpdateUIByAppChange();
    emit UsageRecord(sendToDevice ? QStringLiteral("SendProfileToDevice") : QStringLiteral("ReadProfileFromDevice"));
}

QStringList MainWindow::deviceSelectorNames() const
{
    QStringList names;
    for (int i = 0; i < m_pDeviceSelector->count(); ++i)
        names << m_pDeviceSelector->itemText(i);
    return names;
}

MainWindow::~MainWindow() = default;

QString MainWindow::languageText(const QString &key, const QString &fallback) const
{
    return m_core.languageText(key, fallback);
}

QString MainWindow::noDeviceText() const
{
    return m_pNoDeviceLabel->text();
}

void MainWindow::buildWindow()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);

    // Frameless: the window draws its own title bar. Its close button hides the window.
    auto *titleBar = new QWidget(central);
    titleBar->setObjectName(QStringLiteral("titleBar"));
    // One height whatever room the pages leave (it grew into spare room before).
    titleBar->setFixedHeight(32);
    auto *titleLayout = new QHBoxLayout(titleBar);
    titleLayout->setContentsMargins(6, 0, 4, 0);
    auto *title = new QLabel(QStringLiteral("Inkora"), titleBar);
    title->setObjectName(QStringLiteral("titleLabel"));
    auto *minimise = new QPushButton(QStringLiteral("\u2013"), titleBar);
    minimise->setObjectName(QStringLiteral("pushButton_min"));
    auto *close = new QPushButton(QStringLiteral("\u00d7"), titleBar);
    close->setObjectName(QStringLiteral("pushButton_close"));
    titleLayout->addWidget(title);
    titleLayout->addStretch();
    titleLayout->addWidget(minimise);
    titleLayout->addWidget(close);
    connect(minimise, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(close, &QPushButton::clicked, this, &MainWindow::CloseBtnClicked);

    // Every widget is made under its final parent: moving a built subtree under another
    // parent repolishes all of it with the application's style sheet.
    m_pPages = new QStackedWidget(central);
    m_pNoDeviceLabel = new QLabel(languageText(QLatin1String(kNoDeviceKey), QLatin1String(kNoDeviceText)), m_pPages);
    m_pNoDeviceLabel->setObjectName(QStringLiteral("label_noDevice"));
    m_pNoDeviceLabel->setAlignment(Qt::AlignCenter);

    // Page 1: the connected tablets and their settings pages.
    auto *devicePage = new QWidget(m_pPages);
    auto *deviceLayout = new QVBoxLayout(devicePage);
    m_pDeviceSelector = new QComboBox(devicePage);
    m_pDeviceSelector->setObjectName(QStringLiteral("comboBox_device"));
    m_pDeviceSelector->setIconSize(QSize(48, 32));
    auto *selectorRow = new QHBoxLayout;
    selectorRow->addWidget(m_pDeviceSelector, 1);

    // Settings files and the on-board profile of tablets that keep one.
    m_pBattery = new BatteryWidget(devicePage);
    m_pBattery->setObjectName(QStringLiteral("widget_battery"));
    m_pBattery->hide();
    selectorRow->addWidget(m_pBattery);
    auto *settings = new QPushButton(languageText(QStringLiteral("Setting.title"), QStringLiteral("Settings")), devicePage);
    m_pSettingsButton = settings;
    settings->setObjectName(QStringLiteral("pushButton_setting"));
    auto *settingsMenu = new QMenu(settings);
    // The same names as the tray's settings panel; the file dialogs keep their own titles.
    connect(settingsMenu->addAction(languageText(QStringLiteral("Setting.item2"), QStringLiteral("Export settings"))),
            &QAction::triggered, &m_core, &AppCore::onExportConfigueFile);
    connect(settingsMenu->addAction(languageText(QStringLiteral("Setting.item1"), QStringLiteral("Import settings"))),
            &QAction::triggered, &m_core, &AppCore::onImportConfigueFile);
    m_pSendProfileAction = settingsMenu->addAction(languageText(QStringLiteral("Setting.sendToDevice"), QStringLiteral("Send profile to device")));
    m_pFetchProfileAction = settingsMenu->addAction(languageText(QStringLiteral("Setting.fetchFromDevice"), QStringLiteral("Read profile from device")));
    connect(m_pSendProfileAction, &QAction::triggered, this, [this] { openDeviceTransfer(true); });
    connect(m_pFetchProfileAction, &QAction::triggered, this, [this] { openDeviceTransfer(false); });
    // The UI language: "System" (the desktop's locale) or a group, named in its own
    // language so a reader finds it whatever language is shown now.
    QMenu *languageMenu =
        settingsMenu->addMenu(languageText(QStringLiteral("Setting.language"), QStringLiteral("Language")));
    languageMenu->setObjectName(QStringLiteral("menu_language"));
    auto *languages = new QActionGroup(languageMenu);
    const QString chosen = m_core.languageChoice();
    for (const QString &group : QStringList{QString()} + Language::groups()) {
        QAction *entry = languageMenu->addAction(
            group.isEmpty() ? languageText(QStringLiteral("Setting.languageSystem"), QStringLiteral("System"))
                            : Language::nativeName(group));
        entry->setCheckable(true);
        entry->setChecked(group == chosen);
        entry->setData(group);
        languages->addAction(entry);
        connect(entry, &QAction::triggered, &m_core, [this, group] { m_core.SetLanguageChoice(group); });
    }
    settings->setMenu(settingsMenu);
    selectorRow->addWidget(settings);
    deviceLayout->addLayout(selectorRow);
    deviceLayout->addWidget(buildDevicePage(devicePage), 1);
    connect(m_pDeviceSelector, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        m_strShownTablet = m_pDeviceSelector->itemText(index);
        onSelectTabletDevice(m_strShownTablet);
    });

    m_pPages->addWidget(m_pNoDeviceLabel);
    m_pPages->addWidget(devicePage);

    // Shown while the Wayland desktop lacks what per-application profiles need.
    m_pDesktopNotice = new QLabel(central);
    m_pDesktopNotice->setObjectName(QStringLiteral("label_desktopNotice"));
    m_pDesktopNotice->setWordWrap(true);
    m_pDesktopNotice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pDesktopNotice->hide();

    layout->addWidget(titleBar);
    layout->addWidget(m_pDesktopNotice);
    layout->addWidget(m_pPages, 1);
    setCentralWidget(central);
    resize(960, 680);
}

void MainWindow::notifyUser(const QString &text, NoticeWay way)
{
    m_core.notifyUser(text, way);
}

void MainWindow::OnShowDriver()
{
    qInfo() << "OnShowDriver: show main window";
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::showEvent(QShowEvent *event)
{
    qInfo() << "Main window shown";
    QMainWindow::showEvent(event);
    // Asked again at every showing: the user may have enabled the extension meanwhile.
    const DesktopIntegration desktop = QueryDesktopIntegration();
    const bool missing = desktop.wayland && desktop.gnomeShell && !desktop.extensionRunning;
    if (missing)
        m_pDesktopNotice->setText(languageText(QStringLiteral("MainWindow.gnomeExtension"),
                                               QStringLiteral("Per-application profiles need the Inkora GNOME Shell "
                                                              "extension. Enable it with: gnome-extensions enable %1"))
                                      .arg(desktop.extensionUuid));
    m_pDesktopNotice->setVisible(missing);
    m_core.updateLiveData();
}

void MainWindow::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    m_core.updateLiveData();
    m_core.scheduleMemoryReturn();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_core.updateLiveData();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Tray-resident: closing only hides. Without a tray (no status notifier on this
    // desktop) a hidden window could never come back, so closing then ends the program.
    if (m_core.trayIcon() && QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
    QApplication::quit();
}

void MainWindow::connectTabletMessages()
{
    // The core has acted on these (profiles, tray); the window shows the result.
    TabletMessages *messages = m_pMessages;
    connect(messages, &TabletMessages::SelectScreen, m_pWorkAreaPage, &WorkAreaPage::SelectScreen);
    connect(messages, &TabletMessages::TouchRingMode, m_pRingPage, &RingPage::ShowTouchMode);
    connect(m_pRingPage, &RingPage::TouchModeChanged, &m_core, &AppCore::setTouchMode);
    connect(messages, &TabletMessages::RingFunctionChanged, this, [this](int ring, int function) {
        CTablet *tablet = currentTablet();
        const bool groupKeys = tablet && tablet->TabletXMLData && tablet->TabletXMLData->SupportGroupKeys != 0;
        if (QAbstractButton *b = ringRadio(RingRadioId(ring, function, groupKeys)))
            b->setChecked(true);
    });
    connect(messages, &TabletMessages::KeyGroupSelected, m_pKeyGroupPage, &KeyGroupPage::ShowGroup);
    connect(messages, &TabletMessages::PenListChanged, this, [this] {
        if (CTablet *tablet = currentTablet())
            m_pPenPage->Update(tablet);
    });
    connect(messages, &TabletMessages::PressureChanged, m_pPenPage, &PenPage::ShowPressure);
    connect(m_pPageList, &QListWidget::currentRowChanged, messages, [this](int row) {
        m_pMessages->SetPenPageShown(row >= 0 && row < m_ListedPages.size() && m_ListedPages[row] == PagePen);
    });
    m_pMessages->SetSettingsWindow(this);
}

void MainWindow::refreshBattery()
{
    CTablet *shown = currentTablet();
    const int charging = m_core.batteryCharging(shown);
    if (shown && charging >= 0) {
        m_pBattery->SetBattery(shown->batteryLevel.load(), charging != 0);
        m_pBattery->show();
    } else {
        m_pBattery->hide();
    }
}

void MainWindow::refreshDisplayButton()
{
    m_pWorkAreaPage->ShowDisplaySettingButton(m_core.penDisplayFound());
}
