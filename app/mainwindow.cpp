#include "app/mainwindow.h"

#include "action/actioncaption.h"
#include "action/actionservices.h"
#include "action/caction.h"
#include "action/ui/batterywidget.h"
#include "action/ui/jingximode.h"
#include "action/ui/keypreviewwindow.h"
#include "app/diagnosisfunction.h"
#include "app/firmwarelaunch.h"
#include "app/importsettingdialog.h"
#include "app/mappingmodel.h"
#include "app/profilesetup.h"
#include "app/settingform.h"
#include "app/startupoptions.h"
#include "app/tabletmessages.h"
#include "app/uiservicelink.h"
#include "app/workareapage.h"
#include "base/language.h"
#include "base/loghandler.h"
#include "base/paths.h"
#include "base/usagerecord.h"
#include "config/configversion.h"
#include "config/profilestore.h"
#include "config/settingsfile.h"
#include "device/ctablet.h"
#include "device/tabletdiscovery.h"
#include "device/tabletpacket.h"
#include "driverlink/driverlink.h"
#include "driverlink/sharedblock.h"
#include "monitor/monitorcontrol.h"
#include "monitor/monitorids.h"
#include "online/installerlauncher.h"
#include "online/jsonserver.h"
#include "online/updateoffer.h"
#include "online/updateserver.h"
#include "platform/ddc/ddcbackend.h"
#include "platform/display/displaybackend.h"
#include "platform/display/linux/xrandrdisplaybackend.h"
#include "platform/hid/hidmonitor.h"
#include "platform/hid/linux/hidrawbackend.h"
#include "platform/input/linux/systeminputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/locale/localebackend.h"
#include "platform/power/linux/logindpowermonitor.h"
#include "platform/vhid/linux/uinputvhidbackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"
#include "sim/simbletablet.h"
#include "sim/simcontrol.h"
#include "sim/simhidbackend.h"
#include "sim/simselection.h"
#include "sim/vhidrecordfile.h"
#include "uiservice/mylrc.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDebug>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMetaType>
#include <QRegularExpression>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char kNoDeviceKey[] = "MainWindow.noDevice";
const char kNoDeviceText[] = "Please connect device.";
} // namespace

namespace {

// The USB tablets of --simulate[=LIST] (sim/simselection.h); nothing named: the
// default one.
std::unique_ptr<SimHidBackend> CreateSimulatedBackend(const SimSelection &selection, bool bare)
{
    auto sim = std::make_unique<SimHidBackend>();
    QVector<const SimModel *> models = selection.usb;
    if (bare)
        models << &SimModels::defaultModel();
    for (const QString &name : selection.unknown)
        qWarning().noquote() << "simulate: no simulated tablet" << name;
    for (const SimModel *m : models) {
        sim->plug(*m);
        qInfo().noquote() << "simulate: tablet" << QLatin1String(m->modelKey) << "plugged in";
    }
    return sim;
}

// The virtual device: the system's (uinput), or under --simulate with --vhid-record a
// file that records every report.
std::unique_ptr<VhidBackend> CreateVhidBackend()
{
    const StartupOptions &options = startupOptions();
    if (!options.vhidRecordFile.isEmpty()) {
        if (!options.simulate) {
            qWarning() << "--vhid-record is taken only together with --simulate";
        } else {
            QString why;
            if (std::unique_ptr<VhidRecordFile> file = VhidRecordFile::Open(options.vhidRecordFile, &why)) {
                qInfo().noquote() << "simulate: virtual device reports recorded to" << file->fileName();
                return file;
            }
            qWarning().noquote() << "simulate: cannot record the virtual device to" << options.vhidRecordFile << ":"
                                 << why;
        }
    }
    return std::make_unique<UinputVhidBackend>();
}

} // namespace

MainWindow::MainWindow(const QString &installFolder, const LocaleBackend &locale, QWidget *parent)
    : MainWindow(installFolder, locale, nullptr, parent)
{
}

