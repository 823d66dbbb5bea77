#include "app/mainwindow.h"

#include "app/language.h"
#include "app/paths.h"
#include "app/profilesetup.h"
#include "device/tabletpacket.h"
#include "driverlink/driverlink.h"
#include "platform/input/linux/systeminputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/locale/localebackend.h"
#include "platform/vhid/linux/uinputvhidbackend.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMetaType>
#include <QPushButton>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace {
const char kNoDeviceKey[] = "MainWindow.noDevice";
const char kNoDeviceText[] = "Please connect device.";
} // namespace

MainWindow::MainWindow(const QString &installFolder, const LocaleBackend &locale, QWidget *parent)
    : QMainWindow(parent), m_strInstallFolder(installFolder)
{
    m_strDataFolder = Paths::dataFolder();
    m_strConfigPath = m_strDataFolder + QStringLiteral("/config.xml");

    const ProfileSetupResult profile = setUpUserProfile(m_strInstallFolder, m_strDataFolder);
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

    buildWindow();
    // The per-packet result record reaches this window from the tablet reading threads
    // through queued signals: registered before any tablet opens.
    qRegisterMetaType<MultiData>("MultiData");
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("Inkora"));
    setWindowIcon(QIcon(QStringLiteral(":/image/Res/inkora.png")));

    // The Wintab map and the virtual HID device, on this system's backends; whether
    // the device was found is CVMultiDriver::IsFound() from here on.
    DriverLinkBackends driverLink;
    driverLink.vhid = std::make_unique<UinputVhidBackend>();
    driverLink.ipc = std::make_unique<PosixIpcBackend>();
    driverLink.input = createSystemInputInjector();
    DriverLink::Open(std::move(driverLink));
}

MainWindow::~MainWindow()
{
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
    auto *titleLayout = new QHBoxLayout(titleBar);
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
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    m_pNoDeviceLabel = new QLabel(languageText(QLatin1String(kNoDeviceKey), QLatin1String(kNoDeviceText)), central);
    m_pNoDeviceLabel->setObjectName(QStringLiteral("label_noDevice"));
    m_pNoDeviceLabel->setAlignment(Qt::AlignCenter);

    layout->addWidget(titleBar);
    layout->addWidget(m_pNoDeviceLabel, 1);
    setCentralWidget(central);
    resize(720, 480);
}

void MainWindow::createTrayIcon()
{
    if (m_pTrayIcon)
        return;
    m_pTrayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/image/Res/inkora.png")), this);
    m_pTrayIcon->setToolTip(QStringLiteral("Inkora"));

    auto *menu = new QMenu(this);
    QAction *show = menu->addAction(languageText(QStringLiteral("Tray.show"), QStringLiteral("Show")));
    QAction *quit = menu->addAction(languageText(QStringLiteral("Tray.exit"), QStringLiteral("Exit")));
    connect(show, &QAction::triggered, this, &MainWindow::OnShowDriver);
    connect(quit, &QAction::triggered, this, &MainWindow::OnQuiqDriver);
    m_pTrayIcon->setContextMenu(menu);
    connect(m_pTrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            OnShowDriver();
    });
    m_pTrayIcon->show();
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
    QApplication::quit();
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
