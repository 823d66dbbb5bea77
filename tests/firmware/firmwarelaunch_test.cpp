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
    FirmwareUpdate updater(folders.programFolder(), folders.dataFolder(), 1033, true, &windows);
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