MainWindow::MainWindow(const QString &installFolder, const LocaleBackend &locale, std::unique_ptr<HidBackend> hid,
                       QWidget *parent)
    : QMainWindow(parent), m_strInstallFolder(installFolder)
{
    m_strDataFolder = Paths::dataFolder();
    m_strConfigPath = m_strDataFolder + QStringLiteral("/config.xml");

    const ProfileSetupResult profile = setUpUserProfile(m_strInstallFolder, m_strDataFolder);
    // The data folder (and so the log file) is in place from here on.
    qInfo().noquote() << programStartText(QStringLiteral("Inkora"));
    m_strInstalledVersion = profile.installedVersion;
    m_nProfileCheckCode = profile.code;

    const QString namePath = m_strDataFolder + QStringLiteral("/name_config.ini");
    const QString languagePath = m_strDataFolder + QStringLiteral("/language.ini");
    m_pNameSettings = std::make_unique<QSettings>(namePath, QSettings::IniFormat);
    m_pLanguageSettings = std::make_unique<QSettings>(languagePath, QSettings::IniFormat);
    m_pLanguageSettings->setIniCodec("UTF-8");

    const int languageId = locale.userDefaultUiLanguage();
    m_strLanguageGroup = Language::groupForLanguageId(languageId);
    m_pLanguageSettings->beginGroup(m_strLanguageGroup);
    qInfo().noquote() << "UI language id" << languageId << ", group" << m_strLanguageGroup;

    // The user's file was replaced by the defaults: said once, in the run that did it.
    if (profile.copied && profile.code != ProfileOpenFailed) {
        const QString backup = QDir::toNativeSeparators(m_strConfigPath + QStringLiteral(".bak"));
        if (!profile.backedUp)
            notifyUser(languageText(QStringLiteral("Message.profileLost"),
                                    QStringLiteral("Your settings file could not be used and was replaced by the "
                                                   "default settings. It could not be kept.")),
                       NoticeWay::Tray);
        else if (profile.code == ConfigVersionDiffers)
            notifyUser(languageText(QStringLiteral("Message.profileUpgraded"),
                                    QStringLiteral("Your settings were replaced by the default settings of this "
                                                   "version. The previous settings file was kept as %1."))
                           .arg(backup),
                       NoticeWay::Tray);
        else
            notifyUser(languageText(QStringLiteral("Message.profileDamaged"),
                                    QStringLiteral("Your settings file was damaged and has been replaced by the "
                                                   "default settings. The damaged file was kept as %1."))
                           .arg(backup),
                       NoticeWay::Tray);
    }

    // Displays: under --simulate one fixed screen that carries the simulated pen
    // display's EDID, so the pen display search finds it.
    if (startupOptions().simulate) {
        DisplayScreen screen;
        screen.geometry = QRect(0, 0, 1920, 1080);
        screen.name = QStringLiteral("SIM-1");
        screen.primary = true;
        screen.edid = MonitorIds::SimulatedPenDisplayEdid();
        m_pDisplay = std::make_unique<FixedDisplayBackend>(std::vector<DisplayScreen>{screen});
    } else {
        m_pDisplay = std::make_unique<XRandrDisplayBackend>();
    }
    m_pMapping = std::make_unique<MappingModel>(
        m_pDisplay.get(), [this](const QString &key, const QString &fallback) { return languageText(key, fallback); });

    // Every usage record of the window goes to the one routing function, with the tablet.
    connect(this, &MainWindow::UsageRecord, this, [this](const QString &name) {
        if (name == QLatin1String("ExitDriver"))
            ::UsageRecord(name, QStringLiteral("1"));
        else
            ::UsageRecord(UsageRecordText(name, tabletName()));
    });

    // Before the widgets exist: changing the flags re-parents the window, which polishes
    // every widget under it again with the style sheet.
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    buildWindow();
    // The per-packet result record reaches this window from the tablet reading threads
    // through queued signals: registered before any tablet opens.
    qRegisterMetaType<MultiData>("MultiData");
    setWindowTitle(QStringLiteral("Inkora"));
    setWindowIcon(QIcon(QStringLiteral(":/image/Res/inkora.png")));

    // The Wintab map and the virtual HID device, on this system's backends; whether
    // the device was found is CVMultiDriver::IsFound() from here on.
    DriverLinkBackends driverLink;
    driverLink.vhid = CreateVhidBackend();
    driverLink.ipc = std::make_unique<PosixIpcBackend>();
    driverLink.input = createSystemInputInjector();
    DriverLink::Open(std::move(driverLink));

    // The screens before the tablets: a profile without a screen area takes the one of
    // its screen index.
    m_pMapping->EnumDisplay();

    // The engines' services exist before the first tablet (and its engine) does.
    installActionServices();
    startServices();
    RefreshPenDisplay();

    // Under --simulate the simulated tablets, driven through the control socket.
    const StartupOptions &options = startupOptions();
    if (!hid && options.simulate) {
        const SimSelection selection = ParseSimulateList(options.simulateModel);
        std::unique_ptr<SimHidBackend> sim =
            CreateSimulatedBackend(selection, options.simulateModel.trimmed().isEmpty());
        m_pSimControl = std::make_unique<SimControl>(sim.get());
        hid = AddSimulatedBluetooth(std::move(sim), selection.bluetooth);
        m_pSimControl->SetBluetooth(dynamic_cast<SimBleHidBackend *>(hid.get()));
    } else if (!hid) {
        hid = std::make_unique<HidrawBackend>();
    }
    startDevices(std::move(hid));
    if (m_pSimControl)
        m_pSimControl->Listen(SimControl::DefaultSocketPath());

    // The UI service link on the shared block, and the caption window of the actions.
    if (m_pSharedBlock) {
        m_pUiLink = new UiServiceLink(m_pSharedBlock, m_pMapping.get(), this);
        connect(m_pWorkAreaPage, &WorkAreaPage::SelectScreenAreaClicked, m_pUiLink, &UiServiceLink::SetscreenAreaClicked);
        connect(m_pWorkAreaPage, &WorkAreaPage::CalibrateClicked, m_pUiLink, &UiServiceLink::ScreenCalibrateClicked);
        connect(m_pUiLink, &UiServiceLink::ResultDropped, this, &MainWindow::tellEditDropped);
        connect(m_pUiLink, &UiServiceLink::UsageRecord, this, [this](const QString &name, const QVariantMap &fields) {
            UsagePairs pairs{qMakePair(QStringLiteral("tablet"), tabletName())};
            for (auto it = fields.begin(); it != fields.end(); ++it)
                pairs.append(qMakePair(it.key(), it.value().toString()));
            ::UsageRecord(name, pairs);
        });
    }
    m_pCaption = std::make_unique<MyLrc>();
    connect(ActionCaption::MyLrc(), &ActionCaption::EmitAction, m_pCaption.get(), &MyLrc::OnEmitAction, Qt::QueuedConnection);
    connect(ActionCaption::MyLrc(), &ActionCaption::EmitRingLrc, m_pCaption.get(), &MyLrc::OnEmitRingLrc, Qt::QueuedConnection);

    // The screenshot run (scripts/screenshots): once the window is up, picture every
    // page and end.
    const QString screenshots = qEnvironmentVariable("INKORA_SCREENSHOTS");
    if (!screenshots.isEmpty()) {
        QTimer::singleShot(1000, this, [this, screenshots] {
            OnShowDriver();
            const QStringList files = saveScreenshots(screenshots);
            qInfo().noquote() << "Screenshots saved:" << files.size();
            QApplication::quit();
        });
    }
}

