// inkora-hidtool list, info and record end to end, on simulated tablets.
#include "tools/hidrecording.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int code = -1;
    QString out;
    QString err;
};

QString HidTool()
{
    return qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/inkora-hidtool");
}

ToolRun Tool(const QStringList &args)
{
    QProcess p;
    p.start(HidTool(), args);
    ToolRun r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "inkora-hidtool " << args.join(QLatin1Char(' ')).toStdString() << " did not finish";
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

HidRecording ParseRecording(const QString &text)
{
    HidRecording rec;
    QString error;
    EXPECT_TRUE(ParseHidRecording(text.toUtf8(), &rec, &error)) << error.toStdString();
    return rec;
}

const char kKernelInterface[] = "\\\\?\\hid#vid_28bd&pid_0935&mi_00&col01#sim0#{4d1e55b2-f16f-11cf-88cb-001111000030}";

} // namespace

TEST(HidTool, ListNamesTheEntryEachInterfaceMatchesAndWhyOthersDoNot)
{
    const ToolRun r = Tool({QStringLiteral("list"), QStringLiteral("--simulate=0935,0x0201")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("    match: usb entry 33 vid_28BD&pid_0935&mi_02 -> model InkoraPadM kind 1 mode 4")))
        << r.out.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("    match: usb entry 14 vid_28BD&pid_0201&mi_01 -> model InkoraKeysK12 kind 4 mode 2")));
    EXPECT_TRUE(lines.contains(QStringLiteral("    no match: the usb entries of product 0x0935 want vid_28BD&pid_0935&mi_02 (another interface or collection)")));
    EXPECT_EQ(lines.last(), QStringLiteral("2 of 4 interfaces match a model"));
    // The match rules' own log lines stay out of the output unless asked for.
    EXPECT_FALSE(r.err.contains(QLatin1String("getBLEDeviceListIndex")));
}

// --simulate takes what Inkora's does (model keys, "all", the Bluetooth models), and
// --verbose says more than the plain list.
TEST(HidTool, SimulateTakesInkorasModelListAndVerboseSaysMore)
{
    ToolRun r = Tool({QStringLiteral("list"), QStringLiteral("--simulate=all")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("-> model InkoraKeysK12"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("bus bluetooth"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("-> model InkoraPadAirS"))) << r.out.toStdString();

    const ToolRun plain = Tool({QStringLiteral("list"), QStringLiteral("--simulate=inkorapadm")});
    r = Tool({QStringLiteral("list"), QStringLiteral("--simulate=InkoraPadM"), QStringLiteral("--verbose")});
    ASSERT_EQ(plain.code, 0) << plain.err.toStdString();
    ASSERT_EQ(r.code, 0);
    EXPECT_GT(r.out.size(), plain.out.size());
    EXPECT_TRUE(r.out.contains(QLatin1String("    taken usb entry 33 vid_28BD&pid_0935&mi_02"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("serial \""))) << r.out.toStdString();
}

TEST(HidTool, BadCommandLinesAreRefused)
{
    ToolRun r = Tool({QStringLiteral("list"), QStringLiteral("--simulate=0935,zz")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QLatin1String("\"zz\""))) << r.err.toStdString();
    EXPECT_EQ(Tool({QStringLiteral("list"), QStringLiteral("--simulate=1234")}).code, 2);
    EXPECT_EQ(Tool({QStringLiteral("info"), QStringLiteral("--simulate")}).code, 2);
    EXPECT_EQ(Tool({QStringLiteral("record"), QStringLiteral("sim0"), QStringLiteral("--count"), QStringLiteral("0"),
                    QStringLiteral("--simulate")}).code, 2);
    EXPECT_EQ(Tool({QStringLiteral("record"), QStringLiteral("sim0"), QStringLiteral("--seconds"), QStringLiteral("x"),
                    QStringLiteral("--simulate")}).code, 2);
    r = Tool({QStringLiteral("info"), QStringLiteral("hidraw99"), QStringLiteral("--simulate=0935")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QLatin1String("no such interface"))) << r.err.toStdString();
}

TEST(HidTool, InfoShowsIdentityGeometryAndCapabilityBlock)
{
    ToolRun r = Tool({QStringLiteral("info"), QStringLiteral("sim0"), QStringLiteral("--simulate=0935")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const char *expected : {"vendor id: 28bd", "product id: 0935", "interface: 2", "product: Inkora Pad M",
                                 "firmware version: KPX2000A-A", "max x: 44800", "max y: 29600",
                                 "max pressure: 8191", "resolution: 5080", "size inch/100: 881 x 582",
                                 "receiver: no"})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(expected))) << expected << "\n" << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("model: usb entry 33 ")));
    EXPECT_TRUE(r.out.contains(QLatin1String("capability block: 01 00 08")));

    // The keypad has no pen area.
    r = Tool({QStringLiteral("info"), QStringLiteral("sim0"), QStringLiteral("--simulate=0201")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("\nmax x: 0\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QLatin1String("model: usb entry 14 ")));
}

TEST(HidTool, RecordWritesRecordingsTheParserReads)
{
    // Stopped by --count.
    ToolRun r = Tool({QStringLiteral("record"), QStringLiteral("sim0"), QStringLiteral("--simulate=0935"),
                  QStringLiteral("--count"), QStringLiteral("3")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    HidRecording rec = ParseRecording(r.out);
    EXPECT_TRUE(rec.hasIdentity);
    EXPECT_EQ(rec.bus, 3);
    EXPECT_EQ(rec.vendorId, 0x28BD);
    EXPECT_EQ(rec.productId, 0x0935);
    ASSERT_EQ(rec.reports.size(), 3);
    EXPECT_EQ(rec.reports[0].bytes.size(), 10);
    EXPECT_EQ(uint8_t(rec.reports[0].bytes[0]), 0x02);
    EXPECT_LE(rec.reports[0].timeUs, rec.reports[2].timeUs);

    // Stopped by the device's removal: the whole script (stroke of 4 samples with hover,
    // lift and leaving range, key down and up) and a note on stderr.
    r = Tool({QStringLiteral("record"), QStringLiteral("sim0"), QStringLiteral("--simulate=0935")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    rec = ParseRecording(r.out);
    ASSERT_EQ(rec.reports.size(), 9);
    EXPECT_EQ(rec.reports[7].bytes, QByteArray::fromHex("02f00100000000000000"));
    EXPECT_TRUE(r.err.contains(QLatin1String("went away")));

    // Stopped by --seconds on an interface that never reports.
    r = Tool({QStringLiteral("record"), QString::fromLatin1(kKernelInterface), QStringLiteral("--simulate=0935"),
              QStringLiteral("--seconds"), QStringLiteral("1")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(ParseRecording(r.out).reports.isEmpty());
}

TEST(HidTool, RecordEndsCleanlyOnInterruption)
{
    QProcess p;
    p.start(HidTool(), {QStringLiteral("record"), QString::fromLatin1(kKernelInterface), QStringLiteral("--simulate=0935")});
    ASSERT_TRUE(p.waitForStarted(10000));
    // The header comes before the first read; once it is there the loop runs.
    QByteArray out;
    while (!out.contains("I: 3 28bd 0935\n") && p.waitForReadyRead(10000))
        out += p.readAllStandardOutput();
    ASSERT_TRUE(out.contains("I: 3 28bd 0935\n")) << out.constData();
    p.terminate(); // SIGTERM, handled like Ctrl-C
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}
