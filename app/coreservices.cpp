// The services the program core ties together: the action engines' process-wide
// services, the usage upload, the tablets' messages, the tray and its notices, the pen
// display's DDC/CI settings, the settings panel, the diagnosis dialog, the update offer
// and the settings file dialogs.

#include "action/ui/jingximode.h"
#include "action/ui/keypreviewwindow.h"
#include "app/appcore.h"

#include "action/actionservices.h"
#include "action/actionsystem.h"
#include "app/diagnosisfunction.h"
#include "app/mainwindow.h"
#include "app/mappingmodel.h"
#include "app/settingform.h"
#include "app/startupoptions.h"
#include "app/tabletmessages.h"
#include "base/language.h"
#include "base/usagerecord.h"
#include "config/profilestore.h"
#include "config/settingsfile.h"
#include "device/tabletdiscovery.h"
#include "mapping/screentable.h"
#include "monitor/displaysetting.h"
#include "monitor/monitorcontrol.h"
#include "monitor/monitorids.h"
#include "online/installerlauncher.h"
#include "online/jsonserver.h"
#include "online/updateoffer.h"
#include "online/updateserver.h"
#include "platform/ddc/fakeddcbackend.h"
#include "platform/ddc/linux/ddcutilbackend.h"
#include "platform/display/displaybackend.h"
#include "platform/foreground/linux/foregroundfactory.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QImageReader>
#include <QPixmap>
#include <QThreadPool>
#include <QTimer>

#include <mutex>

void AppCore::installActionServices()
{
    ActionServiceBackends backends;
    ForegroundChoice foreground = CreateForegroundBackend(m_Session);
    backends.foreground = std::move(foreground.backend);
    m_SessionBackends.foreground = foreground.name;
    backends.system = std::make_unique<DesktopActionSystem>();
    // The reading threads look texts up in a copy of the table (it shares the texts).
    auto language =
        std::make_shared<std::shared_ptr<const LanguageTexts>>(std::make_shared<const LanguageTexts>(m_LanguageTexts));
    auto lock = std::make_shared<std::mutex>();
    m_pThreadLanguage = language;
    m_pThreadLanguageLock = lock;
    backends.language = [language, lock](const QString &key, const QString &fallback) {
        std::shared_ptr<const LanguageTexts> texts;
        {
            std::lock_guard<std::mutex> hold(*lock);
            texts = *language;
        }
        return texts->text(key, fallback);
    };
    ActionServices::Install(std::move(backends));
}

void AppCore::startServices()
{
    // Usage records: the upload decides itself whether it collects.
    m_pJsonServer = std::make_unique<JsonServer>(m_strInstallFolder, m_strDataFolder, m_strLanguageGroup);
    SetUsageRecordSink(m_pJsonServer.get());

    // The pen display's monitor: DDC/CI through libddcutil; under --simulate a fake
    // monitor with the simulated pen display's EDID.
    if (startupOptions().simulate) {
        FakeMonitor monitor;
        monitor.edid = MonitorIds::SimulatedPenDisplayEdid();
        monitor.values = {{0x10, 50}, {0x12, 50}, {0x14, 0x05}, {0x16, 255}, {0x18, 255}, {0x1A, 255}};
        monitor.maximums = {{0x16, 255}, {0x18, 255}, {0x1A, 255}};
        m_pDdc = std::make_unique<FakeDdcBackend>(QVector<FakeMonitor>{monitor});
    } else {
        m_pDdc = std::make_unique<DdcutilBackend>();
    }
    m_pMonitor = std::make_unique<MonitorControl>(*m_pDdc, MonitorControl::OutputsOf(*m_pDisplay));
    // After the mapping model's own repair (connected first, in its constructor).
    connect(m_pDisplay.get(), &DisplayBackend::displayChanged, this, &AppCore::RefreshPenDisplay);

    // The driver update check (it pings only when the installation switches it on).
    m_pLauncher = std::make_unique<DesktopInstallerLauncher>();
    // The start-up check begins with startAfterTray().
    m_pUpdateServer = std::make_unique<UpdateServer>(m_strInstallFolder, nullptr, UpdateServer::CheckLater);
    m_pUpdateOffer = std::make_unique<UpdateOffer>(m_pUpdateServer.get(), m_pLauncher.get(), languageTexts(), nullptr);

    // Usage time, counted from here.
    m_nStartMs = QDateTime::currentMSecsSinceEpoch();
    m_pUsageTimer = new QTimer(this);
    m_pUsageTimer->setInterval(30 * 60 * 1000);
    connect(m_pUsageTimer, &QTimer::timeout, this, &AppCore::OnUsageTimer);
    m_pUsageTimer->start();

    m_pMessages = new TabletMessages([this](const QString &key, const QString &fallback) { return languageText(key, fallback); }, this);
    connectTabletMessages();
}

