// The UI service's windows on the offscreen platform: the start messages as Inkora sends
// them, the shared block as Inkora makes it, presses as the user makes them, and what
// goes back to Inkora's window.
#include "base/language.h"
#include "driverlink/sharedblock.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/window/fakewindowbackend.h"
#include "uiservice/mainwindow.h"
#include "uiservice/mylrc.h"
#include "uiservice/screencalibrate.h"
#include "uiservice/selectscreenarea.h"
#include "uiservice/tipslanguage.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kBlockName = QString::fromLatin1(SharedBlock::BlockName);
const QString kClass = QString::fromLatin1(SharedBlock::WindowClass);
// Calibration values a selection must leave alone.
constexpr float kOldKX = 1.5f, kOldKY = 0.25f, kOldXLC = -3.0f, kOldYLC = 7.0f;

class Service : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        captions.path = dir.filePath(QStringLiteral("Tipslanguage.ini"));
        captions.group = QStringLiteral("English");
        QSettings file(captions.path, QSettings::IniFormat);
        file.beginGroup(captions.group);
        file.setValue(QStringLiteral("Device.ScreenHelpInfo1"), QStringLiteral("first corner"));
        file.setValue(QStringLiteral("Device.ScreenHelpInfo2"), QStringLiteral("second corner"));
        file.endGroup();
        file.sync();
        // Inkora's window, which takes the finish messages.
        inkora = window.createEndpoint(kClass, QStringLiteral("Inkora"));
        ASSERT_TRUE(inkora);
    }

    void TearDown() override
    {
        service.reset();
        delete select.data();
        delete calibrate.data();
    }

    // Inkora's part: makes the block and writes the screen into it.
    void MakeBlock(const QRect &screen)
    {
        if (!inkoraBlock)
            inkoraBlock = ipc.createSharedMemory(kBlockName, 32, nullptr);
        ASSERT_TRUE(inkoraBlock);
        SharedBlockData data = SharedBlockData::Read(inkoraBlock->constData());
        data.SX = screen.x();
        data.SY = screen.y();
        data.SW = screen.width();
        data.SH = screen.height();
        data.fKX = kOldKX;
        data.fKY = kOldKY;
        data.fXLC = kOldXLC;
        data.fYLC = kOldYLC;
        data.Write(inkoraBlock->data());
    }
    SharedBlockData Block() const { return SharedBlockData::Read(inkoraBlock->constData()); }

    // Inkora's start message, sent the way Inkora sends it.
    qint64 Send(quint32 message)
    {
        if (!service) {
            service = std::make_unique<UiService::MainWindow>(&window, &ipc, captions);
            EXPECT_TRUE(service->IsRegistered());
        }
        qint64 result = -1;
        const WindowHandle handle = window.findWindow(kClass, QStringLiteral("InkoraUIService"));
        EXPECT_TRUE(window.sendMessage(handle, message, 0, 0, 1000, &result));
        return result;
    }

    // Messages that reached Inkora's window.
    QVector<quint32> ToInkora() const
    {
        QVector<quint32> sent;
        for (const RecordedWindowMessage &m : window.messages()) {
            if (m.title == QLatin1String("Inkora") && m.delivered)
                sent << m.message;
        }
        return sent;
    }

    static void Press(QWidget *w, const QPoint &local, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(w, button, Qt::NoModifier, local);
        QTest::mouseRelease(w, button, Qt::NoModifier, local);
    }

    QTemporaryDir dir;
    PosixIpcBackend ipc{dir.path()};
    FakeWindowBackend window;
    CaptionFile captions;
    std::unique_ptr<WindowEndpoint> inkora;
    std::unique_ptr<SharedMemory> inkoraBlock;
    std::unique_ptr<UiService::MainWindow> service;
    QPointer<SelectScreenArea> select;
    QPointer<ScreenCalibrate> calibrate;
};

} // namespace

