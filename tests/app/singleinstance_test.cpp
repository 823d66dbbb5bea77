// The real program, twice, as one user: the second start asks the first to show its
// window and exits 0; the first logs that to its log file in the per-user folder, in
// the log's exact line layout. A killed first instance must not block the next start.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(m_root.filePath(QStringLiteral("xdg"))));
        const QString runtime = m_root.filePath(QStringLiteral("run"));
        ASSERT_TRUE(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("xdg")));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        m_log = m_root.filePath(QStringLiteral("xdg/Inkora V3/log.txt"));
    }
    void TearDown() override
    {
        for (QProcess *p : {&m_first, &m_third}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    bool start(QProcess &process, const QStringList &arguments = {})
    {
        process.setProcessEnvironment(m_env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(qEnvironmentVariable("INKORA_BIN_DIR") + QStringLiteral("/Inkora"), arguments);
        return process.waitForStarted(10000);
    }

    QByteArray log() const
    {
        QFile file(m_log);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Polls the log until condition holds or 20 s have passed.
    bool waitForLog(const std::function<bool(const QByteArray &)> &condition) const
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            if (condition(log()))
                return true;
            QThread::msleep(25);
        }
        return condition(log());
    }

    QTemporaryDir m_root;
    QProcessEnvironment m_env;
    QString m_log;
    QProcess m_first;
    QProcess m_third;
};

TEST_F(SingleInstanceTest, SecondStartShowsTheFirstAndExits)
{
    ASSERT_TRUE(start(m_first, {QStringLiteral("/mini"), QStringLiteral("--simulate=P1")}));
    // Logged once the main window has put the data folder in place.
    ASSERT_TRUE(waitForLog([](const QByteArray &l) {
        return l.contains(" Info:simulated tablets requested, model: P1 File:");
    }));
    EXPECT_TRUE(QFile::exists(m_root.filePath(QStringLiteral("xdg/Inkora V3/config.xml"))));

    QProcess second;
    ASSERT_TRUE(start(second));
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(m_first.state(), QProcess::Running);

    ASSERT_TRUE(waitForLog([](const QByteArray &l) { return l.contains("OnShowDriver"); }));
    const QByteArray content = log();
    EXPECT_TRUE(content.endsWith("\r\n"));
    const QRegularExpression line(QStringLiteral(
        "^DateTime:\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\S+ Info:OnShowDriver: show main window "
        "File:\\S*mainwindow\\.cpp  Line:\\d+  Action:.*MainWindow::OnShowDriver\\(\\)\\r$"),
        QRegularExpression::MultilineOption);
    EXPECT_TRUE(line.match(QString::fromLocal8Bit(content)).hasMatch()) << content.constData();
    for (const QByteArray &l : content.split('\n')) {
        if (!l.isEmpty()) {
            EXPECT_TRUE(l.startsWith("DateTime:") && l.endsWith('\r')) << l.constData();
        }
    }
}

// "/mini" keeps the window in the tray until the second start asks for it; any other
// first argument shows it at once. Without a tray (no host, as on GNOME's Wayland
// session) the log says the desktop entry is the way in.
TEST_F(SingleInstanceTest, MiniStaysInTheTrayUntilAsked)
{
    ASSERT_TRUE(start(m_first, {QStringLiteral("/mini"), QStringLiteral("--simulate")}));
    ASSERT_TRUE(waitForLog([](const QByteArray &l) { return l.contains("Info:Tray icon created"); }));
    if (log().contains("system tray available: false")) {
        EXPECT_TRUE(log().contains("No system tray: the settings window opens from the Inkora desktop entry"));
    }
    ASSERT_TRUE(waitForLog([](const QByteArray &l) { return l.contains("simulated tablets requested"); }));
    EXPECT_FALSE(log().contains("Main window shown"));

    QProcess second;
    ASSERT_TRUE(start(second));
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_TRUE(waitForLog([](const QByteArray &l) { return l.contains("Main window shown"); }));
    m_first.kill();
    ASSERT_TRUE(m_first.waitForFinished(10000));

    QFile::remove(m_log);
    ASSERT_TRUE(start(m_third, {QStringLiteral("/other"), QStringLiteral("--simulate")}));
    EXPECT_TRUE(waitForLog([](const QByteArray &l) { return l.contains("Main window shown"); }));
}

TEST_F(SingleInstanceTest, KilledInstanceDoesNotBlockTheNext)
{
    ASSERT_TRUE(start(m_first));
    ASSERT_TRUE(waitForLog([](const QByteArray &l) { return l.count("UI language id") == 1; }));
    m_first.kill(); // leaves its lock file and socket behind
    ASSERT_TRUE(m_first.waitForFinished(10000));

    ASSERT_TRUE(start(m_third));
    ASSERT_TRUE(waitForLog([](const QByteArray &l) { return l.count("UI language id") == 2; }));
    EXPECT_EQ(m_third.state(), QProcess::Running);

    // And the new owner answers a later start.
    QProcess fourth;
    ASSERT_TRUE(start(fourth));
    ASSERT_TRUE(fourth.waitForFinished(15000));
    EXPECT_EQ(fourth.exitCode(), 0);
    EXPECT_TRUE(waitForLog([](const QByteArray &l) { return l.contains("OnShowDriver"); }));
}

} // namespace