void AppCore::connectTabletMessages()
{
    // What changes the profiles or the tray is done here, window or not; the window
    // follows the same signals to show it.
    TabletMessages *messages = m_pMessages;
    connect(messages, &TabletMessages::ShowSettingsWindow, this, &AppCore::OnShowDriver);
    connect(messages, &TabletMessages::UsageRecord, this, [](const QString &text) { ::UsageRecord(text); });
    connect(messages, &TabletMessages::SelectScreen, this, [this](int index) { m_pMapping->ScreenSelected(index); });
    connect(messages, &TabletMessages::TouchRingMode, this, &AppCore::setTouchMode);
    connect(messages, &TabletMessages::TrayMessage, this, [this](const QString &title, const QString &text, int ms) {
        if (m_pTrayIcon)
            m_pTrayIcon->showMessage(title, text, QSystemTrayIcon::NoIcon, ms);
    });
    connect(messages, &TabletMessages::TabletBatteryChanged, this, [this](CTablet *tablet, int, bool charging) {
        m_BatteryCharging.insert(tablet, charging);
        refreshBattery();
    });
}

void AppCore::setTouchMode(bool touch)
{
    CTablet *tablet = currentTablet();
    AppConfigNode *app = currentApp();
    if (!tablet || !app)
        return;
    tablet->EditProfile([&](TabletXMLData &) { app->TRMode = touch ? 1 : 0; });
    // Second set-light form: 1 with the orientation uses the ring as a touch area, 3 as
    // a wheel.
    m_pMessages->SetTouchMode(touch);
    if (touch)
        tablet->SentCmd(CmdSetLight2, 1, tablet->TabletXMLData->Orientation);
    else
        tablet->SentCmd(CmdSetLight2, 3, 0);
    emit UsageRecord(touch ? QStringLiteral("radioButtonTouchClicked") : QStringLiteral("radioButtonWheelClicked"));
}

void AppCore::setProfileSwitch(int16_t TabletXMLData::*field, bool on)
{
    CTablet *tablet = currentTablet();
    if (!tablet || !tablet->TabletXMLData)
        return;
    tablet->EditProfile([&](TabletXMLData &profile) { profile.*field = on ? 1 : 0; });
}

void AppCore::updateLiveData()
{
    if (!m_pDiscovery)
        return;
    // Each live record is a queued signal per packet, which doubles the work of a
    // streaming tablet: only the tablet shown sends them, and only while they are seen.
    const bool seen = (m_pWindow && m_pWindow->isVisible() && !m_pWindow->isMinimized()) || m_pDiagnosis != nullptr;
    CTablet *current = currentTablet();
    for (CTablet *tablet : m_pDiscovery->deviceList())
        tablet->emitToUi = (seen && tablet == current) ? 1 : 0;
}

void AppCore::refreshBattery()
{
    QStringList lines{QStringLiteral("Inkora")};
    QHash<const CTablet *, bool> charging;
    if (m_pDiscovery) {
        for (CTablet *tablet : m_pDiscovery->deviceList()) {
            const int level = tablet->batteryLevel.load();
            if (level < 0 || !m_BatteryCharging.contains(tablet))
                continue;
            charging.insert(tablet, m_BatteryCharging.value(tablet));
            QString line = QStringLiteral("%1: %2 %").arg(QString::fromLocal8Bit(tablet->m_DeviceAttributes.DisplayName)).arg(level);
            if (charging.value(tablet))
                line += QStringLiteral(" (%1)").arg(languageText(QStringLiteral("Common.charging"), QStringLiteral("charging")));
            lines << line;
        }
    }
    m_BatteryCharging = charging; // tablets gone since are forgotten
    if (m_pTrayIcon)
        m_pTrayIcon->setToolTip(lines.join(QLatin1Char('\n')));
    emit BatteryChanged();
}

