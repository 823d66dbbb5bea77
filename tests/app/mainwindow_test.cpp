// Start-up of the main window against a private data folder and installation folder:
// first run, version change (the user's profile is kept as config.xml.bak), matching
// version (nothing touched), language group and texts, and the window's basic shape.

#include "app/appcore.h"
#include "app/mainwindow.h"
#include "config/modeltables.h"
#include "device/ctablet.h"
#include "device/tabletdiscovery.h"
#include "driverlink/sharedblock.h"
#include "mapping/mappingwidget.h"
#include "mapping/screentable.h"
#include "platform/locale/localebackend.h"
#include "sim/simhidbackend.h"
#include "sim/simmodel.h"
#include "sim/simtablet.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMetaType>
#include <QResource>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray profileXml(const char *version, const char *marker = "")
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<InkoraConfig version=\"") + version
           + "\">" + marker + "</InkoraConfig>\n";
}

class MainWindowStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_root.filePath(QStringLiteral("xdg")).toLocal8Bit());
        m_install = m_root.filePath(QStringLiteral("install"));
        m_data = m_root.filePath(QStringLiteral("xdg/Inkora V3"));
        write(m_install + QStringLiteral("/config/config.xml"), profileXml("1.2.0", "<Default/>"));
        write(m_install + QStringLiteral("/config/name_config.ini"), "[Common]\nPID_0935=Tablet M\n");
        write(m_install + QStringLiteral("/config/language.ini"),
              "[English]\nTray.exit=Exit\n[German]\nMainWindow.noDevice=Bitte Ger\xc3\xa4t anschlie\xc3\x9f" "en.\n");
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", m_savedConfigHome); }

    static void write(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QString data(const char *name) const { return m_data + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir m_root;
    QByteArray m_savedConfigHome;
    QString m_install;
    QString m_data;
};

TEST_F(MainWindowStartTest, FirstRunCreatesTheDataFolder)
{
    ASSERT_FALSE(QFileInfo::exists(m_data));
    AppCore core(m_install, FixedLocaleBackend(1033), std::make_unique<SimHidBackend>());

    EXPECT_EQ(core.dataFolder(), m_data);
    EXPECT_EQ(core.configPath(), data("config.xml"));
    EXPECT_EQ(core.profileCheckCode(), 101);
    EXPECT_EQ(core.installedProfileVersion(), QStringLiteral("1.2"));
    EXPECT_EQ(read(data("config.xml")), profileXml("1.2.0", "<Default/>"));
    EXPECT_FALSE(QFile::exists(data("config.xml.bak")));
    EXPECT_TRUE(core.userNotices().isEmpty()); // a first run replaces nothing
    EXPECT_EQ(core.nameSettings()->value(QStringLiteral("Common/PID_0935")).toString(), QStringLiteral("Tablet M"));
}

TEST_F(MainWindowStartTest, VersionChangeKeepsTheOldProfileAsBackup)
{
    write(data("config.xml"), profileXml("1.1.4", "<MySettings/>"));
    write(data("config.xml.bak"), "an older backup");
    write(data("log.txt"), "user log\r\n");

    AppCore core(m_install, FixedLocaleBackend(1033), std::make_unique<SimHidBackend>());

    EXPECT_EQ(core.profileCheckCode(), 104);
    EXPECT_EQ(read(data("config.xml")), profileXml("1.2.0", "<Default/>"));
    EXPECT_EQ(read(data("config.xml.bak")), profileXml("1.1.4", "<MySettings/>"));
    EXPECT_EQ(read(data("log.txt")), QByteArray("user log\r\n"));
}

TEST_F(MainWindowStartTest, BrokenProfileIsKeptToo)
{
    write(data("config.xml"), "<InkoraConfig version=\"1.2.0\"><unclosed>");
    AppCore core(m_install, FixedLocaleBackend(1033), std::make_unique<SimHidBackend>());
    EXPECT_EQ(core.profileCheckCode(), 102);
    EXPECT_EQ(read(data("config.xml.bak")), QByteArray("<InkoraConfig version=\"1.2.0\"><unclosed>"));
    // Told once, with where the old file is; the message waits for the tray.
    ASSERT_EQ(core.userNotices().size(), 1);
    EXPECT_TRUE(core.userNotices().first().contains(data("config.xml.bak"))) << qPrintable(core.userNotices().first());
}

TEST_F(MainWindowStartTest, MatchingVersionLeavesUserFilesAlone)
{
    write(data("config.xml"), profileXml("1.2.9", "<MySettings/>"));
    write(data("language.ini"), "[English]\nMainWindow.noDevice=Plug in your tablet.\n");
    const QDateTime modified = QFileInfo(data("config.xml")).lastModified();

    AppCore core(m_install, FixedLocaleBackend(2057), std::make_unique<SimHidBackend>());
    MainWindow &window = core.window();

    EXPECT_EQ(core.profileCheckCode(), 0);
    EXPECT_EQ(read(data("config.xml")), profileXml("1.2.9", "<MySettings/>"));
    EXPECT_EQ(QFileInfo(data("config.xml")).lastModified(), modified);
    EXPECT_FALSE(QFile::exists(data("config.xml.bak")));
    EXPECT_FALSE(QFile::exists(data("name_config.ini")));
    EXPECT_EQ(core.languageGroup(), QStringLiteral("English"));
    EXPECT_EQ(window.noDeviceText(), QStringLiteral("Plug in your tablet."));
}

TEST_F(MainWindowStartTest, LanguageGroupStaysOpenWithEnglishFallback)
{
    {
        AppCore germanCore(m_install, FixedLocaleBackend(3079)); // German, Austria
        MainWindow &german = germanCore.window();
        EXPECT_EQ(germanCore.languageGroup(), QStringLiteral("German"));
        EXPECT_EQ(germanCore.languageTexts()->group(), QStringLiteral("German"));
        EXPECT_EQ(german.noDeviceText(), QString::fromUtf8("Bitte Ger\xc3\xa4t anschlie\xc3\x9f" "en."));
        // Not in the German group: the built-in English text.
        EXPECT_EQ(german.languageText(QStringLiteral("Tray.exit"), QStringLiteral("Exit")), QStringLiteral("Exit"));
    }
    AppCore englishCore(m_install, FixedLocaleBackend(1033));
    MainWindow &english = englishCore.window();
    EXPECT_EQ(english.noDeviceText(), QStringLiteral("Please connect device."));
}

// A language file copied before the translations came (the profile version unchanged)
// lacks the group: the installation's copy takes its place, at start and on a switch.
TEST_F(MainWindowStartTest, LanguageFileWithoutTheGroupIsRenewed)
{
    write(data("config.xml"), profileXml("1.2.0", "<MySettings/>"));
    write(data("language.ini"), "[English]\nTray.exit=Exit\n");
    {
        AppCore core(m_install, FixedLocaleBackend(1033));
        EXPECT_EQ(read(data("language.ini")), QByteArray("[English]\nTray.exit=Exit\n"));
        core.SetLanguageChoice(QStringLiteral("German"));
        EXPECT_EQ(core.window().noDeviceText(),
                  QString::fromUtf8("Bitte Ger\xc3\xa4t anschlie\xc3\x9f"
                                    "en."));
    }
    EXPECT_EQ(read(data("language.ini")), read(m_install + QStringLiteral("/config/language.ini")));
    EXPECT_EQ(read(data("config.xml")), profileXml("1.2.0", "<MySettings/>"));
}

TEST_F(MainWindowStartTest, WindowShapeAndShow)
{
    AppCore core(m_install, FixedLocaleBackend(1033), std::make_unique<SimHidBackend>());
    // A run in the tray never builds the settings window; the tray needs none.
    EXPECT_EQ(core.windowIfBuilt(), nullptr);
    core.createTrayIcon();
    EXPECT_EQ(core.windowIfBuilt(), nullptr);
    core.showAction()->trigger();
    ASSERT_NE(core.windowIfBuilt(), nullptr);
    MainWindow &window = core.window();
    EXPECT_EQ(&window, core.windowIfBuilt());
    EXPECT_TRUE(window.isVisible());
    window.hide();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Inkora"));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(core.startedMinimised());
    // Tablet results reach the window through queued signals.
    EXPECT_NE(QMetaType::type("MultiData"), int(QMetaType::UnknownType));
    EXPECT_FALSE(window.isVisible());
    window.OnShowDriver();
    EXPECT_TRUE(window.isVisible());
    core.createTrayIcon();
    QSystemTrayIcon *tray = core.trayIcon();
    core.createTrayIcon();
    EXPECT_EQ(core.trayIcon(), tray);
}

// The program shows its icon before the core exists; the core takes that icon over and
// gives it the menu, and an icon offered once the core has one is not taken.
TEST_F(MainWindowStartTest, EarlyTrayIconIsTakenOver)
{
    std::unique_ptr<QSystemTrayIcon> early = AppCore::showEarlyTrayIcon();
    QSystemTrayIcon *shown = early.get();
    EXPECT_TRUE(shown->isVisible());
    AppCore core(m_install, FixedLocaleBackend(1033), std::make_unique<SimHidBackend>());
    core.createTrayIcon(std::move(early));
    EXPECT_EQ(core.trayIcon(), shown);
    EXPECT_EQ(shown->parent(), &core);
    ASSERT_NE(shown->contextMenu(), nullptr);
    EXPECT_TRUE(shown->contextMenu()->actions().contains(core.showAction()));
    core.createTrayIcon(AppCore::showEarlyTrayIcon());
    EXPECT_EQ(core.trayIcon(), shown);
}

// Each widget of the window is styled once while it is built. Moving a built subtree
// under another parent (or changing the window's flags once its widgets exist) sends
// every widget under it a style change and polishes it again with the application's
// style sheet: that doubled the work before the tray icon appeared, and made every
// combo box build its popup at start-up.
TEST_F(MainWindowStartTest, BuildingTheWindowStylesNoWidgetTwice)
{
    struct StyleChanges : QObject {
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::StyleChange && watched->isWidgetType())
                ++count;
            return false;
        }
        int count = 0;
    } changes;
    const QString sheet = qApp->styleSheet();
    qApp->setStyleSheet(QStringLiteral("QPushButton { padding: 2px; }"));
    qApp->installEventFilter(&changes);
    int widgets = 0;
    {
        AppCore core(m_install, FixedLocaleBackend(1033), std::make_unique<SimHidBackend>());
        MainWindow &window = core.window();
        qApp->removeEventFilter(&changes);
        widgets = window.findChildren<QWidget *>().size();
    }
    qApp->setStyleSheet(sheet);
    EXPECT_GT(widgets, 300); // every settings page is built with the window
    // About one style change per widget, when it is made; a subtree styled again shows
    // as several per widget (and a combo box styled again makes its popup early).
    EXPECT_LT(changes.count, widgets * 3 / 2) << widgets << " widgets";
}

