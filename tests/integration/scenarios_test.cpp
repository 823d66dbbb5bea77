// The program end to end: the real Inkora on simulated tablets in an X server of its
// own, driven as a user and a tablet would drive it, and checked where its work shows:
// windows on the X server, keys another client receives, the virtual device's reports,
// the upload service's requests and the log file.

#include "inkorarun.h"
#include "trayhost.h"
#include "xprobe.h"
#include "xvfbserver.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>

namespace {

class Scenario : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Xvfb missing is the one reason to skip; anything else that does not come up fails.
        if (!m_xvfb.installed())
            GTEST_SKIP() << "Xvfb is not installed (Debian package xvfb)";
        QString why;
        ASSERT_TRUE(m_xvfb.Start(QStringLiteral("1920x1080"), &why)) << why.toStdString();
        ASSERT_TRUE(m_run.Prepare(&why)) << why.toStdString();
        m_run.SetDisplay(m_xvfb.display());
        ASSERT_TRUE(m_x.Open(m_xvfb.display()));
    }

    void TearDown() override
    {
        if (HasFailure()) {
            std::cerr << "--- log of the program ---\n" << m_run.Log().constData() << m_run.Output().constData()
                      << std::endl;
        }
    }

    // The program with the default simulated tablet, once its control socket listens.
    QProcess *StartSimulated(QStringList arguments = {})
    {
        arguments << QStringLiteral("--simulate");
        QProcess *program = m_run.Start(arguments);
        if (program && !m_run.WaitForLog("Info:simulate: control socket "))
            return nullptr;
        return program;
    }

    // Each text is in a line of the log, in this order, and the close is the last line.
    bool LogEndsWithClose(const QList<QByteArray> &inOrder)
    {
        const QList<QByteArray> lines = m_run.LogLines();
        int at = 0;
        for (const QByteArray &text : inOrder) {
            while (at < lines.size() && !lines[at].contains(text))
                ++at;
            if (at == lines.size()) {
                ADD_FAILURE() << "not in the log in order: " << text.constData();
                return false;
            }
        }
        return !lines.isEmpty() && lines.last().contains(" Info:InkoraV3 Closed. File:");
    }

    XvfbServer m_xvfb;
    InkoraRun m_run;
    XProbe m_x;
};

bool HasTitled(const QVector<TopLevel> &windows, const QString &title)
{
    for (const TopLevel &w : windows) {
        if (w.title == title)
            return true;
    }
    return false;
}

QString WindowsText(const QVector<TopLevel> &windows)
{
    QStringList list;
    for (const TopLevel &w : windows) {
        list << QStringLiteral("0x%1 \"%2\" pid %3 %4 %5,%6 %7x%8%9")
                    .arg(w.id, 0, 16)
                    .arg(w.title)
                    .arg(w.pid)
                    .arg(w.viewable ? QStringLiteral("viewable") : QStringLiteral("hidden"))
                    .arg(w.x)
                    .arg(w.y)
                    .arg(w.width)
                    .arg(w.height)
                    .arg(w.overrideRedirect ? QStringLiteral(" override") : QString());
    }
    return list.join(QLatin1Char('\n'));
}

// --- start, tray, second start ------------------------------------------------------

// "/mini" starts in the tray (the icon docks, no window shows); a second start asks the
// first to show its window and ends at once with 0.
TEST_F(Scenario, StartInTheTrayAndTheSecondStartShowsTheWindow)
{
    TrayHost tray;
    QString why;
    ASSERT_TRUE(tray.Start(m_xvfb.display(), &why)) << why.toStdString();
    QProcess *first = StartSimulated({QStringLiteral("/mini")});
    ASSERT_TRUE(first);
    ASSERT_TRUE(m_run.WaitForLog("Info:Tray icon created, system tray available: true"));
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return tray.iconCount() == 1; }));
    EXPECT_FALSE(HasTitled(m_x.ViewableOf(first->processId()), QStringLiteral("Inkora")));
    EXPECT_FALSE(m_run.Log().contains("Main window shown"));

    QProcess *second = m_run.Start({});
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);

    EXPECT_TRUE(m_run.WaitForLog("Info:OnShowDriver: show main window"));
    EXPECT_TRUE(InkoraRun::WaitFor(
        [&] { return HasTitled(m_x.ViewableOf(first->processId()), QStringLiteral("Inkora")); }));
    EXPECT_EQ(first->state(), QProcess::Running);
    // Still one icon: the second start made none.
    EXPECT_EQ(tray.iconCount(), 1);
}

