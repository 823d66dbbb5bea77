#include "app/appcore.h"

#include "action/actioncaption.h"
#include "action/actionservices.h"
#include "action/caction.h"
#include "action/ui/jingximode.h"
#include "action/ui/keypreviewwindow.h"
#include "app/firmwarelaunch.h"
#include "app/mainwindow.h"
#include "app/mappingmodel.h"
#include "app/profilesetup.h"
#include "app/settingform.h"
#include "app/startupoptions.h"
#include "app/tabletmessages.h"
#include "app/uiservicelink.h"
#include "base/language.h"
#include "base/loghandler.h"
#include "base/paths.h"
#include "base/usagerecord.h"
#include "config/configversion.h"
#include "config/settingsfile.h"
#include "device/tabletdiscovery.h"
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
#include "platform/display/linux/hyprlanddisplaybackend.h"
#include "platform/display/linux/swaydisplaybackend.h"
#include "platform/display/linux/xdgoutputdisplaybackend.h"
#include "platform/display/linux/xrandrdisplaybackend.h"
#include "platform/hid/hidmonitor.h"
#include "platform/hid/linux/hidrawbackend.h"
#include "platform/input/linux/systeminputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/locale/localebackend.h"
#include "platform/power/linux/logindpowermonitor.h"
#include "platform/process/freememory.h"
#include "platform/vhid/linux/uinputvhidbackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"
#include "sim/simbletablet.h"
#include "sim/simcontrol.h"
#include "sim/simhidbackend.h"
#include "sim/simselection.h"
#include "sim/vhidrecordfile.h"
#include "uiservice/mylrc.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMetaType>
#include <QPixmapCache>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QThreadPool>
#include <QTimer>

namespace {

// How the tray icon is shown: the toolkit uses a StatusNotifierItem where a watcher is
// on the session bus (KDE, GNOME with an indicator extension, waybar...), an XEmbed
// tray on X otherwise.
QString TrayWay()
{
    // Only a bus that is there: asking for one otherwise starts a bus of its own.
    const bool bus = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
        || QFile::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus"));
    QDBusConnectionInterface *names = bus ? QDBusConnection::sessionBus().interface() : nullptr;
    if (names && names->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value())
        return QStringLiteral("StatusNotifierItem");
    if (QSystemTrayIcon::isSystemTrayAvailable())
        return QStringLiteral("XEmbed");
    return QStringLiteral("none (the desktop entry opens the settings window)");
}

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

UsagePairs PairsOf(const QVariantMap &fields, UsagePairs pairs = {})
{
    for (auto it = fields.begin(); it != fields.end(); ++it)
        pairs.append(qMakePair(it.key(), it.value().toString()));
    return pairs;
}

} // namespace