// The compiled-in qt.conf keeps the platform's DPI setting with CR LF line ends.
TEST(BuiltinResources, QtConf)
{
    QFile conf(QStringLiteral(":/qt/etc/qt.conf"));
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    EXPECT_EQ(conf.readAll(), QByteArray("[Platforms]\r\nWindowsArguments=dpiawareness=0\r\n"));
}

// The external resource file beside the program holds the style sheet and the icon.
TEST(ExternalResources, StyleSheetAndIcon)
{
    const QString rcc = qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/resource.rcc");
    ASSERT_TRUE(QResource::registerResource(rcc, QStringLiteral("/test")));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/test/qss/qss/stylesheet.qss")));
    EXPECT_FALSE(QIcon(QStringLiteral(":/test/image/Res/inkora.png")).pixmap(32, 32).isNull());
    QResource::unregisterResource(rcc, QStringLiteral("/test"));
}

// Every model the program can find has its pictures: upright, in each orientation, and
// one per express key with that key marked.
TEST(ExternalResources, EveryModelHasItsPictures)
{
    const QString rcc = qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/resource.rcc");
    ASSERT_TRUE(QResource::registerResource(rcc, QStringLiteral("/test")));
    QStringList keys;
    for (const UsbModelEntry &m : kUsbModels)
        keys << QString::fromLatin1(m.model);
    for (const BleModelEntry &m : kBleModels)
        keys << QString::fromLatin1(m.model);
    for (const QString &key : keys) {
        const QString base = QStringLiteral(":/test/image/tablet/") + key;
        const QImage upright(base + QStringLiteral(".png"));
        ASSERT_FALSE(upright.isNull()) << key.toStdString();
        const QImage quarter(base + QStringLiteral("_K1.png"));
        EXPECT_EQ(quarter.size(), upright.size().transposed()) << key.toStdString();
        EXPECT_EQ(QImage(base + QStringLiteral("_K2.png")).size(), upright.size());
    }
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/test/image/tablet/HY_InkoraPadM_K1.png")));
    for (int t = 0; t <= 6; ++t)
        EXPECT_TRUE(QFile::exists(QStringLiteral(":/test/image/Res/pen%1.png").arg(t)));
    const QImage cursor(QStringLiteral(":/test/image/Res/leftTop.png"));
    EXPECT_EQ(cursor.size(), QSize(64, 64)); // hotspot (32, 32) is its centre
    QResource::unregisterResource(rcc, QStringLiteral("/test"));
}

