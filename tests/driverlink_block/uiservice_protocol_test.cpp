// The whole exchange with a UI service in its own process (the test peer, installed as
// InkoraUIService in a folder of its own): the start on demand, the start messages, the
// finish messages back through Inkora's window.
#include "driverlink/sharedblock.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"
#include "tests/device/logcapture.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr quint32 PeerFinish = 0x8001;
constexpr quint32 PeerStartCount = 0x8002;

class UiServiceProtocol : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        // The peer finds the block and the windows in the same per-user folder.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        ipc = std::make_unique<PosixIpcBackend>(runtime.path());
        window = std::make_unique<LocalSocketWindowBackend>(runtime.path());
        block = std::make_unique<SharedBlock>(ipc.get(), window.get(), QStringLiteral(INKORA_PEER_DIR));
        ASSERT_TRUE(block->CreateBlock());
        // Inkora's own window, whose finish messages go to the block's handlers.
        inkora = window->createEndpoint(QStringLiteral("Qt5QWindowIcon"), QStringLiteral("Inkora"));
        ASSERT_TRUE(inkora);
        QObject::connect(inkora.get(), &WindowEndpoint::messageReceived, block.get(),
                         [this](quint32 message, qint64, qint64) { block->HandleWindowMessage(message); });
    }
    void TearDown() override
    {
        block.reset(); // ends the peer it started
        inkora.reset();
        qunsetenv("INKORA_PEER_HOLD");
        qunsetenv("XDG_RUNTIME_DIR");
    }

    qint64 peerStarts()
    {
        qint64 count = -1;
        const WindowHandle peer = window->findWindow(QStringLiteral("Qt5QWindowIcon"), QStringLiteral("InkoraUIService"));
        EXPECT_TRUE(window->sendMessage(peer, PeerStartCount, 0, 0, 5000, &count));
        return count;
    }

    QTemporaryDir runtime;
    std::unique_ptr<PosixIpcBackend> ipc;
    std::unique_ptr<LocalSocketWindowBackend> window;
    std::unique_ptr<SharedBlock> block;
    std::unique_ptr<WindowEndpoint> inkora;
};

} // namespace

TEST_F(UiServiceProtocol, FirstRequestStartsTheServiceAndStillDeliversItsStartMessage)
{
    ASSERT_FALSE(window->findWindow(QStringLiteral("Qt5QWindowIcon"), QStringLiteral("InkoraUIService")).isValid());
    QSignalSpy selected(block.get(), &SharedBlock::ScreenAreaSelected);
    QSignalSpy calibrated(block.get(), &SharedBlock::ScreenCalibrated);
    LogCapture log;

    ASSERT_TRUE(block->StartAreaSelection(QRect(1920, 0, 2560, 1440)));
    ASSERT_TRUE(selected.wait(10000));
    EXPECT_EQ(selected.at(0).at(0).toRect(), QRect(1930, 20, 1280, 720));
    EXPECT_EQ(block->Contents().Rect(), QRect(1930, 20, 1280, 720));

    // The running service is used as it is: no second start.
    ASSERT_TRUE(block->StartCalibration(QRect(0, -1080, 1920, 1080)));
    ASSERT_TRUE(calibrated.wait(10000));
    EXPECT_EQ(calibrated.at(0).at(0).toFloat(), 1.25f);
    EXPECT_EQ(calibrated.at(0).at(1).toFloat(), 0.75f);
    EXPECT_EQ(calibrated.at(0).at(2).toFloat(), 0.5f);
    EXPECT_EQ(calibrated.at(0).at(3).toFloat(), -1080.25f);
    EXPECT_EQ(peerStarts(), 2);

    const QStringList lines = log.lines();
    EXPECT_EQ(lines.filter(QStringLiteral("Start InkoraUIService: ") + QStringLiteral(INKORA_PEER_DIR)
                           + QStringLiteral("/InkoraUIService"))
                  .size(),
              1);
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("Found InkoraUIService window after \\d+ attempts"))).size(),
              1);
}

TEST_F(UiServiceProtocol, SecondStartWhileTheServiceIsBusyGetsTheResultForTheNewScreen)
{
    qputenv("INKORA_PEER_HOLD", "1");
    QSignalSpy selected(block.get(), &SharedBlock::ScreenAreaSelected);

    ASSERT_TRUE(block->StartAreaSelection(QRect(0, 0, 1920, 1080)));
    ASSERT_TRUE(block->StartAreaSelection(QRect(1920, 0, 1000, 800)));
    EXPECT_EQ(block->Contents().Rect(), QRect(1920, 0, 1000, 800));
    EXPECT_EQ(peerStarts(), 2);
    EXPECT_EQ(selected.count(), 0);

    const WindowHandle peer = window->findWindow(QStringLiteral("Qt5QWindowIcon"), QStringLiteral("InkoraUIService"));
    ASSERT_TRUE(window->postMessage(peer, PeerFinish, 0, 0));
    ASSERT_TRUE(selected.wait(10000));
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toRect(), QRect(1930, 20, 500, 400));
}
