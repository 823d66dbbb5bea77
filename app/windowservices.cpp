// The services the main window ties together: the action engines' process-wide
// services, the usage upload, the tablets' messages, the UI service and the caption
// window, the pen display's DDC/CI settings, the settings form and the diagnosis dialog.

#include "app/mainwindow.h"

#include "action/actioncaption.h"
#include "action/actionservices.h"
#include "action/actionsystem.h"
#include "action/ui/batterywidget.h"
#include "action/ui/jingximode.h"
#include "action/ui/keypreviewwindow.h"
#include "app/diagnosisfunction.h"
#include "app/keygrouppage.h"
#include "app/mappingmodel.h"
#include "app/penpage.h"
#include "app/ringpage.h"
#include "app/settingform.h"
#include "app/startupoptions.h"
#include "app/tabletmessages.h"
#include "app/uiservicelink.h"
#include "app/workareapage.h"
#include "base/language.h"
#include "base/usagerecord.h"
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
#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/foreground/linux/x11foregroundbackend.h"
#include "uiservice/mylrc.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDateTime>
#include <QProgressBar>
#include <QTimer>
#include <QDebug>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTabWidget>

#include <mutex>

void MainWindow::installActionServices()
{
    ActionServiceBackends backends;
    backends.foreground = X11ForegroundBackend::open();
    if (!backends.foreground) {
        // Wayland or no display: the common profile always.
        backends.foreground = std::make_unique<FixedForegroundBackend>(ForegroundWindow{});
    }
    backends.system = std::make_unique<DesktopActionSystem>();
    // The reading threads look texts up: a settings object of their own, one at a time.
    auto language = std::make_shared<QSettings>(m_pLanguageSettings->fileName(), QSettings::IniFormat);
    language->setIniCodec("UTF-8");
    language->beginGroup(m_strLanguageGroup);
    auto lock = std::make_shared<std::mutex>();
    backends.language = [language, lock](const QString &key, const QString &fallback) {
        std::lock_guard<std::mutex> hold(*lock);
        return Language::text(*language, key, fallback);
    };
    ActionServices::Install(std::move(backends));
}

void MainWindow::startServices()
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
    connect(m_pDisplay.get(), &DisplayBackend::displayChanged, this, &MainWindow::RefreshPenDisplay);

    // The driver update check (it pings only when the installation switches it on).
    m_pLauncher = std::make_unique<DesktopInstallerLauncher>();
    m_pUpdateServer = std::make_unique<UpdateServer>(m_strInstallFolder);
    m_pUpdateOffer = std::make_unique<UpdateOffer>(m_pUpdateServer.get(), m_pLauncher.get(), languageSettings(), this);
    m_pUpdateOffer->SetSettingsButton(m_pSettingsButton);

    // Usage time, counted from here.
    m_nStartMs = QDateTime::currentMSecsSinceEpoch();
    m_pUsageTimer = new QTimer(this);
    m_pUsageTimer->setInterval(30 * 60 * 1000);
    connect(m_pUsageTimer, &QTimer::timeout, this, &MainWindow::OnUsageTimer);
    m_pUsageTimer->start();

    m_pMessages = new TabletMessages([this](const QString &key, const QString &fallback) { return languageText(key, fallback); }, this);
    m_pMessages->SetSettingsWindow(this);
    connectTabletMessages();
}

void MainWindow::connectTabletMessages()
{
    TabletMessages *messages = m_pMessages;
    connect(messages, &TabletMessages::ShowSettingsWindow, this, &MainWindow::OnShowDriver);
    connect(messages, &TabletMessages::UsageRecord, this, [](const QString &text) { ::UsageRecord(text); });
    connect(messages, &TabletMessages::SelectScreen, this, [this](int index) {
        m_pWorkAreaPage->SelectScreen(index);
    });
    connect(messages, &TabletMessages::TouchRingMode, this, [this](bool touch) {
        m_pRingPage->ShowTouchMode(touch);
    });
    connect(messages, &TabletMessages::RingFunctionChanged, this, [this](int ring, int function) {
        CTablet *tablet = currentTablet();
        const bool groupKeys = tablet && tablet->TabletXMLData && tablet->TabletXMLData->SupportGroupKeys != 0;
        if (QAbstractButton *b = ringRadio(RingRadioId(ring, function, groupKeys)))
            b->setChecked(true);
    });
    connect(messages, &TabletMessages::KeyGroupSelected, this, [this](int group) {
        m_pKeyGroupPage->ShowGroup(group);
    });
    connect(messages, &TabletMessages::PenListChanged, this, [this] {
        if (CTablet *tablet = currentTablet())
            m_pPenPage->Update(tablet);
    });
    connect(messages, &TabletMessages::TrayMessage, this, [this](const QString &title, const QString &text, int ms) {
        if (m_pTrayIcon)
            m_pTrayIcon->showMessage(title, text, QSystemTrayIcon::NoIcon, ms);
    });
    connect(messages, &TabletMessages::TabletBatteryChanged, this, [this](CTablet *tablet, int, bool charging) {
        m_BatteryCharging.insert(tablet, charging);
        refreshBattery();
    });
    connect(messages, &TabletMessages::PressureChanged, this, [this](int pressure, int maxPressure) {
        m_pPenPage->ShowPressure(pressure, maxPressure);
    });
    connect(m_pRingPage, &RingPage::TouchModeChanged, messages, &TabletMessages::SetTouchMode);
    connect(m_pPageList, &QListWidget::currentRowChanged, messages, [this](int row) {
        m_pMessages->SetPenPageShown(row >= 0 && row < m_ListedPages.size() && m_ListedPages[row] == PagePen);
    });
}