TEST(TipsLanguage, UsesTheServiceTableWithEnglishForEverythingElse)
{
    EXPECT_EQ(TipsLanguage::groupForLanguageId(2052), QStringLiteral("ChineseSimplified"));
    EXPECT_EQ(TipsLanguage::groupForLanguageId(3076), QStringLiteral("ChineseTraditional"));
    EXPECT_EQ(TipsLanguage::groupForLanguageId(20490), QStringLiteral("Spanish"));
    EXPECT_EQ(TipsLanguage::groupForLanguageId(2070), QStringLiteral("Portuguese"));
    // Inkora's own language file has a Turkish group; the caption file has none.
    EXPECT_EQ(TipsLanguage::groupForLanguageId(1055), QStringLiteral("English"));
    EXPECT_EQ(TipsLanguage::groupForLanguageId(2057), QStringLiteral("English"));
    EXPECT_EQ(TipsLanguage::groupForLanguageId(0), QStringLiteral("English"));
    EXPECT_EQ(TipsLanguage::groupForLanguageId(-1), QStringLiteral("English"));
}

TEST(TipsLanguage, ShippedFileHasBothCaptionsInEveryGroupOfTheTable)
{
    const QString path = qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/uiservice/Tipslanguage.ini");
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    QSet<QString> groups;
    for (int id = 0; id < 0x10000; ++id)
        groups.insert(TipsLanguage::groupForLanguageId(id));
    EXPECT_EQ(groups.size(), 14);

    QSettings file(path, QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    for (const QString &group : groups) {
        for (const char *key : {"Device.ScreenHelpInfo1", "Device.ScreenHelpInfo2", "Device.CalibrateHelpInfo"}) {
            // A text with an unquoted comma would read back as a list, not a text.
            const QVariant value = file.value(group + QLatin1Char('/') + QLatin1String(key));
            EXPECT_EQ(value.type(), QVariant::String) << group.toStdString() << " " << key;
            EXPECT_FALSE(value.toString().trimmed().isEmpty()) << group.toStdString() << " " << key;
        }
    }
    // Read as UTF-8, not as Latin-1.
    EXPECT_TRUE(file.value(QStringLiteral("Russian/Device.ScreenHelpInfo1")).toString().contains(QChar(0x0429)));
}

// The captions follow Inkora's Language menu from the next caption on; Turkish, which
// the caption file lacks, reads English.
TEST(TipsLanguage, CaptionsFollowTheLanguageChoice)
{
    QTemporaryDir data;
    const CaptionFile captions{qEnvironmentVariable("INKORA_SOURCE_DIR")
                                   + QStringLiteral("/uiservice/Tipslanguage.ini"),
                               QStringLiteral("English"), data.path()};
    EXPECT_EQ(captions.Group(), QStringLiteral("English"));
    ASSERT_TRUE(Language::saveChoice(data.path(), QStringLiteral("German")));
    EXPECT_EQ(captions.Group(), QStringLiteral("German"));
    EXPECT_TRUE(captions.Text(QStringLiteral("Device.ScreenHelpInfo2")).startsWith(QStringLiteral("Klicken")));
    ASSERT_TRUE(Language::saveChoice(data.path(), QStringLiteral("Turkish")));
    EXPECT_EQ(captions.Group(), QStringLiteral("English"));
    ASSERT_TRUE(Language::saveChoice(data.path(), QString()));
    EXPECT_EQ(captions.Group(), QStringLiteral("English"));
}

TEST(MyLrcCaption, AutoHideRestartsOnEveryShowAndAPlainCaptionStopsIt)
{
    MyLrc caption;
    caption.ShowText(QStringLiteral("Undo"), true);
    ASSERT_TRUE(caption.isVisible());
    ASSERT_TRUE(caption.hideTimer().isActive());
    EXPECT_EQ(caption.hideTimer().interval(), MyLrc::AutoHideMs);
    QTest::qWait(300);
    const int before = caption.hideTimer().remainingTime();
    ASSERT_LT(before, MyLrc::AutoHideMs - 200);

    // A second caption gets its full time again.
    caption.ShowText(QStringLiteral("Redo"), true);
    EXPECT_GT(caption.hideTimer().remainingTime(), before);
    EXPECT_EQ(caption.lines(), QStringList{QStringLiteral("Redo")});

    // A caption meant to stay is not taken down by the hide still pending.
    caption.ShowText(QStringLiteral("Select the area"), false);
    EXPECT_FALSE(caption.hideTimer().isActive());

    caption.ShowText(QStringLiteral("Eraser"), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !caption.isVisible(); }, 5000));
    EXPECT_TRUE(caption.lines().isEmpty());
    EXPECT_FALSE(caption.hideTimer().isActive());
}

