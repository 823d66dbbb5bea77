// Wayland sessions: what the session detection makes of the environment, and a real
// headless sway with XWayland as the source of the foreground.

#include "tests/support/swayserver.h"

#include "action/penpath.h"
#include "mapping/pressurecurve.h"
#include "mapping/screentable.h"
#include "platform/display/linux/hyprlanddisplaybackend.h"
#include "platform/display/linux/swaydisplaybackend.h"
#include "platform/display/linux/xdgoutputdisplaybackend.h"
#include "platform/foreground/linux/foregroundfactory.h"
#include "platform/foreground/linux/hyprlandforegroundbackend.h"
#include "platform/foreground/linux/swayforegroundbackend.h"
#include "platform/foreground/sessionforegroundbackend.h"
#include "platform/input/linux/systeminputinjector.h"
#include "platform/input/linux/wlrvirtualinputinjector.h"
#include "platform/session/desktopsession.h"
#include "platform/session/linux/swayipc.h"
#include "tests/action/actionharness.h"
#include "tests/device/logcapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QMap>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

EnvironmentLookup Env(const QMap<QByteArray, QByteArray> &values)
{
    return [values](const char *name) { return values.value(name); };
}

bool WaitUntil(int ms, const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// Sway's outputs reply as name -> logical rectangle.
QMap<QString, QRect> OutputRects(const QByteArray &reply)
{
    QMap<QString, QRect> rects;
    for (const QJsonValue &value : QJsonDocument::fromJson(reply).array()) {
        const QJsonObject r = value.toObject().value(QStringLiteral("rect")).toObject();
        rects.insert(value.toObject().value(QStringLiteral("name")).toString(),
                     QRect(r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(),
                           r.value(QStringLiteral("width")).toInt(), r.value(QStringLiteral("height")).toInt()));
    }
    return rects;
}

// One command to the sway on socket; its reply.
QByteArray SwayIpcCommand(const QByteArray &socket, const QByteArray &command)
{
    SwayIpc ipc;
    QByteArray reply;
    if (!ipc.connectTo(socket) || !ipc.request(SwayIpc::RunCommand, command, &reply))
        return QByteArray();
    return reply;
}

QStringList Split(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(';'));
}

// A compositor's socket played by the test: each connection is handed to onAccept on
// the peer's thread; connections it keeps stay open for the test to write to.
class FakePeer {
public:
    FakePeer(const QByteArray &path, std::function<bool(int fd)> onAccept) : m_onAccept(std::move(onAccept))
    {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(m_listen, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
            || ::listen(m_listen, 8) != 0)
            ADD_FAILURE() << "cannot listen on " << path.constData();
        m_thread = std::thread([this] {
            for (;;) {
                pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake, POLLIN, 0}};
                if (::poll(fds, 2, -1) <= 0 || fds[1].revents)
                    return;
                const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0 && m_onAccept(fd)) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_kept.push_back(fd);
                } else if (fd >= 0) {
                    ::close(fd);
                }
            }
        });
    }
    ~FakePeer()
    {
        const uint64_t one = 1;
        EXPECT_EQ(::write(m_wake, &one, sizeof one), ssize_t(sizeof one));
        m_thread.join();
        for (int fd : m_kept)
            ::close(fd);
        ::close(m_listen);
        ::close(m_wake);
    }
    // The n-th kept connection (from 1), once there is one; -1 after timeoutMs.
    int Kept(size_t n, int timeoutMs = 5000)
    {
        int fd = -1;
        WaitUntil(timeoutMs, [&] {
            std::lock_guard<std::mutex> lock(m_mutex);
            fd = m_kept.size() >= n ? m_kept[n - 1] : -1;
            return fd >= 0;
        });
        return fd;
    }
    static void Write(int fd, const QByteArray &bytes)
    {
        EXPECT_EQ(::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }

private:
    std::function<bool(int)> m_onAccept;
    int m_listen = -1;
    const int m_wake = ::eventfd(0, EFD_CLOEXEC);
    std::mutex m_mutex; // m_kept
    std::vector<int> m_kept;
    std::thread m_thread;
};

} // namespace