int AppCore::batteryCharging(const CTablet *tablet) const
{
    const auto it = m_BatteryCharging.find(tablet);
    return it == m_BatteryCharging.end() ? -1 : int(it.value());
}

void AppCore::RefreshPenDisplay()
{
    const int generation = ++m_nSearchGeneration;
    if (!m_bSearchOffGuiThread) {
        DisplaySearchResult result;
        m_pMonitor->FindTheVTDisplay(&result, ScreenTable::Current());
        applyPenDisplay(result, generation);
        return;
    }
    // The outputs are read here: the display facility is the GUI thread's.
    const QVector<MonitorOutput> outputs = MonitorControl::OutputsOf(*m_pDisplay)();
    const ScreenTableData table = ScreenTable::Current();
    DdcBackend *ddc = m_pDdc.get();
    if (!m_pSearchPool) {
        m_pSearchPool = std::make_unique<QThreadPool>();
        m_pSearchPool->setMaxThreadCount(1);
        // The thread ends with its search: searches are rare, and a thread kept for the
        // next one would wake 30 s later (the pool's default) only to end then.
        m_pSearchPool->setExpiryTimeout(0);
    }
    m_pSearchPool->start([this, ddc, outputs, table, generation] {
        // A monitor control of the search's own: the settings dialog's keeps its monitor.
        MonitorControl search(*ddc, [outputs] { return outputs; });
        DisplaySearchResult result;
        search.FindTheVTDisplay(&result, table);
        QMetaObject::invokeMethod(
            this, [this, result, generation] { applyPenDisplay(result, generation); }, Qt::QueuedConnection);
    });
}

void AppCore::applyPenDisplay(const DisplaySearchResult &result, int generation)
{
    if (generation != m_nSearchGeneration)
        return; // a display change asked for another search since
    m_bPenDisplayFound = result.found != 0 && result.ddcSupported != 0;
    m_PenDisplayRect = result.currentMode;
    m_pMapping->SetPenDisplayMonitor(result.found ? result.screenSlot : -1);
    qInfo().noquote() << "Pen display search: found" << int(result.found) << "slot" << result.screenSlot << "DDC/CI"
                      << int(result.ddcSupported) << result.deviceName;
    if (m_pDisplayAction)
        m_pDisplayAction->setVisible(m_bPenDisplayFound);
    emit PenDisplayChanged();
}

void AppCore::OnDisplaySettings()
{
    if (!m_bPenDisplayFound)
        return;
    auto *dialog = new DisplaySetting(*m_pMonitor, languageTexts(), dialogParent());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->OpenForScreen(m_PenDisplayRect);
    dialog->show();
    emit UsageRecord(QStringLiteral("OnDisplaySettings"));
}

void AppCore::OpenSettingForm()
{
    if (!m_pSettingForm) {
        m_pSettingForm = std::make_unique<SettingForm>(languageTexts());
        SettingForm *form = m_pSettingForm.get();
        connect(form, &SettingForm::InputSettings, this, &AppCore::onImportConfigueFile);
        connect(form, &SettingForm::OutputSettings, this, &AppCore::onExportConfigueFile);
        // The panel and the pen page show the same four switches, with the same records.
        const auto onSwitch = [this](int16_t TabletXMLData::*field, const char *usage) {
            return [this, field, usage](bool on) {
                setProfileSwitch(field, on);
                emit ProfileSwitchesChanged();
                emit UsageRecord(QLatin1String(usage));
            };
        };
        connect(form, &SettingForm::HotkeyChecked, this, onSwitch(&TabletXMLData::DisableQuickKey, "onCheckBoxDisableHotkey"));
        connect(form, &SettingForm::TipMessageChecked, this, onSwitch(&TabletXMLData::DisableInfo, "onCheckBoxDisableTipMsg"));
        connect(form, &SettingForm::DisablePressure, this, onSwitch(&TabletXMLData::DisablePressure, "onCheckBoxDisablePress"));
        connect(form, &SettingForm::DisableSlope, this, onSwitch(&TabletXMLData::DisableSlope, "onCheckBoxDisableSlope"));
        connect(form, &SettingForm::OpenDiagnosis, this, &AppCore::OpenDiagnosis);
        connect(form, &SettingForm::DriverDownload, this, &AppCore::OnUpdateDriver);
    }
    SettingFormStates states;
    if (CTablet *tablet = currentTablet()) {
        tablet->EditProfile([&](const TabletXMLData &profile) {
            states.hotkeyOff = profile.DisableQuickKey != 0;
            states.tipsOff = profile.DisableInfo != 0;
            states.pressureOff = profile.DisablePressure != 0;
            states.tiltOff = profile.DisableSlope != 0;
        });
    }
    m_pSettingForm->SetStates(states);
    // Beside the tray icon; where the system does not say where that is, beside the
    // point the tray menu was used at.
    QRect anchor = m_pTrayIcon ? m_pTrayIcon->geometry() : QRect();
    if (!anchor.isValid() || anchor.isEmpty())
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    m_pSettingForm->PopupAt(anchor);
    emit UsageRecord(QStringLiteral("OpenSettingForm"));
}

