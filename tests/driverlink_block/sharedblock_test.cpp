// The shared block on Inkora's side: its bytes, its making and removal, the start
// requests against a recorded UI service window, and the finish handlers.
#include "driverlink/sharedblock.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/window/fakewindowbackend.h"
#include "tests/device/logcapture.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kBlockName = QStringLiteral("Local\\VT_QT_SHAREDMEMERYDATA");

// SX -2, SY 1080, SW 1920, SH 1200; fKX 1.0, fKY -0.5, fXLC 2.5, fYLC 0.
const uint8_t kBlockBytes[32] = {
    0xFE, 0xFF, 0xFF, 0xFF, 0x38, 0x04, 0x00, 0x00, 0x80, 0x07, 0x00, 0x00, 0xB0, 0x04, 0x00, 0x00,
    0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0xBF, 0x00, 0x00, 0x20, 0x40, 0x00, 0x00, 0x00, 0x00,
};

class Block : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // What the UI service sees of the block.
    std::unique_ptr<SharedMemory> serviceView()
    {
        return ipc.openSharedMemory(kBlockName, 32, false, nullptr);
    }

    QTemporaryDir dir;
    PosixIpcBackend ipc{dir.path()};
    FakeWindowBackend window;
    SharedBlock block{&ipc, &window, dir.path()};
};

} // namespace

TEST(SharedBlockData, ReadsAndWritesTheByteLayout)
{
    const SharedBlockData data = SharedBlockData::Read(kBlockBytes);
    EXPECT_EQ(data.Rect(), QRect(-2, 1080, 1920, 1200));
    EXPECT_EQ(data.fKX, 1.0f);
    EXPECT_EQ(data.fKY, -0.5f);
    EXPECT_EQ(data.fXLC, 2.5f);
    EXPECT_EQ(data.fYLC, 0.0f);

    uint8_t written[32];
    std::memset(written, 0xAA, sizeof(written));
    data.Write(written);
    EXPECT_EQ(std::memcmp(written, kBlockBytes, 32), 0);
}

TEST_F(Block, IsMadeZeroedForThisUserOnlyAndRemovedOnRelease)
{
    // A block left behind by an earlier run, full of old values.
    {
        auto stale = ipc.createSharedMemory(kBlockName, 32, nullptr);
        ASSERT_TRUE(stale);
        std::memset(stale->data(), 0x5A, 32);
    }
    ASSERT_TRUE(block.CreateBlock());
    auto view = serviceView();
    ASSERT_TRUE(view);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(view->constData()[i], 0) << "byte " << i;

    struct stat st = {};
    const QString path = ipc.sharedMemoryPath(kBlockName);
    EXPECT_TRUE(path.endsWith(QStringLiteral("-VT_QT_SHAREDMEMERYDATA.mem")));
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());

    // A service still holding the block keeps its view; nobody opens it anew.
    block.ReleaseBlock();
    EXPECT_FALSE(block.IsCreated());
    view->data()[0] = 1;
    EXPECT_EQ(view->constData()[0], 1);
    IpcError error = IpcError::None;
    EXPECT_FALSE(ipc.openSharedMemory(kBlockName, 32, false, &error));
    EXPECT_EQ(error, IpcError::NotFound);
}

TEST_F(Block, CreateFailsCleanlyWhereNoBlockCanBeMade)
{
    PosixIpcBackend nowhere(dir.path() + QStringLiteral("/missing"));
    SharedBlock failing(&nowhere, &window, dir.path());
    EXPECT_FALSE(failing.CreateBlock());
    EXPECT_FALSE(failing.StartAreaSelection(QRect(0, 0, 100, 100)));
    EXPECT_FALSE(failing.StartCalibration(QRect(0, 0, 100, 100)));
    EXPECT_TRUE(window.messages().isEmpty());
    QSignalSpy selected(&failing, &SharedBlock::ScreenAreaSelected);
    EXPECT_TRUE(failing.HandleWindowMessage(WM_SCRENNAREA_SELECT_FINISH));
    EXPECT_EQ(selected.count(), 0);
}

TEST_F(Block, StartWritesTheScreenBeforeTheServiceHandlesTheStartMessage)
{
    ASSERT_TRUE(block.CreateBlock());
    auto service = window.createEndpoint(QStringLiteral("Qt5QWindowIcon"), QStringLiteral("InkoraUIService"));
    auto view = serviceView();
    QVector<QRect> seen;
    QObject::connect(service.get(), &WindowEndpoint::messageReceived, service.get(),
                     [&](quint32, qint64, qint64) { seen.append(SharedBlockData::Read(view->constData()).Rect()); });

    // A calibration result still in the block is not part of a request.
    SharedBlockData result;
    result.fKX = 1.5f;
    result.Write(view->data());

    EXPECT_TRUE(block.StartAreaSelection(QRect(1920, 0, 2560, 1440)));
    EXPECT_TRUE(block.StartCalibration(QRect(0, 0, 1920, 1080)));
    ASSERT_EQ(window.messages().size(), 2);
    EXPECT_EQ(window.messages()[0].message, WM_SCRENNAREA_SELECT_START);
    EXPECT_EQ(window.messages()[1].message, WM_SCREEN_CALIBRATION_START);
    for (const RecordedWindowMessage &sent : window.messages()) {
        EXPECT_FALSE(sent.posted);
        EXPECT_EQ(sent.wParam, 0);
        EXPECT_EQ(sent.lParam, 0);
        EXPECT_EQ(sent.title, QStringLiteral("InkoraUIService"));
    }
    EXPECT_EQ(seen, (QVector<QRect>{QRect(1920, 0, 2560, 1440), QRect(0, 0, 1920, 1080)}));
    EXPECT_EQ(block.Contents().fKX, 1.5f);
}

