// Inkora's buttons for the UI service against a recorded service window: the screen
// chosen in the mapping model goes out, and the answers end in the current tablet's
// profile.
#include "app/mappingmodel.h"
#include "app/uiservicelink.h"
#include "config/profilerecords.h"
#include "device/ctablet.h"
#include "device/tablettable.h"
#include "driverlink/sharedblock.h"
#include "platform/display/displaybackend.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/window/fakewindowbackend.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Link : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(block.CreateBlock());
        service = window.createEndpoint(QString::fromLatin1(SharedBlock::WindowClass),
                                        QString::fromLatin1(SharedBlock::ServiceTitle));
        ASSERT_TRUE(service);
        tablet.m_DeviceAttributes.WidthInch100 = 15200;
        tablet.m_DeviceAttributes.HeightInch100 = 9500;
        display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080), QRect(-1920, 0, 1920, 1080)}));
        model.EnumDisplay();
        model.SetTablet(&tablet);
    }
    void TearDown() override { TabletTable::ClearAll(); }

    int StartsSent() const
    {
        int count = 0;
        for (const RecordedWindowMessage &m : window.messages())
            count += m.message == WM_SCRENNAREA_SELECT_START || m.message == WM_SCREEN_CALIBRATION_START;
        return count;
    }

    // What the service leaves in the block before its finish message.
    void Answer(const SharedBlockData &data)
    {
        std::unique_ptr<SharedMemory> view =
            ipc.openSharedMemory(QString::fromLatin1(SharedBlock::BlockName), 32, false, nullptr);
        ASSERT_TRUE(view);
        data.Write(view->data());
    }

    QTemporaryDir dir;
    PosixIpcBackend ipc{dir.path()};
    FakeWindowBackend window;
    SharedBlock block{&ipc, &window, dir.path()};
    std::unique_ptr<WindowEndpoint> service;
    FixedDisplayBackend display;
    MappingModel model{&display};
    CTablet tablet{0};
    UiServiceLink link{&block, &model};
};

} // namespace

TEST_F(Link, NoScreenSendsNothingButTheButtonIsStillCounted)
{
    UiServiceLink withoutModel(&block, nullptr);
    QSignalSpy usage(&withoutModel, &UiServiceLink::UsageRecord);
    EXPECT_FALSE(withoutModel.SetscreenAreaClicked());
    EXPECT_FALSE(withoutModel.ScreenCalibrateClicked());
    EXPECT_FALSE(link.StartCalibration(QRect(0, 0, 1920, 0)));
    EXPECT_EQ(StartsSent(), 0);
    ASSERT_EQ(usage.count(), 2);
    EXPECT_EQ(usage.at(0).at(0).toString(), QStringLiteral("SetscreenAreaClicked"));
    EXPECT_EQ(usage.at(1).at(0).toString(), QStringLiteral("ScreenCalibrateClicked"));
}

TEST_F(Link, ChosenScreenGoesOutAndTheAnswersEndInTheTabletsProfile)
{
    QSignalSpy usage(&link, &UiServiceLink::UsageRecord);
    model.ScreenSelected(1); // the screen left of the primary one
    ASSERT_TRUE(link.SetscreenAreaClicked());
    ASSERT_EQ(window.messages().size(), 1);
    EXPECT_EQ(window.messages().at(0).message, WM_SCRENNAREA_SELECT_START);
    EXPECT_EQ(block.Contents().Rect(), QRect(-1920, 0, 1920, 1080));

    SharedBlockData answer = block.Contents();
    answer.SX = -1000;
    answer.SY = 10;
    answer.SW = 300;
    answer.SH = 200;
    answer.fKX = 1.0f;
    answer.fKY = 0.98f;
    answer.fXLC = 1.01f;
    answer.fYLC = 0.99f;
    Answer(answer);
    block.HandleWindowMessage(WM_SCRENNAREA_SELECT_FINISH);
    ASSERT_TRUE(link.ScreenCalibrateClicked());
    EXPECT_EQ(window.messages().last().message, WM_SCREEN_CALIBRATION_START);
    block.HandleWindowMessage(WM_SCREEN_CALIBRATION_FINISH);

    const TabletXMLData &p = *tablet.TabletXMLData;
    EXPECT_EQ(QRect(p.SX, p.SY, p.SW, p.SH), QRect(-1000, 10, 300, 200));
    EXPECT_EQ(p.fKX, 1.0f);
    EXPECT_EQ(p.fKY, 0.98f);
    EXPECT_EQ(p.fXLC, 1.01f);
    EXPECT_EQ(p.fYLC, 0.99f);
    QStringList names;
    for (const QList<QVariant> &record : usage)
        names << record.at(0).toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("SetscreenAreaClicked"), QStringLiteral("SlectScreenFinish"),
                                  QStringLiteral("ScreenCalibrateClicked"), QStringLiteral("ScreenCalibrateFinish")}));
}

// The service's window stays up while the user works in it; a tablet unplugged
// meanwhile leaves the window showing another one, which must not take the result.
TEST_F(Link, AnAnswerForATabletThatLeftIsDropped)
{
    auto leaving = std::make_unique<CTablet>(1);
    model.SetTablet(leaving.get());
    QSignalSpy dropped(&link, &UiServiceLink::ResultDropped);
    ASSERT_TRUE(link.SetscreenAreaClicked());
    leaving.reset();
    model.SetTablet(&tablet);
    const TabletXMLData before = *tablet.TabletXMLData;

    SharedBlockData answer = block.Contents();
    answer.SX = 5;
    answer.SY = 6;
    answer.SW = 70;
    answer.SH = 80;
    answer.fKX = 2.0f;
    answer.fKY = 2.0f;
    Answer(answer);
    block.HandleWindowMessage(WM_SCRENNAREA_SELECT_FINISH);
    block.HandleWindowMessage(WM_SCREEN_CALIBRATION_FINISH);
    EXPECT_EQ(dropped.count(), 2);
    const TabletXMLData &p = *tablet.TabletXMLData;
    EXPECT_EQ(QRect(p.SX, p.SY, p.SW, p.SH), QRect(before.SX, before.SY, before.SW, before.SH));
    EXPECT_EQ(p.fKX, before.fKX);
}