void AppCore::OpenDiagnosis()
{
    if (m_pDiagnosis) {
        m_pDiagnosis->raise();
        return;
    }
    m_pDiagnosis = new DiagnosisFunction(languageTexts(), dialogParent());
    m_pDiagnosis->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_pDiagnosis, &QObject::destroyed, this, [this] {
        m_pDiagnosis = nullptr;
        updateLiveData();
    });
    connect(m_pDiagnosis, &DiagnosisFunction::CloseDiagnosisFunction, this, &AppCore::onCloseDiagnosisDlg);
    connect(m_pDiagnosis, &DiagnosisFunction::PostUsageRecord, this,
            [](const QString &name, const QVector<QPair<QString, QString>> &pairs) { ::UsageRecord(name, pairs); });
    if (m_pDiscovery) {
        for (CTablet *tablet : m_pDiscovery->deviceList())
            connect(tablet, &CTablet::SentMultiData, m_pDiagnosis, &DiagnosisFunction::OnMultiData, Qt::QueuedConnection);
    }
    // The tablet shown follows the window's choice.
    connect(this, &AppCore::CurrentTabletChanged, m_pDiagnosis, [this] { m_pDiagnosis->ShowTablet(currentTablet()); });
    // The driver version is ours: the one update offers are compared with.
    m_pDiagnosis->DiagnosisFun(currentTablet(), Diagnosis::CollectEnvironment(installedProfileVersion(),
                                                                               UpdateServer::InstalledDriverVersion()));
    m_pMessages->SetDiagnosisOpen(true);
    m_pDiagnosis->show();
    updateLiveData();
}

void AppCore::onCloseDiagnosisDlg()
{
    m_pMessages->SetDiagnosisOpen(false);
    if (m_pDiagnosis)
        m_pDiagnosis->close();
}

void AppCore::OnUpdateDriver()
{
    m_pUpdateOffer->Request();
    emit UsageRecord(QStringLiteral("OnUpdateDriver"));
}

void AppCore::OnUsageTimer()
{
    qInfo() << "Timer out";
    if (currentTablet()) {
        ::UsageRecord(QStringLiteral("DriverUsedMsTime"),
                      UsagePairs{qMakePair(QStringLiteral("tablet"), tabletName()),
                                 qMakePair(QStringLiteral("ms"),
                                           QString::number(QDateTime::currentMSecsSinceEpoch() - m_nStartMs))});
    }
}

QWidget *AppCore::dialogParent() const
{
    return m_pWindow.get();
}

// --- tray and notices -------------------------------------------------------------------

namespace {

// A PNG read by the built-in reader alone: left to find the format itself, Qt loads
// every image format plug-in (and the SVG and JPEG libraries) to ask it.
QIcon PngIcon(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}

} // namespace

std::unique_ptr<QSystemTrayIcon> AppCore::showEarlyTrayIcon()
{
    auto icon = std::make_unique<QSystemTrayIcon>(PngIcon(QStringLiteral(":/image/Res/inkora.png")));
    icon->setToolTip(QStringLiteral("Inkora"));
    icon->show();
    return icon;
}

