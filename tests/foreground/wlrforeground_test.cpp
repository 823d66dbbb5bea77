// The wlroots foreground source without a compositor: which toplevel is active as the
// foreign toplevel events tell it, and from the app id to the program through desktop
// entries and a proc tree made by the test.
#include "platform/foreground/linux/appidresolver.h"
#include "platform/foreground/linux/toplevelfocus.h"
#include "platform/foreground/linux/wlrforegroundbackend.h"

#include "swayserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Properties take effect at done only; one active window at a time; closing the active
// one leaves none; an app id change of the active window counts as a change.
TEST(ToplevelFocus, FollowsActivationAtDone)
{
    ToplevelFocus focus;
    focus.AppId(1, QStringLiteral("foot"));
    focus.Activated(1, true);
    EXPECT_FALSE(focus.hasActive()) << "before done";
    EXPECT_TRUE(focus.Done(1));
    EXPECT_EQ(focus.activeAppId(), QStringLiteral("foot"));

    // The next window is activated before the last one is told: the newer one wins, and
    // the late deactivation of the first changes nothing.
    focus.AppId(2, QStringLiteral("org.example.Draw"));
    focus.Activated(2, true);
    EXPECT_TRUE(focus.Done(2));
    focus.Activated(1, false);
    EXPECT_FALSE(focus.Done(1));
    EXPECT_EQ(focus.activeAppId(), QStringLiteral("org.example.Draw"));

    focus.AppId(2, QStringLiteral("org.example.Paint")); // same window, new app id
    EXPECT_TRUE(focus.Done(2));
    EXPECT_FALSE(focus.Closed(1));
    EXPECT_TRUE(focus.Closed(2));
    EXPECT_FALSE(focus.hasActive());
    EXPECT_TRUE(focus.activeAppId().isEmpty());

    focus.Activated(3, true); // a window that never sent an app id
    EXPECT_TRUE(focus.Done(3));
    EXPECT_TRUE(focus.hasActive());
    EXPECT_TRUE(focus.activeAppId().isEmpty());
}

namespace {

// A data folder, a bin folder and a proc tree of the test's own.
class Tree {
public:
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    void write(const QString &relative, const QByteArray &text, bool executable = false)
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile f(path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        if (executable)
            f.setPermissions(f.permissions() | QFile::ExeOwner);
    }

    // A running process: proc/PID/exe -> exe, and its argv[0].
    void process(int pid, const QString &exe, const QByteArray &argv0)
    {
        write(QStringLiteral("proc/%1/cmdline").arg(pid), argv0 + QByteArray("\0--flag\0", 8));
        ASSERT_TRUE(QFile::link(exe, path(QStringLiteral("proc/%1/exe").arg(pid))));
    }

    AppIdResolver resolver() const
    {
        return AppIdResolver({{path(QStringLiteral("home/applications")), path(QStringLiteral("share/applications"))},
                              path(QStringLiteral("proc")),
                              {path(QStringLiteral("bin"))}});
    }

private:
    QTemporaryDir m_dir;
};

} // namespace