TEST(Session, TypeAndCompositorFromTheEnvironment)
{
    struct Case {
        QMap<QByteArray, QByteArray> env;
        SessionType type;
        Compositor compositor;
    };
    const Case cases[] = {
        {{}, SessionType::None, Compositor::None},
        {{{"DISPLAY", ":0"}}, SessionType::X11, Compositor::None},
        // The session manager's word beats a nested compositor's socket.
        {{{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-1"}},
         SessionType::X11,
         Compositor::None},
        {{{"WAYLAND_DISPLAY", "wayland-0"}, {"SWAYSOCK", "/run/user/1/sway-ipc.sock"}, {"DISPLAY", ":1"}},
         SessionType::Wayland,
         Compositor::Sway},
        {{{"XDG_SESSION_TYPE", "wayland"}, {"HYPRLAND_INSTANCE_SIGNATURE", "abc"}, {"XDG_CURRENT_DESKTOP", "Hyprland"}},
         SessionType::Wayland,
         Compositor::Hyprland},
        {{{"WAYLAND_DISPLAY", "wayland-0"}, {"KDE_FULL_SESSION", "true"}}, SessionType::Wayland, Compositor::KWin},
        {{{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}},
         SessionType::Wayland,
         Compositor::GnomeShell},
        {{{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "river"}},
         SessionType::Wayland,
         Compositor::OtherWayland},
    };
    for (const Case &c : cases) {
        const DesktopSession session = DetectDesktopSession(Env(c.env));
        EXPECT_EQ(session.type, c.type) << c.env.keys().join(' ').constData();
        EXPECT_EQ(session.compositor, c.compositor) << c.env.keys().join(' ').constData();
    }
    // Without a source the common profile applies, and the log line names the
    // compositor.
    const DesktopSession river =
        DetectDesktopSession(Env({{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_CURRENT_DESKTOP", "river"}}));
    const ForegroundChoice choice = CreateForegroundBackend(river);
    ASSERT_TRUE(choice.backend);
    EXPECT_TRUE(choice.backend->current()->path.isEmpty());
    EXPECT_EQ(choice.name, QStringLiteral("none (common profile)"));
    EXPECT_TRUE(SessionLogLine(river, {}).startsWith(
        QStringLiteral("Session: wayland, compositor other Wayland compositor (river), X display no XWayland;")));
}

TEST(Session, OddFocusedWindowsGiveTheCommonProfile)
{
    // No pid (an X window without _NET_WM_PID), and a process gone before /proc is read.
    QString fault;
    QJsonObject container{
        {"type", "con"}, {"shell", "xwayland"}, {"pid", 0}, {"window_properties", QJsonObject{{"class", "Gimp"}}}};
    ForegroundWindow w = SwayForegroundBackend::RecordOf(container, &fault);
    EXPECT_TRUE(w.path.isEmpty());
    EXPECT_TRUE(w.x11);
    EXPECT_EQ(w.windowClass, QStringLiteral("Gimp"));
    EXPECT_TRUE(fault.contains(QStringLiteral("no process id")));

    QProcess gone;
    gone.start(QStringLiteral("sleep"), QStringList{QStringLiteral("60")});
    ASSERT_TRUE(gone.waitForStarted(5000));
    const qint64 pid = gone.processId();
    gone.kill();
    ASSERT_TRUE(gone.waitForFinished(5000));
    container = QJsonObject{{"type", "con"}, {"shell", "xdg_shell"}, {"app_id", "foot"}, {"pid", double(pid)}};
    fault.clear();
    w = SwayForegroundBackend::RecordOf(container, &fault);
    EXPECT_TRUE(w.path.isEmpty());
    EXPECT_EQ(w.pid, 0);
    EXPECT_TRUE(fault.contains(QStringLiteral("/exe")));
}

TEST(Session, SwayIpcRefusesWhatIsNotItsProtocol)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path() + QStringLiteral("/sway.sock"));
    const QByteArray oversized = QByteArray("i3-ipc") + QByteArray("\xff\xff\xff\x7f\x00\x00\x00\x00", 8);
    for (const QByteArray &reply :
         {QByteArray("HTTP/1.1 400 Bad Request\r\n\r\n"), oversized, QByteArray("i3-ipc\x05")}) {
        FakePeer peer(path, [&](int fd) {
            FakePeer::Write(fd, reply);
            return reply != oversized; // closes after the half header
        });
        SwayIpc ipc;
        ASSERT_TRUE(ipc.connectTo(path));
        QByteArray payload;
        EXPECT_FALSE(ipc.request(SwayIpc::GetTree, QByteArray(), &payload, 500));
        EXPECT_FALSE(ipc.isOpen());
        QFile::remove(QFile::decodeName(path));
    }
}

TEST(Session, HyprlandFocusLayoutAndTheirFaults)
{
    QTemporaryDir runtime;
    const QByteArray folder = QFile::encodeName(runtime.path()) + "/hypr/sig";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(folder)));
    std::mutex mutex;
    QByteArray active = "{\"class\":\"me\",\"pid\":" + QByteArray::number(qint64(::getpid())) + ",\"xwayland\":false}";
    // A 1.25 scaled monitor, a turned one below it, a disabled one.
    QByteArray monitors = R"([{"name":"DP-1","x":0,"y":0,"width":2560,"height":1440,"scale":1.25,"transform":0},
        {"name":"HDMI-A-1","x":0,"y":1152,"width":1920,"height":1080,"scale":1.0,"transform":1},
        {"name":"DP-2","x":5000,"y":0,"width":800,"height":600,"scale":1.0,"transform":0,"disabled":true}])";
    const auto setActive = [&](const QByteArray &json) {
        std::lock_guard<std::mutex> lock(mutex);
        active = json;
    };
    FakePeer requests(folder + "/.socket.sock", [&](int fd) {
        char buffer[64];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        std::lock_guard<std::mutex> lock(mutex);
        if (n > 0 && QByteArray(buffer, int(n)) == "j/activewindow")
            FakePeer::Write(fd, active);
        else if (n > 0 && QByteArray(buffer, int(n)) == "j/monitors")
            FakePeer::Write(fd, monitors);
        return false;
    });
    FakePeer events(folder + "/.socket2.sock", [](int) { return true; });

    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    std::unique_ptr<HyprlandForegroundBackend> backend =
        HyprlandForegroundBackend::open(QFile::encodeName(runtime.path()), "sig");
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->current()->path, self);
    const auto after = [&](const QByteArray &line, const QString &path) {
        const uint64_t seen = backend->revision();
        FakePeer::Write(events.Kept(1), line);
        return backend->waitForRevision(seen, 5000) && backend->current()->path == path;
    };
    setActive("{\"class\":\"noPid\",\"pid\":0}");
    EXPECT_TRUE(after("workspace>>2\nactivewindowv2>>5a1e\n", QString()));
    setActive("{\"class\":\"me\",\"pid\":" + QByteArray::number(qint64(::getpid())) + "}");
    EXPECT_TRUE(after("activewindowv2>>5a2e\n", self));
    setActive("{}"); // nothing focused
    EXPECT_TRUE(after("closewindow>>5a2e\n", QString()));
    setActive("not json");
    EXPECT_TRUE(after("activewindowv2>>5a3e\n", QString()));
    // A line that is not the protocol: the common profile, then a new connection.
    setActive("{\"class\":\"me\",\"pid\":" + QByteArray::number(qint64(::getpid())) + "}");
    EXPECT_TRUE(after("\x01\x02\x03\n", QString()));
    ASSERT_GE(events.Kept(2), 0);
    EXPECT_TRUE(WaitUntil(5000, [&] { return backend->current()->path == self; }));

    // The layout: logical sizes (mode over scale, turned), and a monitor event re-reads it.
    std::unique_ptr<HyprlandDisplayBackend> display =
        HyprlandDisplayBackend::open(QFile::encodeName(runtime.path()), "sig", QByteArray());
    ASSERT_TRUE(display);
    const auto rects = [&] {
        std::vector<QRect> out;
        for (const DisplayScreen &s : display->physicalScreens())
            out.push_back(s.geometry);
        return out;
    };
    EXPECT_EQ(rects(), (std::vector<QRect>{QRect(0, 0, 2048, 1152), QRect(0, 1152, 1080, 1920)}));
    QSignalSpy changed(display.get(), &DisplayBackend::displayChanged);
    {
        std::lock_guard<std::mutex> lock(mutex);
        monitors = R"([{"name":"DP-1","x":0,"y":0,"width":2560,"height":1440,"scale":2.0,"transform":0}])";
    }
    FakePeer::Write(events.Kept(3), "monitorremoved>>HDMI-A-1\n");
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(rects(), (std::vector<QRect>{QRect(0, 0, 1280, 720)}));
}

