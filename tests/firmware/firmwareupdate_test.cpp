// The updater's window against the simulated tablet and its loader: the whole update,
// the firmware date rule, refused images and a loader unplugged half way through a slowed
// transfer.
#include "firmware/deviceinterface.h"
#include "firmware/firmwareupdate.h"
#include "firmwaretestsupport.h"
#include "sim/simhidbackend.h"
#include "sim/simloaderbackend.h"
#include "sim/simloadercontrol.h"
#include "tests/device/logcapture.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int kWaitMs = 10000;

const QByteArray kLanguage = "[English]\n"
                             "Update.tips=Ready to update #123\n"
                             "Update.NotDevice=Connect the tablet\n"
                             "Update.UpgradeComplete=Done!\n"
                             "Update.confirm=\n";

class FirmwareUpdateTest : public ::testing::Test {
protected:
    void SetUp() override { m_folders.writeLanguage(kLanguage); }
    void TearDown() override
    {
        m_window.reset();
        ReleaseLib();
        SetDeviceInterfaceBackend(nullptr);
    }

    std::shared_ptr<SimLoaderBackend> UseLoaderBackend(const QString &firmwareDate = QStringLiteral("20210826"))
    {
        auto backend = std::make_shared<SimLoaderBackend>(firmwareDate);
        SetDeviceInterfaceBackend(backend);
        return backend;
    }

    FirmwareUpdate &OpenWindow(bool simulatedLoader = true)
    {
        m_window = std::make_unique<FirmwareUpdate>(m_folders.programFolder(), m_folders.dataFolder(),
                                                    QStringLiteral("English"), simulatedLoader);
        EXPECT_TRUE(m_window->StartDevices());
        return *m_window;
    }

    void Confirm()
    {
        auto *button = m_window->findChild<QPushButton *>(QStringLiteral("pushButton_confirm"));
        ASSERT_NE(button, nullptr);
        button->click();
    }

    // Progress values logged from line `from` of the log on.
    QVector<int> ProgressLogged(int from = 0) const
    {
        QVector<int> values;
        static const QRegularExpression line(QStringLiteral("^OnUpdateFirmwareProgress (\\d+)$"));
        for (const QString &l : m_log.lines().mid(from)) {
            const QRegularExpressionMatch m = line.match(l);
            if (m.hasMatch())
                values << m.captured(1).toInt();
        }
        return values;
    }

    bool ResultLogged(int code) const
    {
        for (const QString &l : m_log.lines()) {
            if (l.startsWith(QLatin1String("OnUpdataResult")) && l.endsWith(QStringLiteral(" %1").arg(code)))
                return true;
        }
        return false;
    }

    FirmwareTestFolders m_folders;
    LogCapture m_log;
    std::unique_ptr<FirmwareUpdate> m_window;
};

} // namespace