// The mapping preview's tablet frame lies over the active area drawn in each model's
// picture, in every orientation, never over the key column or the rings.
TEST(ExternalResources, PreviewFrameLiesOverThePicturesActiveArea)
{
    const QString rcc = qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/resource.rcc");
    ASSERT_TRUE(QResource::registerResource(rcc));
    const auto isArea = [](QRgb c) {
        const auto near = [c](int r, int g, int b) {
            return qAbs(qRed(c) - r) < 12 && qAbs(qGreen(c) - g) < 12 && qAbs(qBlue(c) - b) < 12;
        };
        return near(58, 63, 71) || near(29, 78, 137); // tablet area, pen display screen
    };
    const ScreenTableData table = ScreenTable::Build({ScreenRect{0, 0, 1920, 1080}});
    int checked = 0;
    for (const UsbModelEntry &m : kUsbModels) {
        if (m.kind == kKindKeypad)
            continue; // no work area
        for (int orientation = 0; orientation < 4; ++orientation) {
            const QSize full = orientation % 2 ? QSize(2960, 4480) : QSize(4480, 2960);
            mappingwidget preview;
            preview.resize(480, 200);
            preview.SetScreenTable(table, 1);
            preview.SetTablet(QLatin1String(m.model), orientation, full);
            preview.SetScreenArea(QRect(0, 0, 1920, 1080));
            preview.SetTabletArea(QRect(QPoint(0, 0), full));
            const QImage shot = preview.grab().toImage();
            const QRect f = preview.TabletFrame();
            for (const QPoint p : {f.center(), QPoint(f.left() + 4, f.center().y()), QPoint(f.right() - 4, f.center().y())})
                EXPECT_TRUE(isArea(shot.pixel(p))) << m.model << " turned " << orientation << " at " << p.x() << ","
                                                   << p.y();
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
    QResource::unregisterResource(rcc);
}

} // namespace

// The window's device layer on simulated tablets with the installation's real default
// profiles: tablets found at start-up, hot-plug through the monitor, the way back to the
// no-device page.
TEST(MainWindowDevices, SelectorFollowsTabletsFoundArrivedAndRemoved)
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    {
        auto hid = std::make_unique<SimHidBackend>();
        SimHidBackend *sim = hid.get();
        auto pad = sim->plug(*SimModels::find(0x0935));
        AppCore core(qEnvironmentVariable("INKORA_BIN_DIR"), FixedLocaleBackend(1033), std::move(hid));
        MainWindow &window = core.window();
        EXPECT_TRUE(core.deviceStartupOk());
        ASSERT_NE(core.sharedBlock(), nullptr);
        EXPECT_TRUE(core.sharedBlock()->IsCreated());
        ASSERT_EQ(window.deviceSelectorNames().size(), 1);
        EXPECT_EQ(window.deviceSelectorNames().first(), QString::fromLatin1(SimModels::find(0x0935)->product));

        auto keypad = sim->plug(*SimModels::find(0x0201));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.deviceSelectorNames().size() == 2; }, 5000));

        sim->unplug(pad);
        sim->unplug(keypad);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.deviceSelectorNames().isEmpty(); }, 5000));
        EXPECT_EQ(core.discovery()->tabletCount(), 0);
    }
    qputenv("XDG_CONFIG_HOME", saved);
}

