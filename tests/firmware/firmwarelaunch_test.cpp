// The main program's side: which tablets get the updater, the stored facts, and
// finding, starting and restoring the updater's window.
#include "app/firmwarelaunch.h"
#include "device/tabletpacket.h"
#include "firmware/firmwareupdate.h"
#include "firmwaretestsupport.h"
#include "platform/window/fakewindowbackend.h"
#include "platform/window/linux/localsocketwindowbackend.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <cstring>

#include <signal.h>

namespace {

DeviceAttributes Tablet(const char *pid, const char *version, const char *date)
{
    DeviceAttributes a{};
    qstrncpy(a.PidText, pid, sizeof a.PidText);
    qstrncpy(a.ICVersion, version, sizeof a.ICVersion);
    qstrncpy(a.ICData, date, sizeof a.ICData);
    return a;
}

using FirmwareLaunch::CheckTablet;
using FirmwareLaunch::Outcome;

} // namespace

TEST(FirmwareLaunch, OnlyTheUpdatableModelIsLookedAtAndItsFactsAreStored)
{
    FirmwareTestFolders folders;
    FakeWindowBackend windows;
    FirmwareTestFolders::setFact("ICData", 11111111);

    EXPECT_EQ(CheckTablet(Tablet("PID_0933", "KPX2000A-A", "20200101"), &windows, folders.programFolder(), false),
              Outcome::OtherTablet);
    EXPECT_EQ(CheckTablet(Tablet("PID_0935", "KPX2000A-B", "20200101"), &windows, folders.programFolder(), false),
              Outcome::OtherTablet);
    EXPECT_EQ(FirmwareTestFolders::fact("ICData").toInt(), 11111111); // untouched

    // One day after the last outdated date: stored, nothing started or searched.
    EXPECT_EQ(CheckTablet(Tablet("PID_0935", "KPX2000A-A", "20211027 build 7"), &windows, folders.programFolder(),
                          false),
              Outcome::UpToDate);
    EXPECT_EQ(FirmwareTestFolders::fact("ICVersion").toString(), QStringLiteral("KPX2000A-A"));
    EXPECT_EQ(FirmwareTestFolders::fact("ICData").toInt(), 20211027);
    EXPECT_EQ(windows.findCount(), 0);
}

TEST(FirmwareLaunch, RunningUpdaterIsRestoredInsteadOfStartedAgain)
{
    FirmwareTestFolders folders;
    FakeWindowBackend windows;
    FirmwareUpdate updater(folders.programFolder(), folders.dataFolder(), QStringLiteral("English"), true, &windows);
    updater.showMinimized();

    EXPECT_EQ(CheckTablet(Tablet("PID_0935", "KPX2000A-A", "20211026"), &windows, folders.programFolder(), false),
              Outcome::WindowRestored);
    ASSERT_FALSE(windows.messages().isEmpty());
    const RecordedWindowMessage &m = windows.messages().last();
    EXPECT_EQ(m.className, QStringLiteral("Qt5QWindowIcon"));
    EXPECT_EQ(m.title, QStringLiteral("Firmware Update"));
    EXPECT_EQ(m.message, 0x0112u);
    EXPECT_EQ(m.wParam, 0xF120);
    EXPECT_TRUE(m.delivered);
    ASSERT_TRUE(QTest::qWaitFor([&] { return updater.isVisible() && !updater.isMinimized(); }, 5000));
    EXPECT_EQ(FirmwareTestFolders::fact("ICData").toInt(), 20211026);
}

TEST(FirmwareLaunch, StartsTheUpdaterFromTheProgramFolder)
{
    FirmwareTestFolders folders;
    FakeWindowBackend windows;

    // An unreadable date counts as 0, which needs the update; no program to start.
    EXPECT_EQ(CheckTablet(Tablet("PID_0935", "KPX2000A-A", "unknown"), &windows, folders.programFolder(), false),
              Outcome::StartFailed);
    EXPECT_EQ(FirmwareTestFolders::fact("ICData").toInt(), 0);

    // A stand-in updater that notes how it was started and shows no window.
    const QString note = folders.programFolder() + QStringLiteral("/started.txt");
    const QString program = folders.programFolder() + QStringLiteral("/FwFlasher");
    {
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"args=$# simulate=$INKORA_FW_SIMULATE\" > '%1'\n")
                         .arg(note)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    EXPECT_EQ(CheckTablet(Tablet("PID_0935", "KPX2000A-A", "20200101"), &windows, folders.programFolder(), true),
              Outcome::NoWindow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(note) && QFileInfo(note).size() > 0; }, 5000));
    QFile written(note);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    // No arguments; on simulated tablets the updater is told to simulate its own.
    EXPECT_EQ(written.readAll().trimmed(), QByteArray("args=0 simulate=1"));
    EXPECT_GT(windows.findCount(), 1); // looked for again while it came up
}