TEST(MyLrcCaption, WiderTextMakesAWiderCaptionAtTheBottomOfTheScreen)
{
    MyLrc caption;
    caption.ShowText(QStringLiteral("A"), true);
    const QSize small = caption.size();
    caption.ShowText(QStringLiteral("A much longer caption text"), true);
    EXPECT_GT(caption.width(), small.width());
    EXPECT_EQ(caption.height(), small.height());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(caption.geometry().bottom(), area.bottom());
    EXPECT_LE(std::abs(caption.geometry().center().x() - area.center().x()), 1);
}

TEST_F(Service, CaptionWithoutTextShowsNothing)
{
    MyLrc caption;
    ASSERT_TRUE(caption.OpenCaptionFile(captions.path, captions.group));
    caption.ShowTips(QStringLiteral("Device.NoSuchKey"), true);
    EXPECT_FALSE(caption.isVisible());
    caption.ShowTips(QStringLiteral("Device.ScreenHelpInfo2"), true);
    EXPECT_TRUE(caption.isVisible());
    EXPECT_EQ(caption.lines(), QStringList{QStringLiteral("second corner")});

    MyLrc noFile;
    EXPECT_FALSE(noFile.OpenCaptionFile(dir.filePath(QStringLiteral("missing.ini")), captions.group));
    noFile.ShowTips(QStringLiteral("Device.ScreenHelpInfo1"), true);
    EXPECT_FALSE(noFile.isVisible());
}

TEST(AreaSelectionRect, BothCornersBelongToTheAreaWhicheverWayRound)
{
    EXPECT_EQ(SelectScreenArea::SpannedRect(QPoint(10, 20), QPoint(109, 69)), QRect(10, 20, 100, 50));
    EXPECT_EQ(SelectScreenArea::SpannedRect(QPoint(109, 69), QPoint(10, 20)), QRect(10, 20, 100, 50));
    // The other diagonal.
    EXPECT_EQ(SelectScreenArea::SpannedRect(QPoint(109, 20), QPoint(10, 69)), QRect(10, 20, 100, 50));
    EXPECT_EQ(SelectScreenArea::SpannedRect(QPoint(5, 5), QPoint(5, 5)), QRect(5, 5, 1, 1));
    // One pixel up and left of the first press: two pixels each way, not an empty area.
    EXPECT_EQ(SelectScreenArea::SpannedRect(QPoint(100, 100), QPoint(99, 99)), QRect(99, 99, 2, 2));
    // Left of the primary screen.
    EXPECT_EQ(SelectScreenArea::SpannedRect(QPoint(-1, 10), QPoint(-1280, 0)), QRect(-1280, 0, 1280, 11));
}