class SwaySession : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_sway = new SwayServer;
        s_up = s_sway->Start(2, Config(), &s_why, &s_skip);
    }
    // Two outputs: one scaled 1.25 (1536x864 logical), one stacked below it.
    static QStringList Config()
    {
        return {QStringLiteral("output HEADLESS-1 mode 1920x1080 position 0 0 scale 1.25"),
                QStringLiteral("output HEADLESS-2 mode 1280x720 position 0 864 scale 1"),
                QStringLiteral("xwayland force")};
    }
    static void TearDownTestSuite()
    {
        delete s_sway;
        s_sway = nullptr;
    }
    void SetUp() override
    {
        if (!s_up && s_skip)
            GTEST_SKIP() << s_why.toLocal8Bit().constData();
        ASSERT_TRUE(s_up) << s_why.toLocal8Bit().constData();
    }
    DesktopSession session() const
    {
        return DetectDesktopSession(Env({{"WAYLAND_DISPLAY", s_sway->waylandDisplay()},
                                         {"DISPLAY", s_sway->x11Display()},
                                         {"SWAYSOCK", s_sway->socketPath()}}));
    }

    // The compositor's socket by its full path: sway's runtime folder is not ours.
    static QByteArray WaylandSocket()
    {
        return QFile::encodeName(s_sway->folder() + QLatin1Char('/') + QFile::decodeName(s_sway->waylandDisplay()));
    }

    // A native client whose terminal is raw and copies what it receives (keys as typed,
    // clicks and the wheel as mouse reports) to *out; focused, its rectangle in *window.
    static bool StartRawTerminal(const QString &appId, QString *out, QRect *window)
    {
        const QString base = s_sway->folder() + QLatin1Char('/') + appId;
        *out = base + QStringLiteral(".out");
        QFile::remove(*out);
        QFile::remove(base + QStringLiteral(".ready"));
        QFile script(base + QStringLiteral(".sh"));
        if (!script.open(QIODevice::WriteOnly))
            return false;
        script.write(QStringLiteral("stty raw -echo\nprintf '\\033[?1000h'\ntouch %1.ready\nexec cat > %2\n")
                         .arg(base, *out)
                         .toUtf8());
        script.close();
        if (!s_sway->Exec(QStringLiteral("foot --app-id=%1 sh %2").arg(appId, script.fileName()))
            || !WaitUntil(10000, [&] { return QFile::exists(base + QStringLiteral(".ready")); }))
            return false;
        s_sway->Message(0, QStringLiteral("[app_id=%1] focus").arg(appId).toUtf8());
        std::function<bool(const QJsonObject &)> find = [&](const QJsonObject &node) {
            if (node.value(QStringLiteral("app_id")).toString() == appId) {
                const QJsonObject r = node.value(QStringLiteral("rect")).toObject();
                *window = QRect(r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(),
                                r.value(QStringLiteral("width")).toInt(), r.value(QStringLiteral("height")).toInt());
                return node.value(QStringLiteral("focused")).toBool();
            }
            for (const QJsonValue &child : node.value(QStringLiteral("nodes")).toArray())
                if (find(child.toObject()))
                    return true;
            return false;
        };
        return WaitUntil(5000, [&] { return find(QJsonDocument::fromJson(s_sway->Message(4)).object()); });
    }
    static QByteArray Received(const QString &file, int size)
    {
        QFile f(file);
        WaitUntil(5000, [&] { return f.size() >= size; });
        QThread::msleep(100); // nothing more follows
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    static SwayServer *s_sway;
    static bool s_up;
    static bool s_skip;
    static QString s_why;
};

