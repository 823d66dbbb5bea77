// A termination signal reaches the event loop as a Qt signal, however many arrive and
// whenever they arrive; the handlers go back to the default with the object.

#include "app/quitonsignal.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

bool HandlerIsDefault(int number)
{
    struct sigaction current {};
    sigaction(number, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

TEST(QuitOnSignal, TermIntAndHupReachTheLoopInOrder)
{
    {
        QuitOnSignal quit;
        ASSERT_TRUE(quit.isInstalled());
        // A second one would steal the first one's signals: it refuses.
        QuitOnSignal second;
        EXPECT_FALSE(second.isInstalled());

        QSignalSpy spy(&quit, &QuitOnSignal::Signalled);
        // Raised before the loop runs: they wait in the socket.
        ASSERT_EQ(raise(SIGTERM), 0);
        ASSERT_EQ(raise(SIGINT), 0);
        ASSERT_EQ(raise(SIGHUP), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return spy.size() >= 3; }, 5000));
        ASSERT_EQ(spy.size(), 3);
        EXPECT_EQ(spy.at(0).at(0).toInt(), SIGTERM);
        EXPECT_EQ(spy.at(1).at(0).toInt(), SIGINT);
        EXPECT_EQ(spy.at(2).at(0).toInt(), SIGHUP);
        EXPECT_FALSE(HandlerIsDefault(SIGTERM));
    }
    EXPECT_TRUE(HandlerIsDefault(SIGTERM));
    EXPECT_TRUE(HandlerIsDefault(SIGINT));
    EXPECT_TRUE(HandlerIsDefault(SIGHUP));

    // Once the first is gone a new one may take over.
    QuitOnSignal again;
    EXPECT_TRUE(again.isInstalled());
}

} // namespace
