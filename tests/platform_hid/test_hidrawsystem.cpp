// The hidraw backend on this machine's own udev and sysfs: it finds what sysfs shows
// and reports nothing cleanly where there is nothing.
#include "platform/hid/hidmonitor.h"
#include "platform/hid/linux/hidrawbackend.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// hidraw nodes per sysfs alone (no udev), optionally of one vendor.
int NodesInSysfs(uint16_t vendorId)
{
    int count = 0;
    const QDir dir(QStringLiteral("/sys/class/hidraw"));
    for (const QString &node : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile uevent(dir.filePath(node + QStringLiteral("/device/uevent")));
        if (!uevent.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : uevent.readAll().split('\n')) {
            if (!line.startsWith("HID_ID="))
                continue;
            const QList<QByteArray> id = line.mid(7).split(':');
            if (id.size() == 3 && (vendorId == 0 || id[1].toUInt(nullptr, 16) == vendorId))
                ++count;
        }
    }
    return count;
}

int DistinctNodes(const QVector<HidDeviceInfo> &list)
{
    QSet<QString> nodes;
    for (const HidDeviceInfo &info : list)
        nodes.insert(info.path.section(QLatin1Char('#'), 2, 2));
    return nodes.size();
}

} // namespace

TEST(HidrawSystem, EnumerationAgreesWithSysfs)
{
    HidrawBackend backend;
    ASSERT_TRUE(backend.init());
    EXPECT_EQ(DistinctNodes(backend.enumerate(0)), NodesInSysfs(0));
    const QVector<HidDeviceInfo> maker = backend.enumerate(0x28BD);
    EXPECT_EQ(DistinctNodes(maker), NodesInSysfs(0x28BD));
    for (const HidDeviceInfo &info : maker)
        EXPECT_EQ(info.vendorId, 0x28BD);
}

TEST(HidrawSystem, NothingThereIsReportedCleanly)
{
    if (NodesInSysfs(0x28BD) > 0)
        GTEST_SKIP() << "a tablet of the maker is attached to this machine";
    HidrawBackend backend;
    ASSERT_TRUE(backend.init());
    EXPECT_TRUE(backend.enumerate(0x28BD).isEmpty());
    EXPECT_EQ(backend.open(QStringLiteral("\\\\?\\hid#vid_28bd&pid_0935&mi_02#hidraw999#{4d1e55b2-f16f-11cf-88cb-001111000030}")),
              nullptr);

    // The monitor either watches or says it cannot; either way it goes away quietly.
    std::unique_ptr<HidMonitor> monitor = backend.createMonitor(0x28BD);
    monitor->start();
    monitor.reset();

    QProcess p;
    p.start(qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/inkora-hidtool"), {QStringLiteral("list")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardOutput().startsWith("no tablet found")) ;
}