SwayServer *SwaySession::s_sway = nullptr;
bool SwaySession::s_up = false;
bool SwaySession::s_skip = false;
QString SwaySession::s_why;

TEST_F(SwaySession, ScreenTableAndPenFollowTheCompositorsLayout)
{
    std::unique_ptr<SwayDisplayBackend> display = SwayDisplayBackend::open(s_sway->socketPath(), s_sway->x11Display());
    ASSERT_TRUE(display);
    const ScreenTableData table = [&] {
        std::vector<ScreenRect> rects;
        for (const DisplayScreen &s : display->physicalScreens())
            rects.push_back(ScreenRect{s.geometry.x(), s.geometry.y(), s.geometry.width(), s.geometry.height()});
        return ScreenTable::Build(rects);
    }();

    // The table holds sway's own rectangles (the scaled output is 1536x864 logical).
    ScreenRect second;
    const QJsonArray outputs = QJsonDocument::fromJson(s_sway->Message(3)).array();
    ASSERT_EQ(table.count, outputs.size());
    for (const QJsonValue &value : outputs) {
        const QJsonObject r = value.toObject().value(QStringLiteral("rect")).toObject();
        const ScreenRect rect{r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(),
                              r.value(QStringLiteral("width")).toInt(), r.value(QStringLiteral("height")).toInt()};
        bool listed = false;
        for (int i = 1; i <= table.count; ++i)
            listed |= table.Slot(i) == rect;
        EXPECT_TRUE(listed) << rect.left << "," << rect.top << " " << rect.width << "x" << rect.height;
        if (value.toObject().value(QStringLiteral("name")).toString() == QLatin1String("HEADLESS-2"))
            second = rect;
    }
    EXPECT_EQ(second, (ScreenRect{0, 864, 1280, 720}));
    EXPECT_EQ(table.Desktop(), (ScreenRect{0, 0, 1536, 1584}));

    // A stroke mapped onto output 2, corner to corner: the virtual pen's absolute
    // position, spread over the layout's bounding box as sway maps a tablet, lands in it.
    ScreenTable::Publish(table);
    DeviceAttributes attributes{};
    attributes.MaxX = 10000;
    attributes.MaxY = 6000;
    attributes.Resolution = 1000;
    attributes.WidthInch100 = 1000;
    attributes.HeightInch100 = 600;
    attributes.MaxPressure = 8191;
    attributes.DeviceKind = 1;
    auto profile = std::make_unique<TabletXMLData>();
    profile->TW = 1000;
    profile->TH = 600;
    profile->SX = second.left;
    profile->SY = second.top;
    profile->SW = second.width;
    profile->SH = second.height;
    profile->fKX = profile->fKY = profile->fXLC = profile->fYLC = 1.0f;
    for (PenConfig &c : profile->CommonAPP.pens) {
        c.Press = DefaultPressPoints();
        c.TablePC = 1;
    }
    PenPath pen(nullptr);
    const ScreenRect &desk = table.Desktop();
    for (const auto &point : {std::pair<int, int>{0, 0}, {5000, 3000}, {10000, 6000}, {10000, 0}, {0, 6000}}) {
        TabletPacket packet{};
        packet.flags = PacketPen;
        packet.x = point.first;
        packet.y = point.second;
        packet.status = 0xA1;
        packet.pressure = 4096;
        MultiData out{};
        out.flags = packet.flags;
        pen.MapPen(packet, attributes, *profile, &profile->CommonAPP, out);
        const double x = desk.left + double(out.x7FFF) * desk.width / 32767.0;
        const double y = desk.top + double(out.y7FFF) * desk.height / 32767.0;
        EXPECT_TRUE(x >= second.left - 1 && x <= second.right() && y >= second.top - 1 && y <= second.bottom())
            << point.first << "," << point.second << " -> " << x << "," << y;
    }
    ScreenTable::Publish(ScreenTable::Build({}));

    // A scale change re-enumerates.
    QSignalSpy changed(display.get(), &DisplayBackend::displayChanged);
    s_sway->Message(0, "output HEADLESS-2 scale 2");
    ASSERT_TRUE(changed.wait(5000));
    bool halved = false;
    for (const DisplayScreen &s : display->physicalScreens())
        halved |= s.name == QLatin1String("HEADLESS-2") && s.geometry.size() == QSize(640, 360);
    EXPECT_TRUE(halved);
    s_sway->Message(0, "output HEADLESS-2 scale 1");
}