// Live values cost a queued signal per packet: only the tablet the window shows sends
// them, and only while the window (or the diagnosis dialog) can show them.
TEST(MainWindowDevices, LiveValuesOnlyFromTheShownTabletWhileSeen)
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    {
        auto hid = std::make_unique<SimHidBackend>();
        SimHidBackend *sim = hid.get();
        auto first = sim->plug(*SimModels::find(0x0935));
        auto second = sim->plug(*SimModels::find(0x0074));
        AppCore core(qEnvironmentVariable("INKORA_BIN_DIR"), FixedLocaleBackend(1033), std::move(hid));
        MainWindow &window = core.window();
        ASSERT_EQ(core.discovery()->tabletCount(), 2);
        const auto sending = [&] {
            QVector<CTablet *> list;
            for (CTablet *tablet : core.discovery()->deviceList()) {
                if (tablet->emitToUi)
                    list << tablet;
            }
            return list;
        };
        EXPECT_TRUE(sending().isEmpty()) << "hidden at start";

        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_EQ(sending().size(), 1);
        CTablet *shown = sending().first();
        EXPECT_EQ(QString::fromUtf8(shown->m_DeviceAttributes.ProductName), window.deviceSelectorNames().value(0));

        // A pen sample of the shown tablet reaches the window.
        // Counted on this thread, as the window receives them (a spy would count on the
        // reading thread while this one reads).
        int live = 0;
        QObject::connect(shown, &CTablet::SentMultiData, &window, [&live](CTablet *, MultiData) { ++live; },
                         Qt::QueuedConnection);
        std::shared_ptr<SimTablet> shownSim = shown->productId == 0x0935 ? first : second;
        SimPenSample sample;
        sample.x = 1000;
        sample.y = 1000;
        sample.pressure = 2000;
        sample.buttons = 1;
        shownSim->queuePen(sample);
        EXPECT_TRUE(QTest::qWaitFor([&] { return live > 0; }, 5000));

        window.hide();
        EXPECT_TRUE(sending().isEmpty()) << "hidden into the tray";
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.showMinimized();
        EXPECT_TRUE(QTest::qWaitFor([&] { return sending().isEmpty(); }, 2000)) << "minimised";
    }
    qputenv("XDG_CONFIG_HOME", saved);
}