void AppCore::createTrayIcon()
{
    createTrayIcon(nullptr);
}

void AppCore::createTrayIcon(std::unique_ptr<QSystemTrayIcon> shown)
{
    if (m_pTrayIcon)
        return;
    if (shown) {
        m_pTrayIcon = shown.release();
        m_pTrayIcon->setParent(this);
    } else {
        m_pTrayIcon = new QSystemTrayIcon(PngIcon(QStringLiteral(":/image/Res/inkora.png")), this);
    }
    m_pTrayIcon->setToolTip(QStringLiteral("Inkora"));

    m_pTrayMenu = std::make_unique<QMenu>();
    QMenu *menu = m_pTrayMenu.get();
    m_pShowAction = menu->addAction(languageText(QStringLiteral("Tray.show"), QStringLiteral("Show")));
    m_pSettingAction = menu->addAction(languageText(QStringLiteral("Tray.setting"), QStringLiteral("Settings")));
    m_pUpdateAction = menu->addAction(languageText(QStringLiteral("Tray.update"), QStringLiteral("Check for updates")));
    menu->addSeparator();
    m_pQuitAction = menu->addAction(languageText(QStringLiteral("Tray.exit"), QStringLiteral("Exit")));
    connect(m_pShowAction, &QAction::triggered, this, &AppCore::OnShowDriver);
    connect(m_pQuitAction, &QAction::triggered, this, &AppCore::OnQuiqDriver);
    connect(m_pSettingAction, &QAction::triggered, this, &AppCore::OpenSettingForm);
    connect(m_pUpdateAction, &QAction::triggered, this, &AppCore::OnUpdateDriver);
    // The pen display's own settings, only while one with DDC/CI is attached.
    m_pDisplayAction = new QAction(languageText(QStringLiteral("DisplaySetting.Caption"), QStringLiteral("Display Settings")), menu);
    menu->insertAction(m_pUpdateAction, m_pDisplayAction);
    m_pDisplayAction->setVisible(m_bPenDisplayFound);
    connect(m_pDisplayAction, &QAction::triggered, this, &AppCore::OnDisplaySettings);
    // The menu's pictures are read when it is first opened, not while the icon docks.
    connect(menu, &QMenu::aboutToShow, this, [this] {
        if (!m_pShowAction->icon().isNull())
            return;
        const auto picture = [](const char *name) { return PngIcon(QStringLiteral(":/image/Res/") + QLatin1String(name)); };
        m_pShowAction->setIcon(picture("show.png"));
        m_pSettingAction->setIcon(picture("setting.png"));
        m_pUpdateAction->setIcon(picture("update.png"));
        m_pQuitAction->setIcon(picture("close.png"));
        m_pDisplayAction->setIcon(picture("setting.png"));
    });
    m_pTrayIcon->setContextMenu(menu);
    connect(m_pTrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            OnShowDriver();
    });
    m_pTrayIcon->show();
    m_pMessages->SetTrayAvailable(true);
    qInfo() << "Tray icon created, system tray available:" << QSystemTrayIcon::isSystemTrayAvailable();
    // Wayland desktops without a StatusNotifierItem host (GNOME without an AppIndicator
    // extension) show no tray: starting the program again from its desktop entry asks
    // this instance to show the settings window.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        qInfo() << "No system tray: the settings window opens from the Inkora desktop entry";
    const QStringList waiting = m_TrayNoticesWaiting;
    m_TrayNoticesWaiting.clear();
    for (const QString &text : waiting)
        showTrayOrBox(text);
}

void AppCore::notifyUser(const QString &text, NoticeWay way)
{
    qInfo().noquote() << "Told the user:" << text;
    m_UserNotices << text;
    if (way == NoticeWay::Tray && !m_pTrayIcon) {
        m_TrayNoticesWaiting << text; // start-up: the tray icon comes after the core
        return;
    }
    if (way == NoticeWay::Tray)
        showTrayOrBox(text);
    else
        showNoticeBox(text);
}

