// Injected keys as another X client sees them, on an Xvfb of the test's own.
#include "platform/input/linux/xtestinjector.h"

#include "xvfbserver.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>

namespace {

class XTestKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!server.installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb): no X server to inject into";
        ASSERT_TRUE(server.Start(QString(), &why)) << why.toStdString();
        display = server.display();
        observer = XOpenDisplay(display.constData());
        ASSERT_NE(observer, nullptr);
    }

    void TearDown() override
    {
        if (observer)
            XCloseDisplay(observer);
    }

    // Whether the server holds X key code `code` down now.
    bool Down(int code)
    {
        char keys[32];
        XQueryKeymap(observer, keys);
        return keys[code / 8] & (1 << (code % 8));
    }

    static KeyInput Key(uint16_t vk, uint16_t sc, bool down)
    {
        KeyInput k;
        k.vk = vk;
        k.scan = uint16_t(sc & 0xFF);
        k.flags = (sc >= 256 ? KeyExtended : 0u) | (down ? 0u : KeyUp);
        return k;
    }

    XvfbServer server;
    QByteArray display;
    Display *observer = nullptr;
};

// X key code = evdev code + 8.
constexpr int kXLeftCtrl = 29 + 8;
constexpr int kXC = 46 + 8;
constexpr int kXRightAlt = 100 + 8;
constexpr int kXLeftAlt = 56 + 8;
constexpr int kXF13 = 183 + 8;

} // namespace

TEST_F(XTestKeys, KeysArriveAsTheirEvdevCodes)
{
    auto injector = XTestInjector::open(display);
    ASSERT_TRUE(injector);

    const KeyInput ctrlC[] = {Key(162, 29, true), Key(67, 46, true)};
    ASSERT_EQ(injector->sendKeys(ctrlC, 2), 2);
    EXPECT_TRUE(Down(kXLeftCtrl));
    EXPECT_TRUE(Down(kXC));
    const KeyInput release[] = {Key(162, 29, false), Key(67, 46, false)};
    ASSERT_EQ(injector->sendKeys(release, 2), 2);
    EXPECT_FALSE(Down(kXLeftCtrl));
    EXPECT_FALSE(Down(kXC));

    // 0x138 is Right Alt, not Left Alt; F13 goes by its virtual key.
    const KeyInput rightAlt = Key(165, 312, true);
    ASSERT_EQ(injector->sendKeys(&rightAlt, 1), 1);
    EXPECT_TRUE(Down(kXRightAlt));
    EXPECT_FALSE(Down(kXLeftAlt));
    const KeyInput f13 = Key(124, 100, true);
    ASSERT_EQ(injector->sendKeys(&f13, 1), 1);
    EXPECT_TRUE(Down(kXF13));

    // A key no code names stops the batch there.
    const KeyInput unknown[] = {Key(0, 0, true), Key(67, 46, true)};
    EXPECT_EQ(injector->sendKeys(unknown, 2), 0);
    EXPECT_FALSE(Down(kXC));

    // A tablet that went away mid-press: what was held goes up.
    injector->releaseHeld();
    EXPECT_FALSE(Down(kXRightAlt));
    EXPECT_FALSE(Down(kXF13));

    // Closing lets go of what it held, so no key repeats in the focused window.
    ASSERT_EQ(injector->sendKeys(&f13, 1), 1);
    injector.reset();
    EXPECT_FALSE(Down(kXF13));
}

TEST_F(XTestKeys, WheelNotchesAreButtonClicks)
{
    auto injector = XTestInjector::open(display);
    ASSERT_TRUE(injector);
    // Button 4 and 5 clicks seen by a window under the pointer.
    const Window root = DefaultRootWindow(observer);
    const Window window = XCreateSimpleWindow(observer, root, 0, 0, 200, 200, 0, 0, 0);
    XSelectInput(observer, window, ButtonPressMask);
    XMapRaised(observer, window);
    XSync(observer, False);
    MouseInput move;
    move.flags = MouseMove | MouseAbsolute;
    move.x = 10;
    move.y = 10;
    ASSERT_EQ(injector->sendMouse(&move, 1), 1);
    MouseInput wheel[2];
    wheel[0].flags = MouseWheel;
    wheel[0].data = 240;
    wheel[1].flags = MouseWheel;
    wheel[1].data = -120;
    ASSERT_EQ(injector->sendMouse(wheel, 2), 2);
    XSync(observer, False);
    std::vector<unsigned> buttons;
    while (XPending(observer)) {
        XEvent event;
        XNextEvent(observer, &event);
        if (event.type == ButtonPress)
            buttons.push_back(event.xbutton.button);
    }
    EXPECT_EQ(buttons, (std::vector<unsigned>{4, 4, 5}));
}