// --- express key --------------------------------------------------------------------

// The upload service stands in on loopback: it takes each posted record and answers 200.
class UploadStandIn : public QObject {
public:
    bool Listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/receive/data").arg(m_server.serverPort()); }
    QList<QByteArray> bodies;

    UploadStandIn()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

private:
    void Read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        for (;;) {
            const int headerEnd = buffer.indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            int length = 0;
            for (const QByteArray &line : buffer.left(headerEnd).split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toInt();
            }
            if (buffer.size() < headerEnd + 4 + length)
                return;
            bodies.append(buffer.mid(headerEnd + 4, length));
            buffer.remove(0, headerEnd + 4 + length);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 15\r\n\r\n{\"code\":\"0000\"}");
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

// Key 3 of the default tablet is Ctrl+Z: another client receives the keys through XTest
// (down in order on the press, up in order on the release), the caption window shows,
// and the key's usage record reaches the upload service.
TEST_F(Scenario, ExpressKeyTypesShowsItsCaptionAndPostsItsUsageRecord)
{
    UploadStandIn upload;
    ASSERT_TRUE(upload.Listen());
    {
        QFile config(m_run.installFolder() + QStringLiteral("/dataconfig.ini"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("[config]\nData=true\nCheckUpdate=false\nURL=" + upload.Url().toLatin1() + "\n");
    }
    // The records are collected for the Simplified Chinese interface only.
    m_run.SetEnvironment(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    QProcess *program = StartSimulated({QStringLiteral("/mini")});
    ASSERT_TRUE(program);
    ASSERT_TRUE(m_x.CatchKeys());
    const QVector<TopLevel> before = m_x.ViewableOf(program->processId());

    ASSERT_EQ(m_run.Command(QStringLiteral("keys 0 0x4")), QStringLiteral("ok"));
    ASSERT_TRUE(m_run.WaitForLog("KeyID: 2 DefAction: 6 KeyState: true"));
    ASSERT_EQ(m_run.Command(QStringLiteral("keys 0 0")), QStringLiteral("ok"));
    QVector<KeyEvent> keys;
    ASSERT_TRUE(InkoraRun::WaitFor([&] {
        keys += m_x.TakeKeys();
        return keys.size() >= 4;
    }));
    QStringList seen;
    for (const KeyEvent &k : keys)
        seen << (k.press ? QStringLiteral("down ") : QStringLiteral("up ")) + k.keysym;
    EXPECT_EQ(seen, QStringList({QStringLiteral("down Control_L"), QStringLiteral("down z"),
                                 QStringLiteral("up Control_L"), QStringLiteral("up z")}));

    // The caption: a small window of the program's that was not there before the key,
    // at the bottom of the screen (it hides itself again after about a second).
    EXPECT_TRUE(InkoraRun::WaitFor([&] {
        for (const TopLevel &w : m_x.ViewableOf(program->processId())) {
            bool old = false;
            for (const TopLevel &b : before)
                old = old || b.id == w.id;
            if (!old && w.y + w.height == 1080 && w.height < 100)
                return true;
        }
        return false;
    })) << WindowsText(m_x.TopLevels()).toStdString();

    EXPECT_TRUE(InkoraRun::WaitFor([&] {
        for (const QByteArray &body : upload.bodies) {
            if (body.contains("\"DoKeyAction\":{") && body.contains("\"KeyID\":\"2\"")
                && body.contains("\"TabletKeyState\":\"1\""))
                return true;
        }
        return false;
    })) << upload.bodies.join("\n").constData();

    // The run ends (a logout): its "ExitDriver" record is posted, or kept in the pending
    // file for the next run, never lost.
    ASSERT_EQ(::kill(pid_t(program->processId()), SIGTERM), 0);
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return program->state() == QProcess::NotRunning; }));
    QFile pending(m_run.dataFolder() + QStringLiteral("/data/TabletData.txt"));
    const QByteArray kept = pending.open(QIODevice::ReadOnly) ? pending.readAll() : QByteArray();
    bool posted = false;
    for (const QByteArray &body : upload.bodies)
        posted = posted || body.contains("ExitDriver");
    EXPECT_TRUE(posted || kept.contains("ExitDriver")) << upload.bodies.join("\n").constData();
}

// --- pen stroke and unplug ----------------------------------------------------------

struct PenLine {
    bool release = false;
    bool pen = false;
    int status = 0;
    int x = 0, y = 0, pressure = 0;
    QString events;
};

QVector<PenLine> RecordedReports(const QString &path)
{
    QVector<PenLine> list;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return list;
    for (const QByteArray &text : file.readAll().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(text).object();
        if (o.isEmpty())
            continue;
        PenLine line;
        line.release = o.value(QStringLiteral("release")).toBool();
        line.events = o.value(QStringLiteral("events")).toString();
        // 40 0A 05, status, x, y, pressure little-endian.
        const QByteArray r = QByteArray::fromHex(o.value(QStringLiteral("report")).toString().toLatin1());
        line.pen = o.value(QStringLiteral("kind")).toString() == QLatin1String("pen") && r.size() >= 10;
        if (line.pen) {
            const auto u16 = [&](int at) { return int(uint8_t(r[at])) | int(uint8_t(r[at + 1])) << 8; };
            line.status = uint8_t(r[3]);
            line.x = u16(4);
            line.y = u16(6);
            line.pressure = u16(8);
        }
        list.append(line);
    }
    return list;
}

// A tablet coordinate mapped onto the screen span [offset, offset + size) of a desktop
// span of desktop pixels, in the device's 0..32767 across the desktop.
int Hid(int value, int tabletMax, int offset, int size, int desktop)
{
    const double pixel = offset + double(size) * value / tabletMax;
    return int(pixel * 32767 / desktop);
}

// A stroke reaches the virtual device mapped onto the profile's screen area and through
// its pressure curve: here the lower right quarter of the desktop, and y = x^2 (P1 at
// 0.5, 1), so 4096 of 8191 comes out near 2048, 2048 near 512, and the extremes stay
// where they are.
TEST_F(Scenario, PenStrokeReachesTheVirtualDeviceMappedAndCurved)
{
    const QString configPath = m_run.installFolder() + QStringLiteral("/config/config.xml");
    QFile config(configPath);
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    QByteArray xml = config.readAll();
    config.close();
    const int model = xml.indexOf("<InkoraPadM>");
    ASSERT_GE(model, 0);
    const int curve = xml.indexOf("<P1Y>0.5</P1Y>", model);
    ASSERT_GT(curve, model);
    xml.replace(curve, 14, "<P1Y>1</P1Y>");
    // The whole tablet onto the lower right quarter of the 1920 x 1080 desktop.
    const QByteArray wholeScreen = "<SX>0</SX>\n        <SY>0</SY>\n        <SW>0</SW>\n        <SH>0</SH>";
    const int area = xml.indexOf(wholeScreen, model);
    ASSERT_GT(area, model);
    ASSERT_LT(area, curve);
    xml.replace(area, wholeScreen.size(),
                "<SX>960</SX>\n        <SY>540</SY>\n        <SW>960</SW>\n        <SH>540</SH>");
    ASSERT_TRUE(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write(xml);
    config.close();

    const QString record = m_run.root() + QStringLiteral("/vhid.jsonl");
    QProcess *program = StartSimulated({QStringLiteral("/mini"), QStringLiteral("--vhid-record=") + record});
    ASSERT_TRUE(program);
    EXPECT_TRUE(m_run.Log().contains("simulate: virtual device reports recorded to"));

    ASSERT_EQ(m_run.Command(QStringLiteral("stroke 0 4480 2960 40320 26640 5 4096")), QStringLiteral("ok"));
    ASSERT_TRUE(InkoraRun::WaitFor([&] {
        const QVector<PenLine> lines = RecordedReports(record);
        return !lines.isEmpty() && lines.last().pen && lines.last().status == 0xC0;
    }));
    QVector<PenLine> lines = RecordedReports(record);
    QVector<PenLine> down;
    for (const PenLine &l : lines) {
        if (l.pen && (l.status & 0x01))
            down.append(l);
    }
    ASSERT_EQ(down.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const int x = 4480 + (40320 - 4480) * i / 4;
        const int y = 2960 + (26640 - 2960) * i / 4;
        EXPECT_EQ(down[i].status, 0x11) << i;
        EXPECT_NEAR(down[i].x, Hid(x, 44800, 960, 960, 1920), 1) << i;
        EXPECT_NEAR(down[i].y, Hid(y, 29600, 540, 540, 1080), 1) << i;
        EXPECT_NEAR(down[i].pressure, 2048, 1) << i;
    }
    EXPECT_TRUE(down[0].events.contains(QStringLiteral("pen BTN_TOUCH 1"))) << down[0].events.toStdString();
    EXPECT_TRUE(down[0].events.contains(QStringLiteral("ABS_PRESSURE 2048"))) << down[0].events.toStdString();
    // Hover before, lift and leave after.
    EXPECT_EQ(lines.first().status, 0x10);
    EXPECT_EQ(lines.first().pressure, 0);
    EXPECT_TRUE(lines.last().events.contains(QStringLiteral("pen BTN_TOOL_PEN 0"))) << lines.last().events.toStdString();

    const int seen = lines.size();
    ASSERT_EQ(m_run.Command(QStringLiteral("pen 0 22400 14800 2048 1")), QStringLiteral("ok"));
    ASSERT_EQ(m_run.Command(QStringLiteral("pen 0 22400 14800 8191 1")), QStringLiteral("ok"));
    ASSERT_EQ(m_run.Command(QStringLiteral("pen 0 22400 14800 0 0 0")), QStringLiteral("ok"));
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return RecordedReports(record).size() >= seen + 3; }));
    lines = RecordedReports(record).mid(seen);
    EXPECT_NEAR(lines[0].pressure, 512, 1);
    EXPECT_EQ(lines[1].pressure, 8191);
    EXPECT_EQ(lines[2].status, 0xC0);