TEST_F(FirmwareUpdateTest, UpdatesTheTabletEndToEnd)
{
    struct Case {
        int imageSize;
        QVector<int> progress; // as emitted; values above 100 are not shown
        int shown;
    };
    // 112 bytes: two full packets. 57 bytes: the second packet carries one byte.
    for (const Case &c : {Case{112, {50, 100}, 100}, Case{57, {98, 196}, 98}}) {
        SCOPED_TRACE(c.imageSize);
        TearDown();
        const int logFrom = m_log.lines().size();
        const QByteArray image = TestImage(c.imageSize);
        m_folders.writeImage(image);
        auto backend = UseLoaderBackend();
        backend->plugTablet();
        FirmwareUpdate &w = OpenWindow();

        ASSERT_TRUE(QTest::qWaitFor([&] { return w.confirmEnabled(); }, kWaitMs));
        EXPECT_EQ(w.tipsText(), QStringLiteral("Ready to update Inkora Pad M"));
        EXPECT_EQ(FirmwareTestFolders::fact("ICVersion").toString(), QStringLiteral("KPX2000A-A"));
        EXPECT_EQ(FirmwareTestFolders::fact("ICData").toInt(), 20210826);

        Confirm();
        EXPECT_EQ(w.pageIndex(), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.resultText().isEmpty(); }, kWaitMs));
        EXPECT_EQ(w.resultText(), QStringLiteral("Done!"));
        EXPECT_TRUE(w.closeVisible());
        EXPECT_FALSE(w.progressVisible());

        const std::shared_ptr<SimLoader> loader = backend->loader();
        ASSERT_NE(loader, nullptr);
        EXPECT_EQ(loader->startsReceived(), 1);
        EXPECT_EQ(loader->dataPacketsReceived(), 2);
        EXPECT_EQ(loader->image(), image);

        // The tablet comes back with the image's date, and the facts follow it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return FirmwareTestFolders::fact("ICData").toInt() == 20220519; }, kWaitMs));
        ASSERT_NE(backend->tablet(), nullptr);
        EXPECT_STREQ(backend->tablet()->model().firmwareDate, "20220519");
        ASSERT_TRUE(QTest::qWaitFor([&] { return ProgressLogged(logFrom).size() == 2; }, kWaitMs));
        EXPECT_EQ(ProgressLogged(logFrom), c.progress);
        EXPECT_EQ(w.progressValue(), c.shown);
        // The result names the firmware before and after.
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.versionsText().contains(QLatin1String("20220519")); }, kWaitMs));
        EXPECT_TRUE(w.versionsText().contains(QLatin1String("KPX2000A-A 20210826")));
    }
}

TEST_F(FirmwareUpdateTest, OnlyTheModelWithAnOldDateCanBeConfirmed)
{
    struct Case {
        const char *firmware;
        const char *date;
        bool confirm;
    };
    for (const Case c : {Case{"KPX2000A-A", "20211026", true}, Case{"KPX2000A-A", "20211027", false},
                         Case{"KPX2000A-B", "20200101", false}}) {
        SCOPED_TRACE(std::string(c.firmware) + " " + c.date);
        TearDown();
        m_folders.writeImage(TestImage(112));
        FirmwareTestFolders::setFact("ICVersion", QString());
        SimModel model = *SimModels::find(0x0935);
        model.firmware = c.firmware;
        model.firmwareDate = c.date;
        auto backend = std::make_shared<SimHidBackend>();
        backend->plug(model);
        SetDeviceInterfaceBackend(backend);
        FirmwareUpdate &w = OpenWindow();
        // Opening the tablet decides the button at once.
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.deviceOpen(); }, kWaitMs));
        EXPECT_EQ(w.confirmEnabled(), c.confirm);
        if (QByteArray(c.firmware) == "KPX2000A-A")
            EXPECT_EQ(FirmwareTestFolders::fact("ICData").toString(), QLatin1String(c.date));
        else
            EXPECT_TRUE(FirmwareTestFolders::fact("ICVersion").toString().isEmpty()); // not this model's facts
    }
}

TEST_F(FirmwareUpdateTest, RefusedImagesAreNotOfferedAndLeaveTheTabletInNormalMode)
{
    struct Case {
        const char *what;
        QByteArray image; // null: no file
        bool simulatedLoader;
    };
    const QByteArray placeholder = QByteArray("INKORA PLACEHOLDER FIRMWARE") + QByteArray(200, 'x');
    for (const Case &c : {Case{"missing", QByteArray(), true}, Case{"empty", QByteArray(""), true},
                          Case{"too large", QByteArray(256 * 1024 + 1, 'x'), true},
                          Case{"placeholder on a real tablet", placeholder, false}}) {
        SCOPED_TRACE(c.what);
        TearDown();
        QFile::remove(m_folders.imagePath());
        if (!c.image.isNull())
            m_folders.writeImage(c.image);
        auto backend = UseLoaderBackend();
        backend->plugTablet();
        FirmwareUpdate &w = OpenWindow(c.simulatedLoader);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.deviceOpen(); }, kWaitMs));
        QCoreApplication::processEvents();
        // Said before anything starts, and nothing to confirm.
        EXPECT_FALSE(w.confirmEnabled());
        EXPECT_TRUE(w.tipsText().contains(QLatin1String("image"))) << w.tipsText().toStdString();
        EXPECT_EQ(w.tipsText().contains(QLatin1String("No firmware update image is installed")),
                  c.image.isEmpty());
        Confirm();
        EXPECT_EQ(w.pageIndex(), 0);
        // The tablet was never asked to restart into its loader.
        EXPECT_NE(backend->tablet(), nullptr);
        EXPECT_FALSE(backend->loaderPresent());
        EXPECT_EQ(backend->loader(), nullptr);
    }
}