void MainWindow::refreshBattery()
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
    CTablet *shown = currentTablet();
    if (shown && m_BatteryCharging.contains(shown)) {
        m_pBattery->SetBattery(shown->batteryLevel.load(), m_BatteryCharging.value(shown));
        m_pBattery->show();
    } else {
        m_pBattery->hide();
    }
}

void MainWindow::RefreshPenDisplay()
{
    DisplaySearchResult result;
    m_pMonitor->FindTheVTDisplay(&result, ScreenTable::Current());
    m_bPenDisplayFound = result.found != 0 && result.ddcSupported != 0;
    m_PenDisplayRect = result.currentMode;
    m_pMapping->SetPenDisplayMonitor(result.found ? result.screenSlot : -1);
    qInfo().noquote() << "Pen display search: found" << int(result.found) << "slot" << result.screenSlot << "DDC/CI"
                      << int(result.ddcSupported) << result.deviceName;
    if (m_pDisplayAction)
        m_pDisplayAction->setVisible(m_bPenDisplayFound);
    m_pWorkAreaPage->ShowDisplaySettingButton(m_bPenDisplayFound);
}

void MainWindow::OnDisplaySettings()
{
    if (!m_bPenDisplayFound)
        return;
    auto *dialog = new DisplaySetting(*m_pMonitor, languageSettings(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->OpenForScreen(m_PenDisplayRect);
    dialog->show();
    postUsage(QStringLiteral("OnDisplaySettings"));
}

void MainWindow::OpenSettingForm()
{
    if (!m_pSettingForm) {
        m_pSettingForm = std::make_unique<SettingForm>(languageSettings());
        SettingForm *form = m_pSettingForm.get();
        connect(form, &SettingForm::InputSettings, this, &MainWindow::onImportConfigueFile);
        connect(form, &SettingForm::OutputSettings, this, &MainWindow::onExportConfigueFile);
        // The form and the pen page show the same four switches.
        m_pPenPage->FollowSettingForm(form);
        connect(form, &SettingForm::OpenDiagnosis, this, &MainWindow::OpenDiagnosis);
        connect(form, &SettingForm::DriverDownload, this, &MainWindow::OnUpdateDriver);
    }
    SettingFormStates states;
    if (CTablet *tablet = currentTablet()) {
        const TabletXMLData &profile = *tablet->TabletXMLData;
        states.hotkeyOff = profile.DisableQuickKey != 0;
        states.tipsOff = profile.DisableInfo != 0;
        states.pressureOff = profile.DisablePressure != 0;
        states.tiltOff = profile.DisableSlope != 0;
    }
    m_pSettingForm->SetStates(states);
    // Beside the tray icon; where the system does not say where that is, beside the
    // point the tray menu was used at.
    QRect anchor = m_pTrayIcon ? m_pTrayIcon->geometry() : QRect();
    if (!anchor.isValid() || anchor.isEmpty())
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    m_pSettingForm->PopupAt(anchor);
    postUsage(QStringLiteral("OpenSettingForm"));
}

void MainWindow::OpenDiagnosis()
{
    if (m_pDiagnosis) {
        m_pDiagnosis->raise();
        return;
    }
    m_pDiagnosis = new DiagnosisFunction(languageSettings(), this);
    m_pDiagnosis->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_pDiagnosis, &QObject::destroyed, this, [this] {
        m_pDiagnosis = nullptr;
        updateLiveData();
    });
    connect(m_pDiagnosis, &DiagnosisFunction::CloseDiagnosisFunction, this, &MainWindow::onCloseDiagnosisDlg);
    connect(m_pDiagnosis, &DiagnosisFunction::PostUsageRecord, this,
            [](const QString &name, const QVector<QPair<QString, QString>> &pairs) { ::UsageRecord(name, pairs); });
    if (m_pDiscovery) {
        for (CTablet *tablet : m_pDiscovery->deviceList())
            connect(tablet, &CTablet::SentMultiData, m_pDiagnosis, &DiagnosisFunction::OnMultiData, Qt::QueuedConnection);
    }
    // The driver version is ours: the one update offers are compared with.
    m_pDiagnosis->DiagnosisFun(currentTablet(), Diagnosis::CollectEnvironment(installedProfileVersion(),
                                                                               UpdateServer::InstalledDriverVersion()));
    m_pMessages->SetDiagnosisOpen(true);
    m_pDiagnosis->show();
    updateLiveData();
}

void MainWindow::onCloseDiagnosisDlg()
{
    m_pMessages->SetDiagnosisOpen(false);
    if (m_pDiagnosis)
        m_pDiagnosis->close();
}

void MainWindow::OnGetNewDriver(int flag, QString version, QString downloadLink, QString message)
{
    // The offer connects itself to the check; this slot passes on offers from elsewhere.
    m_pUpdateOffer->OnGetNewDriver(flag, version, downloadLink, message);
}

void MainWindow::OnUpdateDriver()
{
    m_pUpdateOffer->Request();
    postUsage(QStringLiteral("OnUpdateDriver"));
}

void MainWindow::OnUsageTimer()
{
    qInfo() << "Timer out";
    if (currentTablet()) {
        ::UsageRecord(QStringLiteral("DriverUsedMsTime"),
                      UsagePairs{qMakePair(QStringLiteral("tablet"), tabletName()),
                                 qMakePair(QStringLiteral("ms"),
                                           QString::number(QDateTime::currentMSecsSinceEpoch() - m_nStartMs))});
    }
}