    // Pressure without the tip bit hovers: the desktop sees no pressure, so no stroke.
    ASSERT_EQ(m_run.Command(QStringLiteral("pen 0 22400 14800 4096 0")), QStringLiteral("ok"));
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return RecordedReports(record).size() >= seen + 4; }));
    const PenLine hover = RecordedReports(record).at(seen + 3);
    EXPECT_EQ(hover.status & 0x01, 0);
    EXPECT_TRUE(hover.events.contains(QStringLiteral("pen BTN_TOOL_PEN 1"))) << hover.events.toStdString();
    EXPECT_TRUE(hover.events.contains(QStringLiteral("pen ABS_PRESSURE 0"))) << hover.events.toStdString();
    EXPECT_FALSE(hover.events.contains(QStringLiteral("BTN_TOUCH"))) << hover.events.toStdString();
}

// A tablet pulled out mid-stroke: its slot empties, the pen is let go on the virtual
// device (no tip left down), the program goes on, and the tablet plugged in again takes
// the slot once more.
TEST_F(Scenario, UnplugDuringAStrokeReleasesThePenAndEmptiesTheSlot)
{
    const QString record = m_run.root() + QStringLiteral("/vhid.jsonl");
    QProcess *program = StartSimulated({QStringLiteral("/mini"), QStringLiteral("--vhid-record=") + record});
    ASSERT_TRUE(program);
    ASSERT_TRUE(m_run.WaitForLog("Info:Tablet connected in slot 0"));

    // 100 samples 20 ms apart: about two seconds of tip down.
    ASSERT_EQ(m_run.Command(QStringLiteral("stroke 0 1000 1000 40000 25000 100 5000 20")), QStringLiteral("ok"));
    ASSERT_TRUE(InkoraRun::WaitFor([&] {
        int down = 0;
        for (const PenLine &l : RecordedReports(record))
            down += l.pen && (l.status & 0x01) ? 1 : 0;
        return down >= 3;
    }));
    ASSERT_EQ(m_run.Command(QStringLiteral("unplug 0")), QStringLiteral("ok"));
    ASSERT_TRUE(m_run.WaitForLog("Info:Tablet leaves slot 0"));
    EXPECT_TRUE(m_run.WaitForLog(" disconnected File:"));
    EXPECT_TRUE(m_run.WaitForLog("Info:CloseDevice: Inkora Pad M mode 2 not taken (device gone) , reading thread stopped"));

    // After the last report with the tip down comes a release that lifts it.
    const QVector<PenLine> lines = RecordedReports(record);
    int lastDown = -1;
    int downs = 0;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].pen && (lines[i].status & 0x01)) {
            lastDown = i;
            ++downs;
        }
    }
    ASSERT_GE(lastDown, 0);
    ASSERT_LT(downs, 100) << "the whole stroke was read before the unplug";
    bool lifted = false;
    for (int i = lastDown + 1; i < lines.size(); ++i) {
        EXPECT_FALSE(lines[i].pen) << "a report after the tablet left: " << i;
        lifted = lifted || (lines[i].release && lines[i].events.contains(QStringLiteral("pen BTN_TOUCH 0"))
                            && lines[i].events.contains(QStringLiteral("pen BTN_TOOL_PEN 0")));
    }
    EXPECT_TRUE(lifted);

    EXPECT_EQ(program->state(), QProcess::Running);
    EXPECT_EQ(m_run.Command(QStringLiteral("list")), QStringLiteral("ok"));
    EXPECT_EQ(m_run.Command(QStringLiteral("plug InkoraPadM")), QStringLiteral("ok 1"));
    EXPECT_TRUE(InkoraRun::WaitFor([&] { return m_run.Log().count("Info:Tablet connected in slot 0") == 2; }));
}