void MainWindow::startDevices(std::unique_ptr<HidBackend> hid)
{
    m_pHid = std::move(hid);
    m_bDeviceStartupOk = m_pHid->init();
    if (!m_bDeviceStartupOk)
        qWarning() << "Device start-up: the HID library did not start";

    m_pDiscovery = std::make_unique<TabletDiscovery>(m_pHid.get(), m_pNameSettings.get());
    m_pDiscovery->SetTabletSetup(&AttachActionEngine);
    connect(m_pDiscovery.get(), &TabletDiscovery::TabletConnected, this, &MainWindow::OnTabletConnected);
    connect(m_pDiscovery.get(), &TabletDiscovery::TabletDisconnecting, this, &MainWindow::OnTabletDisconnecting);
    connect(m_pDiscovery.get(), &TabletDiscovery::NoTabletLeft, this, &MainWindow::RefreshDeviceSelector);
    connect(m_pDiscovery.get(), &TabletDiscovery::TabletWaiting, this, [this] {
        if (m_bTabletLimitTold)
            return; // once a run: the log names every tablet that waits
        m_bTabletLimitTold = true;
        notifyUser(languageText(QStringLiteral("Message.tabletLimit"),
                                QStringLiteral("Inkora works with up to five tablets at a time. Another tablet is "
                                               "connected and will be used as soon as one of the five is unplugged.")),
                   NoticeWay::Tray);
    });
    connect(m_pDiscovery.get(), &TabletDiscovery::UsageRecord, this, [](const QString &name, const QVariantMap &fields) {
        UsagePairs pairs;
        for (auto it = fields.begin(); it != fields.end(); ++it)
            pairs.append(qMakePair(it.key(), it.value().toString()));
        ::UsageRecord(name, pairs);
    });
    if (m_bDeviceStartupOk)
        m_pDiscovery->EnmuTabeltDevice();

    // Arrivals and removals of the maker's interfaces while the program runs.
    m_pHidMonitor = m_pHid->createMonitor(0x28BD);
    if (!m_pHidMonitor || !m_pHidMonitor->start()) {
        qWarning() << "Device start-up: no device notices, hot-plug is not followed";
        m_bDeviceStartupOk = false;
    } else {
        connect(m_pHidMonitor.get(), &HidMonitor::interfaceArrived, this, [this](const HidDeviceInfo &info) {
            m_pDiscovery->DeviceArrived(info.path);
            RefreshDeviceSelector();
        });
        connect(m_pHidMonitor.get(), &HidMonitor::interfaceRemoved, this, [this](const HidDeviceInfo &info) {
            m_pDiscovery->DeviceRemoved(info.path);
            RefreshDeviceSelector();
        });
    }

    // Devices forget their report mode while the system sleeps.
    m_pPower = std::make_unique<LogindPowerMonitor>();
    connect(m_pPower.get(), &PowerMonitor::resumed, m_pDiscovery.get(), &TabletDiscovery::Resume);
    connect(m_pPower.get(), &PowerMonitor::suspending, m_pDiscovery.get(), &TabletDiscovery::Suspend);

    if (!createSharedBlock())
        m_bDeviceStartupOk = false;

    RefreshDeviceSelector();
    // A tablet whose firmware needs the update starts the updater (the window finder
    // exists from here on; tablets that arrive later are checked as they connect).
    if (CTablet *tablet = currentTablet())
        FirmwareLaunch::CheckTablet(tablet->CopyAttributes(), m_pWindowBackend.get(), m_strInstallFolder,
                                    startupOptions().simulate);
}

