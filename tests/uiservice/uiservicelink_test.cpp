// Inkora's buttons for the UI service against a recorded service window: what goes out,
// and that the answers reach the link's receivers.
#include "app/uiservicelink.h"
#include "driverlink/sharedblock.h"
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
    }

    int StartsSent() const
    {
        int count = 0;
        for (const RecordedWindowMessage &m : window.messages())
            count += m.message == WM_SCRENNAREA_SELECT_START || m.message == WM_SCREEN_CALIBRATION_START;
        return count;
    }

    QTemporaryDir dir;
    PosixIpcBackend ipc{dir.path()};
    FakeWindowBackend window;
    SharedBlock block{&ipc, &window, dir.path()};
    std::unique_ptr<WindowEndpoint> service;
    UiServiceLink link{&block};
};

} // namespace

TEST_F(Link, NoScreenChosenSendsNothingButTheButtonIsStillCounted)
{
    QSignalSpy usage(&link, &UiServiceLink::UsageRecord);
    EXPECT_FALSE(link.SetscreenAreaClicked(QRect()));
    EXPECT_FALSE(link.ScreenCalibrateClicked(QRect(0, 0, 1920, 0)));
    EXPECT_EQ(StartsSent(), 0);
    ASSERT_EQ(usage.count(), 2);
    EXPECT_EQ(usage.at(0).at(0).toString(), QStringLiteral("SetscreenAreaClicked"));
    EXPECT_EQ(usage.at(1).at(0).toString(), QStringLiteral("ScreenCalibrateClicked"));
}

TEST_F(Link, AnswersOfTheServiceReachTheLinksReceivers)
{
    QSignalSpy area(&link, &UiServiceLink::ScreenAreaSelected);
    QSignalSpy calibration(&link, &UiServiceLink::GetScreenCalibrate);
    QSignalSpy usage(&link, &UiServiceLink::UsageRecord);

    ASSERT_TRUE(link.SetscreenAreaClicked(QRect(-1920, 0, 1920, 1080)));
    ASSERT_EQ(window.messages().size(), 1);
    EXPECT_EQ(window.messages().at(0).message, WM_SCRENNAREA_SELECT_START);
    EXPECT_EQ(block.Contents().Rect(), QRect(-1920, 0, 1920, 1080));

    // What the service leaves in the block and says with its finish messages.
    SharedBlockData answer = block.Contents();
    answer.SX = -1000;
    answer.SY = 10;
    answer.SW = 300;
    answer.SH = 200;
    answer.fKX = 1.0f;
    answer.fKY = 0.98f;
    answer.fXLC = 1.01f;
    answer.fYLC = 0.99f;
    std::unique_ptr<SharedMemory> view = ipc.openSharedMemory(QString::fromLatin1(SharedBlock::BlockName), 32,
                                                              false, nullptr);
    ASSERT_TRUE(view);
    answer.Write(view->data());
    block.HandleWindowMessage(WM_SCRENNAREA_SELECT_FINISH);
    block.HandleWindowMessage(WM_SCREEN_CALIBRATION_FINISH);

    ASSERT_EQ(area.count(), 1);
    EXPECT_EQ(area.at(0).at(0).toRect(), QRect(-1000, 10, 300, 200));
    ASSERT_EQ(calibration.count(), 1);
    EXPECT_EQ(calibration.at(0).at(1).toFloat(), 0.98f);
    QStringList names;
    for (const QList<QVariant> &record : usage)
        names << record.at(0).toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("SetscreenAreaClicked"), QStringLiteral("SlectScreenFinish"),
                                  QStringLiteral("ScreenCalibrateFinish")}));
}