TEST_F(Block, ServiceThatCannotBeStartedDropsTheRequest)
{
    ASSERT_TRUE(block.CreateBlock());
    LogCapture log;
    EXPECT_FALSE(block.StartAreaSelection(QRect(0, 0, 800, 600)));
    EXPECT_TRUE(window.messages().isEmpty());
    const QString text = log.lines().join(QLatin1Char('\n'));
    EXPECT_TRUE(text.contains(QStringLiteral("Start InkoraUIService: ") + dir.path() + QStringLiteral("/InkoraUIService")));
    EXPECT_TRUE(text.contains(QStringLiteral("did not start")));
    // The screen is in the block all the same, as the service would have found it.
    EXPECT_EQ(block.Contents().Rect(), QRect(0, 0, 800, 600));
}

TEST_F(Block, FinishHandlersReadTheResultAndReportIt)
{
    ASSERT_TRUE(block.CreateBlock());
    QSignalSpy selected(&block, &SharedBlock::ScreenAreaSelected);
    QSignalSpy calibrated(&block, &SharedBlock::ScreenCalibrated);
    QSignalSpy usage(&block, &SharedBlock::UsageRecord);
    LogCapture log;

    auto view = serviceView();
    std::memcpy(view->data(), kBlockBytes, 32);
    EXPECT_TRUE(block.HandleWindowMessage(WM_SCRENNAREA_SELECT_FINISH));
    EXPECT_TRUE(block.HandleWindowMessage(WM_SCREEN_CALIBRATION_FINISH));
    EXPECT_FALSE(block.HandleWindowMessage(WM_SCRENNAREA_SELECT_START));

    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toRect(), QRect(-2, 1080, 1920, 1200));
    ASSERT_EQ(calibrated.count(), 1);
    EXPECT_EQ(calibrated.at(0).at(0).toFloat(), 1.0f);
    EXPECT_EQ(calibrated.at(0).at(1).toFloat(), -0.5f);
    EXPECT_EQ(calibrated.at(0).at(2).toFloat(), 2.5f);
    EXPECT_EQ(calibrated.at(0).at(3).toFloat(), 0.0f);

    ASSERT_EQ(usage.count(), 2);
    EXPECT_EQ(usage.at(0).at(0).toString(), QStringLiteral("SlectScreenFinish"));
    const QVariantMap area = usage.at(0).at(1).toMap();
    EXPECT_EQ(area.keys(), (QStringList{"SH", "SW", "SX", "SY"}));
    EXPECT_EQ(area.value(QStringLiteral("SY")).toInt(), 1080);
    EXPECT_EQ(usage.at(1).at(0).toString(), QStringLiteral("ScreenCalibrateFinish"));
    EXPECT_EQ(usage.at(1).at(1).toMap().value(QStringLiteral("fKY")).toFloat(), -0.5f);

    const QString text = log.lines().join(QLatin1Char('\n'));
    EXPECT_TRUE(text.contains(QStringLiteral("WM_SCRENNAREA_SELECT_FINISH -2 1080 1920 1200")));
    EXPECT_TRUE(text.contains(QStringLiteral("WM_SCREEN_CALIBRATION_FINISH 1 -0.5 2.5 0")));
}

TEST_F(Block, ResultsThatCannotBeAppliedAreLoggedAndNotReported)
{
    ASSERT_TRUE(block.CreateBlock());
    QSignalSpy selected(&block, &SharedBlock::ScreenAreaSelected);
    QSignalSpy calibrated(&block, &SharedBlock::ScreenCalibrated);
    QSignalSpy usage(&block, &SharedBlock::UsageRecord);

    auto view = serviceView();
    SharedBlockData data;
    data.SX = 100;
    data.SW = 0; // nothing selected
    data.SH = 50;
    data.fKX = std::numeric_limits<float>::quiet_NaN();
    data.fKY = 1.0f;
    data.Write(view->data());
    block.OnScreenAreaSelectFinish();
    block.OnScreenCalibrationFinish();
    data.SW = 10;
    data.SH = -5;
    data.fKX = 1.0f;
    data.fYLC = std::numeric_limits<float>::infinity();
    data.Write(view->data());
    block.OnScreenAreaSelectFinish();
    block.OnScreenCalibrationFinish();

    EXPECT_EQ(selected.count(), 0);
    EXPECT_EQ(calibrated.count(), 0);
    EXPECT_EQ(usage.count(), 0);
}