// The layout other compositors give through xdg-output: sway offers it too, so its own
// answer is the reference.
TEST_F(SwaySession, XdgOutputLayoutIsTheCompositorsAndFollowsAScaleChange)
{
    std::unique_ptr<XdgOutputDisplayBackend> display = XdgOutputDisplayBackend::open(WaylandSocket());
    ASSERT_TRUE(display);
    auto swayRects = [] { return OutputRects(s_sway->Message(3)); };
    auto ourRects = [&] {
        QMap<QString, QRect> rects;
        for (const DisplayScreen &s : display->physicalScreens())
            rects.insert(s.name, s.geometry);
        return rects;
    };
    EXPECT_EQ(ourRects(), swayRects());
    EXPECT_EQ(ourRects().value(QStringLiteral("HEADLESS-1")), QRect(0, 0, 1536, 864));

    QSignalSpy changed(display.get(), &DisplayBackend::displayChanged);
    s_sway->Message(0, "output HEADLESS-2 scale 2");
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(ourRects().value(QStringLiteral("HEADLESS-2")), QRect(0, 864, 640, 360));
    EXPECT_EQ(ourRects(), swayRects());
    s_sway->Message(0, "output HEADLESS-2 scale 1");
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(ourRects(), swayRects());
}

TEST_F(SwaySession, ProfilesFollowTheFocusAcrossNativeAndXWaylandWindows)
{
    const DesktopSession desktop = session();
    ASSERT_EQ(desktop.compositor, Compositor::Sway);
    ForegroundChoice choice = CreateForegroundBackend(desktop);
    EXPECT_EQ(choice.name, QStringLiteral("sway IPC (X11 for XWayland windows)"));
    ForegroundBackend &foreground = *choice.backend;
    const auto pathIs = [&](const QString &path) {
        return WaitUntil(10000, [&] { return foreground.current()->path == path; });
    };

    ActionHarness h;
    h.action.SetServices(&h.input, &foreground, &h.system);
    h.bind(h.profile->CommonAPP, 0, 1);      // B
    h.bind(h.addApp("/usr/bin/foot"), 0, 2); // E
    const QString xwindow = QStringLiteral(XWINDOW_PATH);
    h.bindCustom(h.addApp(XWINDOW_PATH), 0, "1|Copy|Ctrl+C|17:29+67:46");

    // A native Wayland client (foot runs a command: nobody's login shell would end it).
    ASSERT_TRUE(s_sway->Exec(QStringLiteral("foot sleep 600")));
    ASSERT_TRUE(pathIs(QStringLiteral("/usr/bin/foot")));
    EXPECT_FALSE(foreground.current()->x11);
    EXPECT_EQ(foreground.current()->windowClass, QStringLiteral("foot"));
    h.press(1);

    // An X client on XWayland: its record once XWayland names the same process.
    ASSERT_TRUE(s_sway->Exec(xwindow));
    ASSERT_TRUE(pathIs(xwindow));
    EXPECT_TRUE(static_cast<SessionForegroundBackend &>(foreground).compositor().current()->x11);
    h.press(1);

    // Back to the native one; then an empty workspace: the common profile (B).
    s_sway->Message(0, "[app_id=foot] focus");
    ASSERT_TRUE(pathIs(QStringLiteral("/usr/bin/foot")));
    h.press(1);
    s_sway->Message(0, "workspace 9");
    ASSERT_TRUE(pathIs(QString()));
    h.press(1);
    EXPECT_EQ(h.events,
              Split("key 69:18 down;key 69:18 up;"
                    "key 17:29 down;key 67:46 down;key 17:29 up;key 67:46 up;"
                    "key 69:18 down;key 69:18 up;key 66:48 down;key 66:48 up"));

    // sway goes away and comes back on the same socket: the common profile meanwhile,
    // the new session's focus after.
    s_sway->Message(0, "workspace 1");
    ASSERT_TRUE(pathIs(QStringLiteral("/usr/bin/foot")));
    std::unique_ptr<SwayDisplayBackend> display = SwayDisplayBackend::open(s_sway->socketPath(), QByteArray());
    ASSERT_TRUE(display);
    std::unique_ptr<XdgOutputDisplayBackend> outputs = XdgOutputDisplayBackend::open(WaylandSocket());
    ASSERT_TRUE(outputs);
    s_sway->Stop();
    ASSERT_TRUE(pathIs(QString()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !display->isAvailable() && !outputs->isAvailable(); }, 5000));
    EXPECT_EQ(display->physicalScreens().size(), 2u); // the last layout stays
    EXPECT_EQ(outputs->physicalScreens().size(), 2u);
    QString why;
    bool skip = false;
    ASSERT_TRUE(s_sway->Start(2, Config(), &why, &skip)) << why.toLocal8Bit().constData();
    ASSERT_TRUE(s_sway->Exec(QStringLiteral("foot sleep 600")));
    EXPECT_TRUE(pathIs(QStringLiteral("/usr/bin/foot")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return display->isAvailable() && outputs->isAvailable(); }, 5000));
}

