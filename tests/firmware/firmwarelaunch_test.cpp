// The main program's side: which tablets get the updater, the stored facts, and
// finding, starting and restoring the updater's window.
#include "app/firmwarelaunch.h"
#include "device/tabletpacket.h"
#include "firmware/firmwareupdate.h"
#include "firmwaretestsupport.h"
#include "platform/window/fakewindowbackend.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cstring>

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