TEST_F(FirmwareUpdateTest, SlowTransferRefusesCancelAndSaysSoWhenTheLoaderIsUnplugged)
{
    m_folders.writeImage(TestImage(560)); // ten Data packets, 30 ms each
    auto backend = UseLoaderBackend();
    backend->setDataPacketDelayMs(30);
    backend->plugTablet();
    SimLoaderControl control(backend.get());
    FirmwareUpdate &w = OpenWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.confirmEnabled(); }, kWaitMs));
    EXPECT_EQ(control.Execute(QStringLiteral("list")), QStringLiteral("ok 0:InkoraPadM"));

    Confirm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return backend->loader() && backend->loader()->dataPacketsReceived() >= 2; },
                                kWaitMs));
    EXPECT_FALSE(w.close()); // leaving now would leave the tablet without firmware
    EXPECT_EQ(control.Execute(QStringLiteral("list")), QStringLiteral("ok loader"));
    EXPECT_EQ(control.Execute(QStringLiteral("unplug 0")), QStringLiteral("error: no simulated tablet 0"));
    EXPECT_EQ(control.Execute(QStringLiteral("unplug loader")), QStringLiteral("ok"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ResultLogged(99); }, kWaitMs));
    QCoreApplication::processEvents();
    EXPECT_TRUE(backend->loader()->erased());
    EXPECT_FALSE(backend->loader()->flashed());
    EXPECT_LT(backend->loader()->dataPacketsReceived(), 10);
    EXPECT_FALSE(w.deviceOpen());
    // Said plainly, with a way out; never "complete".
    EXPECT_TRUE(w.resultText().startsWith(QLatin1String("The tablet left before the update finished")));
    EXPECT_TRUE(w.closeVisible());
    EXPECT_FALSE(w.progressVisible());
    EXPECT_FALSE(ResultLogged(1));
    EXPECT_TRUE(w.close());
}

TEST_F(FirmwareUpdateTest, LoaderPresentAtStartWaitsForOneConfirmAndSendsOneStart)
{
    m_folders.writeImage(TestImage(112));
    FirmwareTestFolders::setFact("ICData", 20210826);
    auto backend = UseLoaderBackend();
    backend->plugLoader();
    FirmwareUpdate &w = OpenWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.confirmEnabled(); }, kWaitMs));
    // The same loader reported again (scan and notice) is not opened twice.
    w.DeviceArrived(SimLoaderBackend::loaderPath().toUpper());
    EXPECT_EQ(backend->loader()->startsReceived(), 0);

    Confirm();
    Confirm(); // a second press while the update runs is ignored
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.resultText().isEmpty(); }, kWaitMs));
    EXPECT_EQ(w.resultText(), QStringLiteral("Done!"));
    EXPECT_EQ(backend->loader()->startsReceived(), 1);
    EXPECT_EQ(backend->loader()->dataPacketsReceived(), 2);
}

TEST_F(FirmwareUpdateTest, LoaderOfAnUpToDateTabletAndNoDevice)
{
    // A stored date past the last outdated one: the loader is left alone.
    FirmwareTestFolders::setFact("ICData", 20220101);
    auto backend = UseLoaderBackend();
    backend->plugLoader();
    FirmwareUpdate &w = OpenWindow();
    QCoreApplication::processEvents(); // the scan's notices, queued to this thread
    EXPECT_FALSE(w.deviceOpen());
    EXPECT_FALSE(w.confirmEnabled());

    // Confirm without a device only says so.
    w.on_pushButton_confirm_clicked();
    auto *box = w.findChild<QMessageBox *>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("No Device!"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Tips"));
    EXPECT_EQ(w.pageIndex(), 0);
    EXPECT_EQ(backend->loader()->startsReceived(), 0);
}