// Where /dev/uinput is missing, keys reach native Wayland clients through the
// compositor's virtual keyboard: a custom function through the action engine types into
// foot, Shift and Ctrl included; the virtual pointer's click and wheel reach it too.
TEST_F(SwaySession, ExpressKeysTypeIntoANativeClientThroughTheVirtualKeyboard)
{
    // One injector for the whole test: sway 1.7 (wlroots 0.15) can crash when a seat's
    // only pointer comes and goes at once while XWayland binds to it.
    std::unique_ptr<InputInjector> injector;
    if (!QFile::exists(QStringLiteral("/dev/uinput"))) {
        DesktopSession desktop = session();
        desktop.waylandDisplay = WaylandSocket();
        QString name;
        injector = createSystemInputInjector(desktop, &name);
        EXPECT_EQ(name, QStringLiteral("wlroots virtual keyboard and pointer"));
    } else {
        injector = WlrVirtualInputInjector::open(WaylandSocket());
    }
    ASSERT_TRUE(injector);
    QString out;
    QRect window;
    ASSERT_TRUE(StartRawTerminal(QStringLiteral("inkora-keys"), &out, &window));

    ActionHarness h;
    h.action.SetServices(injector.get(), &h.foreground, &h.system);
    h.bindCustom(h.profile->CommonAPP, 0, "1|Type|aB^A|65:30,16:42+66:48,17:29+65:30");
    h.press(1);
    EXPECT_EQ(Received(out, 3), QByteArray("aB\x01"));
    // A Shift left down is let go: the next letter is small.
    const KeyInput shift{16, 42, 0};
    const KeyInput a[2] = {{65, 30, 0}, {65, 30, KeyUp}};
    ASSERT_EQ(injector->sendKeys(&shift, 1), 1);
    injector->releaseHeld();
    ASSERT_EQ(injector->sendKeys(a, 2), 2);
    EXPECT_EQ(Received(out, 4),
              QByteArray("aB\x01"
                         "a"));

    // Onto the window's middle (0..65535 over the layout's bounding box), a left click
    // and a notch away from the user: foot reports press, release and wheel up.
    QRect desk;
    for (const QJsonValue &value : QJsonDocument::fromJson(s_sway->Message(3)).array()) {
        const QJsonObject r = value.toObject().value(QStringLiteral("rect")).toObject();
        desk |= QRect(r.value(QStringLiteral("x")).toInt(), r.value(QStringLiteral("y")).toInt(),
                      r.value(QStringLiteral("width")).toInt(), r.value(QStringLiteral("height")).toInt());
    }
    MouseInput mouse[4] = {};
    mouse[0].flags = MouseMove | MouseAbsolute;
    mouse[0].x = (window.center().x() - desk.x()) * 65536 / desk.width();
    mouse[0].y = (window.center().y() - desk.y()) * 65536 / desk.height();
    mouse[1].flags = MouseLeftDown;
    mouse[2].flags = MouseLeftUp;
    mouse[3].flags = MouseWheel;
    mouse[3].data = 120;
    ASSERT_EQ(injector->sendMouse(mouse, 4), 4);
    // foot scrolls (and reports) three lines per notch by default.
    const QByteArray reports = Received(out, 4 + 12 + 6).mid(4);
    ASSERT_TRUE(reports.size() >= 18 && reports.size() % 6 == 0) << reports.toHex().constData();
    EXPECT_EQ(reports.mid(0, 4), QByteArray("\x1b[M ")); // button 1 down
    EXPECT_EQ(reports.mid(6, 4), QByteArray("\x1b[M#")); // released
    for (int i = 12; i < reports.size(); i += 6)
        EXPECT_EQ(reports.mid(i, 4), QByteArray("\x1b[M`")); // wheel up
    s_sway->Message(0, "[app_id=inkora-keys] kill");
}

