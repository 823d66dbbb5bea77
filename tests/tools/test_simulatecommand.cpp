// `inkora-hidtool simulate`: the command reaches the program's simulated tablets and the
// exit code says how it went, so scripts can rely on it.

#include "sim/simcontrol.h"
#include "sim/simhidbackend.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int code = -1;
    QByteArray out;
};

// The tool runs as its own process while this thread's loop serves the socket.
ToolRun Hidtool(const QStringList &args)
{
    QProcess tool;
    tool.start(qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/inkora-hidtool"),
               QStringList{QStringLiteral("simulate")} + args);
    ToolRun run;
    if (!tool.waitForStarted(10000))
        return run;
    if (!QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 20000))
        tool.kill();
    tool.waitForFinished(5000);
    run.code = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = tool.readAllStandardOutput();
    return run;
}

TEST(HidtoolSimulate, SendsOneCommandAndExitsByTheAnswer)
{
    SimHidBackend backend;
    backend.plug(*SimModels::find(0x0935));
    SimControl control(&backend);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString socket = folder.filePath(QStringLiteral("inkora-simulate"));
    ASSERT_TRUE(control.Listen(socket));

    ToolRun run = Hidtool({QStringLiteral("--socket"), socket, QStringLiteral("keys"), QStringLiteral("0"), QStringLiteral("1")});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, QByteArray("ok\n"));
    EXPECT_EQ(backend.tablets().first()->pendingReports(), 1);

    run = Hidtool({QStringLiteral("--socket"), socket, QStringLiteral("keys"), QStringLiteral("9"), QStringLiteral("1")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, QByteArray("error: no simulated tablet 9\n"));

    run = Hidtool({QStringLiteral("--socket"), folder.filePath(QStringLiteral("nobody")), QStringLiteral("list")});
    EXPECT_EQ(run.code, 2);
    run = Hidtool({QStringLiteral("--socket"), socket});
    EXPECT_EQ(run.code, 2);
}

} // namespace