// --- exit ---------------------------------------------------------------------------

// Exit in the tray menu, as a user reaches it: right click on the icon, Up to the last
// entry, Return. The tablet is sent mode 2, its thread stops, the log ends with the close.
TEST_F(Scenario, ExitFromTheTrayMenuClosesTheTablets)
{
    TrayHost tray;
    QString why;
    ASSERT_TRUE(tray.Start(m_xvfb.display(), &why)) << why.toStdString();
    QProcess *program = StartSimulated({QStringLiteral("/mini")});
    ASSERT_TRUE(program);
    int x = 0, y = 0;
    ASSERT_TRUE(InkoraRun::WaitFor([&] { return tray.firstIconCentre(&x, &y); }));
    ASSERT_TRUE(m_run.WaitForLog("Info:Tablet connected in slot 0"));

    // The menu: a popup of the program's as tall as its entries (a tool tip, the other
    // popup a pointer resting on the icon brings, is one line).
    const auto menuShown = [&] {
        for (const TopLevel &w : m_x.ViewableOf(program->processId())) {
            if (w.overrideRedirect && w.height >= 60)
                return true;
        }
        return false;
    };
    // The icon takes clicks once Qt has it embedded and mapped: click until the menu shows.
    ASSERT_TRUE(InkoraRun::WaitFor([&] {
        m_x.Click(x, y, 3);
        return InkoraRun::WaitFor(menuShown, 2000);
    }));
    m_x.Tap("Up");
    m_x.Tap("Return");
    ASSERT_TRUE(program->waitForFinished(InkoraRun::kTimeoutMs));
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program->exitCode(), 0);
    EXPECT_TRUE(LogEndsWithClose({"Info:Exit from tray", "Info:simulate: tablet InkoraPadM 0 mode 2",
                                  "Info:CloseDevice: Inkora Pad M mode 2 sent , reading thread stopped"}));
}