AppCore::AppCore(const QString &installFolder, const LocaleBackend &locale, std::unique_ptr<HidBackend> hid,
                 StartOrder order)
    : m_strInstallFolder(installFolder), m_bSearchOffGuiThread(order == StartOrder::TrayFirst)
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

    const int languageId = locale.userDefaultUiLanguage();
    m_strSystemGroup = Language::systemGroup(locale);
    m_strLanguageGroup = Language::groupInForce(m_strDataFolder, m_strSystemGroup);
    // A file copied before the translations came has the English group only.
    Language::refreshFileForGroup(languagePath, m_strInstallFolder + QStringLiteral("/config/language.ini"),
                                  m_strLanguageGroup);
    m_LanguageTexts = LanguageTexts::load(languagePath, m_strLanguageGroup);
    Language::applyNumberLocale(m_strLanguageGroup);
    qInfo().noquote() << "UI language id" << languageId << ", locale" << locale.uiLocaleNames().join(QLatin1Char('|'))
                      << ", group" << m_strLanguageGroup;

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

    m_Session = DetectDesktopSession();

    // Displays: under --simulate one fixed screen that carries the simulated pen
    // display's EDID, so the pen display search finds it.
    if (startupOptions().simulate) {
        DisplayScreen screen;
        screen.geometry = QRect(0, 0, 1920, 1080);
        screen.name = QStringLiteral("SIM-1");
        screen.primary = true;
        screen.edid = MonitorIds::SimulatedPenDisplayEdid();
        m_pDisplay = std::make_unique<FixedDisplayBackend>(std::vector<DisplayScreen>{screen});
        m_SessionBackends.display = QStringLiteral("simulated screen");
    } else if (m_Session.compositor == Compositor::Sway
               && (m_pDisplay = SwayDisplayBackend::open(m_Session.swaySocket, m_Session.x11Display))) {
        m_SessionBackends.display = QStringLiteral("sway IPC outputs");
    } else if (m_Session.compositor == Compositor::Hyprland
               && (m_pDisplay = HyprlandDisplayBackend::open(m_Session.runtimeDir, m_Session.hyprlandSignature,
                                                             m_Session.x11Display))) {
        m_SessionBackends.display = QStringLiteral("Hyprland IPC monitors");
    } else if ((m_Session.compositor == Compositor::KWin || m_Session.compositor == Compositor::GnomeShell
                || m_Session.compositor == Compositor::OtherWayland)
               && (m_pDisplay = XdgOutputDisplayBackend::open(m_Session.waylandDisplay))) {
        m_SessionBackends.display = QStringLiteral("xdg-output");
    } else {
        // X11, or a compositor without xdg-output: XWayland's view, which differs from
        // the compositor's own under fractional scaling.
        m_pDisplay = std::make_unique<XRandrDisplayBackend>();
        m_SessionBackends.display =
            m_Session.isWayland() ? QStringLiteral("XWayland RandR") : QStringLiteral("X11 RandR");
    }
    m_pMapping = std::make_unique<MappingModel>(
        m_pDisplay.get(), [this](const QString &key, const QString &fallback) { return languageText(key, fallback); });

    // Every usage record of the program goes to the one routing function, with the tablet.
    connect(this, &AppCore::UsageRecord, this, [this](const QString &name) {
        if (name == QLatin1String("ExitDriver"))
            ::UsageRecord(name, QStringLiteral("1"));
        else
            ::UsageRecord(UsageRecordText(name, tabletName()));
    });

    // The per-packet result record reaches the windows from the tablet reading threads
    // through queued signals: registered before any tablet opens.
    qRegisterMetaType<MultiData>("MultiData");

    // The Wintab map and the virtual HID device, on this system's backends; whether
    // the device was found is CVMultiDriver::IsFound() from here on.
    DriverLinkBackends driverLink;
    driverLink.vhid = CreateVhidBackend();
    driverLink.ipc = std::make_unique<PosixIpcBackend>();
    driverLink.input = createSystemInputInjector(m_Session, &m_SessionBackends.input);
    DriverLink::Open(std::move(driverLink));

    // The screens before the tablets: a profile without a screen area takes the one of
    // its screen index.
    m_pMapping->EnumDisplay();

    // The engines' services exist before the first tablet (and its engine) does.
    installActionServices();
    m_SessionBackends.tray = TrayWay();
    qInfo().noquote() << SessionLogLine(m_Session, m_SessionBackends);
    startServices();

    if (order == StartOrder::Now) {
        startAfterTray(std::move(hid));
        return;
    }
    // Held by the queued call until it runs (the queue is the core's, so never after it).
    auto pending = std::make_shared<std::unique_ptr<HidBackend>>(std::move(hid));
    QMetaObject::invokeMethod(this, [this, pending] { startAfterTray(std::move(*pending)); }, Qt::QueuedConnection);
}

void AppCore::startAfterTray(std::unique_ptr<HidBackend> hid)
{
    RefreshPenDisplay();
    m_pUpdateServer->startCheck();

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
    scheduleMemoryReturn();
    if (m_pSimControl)
        m_pSimControl->Listen(SimControl::DefaultSocketPath());

    // The UI service link on the shared block, and the caption window of the actions.
    if (m_pSharedBlock) {
        m_pUiLink = new UiServiceLink(m_pSharedBlock, m_pMapping.get(), this);
        connect(m_pUiLink, &UiServiceLink::UsageRecord, this, [this](const QString &name, const QVariantMap &fields) {
            ::UsageRecord(name, PairsOf(fields, {qMakePair(QStringLiteral("tablet"), tabletName())}));
        });
    }
    m_pCaption = std::make_unique<MyLrc>();
    m_pCaption->SetHideText(languageText(QStringLiteral("Common.hide"), QStringLiteral("Hide")));
    connect(ActionCaption::MyLrc(), &ActionCaption::EmitAction, m_pCaption.get(), &MyLrc::OnEmitAction, Qt::QueuedConnection);
    connect(ActionCaption::MyLrc(), &ActionCaption::EmitRingLrc, m_pCaption.get(), &MyLrc::OnEmitRingLrc, Qt::QueuedConnection);

    // The screenshot run (scripts/screenshots): once the window is up, picture every
    // page and end.
    const QString screenshots = qEnvironmentVariable("INKORA_SCREENSHOTS");
    if (!screenshots.isEmpty()) {
        QTimer::singleShot(1000, this, [this, screenshots] {
            OnShowDriver();
            const QStringList files = window().saveScreenshots(screenshots);
            qInfo().noquote() << "Screenshots saved:" << files.size();
            QApplication::quit();
        });
    }
}

