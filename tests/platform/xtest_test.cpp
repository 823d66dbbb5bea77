// XTest injection as another X client sees it, on an Xvfb of the test's own.
#include "platform/input/linux/xtestinjector.h"

#include "xvfbserver.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <utility>

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 800;

class XTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!server.installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb): no X server to inject into";
        ASSERT_TRUE(server.Start(QStringLiteral("%1x%2").arg(kWidth).arg(kHeight), &why)) << why.toStdString();
        display = server.display();
        observer = XOpenDisplay(display.constData());
        ASSERT_NE(observer, nullptr);
    }

    void TearDown() override
    {
        if (observer)
            XCloseDisplay(observer);
    }

    // Pointer position and button state as this client sees them.
    void Pointer(int *x, int *y, unsigned *mask)
    {
        Window root, child;
        int wx, wy;
        XQueryPointer(observer, DefaultRootWindow(observer), &root, &child, x, y, &wx, &wy, mask);
    }

    bool Inject(XTestInjector &injector, int32_t x, int32_t y, uint32_t flags)
    {
        const MouseInput input{x, y, flags};
        return injector.sendMouse(&input, 1) == 1;
    }

    XvfbServer server;
    QByteArray display;
    Display *observer = nullptr;
};

} // namespace

TEST_F(XTest, AbsoluteMotionCoversTheWholeRootWindow)
{
    auto injector = XTestInjector::open(display);
    ASSERT_TRUE(injector);
    int x = -1, y = -1;
    unsigned mask = 0;

    ASSERT_TRUE(Inject(*injector, 65535, 65535, MouseMove | MouseAbsolute));
    Pointer(&x, &y, &mask);
    EXPECT_EQ(x, kWidth - 1);
    EXPECT_EQ(y, kHeight - 1);

    ASSERT_TRUE(Inject(*injector, 32768, 0, MouseMove | MouseAbsolute));
    Pointer(&x, &y, &mask);
    EXPECT_EQ(x, kWidth / 2);
    EXPECT_EQ(y, 0);

    ASSERT_TRUE(Inject(*injector, 10, -5, MouseMove));
    Pointer(&x, &y, &mask);
    EXPECT_EQ(x, kWidth / 2 + 10);
    EXPECT_EQ(y, 0); // held at the edge
}

TEST_F(XTest, ButtonsGoThroughTheUsersPointerMapping)
{
    auto injector = XTestInjector::open(display);
    ASSERT_TRUE(injector);
    int x, y;
    unsigned mask = 0;

    EXPECT_FALSE(injector->mouseButtonsSwapped());
    ASSERT_TRUE(Inject(*injector, 0, 0, MouseLeftDown | MouseAbsolute));
    Pointer(&x, &y, &mask);
    EXPECT_TRUE(mask & Button1Mask);
    ASSERT_TRUE(Inject(*injector, 0, 0, MouseLeftUp | MouseAbsolute));
    Pointer(&x, &y, &mask);
    EXPECT_FALSE(mask & (Button1Mask | Button3Mask));

    // A left-handed user: an injected left press is the user's primary button, which
    // the server reports as button 3.
    unsigned char map[256];
    const int buttons = XGetPointerMapping(observer, map, int(sizeof map));
    ASSERT_GE(buttons, 3);
    std::swap(map[0], map[2]);
    ASSERT_EQ(XSetPointerMapping(observer, map, buttons), MappingSuccess);
    XSync(observer, False);
    EXPECT_TRUE(injector->mouseButtonsSwapped());
    ASSERT_TRUE(Inject(*injector, 0, 0, MouseLeftDown | MouseAbsolute));
    Pointer(&x, &y, &mask);
    EXPECT_TRUE(mask & Button3Mask);
    EXPECT_FALSE(mask & Button1Mask);
    ASSERT_TRUE(Inject(*injector, 0, 0, MouseLeftUp | MouseAbsolute));
}

TEST_F(XTest, ClosingReleasesTheButtonsItHeld)
{
    auto injector = XTestInjector::open(display);
    ASSERT_TRUE(injector);
    ASSERT_TRUE(Inject(*injector, 100, 100, MouseRightDown | MouseAbsolute));
    int x, y;
    unsigned mask = 0;
    Pointer(&x, &y, &mask);
    ASSERT_TRUE(mask & Button3Mask);
    injector.reset();
    Pointer(&x, &y, &mask);
    EXPECT_FALSE(mask & Button3Mask);
}

// Xlib ends the program when the X server goes away in the middle of a call (a logout,
// XWayland restarted). The exit destroys the injector while its call still holds the
// lock, as the program's shared injector is destroyed: the program must end, not hang.
TEST(XTestLost, ServerGoneInACallEndsTheProgram)
{
    if (!XvfbServer().installed())
        GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto loseTheServer = [] {
        alarm(20); // a hang ends as SIGALRM, not as a stuck test
        auto *server = new XvfbServer;
        QString why;
        static std::unique_ptr<XTestInjector> injector; // destroyed by exit(), as the program's is
        if (!server->Start(QString(), &why) || !(injector = XTestInjector::open(server->display())))
            std::_Exit(3);
        const MouseInput press{0, 0, MouseRightDown};
        if (injector->sendMouse(&press, 1) != 1)
            std::_Exit(3);
        delete server;
        injector->releaseHeld();
        std::_Exit(4); // Xlib exits before this
    };
    EXPECT_EXIT(loseTheServer(), ::testing::ExitedWithCode(1), "");
}

TEST(XTestOpen, NoServerNoInjector)
{
    EXPECT_FALSE(XTestInjector::open(":9876"));
}