TEST(FirmwareLaunch, RealUpdaterComesUpOnItsOwnSimulatedTablet)
{
    const QString binDir = qEnvironmentVariable("INKORA_BIN_DIR");
    if (!QFile::exists(binDir + QStringLiteral("/FwFlasher")))
        GTEST_SKIP() << "FwFlasher not built in " << binDir.toStdString();
    // The updater writes its facts under XDG_CONFIG_HOME: a folder of this test, never
    // the developer's own.
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray previousConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    FirmwareTestFolders folders;
    LocalSocketWindowBackend windows;

    qint64 pid = 0;
    const Outcome outcome = CheckTablet(Tablet("PID_0935", "KPX2000A-A", "20210826"), &windows, binDir, true, &pid);
    if (previousConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", previousConfig);
    ASSERT_GT(pid, 0);
    // On a loaded machine the window may come up after the bounded wait; it still must.
    EXPECT_TRUE(outcome == Outcome::Started || outcome == Outcome::NoWindow);
    const bool found = QTest::qWaitFor([&] {
        return windows.findWindow(QStringLiteral("Qt5QWindowIcon"), QStringLiteral("Firmware Update")).isValid();
    }, 20000);
    // The updater opened its simulated tablet and stored what it read from it.
    const QString factsFile = config.path() + QStringLiteral("/Niblo/InkoraV2.conf");
    const bool factsStored = QTest::qWaitFor([&] {
        QSettings facts(factsFile, QSettings::IniFormat);
        return facts.value(QStringLiteral("Tablet/ICData")).toInt() == 20210826;
    }, 20000);
    ::kill(pid_t(pid), SIGTERM);
    EXPECT_TRUE(found);
    EXPECT_TRUE(factsStored);
}

// The three programs answer --help and --version without starting, and without a display
// say so in one line instead of aborting in the toolkit.
TEST(ProgramStart, HelpVersionAndNoDisplay)
{
    const QString binDir = qEnvironmentVariable("INKORA_BIN_DIR");
    for (const char *name : {"Inkora", "FwFlasher", "InkoraUIService"}) {
        SCOPED_TRACE(name);
        const QString program = binDir + QLatin1Char('/') + QLatin1String(name);
        if (!QFile::exists(program))
            continue; // not built in this tree
        const auto run = [&](const QStringList &arguments, bool withDisplay, QByteArray *out, QByteArray *err) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            if (!withDisplay) {
                env.remove(QStringLiteral("DISPLAY"));
                env.remove(QStringLiteral("QT_QPA_PLATFORM"));
                env.remove(QStringLiteral("WAYLAND_DISPLAY"));
            }
            p.setProcessEnvironment(env);
            p.start(program, arguments);
            EXPECT_TRUE(p.waitForFinished(20000));
            *out = p.readAllStandardOutput();
            *err = p.readAllStandardError();
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QByteArray out, err;
        EXPECT_EQ(run({QStringLiteral("--help")}, false, &out, &err), 0);
        EXPECT_TRUE(out.contains(QByteArray("usage: ") + name)) << out.toStdString();
        EXPECT_TRUE(out.contains("--version"));
        EXPECT_EQ(run({QStringLiteral("--version")}, false, &out, &err), 0);
        EXPECT_TRUE(out.contains(QByteArray(name) + " 3.")) << out.toStdString();
        EXPECT_EQ(run({}, false, &out, &err), 1);
        EXPECT_EQ(err, QByteArray(name) + ": no display: DISPLAY is not set (start it in a desktop session)\n");
    }
}
