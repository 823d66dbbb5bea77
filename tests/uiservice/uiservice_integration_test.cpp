// Inkora's side and the real InkoraUIService in two processes on an X server of the
// test's own: the request starts the service, the test presses on its windows through
// XTest as the user would, and the answers come back through the shared block.
//
// This test program plays Inkora: the same shared block, message window, service link
// and mapping model that Inkora's main window uses, on the system's own backends, with
// one tablet whose profile takes the results.
#include "app/mappingmodel.h"
#include "app/uiservicelink.h"
#include "config/profilerecords.h"
#include "device/ctablet.h"
#include "device/tablettable.h"
#include "driverlink/sharedblock.h"
#include "platform/display/displaybackend.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"

#include "xvfbserver.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
// The screen Inkora asks for: not at the origin, so a window placed wrongly shows.
const QRect kScreen(100, 50, 800, 600);

// The service's windows come and go while this test looks at them: a window that went
// between listing and asking is simply not there.
int IgnoreXError(Display *, XErrorEvent *)
{
    return 0;
}

class UiServiceOnX : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!server.installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
        ASSERT_TRUE(server.Start(QStringLiteral("%1x%2").arg(kWidth).arg(kHeight), &why)) << why.toStdString();
        display = server.display();
        x = XOpenDisplay(display.constData());
        ASSERT_NE(x, nullptr);
        XSetErrorHandler(IgnoreXError);

        // The service this test starts draws on that server; the runtime folder (the
        // block and the windows) is this test program's own.
        qputenv("DISPLAY", display);
        qputenv("QT_QPA_PLATFORM", "xcb");

        block = std::make_unique<SharedBlock>(&ipc, &window, qEnvironmentVariable("INKORA_BIN_DIR"));
        ASSERT_TRUE(block->CreateBlock());
        inkora = window.createEndpoint(QString::fromLatin1(SharedBlock::WindowClass),
                                       QString::fromLatin1(SharedBlock::MainTitle));
        ASSERT_TRUE(inkora);
        QObject::connect(inkora.get(), &WindowEndpoint::messageReceived, block.get(),
                         [this](quint32 message, qint64, qint64) { block->HandleWindowMessage(message); });
        tablet.m_DeviceAttributes.WidthInch100 = 15200;
        tablet.m_DeviceAttributes.HeightInch100 = 9500;
        screens.setScreens(FixedDisplayBackend::FromRects({kScreen}));
        model.EnumDisplay();
        model.SetTablet(&tablet);
        link = std::make_unique<UiServiceLink>(block.get(), &model);
    }

    void TearDown() override
    {
        link.reset();
        block.reset(); // ends the service it started
        inkora.reset();
        TabletTable::ClearAll();
        if (x)
            XCloseDisplay(x);
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // Asks until the service took the request. Its first start may need longer than
    // Inkora waits for its window; Inkora then drops the request, and the user asks again.
    bool Request(const std::function<bool()> &ask)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (ask())
                return true;
        }
        return false;
    }

    // True when a top-level window shows exactly over the rectangle.
    bool WindowShownAt(const QRect &r)
    {
        Window root = 0, parent = 0;
        Window *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count))
            return false;
        bool found = false;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes a;
            if (XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable)
                found = QRect(a.x, a.y, a.width, a.height) == r;
        }
        if (children)
            XFree(children);
        return found;
    }

    bool WaitForWindow(const QRect &r, bool shown)
    {
        // Another process maps it: poll the X server.
        return QTest::qWaitFor([&] { return WindowShownAt(r) == shown; }, 20000);
    }

    void Click(const QPoint &p)
    {
        XTestFakeMotionEvent(x, -1, p.x(), p.y(), 0);
        XTestFakeButtonEvent(x, 1, True, 0);
        XTestFakeButtonEvent(x, 1, False, 0);
        XSync(x, False);
    }

    XvfbServer server;
    QByteArray display;
    Display *x = nullptr;
    PosixIpcBackend ipc;
    LocalSocketWindowBackend window;
    std::unique_ptr<SharedBlock> block;
    std::unique_ptr<WindowEndpoint> inkora;
    FixedDisplayBackend screens;
    MappingModel model{&screens};
    CTablet tablet{0};
    std::unique_ptr<UiServiceLink> link;
};

} // namespace

TEST_F(UiServiceOnX, TwoClicksSelectAnAreaAndFiveExactClicksCalibrateToOne)
{
    QSignalSpy selected(link.get(), &UiServiceLink::ScreenAreaSelected);
    QSignalSpy calibrated(link.get(), &UiServiceLink::GetScreenCalibrate);

    ASSERT_TRUE(Request([&] { return link->SetscreenAreaClicked(); }));
    ASSERT_TRUE(WaitForWindow(kScreen, true)) << "no selection window over the screen";
    // Lower right corner first, then the upper left one.
    Click(QPoint(600, 400));
    Click(QPoint(150, 100));
    ASSERT_TRUE(selected.count() > 0 || selected.wait(20000));
    EXPECT_EQ(selected.at(0).at(0).toRect(), QRect(150, 100, 451, 301));
    const TabletXMLData &profile = *tablet.TabletXMLData;
    EXPECT_EQ(QRect(profile.SX, profile.SY, profile.SW, profile.SH), QRect(150, 100, 451, 301));
    ASSERT_TRUE(WaitForWindow(kScreen, false)) << "the selection window stayed";

    ASSERT_TRUE(Request([&] { return link->ScreenCalibrateClicked(); }));
    ASSERT_TRUE(WaitForWindow(kScreen, true)) << "no calibration window over the screen";
    // The crosses: 50 pixels in from each corner, then the centre.
    const int l = kScreen.x(), t = kScreen.y(), r = kScreen.x() + kScreen.width(), b = kScreen.y() + kScreen.height();
    for (const QPoint &p : {QPoint(l + 50, t + 50), QPoint(l + 50, b - 50), QPoint(r - 50, b - 50),
                            QPoint(r - 50, t + 50), QPoint(l + 400, t + 300)})
        Click(p);
    ASSERT_TRUE(calibrated.count() > 0 || calibrated.wait(20000));
    const QList<QVariant> values = calibrated.at(0);
    EXPECT_EQ(values.at(0).toFloat(), 1.0f);
    EXPECT_EQ(values.at(1).toFloat(), 1.0f);
    EXPECT_EQ(values.at(2).toFloat(), 1.0f);
    EXPECT_EQ(values.at(3).toFloat(), 1.0f);
    EXPECT_EQ(profile.fKX, 1.0f);
    EXPECT_EQ(profile.fKY, 1.0f);
    EXPECT_EQ(profile.fXLC, 1.0f);
    EXPECT_EQ(profile.fYLC, 1.0f);
    EXPECT_EQ(selected.count(), 1);
}