TEST_F(Service, SelectionAnswersWithTheAreaAndLeavesTheCalibrationAlone)
{
    MakeBlock(QRect(100, 50, 640, 480));
    EXPECT_EQ(Send(WM_SCRENNAREA_SELECT_START), 0);
    select = service->selectScreenArea();
    ASSERT_TRUE(select);
    ASSERT_TRUE(select->isVisible());
    EXPECT_EQ(select->geometry(), QRect(100, 50, 640, 480));
    // The corner cursors come from the resources, pointing at their middle.
    EXPECT_FALSE(select->cursor().pixmap().isNull());
    EXPECT_EQ(select->cursor().hotSpot(), QPoint(32, 32));
    EXPECT_EQ(select->caption()->lines(), QStringList{QStringLiteral("first corner")});
    EXPECT_FALSE(select->caption()->hideTimer().isActive());

    // Lower right first, then upper left.
    Press(select, QPoint(300, 200), Qt::RightButton);
    EXPECT_FALSE(select->WaitingForFirstCorner());
    EXPECT_EQ(select->caption()->lines(), QStringList{QStringLiteral("second corner")});
    EXPECT_TRUE(select->caption()->hideTimer().isActive());
    EXPECT_FALSE(select->cursor().pixmap().isNull());
    EXPECT_TRUE(ToInkora().isEmpty());
    Press(select, QPoint(20, 10));

    EXPECT_EQ(ToInkora(), QVector<quint32>{WM_SCRENNAREA_SELECT_FINISH});
    const SharedBlockData data = Block();
    EXPECT_EQ(data.Rect(), QRect(120, 60, 281, 191));
    EXPECT_EQ(data.fKX, kOldKX);
    EXPECT_EQ(data.fKY, kOldKY);
    EXPECT_EQ(data.fXLC, kOldXLC);
    EXPECT_EQ(data.fYLC, kOldYLC);
    // The window is gone; the next start makes a new one.
    EXPECT_TRUE(QTest::qWaitFor([&] { return select.isNull(); }, 5000));
}

// Without a caption file both windows still say what to do and how to leave, and a drag
// with the mouse selects as two clicks do.
TEST_F(Service, WithoutCaptionsTheWindowsExplainThemselvesAndADragSelects)
{
    captions.path = dir.filePath(QStringLiteral("missing.ini"));
    MakeBlock(QRect(100, 50, 640, 480));
    Send(WM_SCRENNAREA_SELECT_START);
    select = service->selectScreenArea();
    ASSERT_TRUE(select);
    EXPECT_TRUE(select->helpText().contains(QLatin1String("drag"))) << select->helpText().toStdString();
    EXPECT_TRUE(select->helpText().contains(QLatin1String("Esc")));
    EXPECT_EQ(select->caption()->lines(), QStringList{select->helpText()});

    QTest::mousePress(select, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    EXPECT_TRUE(select->helpText().startsWith(QLatin1String("Now click the opposite corner")));
    QTest::mouseRelease(select, Qt::LeftButton, Qt::NoModifier, QPoint(210, 120));
    EXPECT_EQ(ToInkora(), QVector<quint32>{WM_SCRENNAREA_SELECT_FINISH});
    EXPECT_EQ(Block().Rect(), QRect(110, 70, 201, 101));

    Send(WM_SCREEN_CALIBRATION_START);
    calibrate = service->screenCalibrate();
    ASSERT_TRUE(calibrate);
    EXPECT_EQ(calibrate->helpText(),
              QStringLiteral("Touch the centre of the red cross with the pen (1 of 5). Esc cancels."));
}

TEST_F(Service, SecondStartRestartsTheOpenSelectionOnTheNewScreen)
{
    MakeBlock(QRect(0, 0, 800, 600));
    Send(WM_SCRENNAREA_SELECT_START);
    select = service->selectScreenArea();
    ASSERT_TRUE(select && select->isVisible());
    Press(select, QPoint(10, 10));
    ASSERT_FALSE(select->WaitingForFirstCorner());

    // Inkora asks again, now for a screen left of the first.
    MakeBlock(QRect(-1280, 100, 1280, 720));
    Send(WM_SCRENNAREA_SELECT_START);
    ASSERT_EQ(service->selectScreenArea(), select.data());
    EXPECT_TRUE(select->isVisible());
    EXPECT_EQ(select->geometry(), QRect(-1280, 100, 1280, 720));
    // The corner of the first run is forgotten: two more presses are needed.
    EXPECT_TRUE(select->WaitingForFirstCorner());
    Press(select, QPoint(5, 6));
    EXPECT_TRUE(ToInkora().isEmpty());

    // Inkora was restarted meanwhile: a new block under the same name, another screen.
    inkoraBlock.reset();
    ASSERT_TRUE(ipc.removeSharedMemory(kBlockName));
    MakeBlock(QRect(0, 0, 1024, 768));
    Send(WM_SCRENNAREA_SELECT_START);
    EXPECT_EQ(select->geometry(), QRect(0, 0, 1024, 768));
    Press(select, QPoint(5, 6));
    Press(select, QPoint(5, 6));
    EXPECT_EQ(ToInkora(), QVector<quint32>{WM_SCRENNAREA_SELECT_FINISH});
    // The answer is in the block the new Inkora reads.
    EXPECT_EQ(Block().Rect(), QRect(5, 6, 1, 1));
}

TEST_F(Service, EscapeClosesWithoutAnAnswer)
{
    MakeBlock(QRect(0, 0, 800, 600));
    Send(WM_SCRENNAREA_SELECT_START);
    select = service->selectScreenArea();
    ASSERT_TRUE(select);
    Press(select, QPoint(10, 10));
    QTest::keyClick(select, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return select.isNull(); }, 5000));

    Send(WM_SCREEN_CALIBRATION_START);
    calibrate = service->screenCalibrate();
    ASSERT_TRUE(calibrate);
    Press(calibrate, QPoint(50, 50));
    QTest::keyClick(calibrate, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return calibrate.isNull(); }, 5000));

    EXPECT_TRUE(ToInkora().isEmpty());
    EXPECT_EQ(Block().Rect(), QRect(0, 0, 800, 600));
    EXPECT_EQ(Block().fKX, kOldKX);
}

