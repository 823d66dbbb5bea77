// The display facility on a real X server: two monitors made on Xvfb's single output,
// which the toolkit would see as one screen, and the change notice when they change.
#include "platform/display/linux/xrandrdisplaybackend.h"

#include "xvfbserver.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

class XRandrDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        xrandr = QStandardPaths::findExecutable(QStringLiteral("xrandr"));
        if (!server.installed() || xrandr.isEmpty())
            GTEST_SKIP() << "Xvfb or xrandr is not installed (Debian packages xvfb, x11-xserver-utils): "
                            "no X server to read monitors from";
        QString why;
        ASSERT_TRUE(server.Start(QStringLiteral("3840x1080"), &why)) << why.toStdString();
        display = server.display();
    }

    // Runs xrandr against the test's server; true when it succeeded.
    bool Xrandr(const QStringList &args)
    {
        QProcess p;
        p.start(xrandr, QStringList{QStringLiteral("--display"), QString::fromLatin1(display)} + args);
        if (!p.waitForFinished(20000))
            return false;
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            ADD_FAILURE() << "xrandr " << args.join(QLatin1Char(' ')).toStdString() << ": "
                          << p.readAllStandardError().toStdString();
            return false;
        }
        return true;
    }

    QString xrandr;
    XvfbServer server;
    QByteArray display;
};

std::vector<QRect> Rects(const std::vector<DisplayScreen> &screens)
{
    std::vector<QRect> rects;
    for (const DisplayScreen &s : screens)
        rects.push_back(s.geometry);
    std::sort(rects.begin(), rects.end(), [](const QRect &a, const QRect &b) { return a.x() < b.x(); });
    return rects;
}

} // namespace

TEST_F(XRandrDisplay, MonitorsSetByHandAreTheScreens)
{
    XRandrDisplayBackend backend(display);
    ASSERT_TRUE(backend.isAvailable());
    // Before: the one output is the one monitor.
    EXPECT_EQ(Rects(backend.physicalScreens()), (std::vector<QRect>{QRect(0, 0, 3840, 1080)}));

    QSignalSpy changed(&backend, &DisplayBackend::displayChanged);
    // LEFT takes the output over, so the output's own monitor goes away; RIGHT has none.
    ASSERT_TRUE(Xrandr({QStringLiteral("--setmonitor"), QStringLiteral("LEFT"),
                        QStringLiteral("1920/508x1080/286+0+0"), QStringLiteral("screen")}));
    ASSERT_TRUE(Xrandr({QStringLiteral("--setmonitor"), QStringLiteral("RIGHT"),
                        QStringLiteral("1920/508x1080/286+1920+0"), QStringLiteral("none")}));
    ASSERT_TRUE(changed.wait(5000));
    const std::vector<DisplayScreen> screens = backend.physicalScreens();
    EXPECT_EQ(Rects(screens), (std::vector<QRect>{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080)}));
    QStringList names;
    for (const DisplayScreen &s : screens)
        names << s.name;
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("LEFT"), QStringLiteral("RIGHT")}));

    // One goes away.
    changed.clear();
    ASSERT_TRUE(Xrandr({QStringLiteral("--delmonitor"), QStringLiteral("RIGHT")}));
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(Rects(backend.physicalScreens()), (std::vector<QRect>{QRect(0, 0, 1920, 1080)}));
}

TEST_F(XRandrDisplay, BurstOfChangesGivesOneNotice)
{
    XRandrDisplayBackend backend(display);
    ASSERT_TRUE(backend.isAvailable());
    QSignalSpy changed(&backend, &DisplayBackend::displayChanged);

    // Three monitor changes from one client, well inside the settling time.
    Display *x = XOpenDisplay(display.constData());
    ASSERT_NE(x, nullptr);
    const Window root = DefaultRootWindow(x);
    const char *names[] = {"A", "B", "C"};
    for (int i = 0; i < 3; ++i) {
        XRRMonitorInfo m{};
        m.name = XInternAtom(x, names[i], False);
        m.x = i * 1280;
        m.width = 1280;
        m.height = 1080;
        m.mwidth = 340;
        m.mheight = 286;
        XRRSetMonitor(x, root, &m);
    }
    XSync(x, False);
    XCloseDisplay(x);

    ASSERT_TRUE(changed.wait(5000));
    EXPECT_FALSE(changed.wait(XRandrDisplayBackend::kDebounceMs * 3)) << "one notice for the burst";
    EXPECT_EQ(changed.count(), 1);
    std::vector<QRect> rects = Rects(backend.physicalScreens());
    ASSERT_GE(rects.size(), 3u);
}

TEST(XRandrDisplayWithoutServer, NotAvailableAndNoScreensWithoutToolkit)
{
    // No X server answers on this name; this test program has no GUI application
    // object, so the toolkit has no screens to fall back on either.
    XRandrDisplayBackend backend(QByteArray(":4999"));
    EXPECT_FALSE(backend.isAvailable());
    EXPECT_TRUE(backend.physicalScreens().empty());
    EXPECT_TRUE(backend.logicalScreens().empty());
}