bool MainWindow::createSharedBlock()
{
    m_pWindowBackend = std::make_unique<LocalSocketWindowBackend>();
    m_pBlockIpc = std::make_unique<PosixIpcBackend>();
    m_pSharedBlock = new SharedBlock(m_pBlockIpc.get(), m_pWindowBackend.get(), m_strInstallFolder, this);
    if (!m_pSharedBlock->CreateBlock()) {
        qWarning() << "Device start-up: the shared block with the UI service was not created";
        return false;
    }
    // The UI service finds this window by class and title and posts its finish messages.
    m_pMessageWindow = m_pWindowBackend->createEndpoint(QLatin1String(SharedBlock::WindowClass),
                                                        QLatin1String(SharedBlock::MainTitle));
    if (!m_pMessageWindow) {
        qWarning() << "Device start-up: no message window for the UI service";
        return false;
    }
    connect(m_pMessageWindow.get(), &WindowEndpoint::messageReceived, m_pSharedBlock,
            [this](quint32 message, qint64, qint64) { m_pSharedBlock->HandleWindowMessage(message); });
    return true;
}

void MainWindow::OnTabletConnected(CTablet *tablet, int slot)
{
    qInfo().noquote() << "Tablet connected in slot" << slot << QString::fromLocal8Bit(tablet->m_DeviceAttributes.DisplayName);
    tablet->SetScreenRectProvider(&MappingModel::ScreenTableRect);
    // The profile was read before the screen table could be asked: a profile without a
    // screen area is read again, so it takes the area of its screen index.
    if (tablet->TabletXMLData && (tablet->TabletXMLData->SW <= 0 || tablet->TabletXMLData->SH <= 0))
        tablet->LoadProfile(tablet->profileKey);
    connect(tablet, qOverload<int, int, int>(&CTablet::PostActionMsg), m_pMessages,
            qOverload<int, int, int>(&TabletMessages::ReceivActionMsg), Qt::QueuedConnection);
    connect(tablet, qOverload<int, int, QString>(&CTablet::PostActionMsg), m_pMessages,
            qOverload<int, int, QString>(&TabletMessages::ReceivActionMsg), Qt::QueuedConnection);
    connect(tablet, &CTablet::SentMultiData, m_pMessages, &TabletMessages::ReceivMultiData, Qt::QueuedConnection);
    if (m_pWindowBackend)
        FirmwareLaunch::CheckTablet(tablet->CopyAttributes(), m_pWindowBackend.get(), m_strInstallFolder,
                                    startupOptions().simulate);
}