TEST_F(Service, WithoutTheBlockNothingIsShownNorSentUntilInkoraMakesIt)
{
    Send(WM_SCRENNAREA_SELECT_START);
    select = service->selectScreenArea();
    ASSERT_TRUE(select);
    EXPECT_FALSE(select->isVisible());
    EXPECT_FALSE(select->IsBlockMapped());
    Send(WM_SCREEN_CALIBRATION_START);
    calibrate = service->screenCalibrate();
    ASSERT_TRUE(calibrate);
    EXPECT_FALSE(calibrate->isVisible());
    // Presses on a window that never showed answer nothing.
    Press(select, QPoint(1, 1));
    Press(select, QPoint(2, 2));
    EXPECT_TRUE(ToInkora().isEmpty());
    // The service never makes the block itself.
    EXPECT_FALSE(ipc.openSharedMemory(kBlockName, 32, false, nullptr));

    // Once Inkora has its block, the next start works.
    MakeBlock(QRect(0, 0, 640, 480));
    Send(WM_SCRENNAREA_SELECT_START);
    EXPECT_TRUE(select->isVisible());
    EXPECT_TRUE(select->IsBlockMapped());
}

TEST_F(Service, OtherMessagesAreLeftAloneAndInkoraMissingGetsNoMessage)
{
    MakeBlock(QRect(0, 0, 640, 480));
    EXPECT_EQ(Send(0x0010), 0); // WM_CLOSE
    EXPECT_EQ(Send(WM_SCRENNAREA_SELECT_FINISH), 0);
    EXPECT_EQ(service->selectScreenArea(), nullptr);
    EXPECT_EQ(service->screenCalibrate(), nullptr);

    // Inkora's window gone: the area still lands in the block.
    inkora.reset();
    Send(WM_SCRENNAREA_SELECT_START);
    select = service->selectScreenArea();
    ASSERT_TRUE(select);
    Press(select, QPoint(1, 2));
    Press(select, QPoint(3, 4));
    EXPECT_EQ(Block().Rect(), QRect(1, 2, 3, 3));
    for (const RecordedWindowMessage &m : window.messages())
        EXPECT_NE(m.title, QStringLiteral("Inkora"));
}