// The compositor going away mid-use: the calls come back short at once, one log line,
// and a compositor back on the same socket is served again without what was held.
TEST_F(SwaySession, VirtualKeyboardFollowsACompositorRestart)
{
    LogCapture log;
    std::unique_ptr<WlrVirtualInputInjector> injector = WlrVirtualInputInjector::open(WaylandSocket());
    ASSERT_TRUE(injector);
    const KeyInput shift{16, 42, 0};
    const KeyInput a[2] = {{65, 30, 0}, {65, 30, KeyUp}};
    ASSERT_EQ(injector->sendKeys(&shift, 1), 1);
    s_sway->Stop();
    EXPECT_EQ(injector->sendKeys(a, 2), 0);
    MouseInput click{};
    click.flags = MouseLeftDown;
    EXPECT_EQ(injector->sendMouse(&click, 1), 0);
    injector->releaseHeld();
    EXPECT_EQ(
        log.lines().filter(QStringLiteral("Input injection (wlroots): the compositor closed the connection")).size(),
        1);

    QString why;
    bool skip = false;
    ASSERT_TRUE(s_sway->Start(2, Config(), &why, &skip)) << why.toLocal8Bit().constData();
    // Back once a call finds it (a Shift release types nothing); then a client started
    // after the keyboard is back gets a small letter: the old Shift did not carry over.
    const KeyInput shiftUp{16, 42, KeyUp};
    EXPECT_TRUE(WaitUntil(5000, [&] { return injector->sendKeys(&shiftUp, 1) == 1; }));
    QString out;
    QRect window;
    ASSERT_TRUE(StartRawTerminal(QStringLiteral("inkora-again"), &out, &window));
    EXPECT_EQ(injector->sendKeys(a, 2), 2);
    EXPECT_EQ(Received(out, 1), QByteArray("a"));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Input injection (wlroots): connected to the compositor again")).size(),
              1);
}