void MainWindow::OnTabletDisconnecting(CTablet *tablet, int slot)
{
    // No queued result of this tablet may reach the window once it is gone.
    disconnect(tablet, nullptr, this, nullptr);
    qInfo() << "Tablet leaves slot" << slot;
}

void MainWindow::RefreshDeviceSelector()
{
    const QString previous = m_pDeviceSelector->currentText();
    const QSignalBlocker block(m_pDeviceSelector);
    m_pDeviceSelector->clear();
    const QMap<QString, CTablet *> &list = m_pDiscovery->deviceList();
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
    if (!m_pDiscovery)
        return nullptr;
    const QMap<QString, CTablet *> &list = m_pDiscovery->deviceList();
    const auto it = list.find(m_pDeviceSelector->currentText());
    return it == list.end() ? nullptr : it.value();
}

bool MainWindow::exportConfigTo(const QString &target)
{
    const bool ok = ExportConfigFile(m_strConfigPath, target);
    qInfo().noquote() << "onExportConfigueFile" << target << (ok ? "ok" : "failed");
    emit UsageRecord(ok ? QStringLiteral("ExportConfigueFile") : QStringLiteral("ExportConfigueFile Error"));
    return ok;
}

int MainWindow::importConfigFrom(const QString &file)
{
    // A dated name: an earlier import's backup, or the one kept at a version change, stays.
    const QString backup = m_strConfigPath + QLatin1Char('.')
                           + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss")) + QStringLiteral(".bak");
    const int code = replaceConfigWith(file, backup);
    if (code == 0)
        m_strImportBackup = backup;
    return code;
}

int MainWindow::restoreConfigBeforeImport()
{
    if (m_strImportBackup.isEmpty())
        return ProfileOpenFailed;
    const int code = replaceConfigWith(m_strImportBackup, QString());
    qInfo().noquote() << "Settings before the import restored from" << m_strImportBackup << "code" << code;
    if (code == 0)
        m_strImportBackup.clear();
    return code;
}

int MainWindow::replaceConfigWith(const QString &file, const QString &backup)
{
    const int code = ImportConfigFile(m_strInstallFolder + QStringLiteral("/config/config.xml"), file, m_strConfigPath,
                                      &m_ImportMissing, backup);
    if (code != 0)
        return code;
    // Every open tablet takes its settings from the new file, also the ones whose edits
    // were not confirmed.
    if (m_pDiscovery) {
        for (CTablet *tablet : m_pDiscovery->deviceList())
            tablet->LoadProfile(tablet->profileKey);
    }
    RefreshDeviceSelector();
    // The pages show the imported values (and no application that is gone).
    UpdateUIByAppChange();
    emit UsageRecord(QStringLiteral("ImportConfigueFile"));
    return 0;
}

void MainWindow::onExportConfigueFile()
{
    const QString name = QFileDialog::getSaveFileName(this, languageText(QStringLiteral("Setting.item8"), QStringLiteral("Save as")),
                                                      DefaultExportName(QDir::homePath(), QDate::currentDate()),
                                                      QStringLiteral("file(*.pcfg)"));
    if (name.isEmpty())
        return;
    if (exportConfigTo(name)) {
        QMessageBox::information(this, languageText(QStringLiteral("Common.information"), QStringLiteral("Information")),
                                 languageText(QStringLiteral("Information.801"), QStringLiteral("Export configue file successfully.")));
    } else {
        QMessageBox::warning(this, languageText(QStringLiteral("Common.error"), QStringLiteral("Error")),
                             languageText(QStringLiteral("Error.201"), QStringLiteral("Fail to export configue file!")));
    }
}