TEST_F(Service, ExactPressesOnTheCrossesCalibrateToOne)
{
    const QRect screen(1920, -100, 1280, 1024);
    MakeBlock(screen);
    Send(WM_SCREEN_CALIBRATION_START);
    calibrate = service->screenCalibrate();
    ASSERT_TRUE(calibrate && calibrate->isVisible());
    EXPECT_EQ(calibrate->geometry(), screen);
    const auto targets = calibrate->targets();
    EXPECT_EQ(targets[4], QPoint(640, 512));
    for (int i = 0; i < ScreenCalibrate::TargetCount; ++i) {
        EXPECT_EQ(calibrate->currentIndex(), i);
        EXPECT_TRUE(ToInkora().isEmpty());
        Press(calibrate, targets[i]);
    }
    EXPECT_EQ(ToInkora(), QVector<quint32>{WM_SCREEN_CALIBRATION_FINISH});
    const SharedBlockData data = Block();
    EXPECT_EQ(data.fKX, 1.0f);
    EXPECT_EQ(data.fKY, 1.0f);
    EXPECT_EQ(data.fXLC, 1.0f);
    EXPECT_EQ(data.fYLC, 1.0f);
    EXPECT_EQ(data.Rect(), screen);
}

TEST_F(Service, PressesOutsideTheCurrentCrossDoNotAdvanceAndARestartBeginsAgain)
{
    MakeBlock(QRect(0, 0, 1000, 800));
    Send(WM_SCREEN_CALIBRATION_START);
    calibrate = service->screenCalibrate();
    ASSERT_TRUE(calibrate);
    // The first cross at (50, 50) takes presses from (0, 0) to (99, 99).
    Press(calibrate, QPoint(100, 60));
    Press(calibrate, QPoint(60, 100));
    Press(calibrate, QPoint(500, 400));
    EXPECT_EQ(calibrate->currentIndex(), 0);
    Press(calibrate, QPoint(99, 99));
    EXPECT_EQ(calibrate->currentIndex(), 1);
    // The second cross at (50, 750): a press near the first one no longer counts.
    Press(calibrate, QPoint(50, 50));
    EXPECT_EQ(calibrate->currentIndex(), 1);
    Press(calibrate, QPoint(40, 760));
    EXPECT_EQ(calibrate->currentIndex(), 2);

    Send(WM_SCREEN_CALIBRATION_START);
    EXPECT_EQ(service->screenCalibrate(), calibrate.data());
    EXPECT_EQ(calibrate->currentIndex(), 0);

    // Pen off by a few pixels: P0 (60, 40), P1 (40, 760), P2 (990, 770), P3 (940, 30),
    // P4 (625, 500) against targets (50, 50), (50, 750), (950, 750), (950, 50), (500, 400).
    for (const QPoint &p : {QPoint(60, 40), QPoint(40, 760), QPoint(990, 770), QPoint(940, 30), QPoint(625, 500)})
        Press(calibrate, p);
    ASSERT_EQ(ToInkora(), QVector<quint32>{WM_SCREEN_CALIBRATION_FINISH});
    const SharedBlockData data = Block();
    EXPECT_FLOAT_EQ(data.fKX, 1830.0f / 1800.0f); // ((990 - 40) + (940 - 60)) / (2 x 900)
    EXPECT_FLOAT_EQ(data.fKY, 1460.0f / 1400.0f); // ((770 - 30) + (760 - 40)) / (2 x 700)
    EXPECT_FLOAT_EQ(data.fXLC, 0.8f);             // 500 / 625
    EXPECT_FLOAT_EQ(data.fYLC, 0.8f);             // 400 / 500
}

TEST_F(Service, ScreenTooSmallForTheCrossesSendsNothing)
{
    // Left and right crosses fall on one column: there is no span to compare.
    MakeBlock(QRect(0, 0, 100, 300));
    Send(WM_SCREEN_CALIBRATION_START);
    calibrate = service->screenCalibrate();
    ASSERT_TRUE(calibrate);
    for (const QPoint &t : calibrate->targets())
        Press(calibrate, t);
    EXPECT_TRUE(ToInkora().isEmpty());
    EXPECT_EQ(Block().fKX, kOldKX);
}