// A logout's SIGTERM ends the run the way Exit does, also in the middle of a stroke:
// the pen does not stay down on the virtual device.
TEST_F(Scenario, SigtermClosesTheTabletsAsExitDoes)
{
    const QString record = m_run.root() + QStringLiteral("/vhid.jsonl");
    QProcess *program = StartSimulated({QStringLiteral("/mini"), QStringLiteral("--vhid-record=") + record});
    ASSERT_TRUE(program);
    ASSERT_TRUE(m_run.WaitForLog("Info:Tablet connected in slot 0"));
    ASSERT_EQ(m_run.Command(QStringLiteral("stroke 0 1000 1000 40000 25000 100 5000 20")), QStringLiteral("ok"));
    ASSERT_TRUE(InkoraRun::WaitFor([&] {
        const QVector<PenLine> lines = RecordedReports(record);
        return !lines.isEmpty() && lines.last().pen && (lines.last().status & 0x01);
    }));
    ASSERT_EQ(::kill(pid_t(program->processId()), SIGTERM), 0);
    ASSERT_TRUE(program->waitForFinished(InkoraRun::kTimeoutMs));
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program->exitCode(), 0);
    EXPECT_TRUE(LogEndsWithClose({"Info:Signal 15 received: closing as Exit does",
                                  "Info:simulate: tablet InkoraPadM 0 mode 2",
                                  "Info:CloseDevice: Inkora Pad M mode 2 sent , reading thread stopped"}));

    const QVector<PenLine> lines = RecordedReports(record);
    int lastDown = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].pen && (lines[i].status & 0x01))
            lastDown = i;
    }
    bool lifted = false;
    for (int i = lastDown + 1; i < lines.size(); ++i)
        lifted = lifted || (lines[i].release && lines[i].events.contains(QStringLiteral("pen BTN_TOUCH 0")));
    EXPECT_TRUE(lifted);
}

} // namespace