AppCore::~AppCore()
{
    // The window first: it shows tablets and services.
    m_pWindow.reset();
    // A pen display search under way ends before the services it uses (its result,
    // posted to this object, is dropped with it).
    m_pSearchPool.reset();
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
}

QString AppCore::languageText(const QString &key, const QString &fallback) const
{
    return m_LanguageTexts.text(key, fallback);
}

MainWindow &AppCore::window()
{
    if (!m_pWindow) {
        qInfo() << "Settings window built";
        m_pWindow = std::make_unique<MainWindow>(*this);
        m_pUpdateOffer->SetWindow(m_pWindow.get());
    }
    return *m_pWindow;
}

void AppCore::startDevices(std::unique_ptr<HidBackend> hid)
{
    m_pHid = std::move(hid);
    m_bDeviceStartupOk = m_pHid->init();
    if (!m_bDeviceStartupOk)
        qWarning() << "Device start-up: the HID library did not start";

    m_pDiscovery = std::make_unique<TabletDiscovery>(m_pHid.get(), m_pNameSettings.get());
    m_pDiscovery->SetTabletSetup(&AttachActionEngine);
    connect(m_pDiscovery.get(), &TabletDiscovery::TabletConnected, this, &AppCore::onTabletConnected);
    connect(m_pDiscovery.get(), &TabletDiscovery::TabletDisconnecting, this, &AppCore::onTabletDisconnecting);
    connect(m_pDiscovery.get(), &TabletDiscovery::NoTabletLeft, this, &AppCore::tabletsChanged);
    connect(m_pDiscovery.get(), &TabletDiscovery::TabletWaiting, this, [this] {
        if (m_bTabletLimitTold)
            return; // once a run: the log names every tablet that waits
        m_bTabletLimitTold = true;
        notifyUser(languageText(QStringLiteral("Message.tabletLimit"),
                                QStringLiteral("Inkora works with up to five tablets at a time. Another tablet is "
                                               "connected and will be used as soon as one of the five is unplugged.")),
                   NoticeWay::Tray);
    });
    connect(m_pDiscovery.get(), &TabletDiscovery::UsageRecord, this,
            [](const QString &name, const QVariantMap &fields) { ::UsageRecord(name, PairsOf(fields)); });
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
            tabletsChanged();
        });
        connect(m_pHidMonitor.get(), &HidMonitor::interfaceRemoved, this, [this](const HidDeviceInfo &info) {
            m_pDiscovery->DeviceRemoved(info.path);
            tabletsChanged();
        });
    }

    // Devices forget their report mode while the system sleeps.
    m_pPower = std::make_unique<LogindPowerMonitor>();
    connect(m_pPower.get(), &PowerMonitor::resumed, m_pDiscovery.get(), &TabletDiscovery::Resume);
    connect(m_pPower.get(), &PowerMonitor::suspending, m_pDiscovery.get(), &TabletDiscovery::Suspend);

    if (!createSharedBlock())
        m_bDeviceStartupOk = false;

    tabletsChanged();
    // A tablet whose firmware needs the update starts the updater (the window finder
    // exists from here on; tablets that arrive later are checked as they connect).
    if (CTablet *tablet = currentTablet())
        FirmwareLaunch::CheckTablet(tablet->CopyAttributes(), m_pWindowBackend.get(), m_strInstallFolder,
                                    startupOptions().simulate);
}