void MainWindow::onImportConfigueFile()
{
    const QString name = QFileDialog::getOpenFileName(this, languageText(QStringLiteral("Setting.item7"), QStringLiteral("Please choose config file")),
                                                      QDir::homePath(), QStringLiteral("file(*.pcfg)"));
    if (name.isEmpty())
        return;
    const int code = importConfigFrom(name);
    if (code == ProfileImportIncomplete) {
        QStringList names = m_ImportMissing.mid(0, 3);
        if (m_ImportMissing.size() > 3)
            names << languageText(QStringLiteral("Import.andMore"), QStringLiteral("%1 more")).arg(m_ImportMissing.size() - 3);
        QMessageBox::warning(this, languageText(QStringLiteral("Common.error"), QStringLiteral("Error")),
                             languageText(QStringLiteral("Import.noProfile"),
                                          QStringLiteral("This settings file holds no settings for %1 so it was not "
                                                         "imported. Your settings are unchanged."))
                                 .arg(names.join(QStringLiteral(", "))));
    } else if (code != 0) {
        QMessageBox::warning(this, languageText(QStringLiteral("Common.error"), QStringLiteral("Error")),
                             languageText(QStringLiteral("Error.%1").arg(code), QStringLiteral("ERROR:%1").arg(code)));
    } else {
        // The replaced file stays beside the new one; the user may take it back at once.
        QMessageBox box(QMessageBox::Information, languageText(QStringLiteral("Common.information"), QStringLiteral("Information")),
                        languageText(QStringLiteral("Import.done"),
                                     QStringLiteral("The settings were imported. Your previous settings were kept as %1."))
                            .arg(QDir::toNativeSeparators(m_strImportBackup)),
                        QMessageBox::Ok, this);
        QPushButton *restore = box.addButton(languageText(QStringLiteral("Import.restore"), QStringLiteral("Restore previous settings")),
                                             QMessageBox::ResetRole);
        box.exec();
        if (box.clickedButton() == restore) {
            const int restored = restoreConfigBeforeImport();
            if (restored != 0)
                QMessageBox::warning(this, languageText(QStringLiteral("Common.error"), QStringLiteral("Error")),
                                     languageText(QStringLiteral("Error.%1").arg(restored), QStringLiteral("ERROR:%1").arg(restored)));
        }
    }
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

MainWindow::~MainWindow()
{
    // No scripted report is taken while the tablets close.
    m_pSimControl.reset();
    if (m_pJsonServer)
        ClearUsageRecordSink(m_pJsonServer.get());
    if (ActionCaption::MyLrc())
        disconnect(ActionCaption::MyLrc(), nullptr, m_pCaption.get(), nullptr);
    m_pCaption.reset();
    if (m_pSharedBlock)
        m_pSharedBlock->ReleaseBlock();
    m_pMessageWindow.reset();
    // Every tablet closes first: its reading thread stops before anything it uses goes.
    m_pHidMonitor.reset();
    m_pDiscovery.reset();
    // No engine is left to use them.
    ActionServices::Remove();
    m_pUpdateOffer.reset();
    m_pUpdateServer.reset();
    // After the tablets closed: no report is written any more.
    DriverLink::Close();
    qInfo() << "InkoraV3 Closed.";
    m_pLanguageSettings->endGroup();
}

QString MainWindow::languageText(const QString &key, const QString &fallback) const
{
    return Language::text(*m_pLanguageSettings, key, fallback);
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
            &QAction::triggered, this, &MainWindow::onExportConfigueFile);
    connect(settingsMenu->addAction(languageText(QStringLiteral("Setting.item1"), QStringLiteral("Import settings"))),
            &QAction::triggered, this, &MainWindow::onImportConfigueFile);
    m_pSendProfileAction = settingsMenu->addAction(languageText(QStringLiteral("Setting.sendToDevice"), QStringLiteral("Send profile to device")));
    m_pFetchProfileAction = settingsMenu->addAction(languageText(QStringLiteral("Setting.fetchFromDevice"), QStringLiteral("Read profile from device")));
    connect(m_pSendProfileAction, &QAction::triggered, this, [this] { openDeviceTransfer(true); });
    connect(m_pFetchProfileAction, &QAction::triggered, this, [this] { openDeviceTransfer(false); });
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

    layout->addWidget(titleBar);
    layout->addWidget(m_pPages, 1);
    setCentralWidget(central);
    resize(960, 680);
}