// Entry by file name, by StartupWMClass and by a sub-folder id; Exec= through PATH,
// `env`, quotes and field codes; a launcher script whose running binary differs; the
// process name alone; nothing found; ids that try to be paths.
TEST(AppIdResolver, FindsTheRunningProgram)
{
    Tree t;
    t.write(QStringLiteral("opt/draw/draw-bin"),
            "\x7f"
            "ELF",
            true);
    QDir().mkpath(t.path(QStringLiteral("bin")));
    ASSERT_TRUE(QFile::link(t.path(QStringLiteral("opt/draw/draw-bin")), t.path(QStringLiteral("bin/draw"))));
    t.write(QStringLiteral("share/applications/org.example.Draw.desktop"),
            "[Desktop Action New]\nExec=wrong\n[Desktop Entry]\nName=Draw\nExec=env GDK_BACKEND=wayland draw %U\n");
    t.write(QStringLiteral("bin/paint"), "#!/bin/sh\nexec /opt/paint/paint-real \"$@\"\n", true);
    t.write(QStringLiteral("opt/paint/paint-real"),
            "\x7f"
            "ELF",
            true);
    t.write(QStringLiteral("home/applications/vendor/paint.desktop"),
            "[Desktop Entry]\nExec=\"" + t.path(QStringLiteral("bin/paint")).toUtf8()
                + "\" --new-window %F\nStartupWMClass=PaintStudio\n");
    t.write(QStringLiteral("opt/term/term"),
            "\x7f"
            "ELF",
            true);
    t.process(100, t.path(QStringLiteral("opt/paint/paint-real")), "paint");
    t.process(200, t.path(QStringLiteral("opt/term/term")), "/opt/term/term");
    AppIdResolver resolver = t.resolver();

    // Not running: the entry's program, symlinks followed.
    ForegroundWindow w = resolver.Resolve(QStringLiteral("org.example.Draw"));
    EXPECT_EQ(w.path, t.path(QStringLiteral("opt/draw/draw-bin")));
    EXPECT_EQ(w.pid, 0);
    t.process(300, t.path(QStringLiteral("opt/draw/draw-bin")), "draw");
    w = resolver.Resolve(QStringLiteral("org.example.Draw"));
    EXPECT_EQ(w.pid, 300);
    EXPECT_EQ(w.windowClass, QStringLiteral("org.example.Draw"));

    // The launcher script's running binary, found by StartupWMClass and by the folder id.
    for (const QString &id : {QStringLiteral("PaintStudio"), QStringLiteral("vendor-paint")}) {
        w = resolver.Resolve(id);
        EXPECT_EQ(w.path, t.path(QStringLiteral("opt/paint/paint-real"))) << id.toStdString();
        EXPECT_EQ(w.pid, 100) << id.toStdString();
    }
    // No entry: the process name.
    w = resolver.Resolve(QStringLiteral("term"));
    EXPECT_EQ(w.path, t.path(QStringLiteral("opt/term/term")));

    for (const QString &id :
         {QStringLiteral("nothing.like.this"), QString(), QStringLiteral("../applications/org.example.Draw"),
          QStringLiteral("/bin/draw"), QStringLiteral(".hidden")})
        EXPECT_TRUE(resolver.Resolve(id).path.isEmpty()) << id.toStdString();
}

namespace {

// Waits until the published path is `path`.
bool WaitForPath(const WlrForegroundBackend &backend, const QString &path)
{
    QDeadlineTimer deadline(20000);
    for (uint64_t seen = backend.revision(); backend.current()->path != path; seen = backend.revision()) {
        if (!backend.waitForRevision(seen, int(qMax<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    return true;
}

} // namespace

// Under a real compositor: a terminal's app id resolved through its desktop entry to the
// running binary, a window whose app id names no program, the first window's focus back
// after the second closes, and sway ending and starting again on the same socket.
TEST(WlrForeground, FollowsSwayFocusAndRestart)
{
    SwayServer sway;
    QString why;
    bool skip = false;
    const QStringList config{QStringLiteral("xwayland disable")};
    if (!sway.Start(1, config, &why, &skip)) {
        if (skip)
            GTEST_SKIP() << why.toStdString();
        FAIL() << why.toStdString();
    }
    const QByteArray display = QFile::encodeName(sway.folder()) + '/' + sway.waylandDisplay();
    std::unique_ptr<WlrForegroundBackend> backend = WlrForegroundBackend::open(display);
    ASSERT_TRUE(backend);
    EXPECT_TRUE(backend->current()->path.isEmpty()) << "no window yet";

    const QString foot = QFileInfo(QStandardPaths::findExecutable(QStringLiteral("foot"))).canonicalFilePath();
    ASSERT_TRUE(sway.Exec(QStringLiteral("foot sleep 600")));
    ASSERT_TRUE(WaitForPath(*backend, foot));
    EXPECT_GT(backend->current()->pid, 0);
    EXPECT_EQ(backend->current()->windowClass, QStringLiteral("foot"));

    ASSERT_TRUE(sway.Exec(QStringLiteral("foot --app-id=org.inkora.NoSuchProgram sleep 600")));
    ASSERT_TRUE(WaitForPath(*backend, QString())) << "the first terminal's profile stayed";
    sway.Message(0, "kill"); // closes the focused window
    ASSERT_TRUE(WaitForPath(*backend, foot)) << "the focus went back to the first terminal";

    sway.Stop();
    ASSERT_TRUE(WaitForPath(*backend, QString()));
    ASSERT_TRUE(sway.Start(1, config, &why, &skip)) << why.toStdString();
    ASSERT_TRUE(sway.Exec(QStringLiteral("foot sleep 600")));
    EXPECT_TRUE(WaitForPath(*backend, foot)) << "not connected to the restarted sway";
}
