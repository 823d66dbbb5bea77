// The foreground application as the X11 backend reports it, on an Xvfb of the test's
// own. Xvfb has no window manager: the test sets _NET_ACTIVE_WINDOW itself, as a
// window manager would.
#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/foreground/linux/x11foregroundbackend.h"

#include "xvfbserver.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <unistd.h>

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

class X11Foreground : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (!server.installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb): no X server to watch";
        ASSERT_TRUE(server.Start(QString(), &why)) << why.toStdString();
        display = server.display();
        wm = XOpenDisplay(display.constData());
        ASSERT_NE(wm, nullptr);
        root = DefaultRootWindow(wm);
    }

    void TearDown() override
    {
        backend.reset();
        if (wm)
            XCloseDisplay(wm);
    }

    // A window of class `windowClass` owned by process pid (0: no _NET_WM_PID).
    Window MakeWindow(Window parent, const char *windowClass, long pid)
    {
        const Window w = XCreateSimpleWindow(wm, parent, 0, 0, 50, 50, 0, 0, 0);
        XClassHint hint;
        char instance[] = "instance";
        hint.res_name = instance;
        hint.res_class = const_cast<char *>(windowClass);
        XSetClassHint(wm, w, &hint);
        if (pid) {
            XChangeProperty(wm, w, XInternAtom(wm, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<unsigned char *>(&pid), 1);
        }
        return w;
    }

    // Makes w the active window and waits for the backend's new answer.
    void Activate(Window w)
    {
        const uint64_t seen = backend->revision();
        long value = long(w);
        XChangeProperty(wm, root, XInternAtom(wm, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<unsigned char *>(&value), 1);
        XSync(wm, False);
        ASSERT_TRUE(backend->waitForRevision(seen, 10000)) << "no PropertyNotify reached the backend";
    }

    static QString OwnExecutable() { return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(); }

    XvfbServer server;
    QByteArray display;
    Display *wm = nullptr;
    Window root = 0;
    std::unique_ptr<X11ForegroundBackend> backend;
};

} // namespace

TEST_F(X11Foreground, ActiveWindowGivesClassProcessAndExecutable)
{
    backend = X11ForegroundBackend::open(display);
    ASSERT_TRUE(backend);
    // Nothing active yet: an empty answer, never null.
    ASSERT_TRUE(backend->current());
    EXPECT_TRUE(backend->current()->path.isEmpty());

    const Window paint = MakeWindow(root, "Paint", long(getpid()));
    Activate(paint);
    auto answer = backend->current();
    EXPECT_EQ(answer->windowClass, QStringLiteral("Paint"));
    EXPECT_EQ(answer->pid, qint64(getpid()));
    EXPECT_EQ(answer->path, OwnExecutable());

    // The key-sending class is reported as it stands.
    Activate(MakeWindow(root, "sfl_window_class", long(getpid())));
    EXPECT_EQ(backend->current()->windowClass, QStringLiteral("sfl_window_class"));

    // A record already handed out does not change under its reader.
    EXPECT_EQ(answer->windowClass, QStringLiteral("Paint"));
}

TEST_F(X11Foreground, HostedWindowOfAFrameIsMatchedByItsOwnProcess)
{
    backend = X11ForegroundBackend::open(display);
    ASSERT_TRUE(backend);
    // The frame belongs to a host process whose executable we cannot read (pid 1);
    // the hosted child is ours.
    const Window frame = MakeWindow(root, "ApplicationFrameWindow", 1);
    MakeWindow(frame, "Other", 1);
    MakeWindow(frame, "Windows.UI.Core.CoreWindow", long(getpid()));
    Activate(frame);
    EXPECT_EQ(backend->current()->pid, qint64(getpid()));
    EXPECT_EQ(backend->current()->path, OwnExecutable());

    // A frame without a hosted window is matched by itself.
    const Window empty = MakeWindow(root, "ApplicationFrameWindow", long(getpid()));
    Activate(empty);
    EXPECT_EQ(backend->current()->path, OwnExecutable());
}

TEST_F(X11Foreground, UnknownProcessGivesNoPath)
{
    backend = X11ForegroundBackend::open(display);
    ASSERT_TRUE(backend);
    Activate(MakeWindow(root, "NoPid", 0));
    EXPECT_EQ(backend->current()->pid, 0);
    EXPECT_TRUE(backend->current()->path.isEmpty());

    // A process that is gone (or that we may not look at) has no path either.
    Activate(MakeWindow(root, "Gone", 0x3FFFFFFF));
    EXPECT_TRUE(backend->current()->path.isEmpty());

    // A window that went away before the backend read it.
    const Window doomed = MakeWindow(root, "Doomed", long(getpid()));
    XDestroyWindow(wm, doomed);
    Activate(doomed);
    EXPECT_TRUE(backend->current()->path.isEmpty());
    EXPECT_TRUE(backend->current()->windowClass.isEmpty());
}

TEST(X11ForegroundOpen, NoServerNoBackend)
{
    EXPECT_FALSE(X11ForegroundBackend::open(":9876"));
}