bool AppCore::createSharedBlock()
{
    m_pWindowBackend = std::make_unique<LocalSocketWindowBackend>();
    m_pBlockIpc = std::make_unique<PosixIpcBackend>();
    m_pSharedBlock = new SharedBlock(m_pBlockIpc.get(), m_pWindowBackend.get(), m_strInstallFolder, this);
    if (!m_pSharedBlock->CreateBlock()) {
        qWarning() << "Device start-up: the shared block with the UI service was not created";
        return false;
    }
    // The UI service finds this program by class and title and posts its finish messages.
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

void AppCore::onTabletConnected(CTablet *tablet, int slot)
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

void AppCore::onTabletDisconnecting(CTablet *tablet, int slot)
{
    // No queued result of this tablet may reach the program's windows once it is gone.
    disconnect(tablet, nullptr, this, nullptr);
    if (m_pWindow)
        disconnect(tablet, nullptr, m_pWindow.get(), nullptr);
    qInfo() << "Tablet leaves slot" << slot;
    // What its keys held down must not stay down (the shared injector serves every
    // tablet, so another tablet's held key goes up too: rarer and harmless).
    if (InputInjector *input = DriverLink::Input())
        input->releaseHeld();
}

void AppCore::scheduleMemoryReturn()
{
    if (!m_pMemoryTimer) {
        m_pMemoryTimer = new QTimer(this);
        m_pMemoryTimer->setSingleShot(true);
        m_pMemoryTimer->setInterval(2000);
        connect(m_pMemoryTimer, &QTimer::timeout, this, [] {
            // Qt's pixmap cache keeps the tray icon's rendered pictures and trims them on
            // a timer of its own, 30 and 60 s later: two wake-ups of the GUI thread while
            // nothing happens, the second about 17 ms of CPU. Emptied now, its timer
            // stops; a picture asked for again is rendered again from its icon.
            QPixmapCache::clear();
            ReturnFreeHeapPages();
        });
    }
    m_pMemoryTimer->start();
}

void AppCore::tabletsChanged()
{
    scheduleMemoryReturn();
    if (m_pWindow) {
        m_pWindow->RefreshDeviceSelector();
    } else {
        // Without the window the first tablet is the one the messages and the mapping
        // model serve (the one the window would open with).
        CTablet *tablet = currentTablet();
        m_pMapping->SetTablet(tablet);
        m_pMessages->SetCurrentTablet(tablet);
        m_pMessages->SetCurrentApp(QString());
        updateLiveData();
        refreshBattery();
    }
    emit CurrentTabletChanged();
}

CTablet *AppCore::currentTablet() const
{
    if (m_pWindow)
        return m_pWindow->currentTablet();
    if (!m_pDiscovery || m_pDiscovery->deviceList().isEmpty())
        return nullptr;
    return m_pDiscovery->deviceList().first();
}

AppConfigNode *AppCore::currentApp() const
{
    if (m_pWindow)
        return m_pWindow->currentApp();
    CTablet *tablet = currentTablet();
    return tablet && tablet->TabletXMLData ? &tablet->TabletXMLData->CommonAPP : nullptr;
}

QString AppCore::tabletName() const
{
    CTablet *tablet = currentTablet();
    return tablet ? QString::fromUtf8(tablet->m_DeviceAttributes.ProductName) : QString();
}

bool AppCore::exportConfigTo(const QString &target)
{
    const bool ok = ExportConfigFile(m_strConfigPath, target);
    qInfo().noquote() << "onExportConfigueFile" << target << (ok ? "ok" : "failed");
    emit UsageRecord(ok ? QStringLiteral("ExportConfigueFile") : QStringLiteral("ExportConfigueFile Error"));
    return ok;
}

int AppCore::importConfigFrom(const QString &file)
{
    // A dated name: an earlier import's backup, or the one kept at a version change, stays.
    const QString backup = m_strConfigPath + QLatin1Char('.')
                           + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss")) + QStringLiteral(".bak");
    const int code = replaceConfigWith(file, backup);
    if (code == 0)
        m_strImportBackup = backup;
    return code;
}

int AppCore::restoreConfigBeforeImport()
{
    if (m_strImportBackup.isEmpty())
        return ProfileOpenFailed;
    const int code = replaceConfigWith(m_strImportBackup, QString());
    qInfo().noquote() << "Settings before the import restored from" << m_strImportBackup << "code" << code;
    if (code == 0)
        m_strImportBackup.clear();
    return code;
}

int AppCore::replaceConfigWith(const QString &file, const QString &backup)
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
    tabletsChanged();
    // The pages show the imported values (and no application that is gone).
    if (m_pWindow)
        m_pWindow->UpdateUIByAppChange();
    else
        m_pMapping->SetTablet(currentTablet());
    emit UsageRecord(QStringLiteral("ImportConfigueFile"));
    return 0;
}