// Six tablets, five slots: the sixth waits, the user is told once, and it opens in the
// slot the next unplugged tablet frees.
TEST(MainWindowDevices, TheSixthTabletOpensWhenASlotFrees)
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    {
        auto hid = std::make_unique<SimHidBackend>();
        SimHidBackend *sim = hid.get();
        std::vector<std::shared_ptr<SimTablet>> tablets;
        for (const SimModel &model : SimModels::all())
            tablets.push_back(sim->plug(model));
        ASSERT_EQ(tablets.size(), 6u);
        AppCore core(qEnvironmentVariable("INKORA_BIN_DIR"), FixedLocaleBackend(1033), std::move(hid));
        MainWindow &window = core.window();
        const auto opened = [&](const char *modelKey) {
            for (CTablet *tablet : core.discovery()->deviceList()) {
                if (qstrcmp(tablet->m_DeviceAttributes.ModelKey, modelKey) == 0)
                    return true;
            }
            return false;
        };
        EXPECT_EQ(window.deviceSelectorNames().size(), 5);
        EXPECT_FALSE(opened(tablets.back()->model().modelKey));
        ASSERT_EQ(core.userNotices().size(), 1);
        EXPECT_TRUE(core.userNotices().first().contains(QStringLiteral("five")));

        sim->unplug(tablets.front());
        EXPECT_TRUE(QTest::qWaitFor([&] { return opened(tablets.back()->model().modelKey); }, 5000));
        EXPECT_EQ(window.deviceSelectorNames().size(), 5);
        EXPECT_EQ(core.userNotices().size(), 1);
    }
    qputenv("XDG_CONFIG_HOME", saved);
}