// Outputs that come and go, as a compositor shows them: a sway nested in the test's sway
// (its Wayland backend) shows each output as a window of the outer one, so closing that
// window unplugs the output (its wl_output global goes) and create_output plugs a new one.
// Headless outputs cannot do this: sway 1.7's headless backend refuses to disable them.
TEST_F(SwaySession, XdgOutputFollowsOutputsUnpluggedPluggedAndMoved)
{
    const QString folder = s_sway->folder();
    const auto sockets = [&] {
        return QDir(folder)
            .entryList({QStringLiteral("wayland-*")}, QDir::System)
            .filter(QRegularExpression(QStringLiteral("^wayland-\\d+$")));
    };
    const QStringList outer = sockets();
    QFile config(folder + QStringLiteral("/nested.config"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly) && config.write("\n") == 1);
    config.close();
    const QByteArray nestedIpc = QFile::encodeName(folder + QStringLiteral("/nested.sock"));
    ASSERT_TRUE(s_sway->Exec(QStringLiteral("env WLR_BACKENDS=wayland WLR_WL_OUTPUTS=2 SWAYSOCK=%1 sway -c %2")
                                 .arg(QFile::decodeName(nestedIpc), config.fileName())));
    const auto nestedRects = [&] {
        SwayIpc ipc;
        QByteArray reply;
        QMap<QString, QRect> rects;
        if (ipc.connectTo(nestedIpc) && ipc.request(SwayIpc::GetOutputs, QByteArray(), &reply))
            rects = OutputRects(reply);
        return rects;
    };
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return nestedRects().size() == 2 && sockets().size() == outer.size() + 1; }, 10000));
    QString socket;
    for (const QString &name : sockets())
        if (!outer.contains(name))
            socket = name;
    std::unique_ptr<XdgOutputDisplayBackend> display =
        XdgOutputDisplayBackend::open(QFile::encodeName(folder + QLatin1Char('/') + socket));
    ASSERT_TRUE(display);
    const auto ours = [&] {
        QMap<QString, QRect> rects;
        for (const DisplayScreen &s : display->physicalScreens())
            rects.insert(s.name, s.geometry);
        return rects;
    };
    const auto same = [&](int count) {
        return QTest::qWaitFor([&] { return ours().size() == count && ours() == nestedRects(); }, 5000);
    };
    EXPECT_TRUE(same(2));

    s_sway->Message(0, "[title=\"wlroots - WL-2\"] kill");
    EXPECT_TRUE(same(1));
    EXPECT_EQ(ours().keys(), QStringList{QStringLiteral("WL-1")});

    ASSERT_TRUE(QByteArray(SwayIpcCommand(nestedIpc, "create_output")).contains("true"));
    EXPECT_TRUE(same(2));
    const QString added = ours().lastKey();
    EXPECT_NE(added, QStringLiteral("WL-2")) << "the unplugged output's name stayed";
    std::vector<ScreenRect> rects;
    for (const DisplayScreen &s : display->physicalScreens())
        rects.push_back(ScreenRect{s.geometry.x(), s.geometry.y(), s.geometry.width(), s.geometry.height()});
    EXPECT_EQ(ScreenTable::Build(rects).count, 2);

    SwayIpcCommand(nestedIpc, "output " + added.toUtf8() + " position 3000 200");
    EXPECT_TRUE(QTest::qWaitFor([&] { return ours().value(added).topLeft() == QPoint(3000, 200); }, 5000));
    EXPECT_TRUE(same(2));
    SwayIpcCommand(nestedIpc, "exit");
}