void MainWindow::createTrayIcon()
{
    if (m_pTrayIcon)
        return;
    m_pTrayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/image/Res/inkora.png")), this);
    m_pTrayIcon->setToolTip(QStringLiteral("Inkora"));

    auto *menu = new QMenu(this);
    m_pShowAction = menu->addAction(QIcon(QStringLiteral(":/image/Res/show.png")),
                                    languageText(QStringLiteral("Tray.show"), QStringLiteral("Show")));
    m_pSettingAction = menu->addAction(QIcon(QStringLiteral(":/image/Res/setting.png")),
                                       languageText(QStringLiteral("Tray.setting"), QStringLiteral("Settings")));
    m_pUpdateAction = menu->addAction(QIcon(QStringLiteral(":/image/Res/update.png")),
                                      languageText(QStringLiteral("Tray.update"), QStringLiteral("Check for updates")));
    menu->addSeparator();
    m_pQuitAction = menu->addAction(QIcon(QStringLiteral(":/image/Res/close.png")),
                                    languageText(QStringLiteral("Tray.exit"), QStringLiteral("Exit")));
    connect(m_pShowAction, &QAction::triggered, this, &MainWindow::OnShowDriver);
    connect(m_pQuitAction, &QAction::triggered, this, &MainWindow::OnQuiqDriver);
    connect(m_pSettingAction, &QAction::triggered, this, &MainWindow::OpenSettingForm);
    connect(m_pUpdateAction, &QAction::triggered, this, &MainWindow::OnUpdateDriver);
    // The pen display's own settings, only while one with DDC/CI is attached.
    m_pDisplayAction = new QAction(QIcon(QStringLiteral(":/image/Res/setting.png")),
                                   languageText(QStringLiteral("DisplaySetting.Caption"), QStringLiteral("Display Settings")), menu);
    menu->insertAction(m_pUpdateAction, m_pDisplayAction);
    m_pDisplayAction->setVisible(m_bPenDisplayFound);
    connect(m_pDisplayAction, &QAction::triggered, this, &MainWindow::OnDisplaySettings);
    m_pTrayIcon->setContextMenu(menu);
    connect(m_pTrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            OnShowDriver();
    });
    m_pTrayIcon->show();
    m_pMessages->SetTrayAvailable(true);
    qInfo() << "Tray icon created, system tray available:" << QSystemTrayIcon::isSystemTrayAvailable();
    const QStringList waiting = m_TrayNoticesWaiting;
    m_TrayNoticesWaiting.clear();
    for (const QString &text : waiting)
        showTrayOrBox(text);
}

void MainWindow::notifyUser(const QString &text, NoticeWay way)
{
    qInfo().noquote() << "Told the user:" << text;
    m_UserNotices << text;
    if (way == NoticeWay::Tray && !m_pTrayIcon) {
        m_TrayNoticesWaiting << text; // start-up: the tray icon comes after the window
        return;
    }
    if (way == NoticeWay::Tray)
        showTrayOrBox(text);
    else
        showNoticeBox(text);
}

void MainWindow::showTrayOrBox(const QString &text)
{
    // Without a tray host a tray message would go nowhere.
    if (m_pTrayIcon && QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages())
        m_pTrayIcon->showMessage(QStringLiteral("Inkora"), text, QSystemTrayIcon::Information, 10000);
    else
        showNoticeBox(text);
}

void MainWindow::showNoticeBox(const QString &text)
{
    // Not exec(): a notice must not start another event loop inside the caller's.
    auto *box = new QMessageBox(QMessageBox::Information,
                                languageText(QStringLiteral("Common.information"), QStringLiteral("Information")), text,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("noticeBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::OnShowDriver()
{
    qInfo() << "OnShowDriver: show main window";
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::OnQuiqDriver()
{
    qInfo() << "Exit from tray";
    emit UsageRecord(QStringLiteral("ExitDriver"));
    QApplication::quit();
}

void MainWindow::showEvent(QShowEvent *event)
{
    qInfo() << "Main window shown";
    QMainWindow::showEvent(event);
    updateLiveData();
}

void MainWindow::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    updateLiveData();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        updateLiveData();
}

void MainWindow::updateLiveData()
{
    if (!m_pDiscovery)
        return;
    // Each live record is a queued signal per packet, which doubles the work of a
    // streaming tablet: only the tablet shown sends them, and only while they are seen.
    const bool seen = (isVisible() && !isMinimized()) || m_pDiagnosis != nullptr;
    CTablet *current = currentTablet();
    for (CTablet *tablet : m_pDiscovery->deviceList())
        tablet->emitToUi = (seen && tablet == current) ? 1 : 0;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Tray-resident: closing only hides. Without a tray (no status notifier on this
    // desktop) a hidden window could never come back, so closing then ends the program.
    if (m_pTrayIcon && QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
    QApplication::quit();
}