void AppCore::showTrayOrBox(const QString &text)
{
    // Without a tray host a tray message would go nowhere.
    if (m_pTrayIcon && QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages())
        m_pTrayIcon->showMessage(QStringLiteral("Inkora"), text, QSystemTrayIcon::Information, 10000);
    else
        showNoticeBox(text);
}

void AppCore::showNoticeBox(const QString &text)
{
    // Not exec(): a notice must not start another event loop inside the caller's.
    auto *box = new QMessageBox(QMessageBox::Information,
                                languageText(QStringLiteral("Common.information"), QStringLiteral("Information")), text,
                                QMessageBox::Ok, dialogParent());
    box->setObjectName(QStringLiteral("noticeBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void AppCore::OnShowDriver()
{
    window().OnShowDriver();
}

void AppCore::OnQuiqDriver()
{
    qInfo() << "Exit from tray";
    emit UsageRecord(QStringLiteral("ExitDriver"));
    QApplication::quit();
}

// --- settings files ---------------------------------------------------------------------

void AppCore::onExportConfigueFile()
{
    QWidget *parent = dialogParent();
    const QString name = QFileDialog::getSaveFileName(parent, languageText(QStringLiteral("Setting.item8"), QStringLiteral("Save as")),
                                                      DefaultExportName(QDir::homePath(), QDate::currentDate()),
                                                      QStringLiteral("file(*.pcfg)"));
    if (name.isEmpty())
        return;
    if (exportConfigTo(name)) {
        QMessageBox::information(parent, languageText(QStringLiteral("Common.information"), QStringLiteral("Information")),
                                 languageText(QStringLiteral("Information.801"), QStringLiteral("Export configue file successfully.")));
    } else {
        QMessageBox::warning(parent, languageText(QStringLiteral("Common.error"), QStringLiteral("Error")),
                             languageText(QStringLiteral("Error.201"), QStringLiteral("Fail to export configue file!")));
    }
}

void AppCore::onImportConfigueFile()
{
    QWidget *parent = dialogParent();
    const QString name = QFileDialog::getOpenFileName(parent, languageText(QStringLiteral("Setting.item7"), QStringLiteral("Please choose config file")),
                                                      QDir::homePath(), QStringLiteral("file(*.pcfg)"));
    if (name.isEmpty())
        return;
    const int code = importConfigFrom(name);
    if (code == ProfileImportIncomplete) {
        QStringList names = m_ImportMissing.mid(0, 3);
        if (m_ImportMissing.size() > 3)
            names << languageText(QStringLiteral("Import.andMore"), QStringLiteral("%1 more")).arg(m_ImportMissing.size() - 3);
        QMessageBox::warning(parent, languageText(QStringLiteral("Common.error"), QStringLiteral("Error")),
                             languageText(QStringLiteral("Import.noProfile"),
                                          QStringLiteral("This settings file holds no settings for %1 so it was not "
                                                         "imported. Your settings are unchanged."))
                                 .arg(names.join(QStringLiteral(", "))));
    } else if (code != 0) {
        QMessageBox::warning(parent, languageText(QStringLiteral("Common.error"), QStringLiteral("Error")),
                             languageText(QStringLiteral("Error.%1").arg(code), QStringLiteral("ERROR:%1").arg(code)));
    } else {
        // The replaced file stays beside the new one; the user may take it back at once.
        QMessageBox box(QMessageBox::Information, languageText(QStringLiteral("Common.information"), QStringLiteral("Information")),
                        languageText(QStringLiteral("Import.done"),
                                     QStringLiteral("The settings were imported. Your previous settings were kept as %1."))
                            .arg(QDir::toNativeSeparators(m_strImportBackup)),
                        QMessageBox::Ok, parent);
        QPushButton *restore = box.addButton(languageText(QStringLiteral("Import.restore"), QStringLiteral("Restore previous settings")),
                                             QMessageBox::ResetRole);
        box.exec();
        if (box.clickedButton() == restore) {
            const int restored = restoreConfigBeforeImport();
            if (restored != 0)
                QMessageBox::warning(parent, languageText(QStringLiteral("Common.error"), QStringLiteral("Error")),
                                     languageText(QStringLiteral("Error.%1").arg(restored), QStringLiteral("ERROR:%1").arg(restored)));
        }
    }
}
