// The Wayland foreground sources that report over the session bus, against mocks of the
// compositor's side on a private bus: KWin's scripting interface running our script, and
// the object our GNOME Shell extension exports.
#include "platform/syscheck/systemcheck.h"
#include "platform/session/desktopsession.h"
#include "platform/foreground/linux/desktopintegration.h"
#include "platform/foreground/linux/gnomeshellforegroundbackend.h"
#include "platform/foreground/linux/kwinforegroundbackend.h"

#include "ownprocess.h"
#include "privatebus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class KWinMock {
public:
    explicit KWinMock(PrivateBus &bus) : m_bus(bus) { }

    bool call(const QString &method, const QVariantList &args = {}, QVariantList *answer = nullptr)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"), QStringLiteral("org.kde.KWin.Mock"), method);
        message.setArguments(args);
        const QDBusMessage reply = m_bus.connection().call(message, QDBus::Block, 10000);
        if (answer)
            *answer = reply.arguments();
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    // The running script's callDBus with these arguments.
    bool report(const QString &signature, const QVariantList &args)
    {
        QVariantList wrapped;
        for (const QVariant &a : args)
            wrapped << QVariant::fromValue(QDBusVariant(a));
        return call(QStringLiteral("Report"),
                    {QStringLiteral("inkora-foreground"), signature, QVariant::fromValue(wrapped)});
    }

    QStringList loaded()
    {
        QVariantList answer;
        return call(QStringLiteral("Loaded"), {}, &answer) && answer.size() == 1 ? answer.at(0).toStringList()
                                                                                 : QStringList();
    }

private:
    PrivateBus &m_bus;
};

} // namespace

// Load and run, a report per kind of window and fault, a caller that is not KWin, a KWin
// restart, and the unload at the end. Every fault must drop the previous program's profile.
TEST(KWinForeground, ScriptReportsAndFaults)
{
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << bus.reason().toStdString();
    EXPECT_FALSE(KWinForegroundBackend::open(bus.connection())) << "no KWin on the bus yet";
    ASSERT_TRUE(
        bus.startTemplate(qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/tests/foreground/mockkwin.py"),
                          QStringLiteral("org.kde.KWin")))
        << bus.reason().toStdString();
    KWinMock kwin(bus);

    std::unique_ptr<KWinForegroundBackend> backend = KWinForegroundBackend::open(bus.connection());
    ASSERT_TRUE(backend);
    EXPECT_EQ(kwin.loaded(), QStringList{QStringLiteral("inkora-foreground")});
    EXPECT_TRUE(backend->current()->path.isEmpty());
    QSignalSpy changed(backend.get(), &KWinForegroundBackend::changed);

    const qint64 self = QCoreApplication::applicationPid();
    auto expectReport = [&](const QString &signature, const QVariantList &args, const QString &path) {
        const int before = changed.count();
        ASSERT_TRUE(kwin.report(signature, args));
        ASSERT_TRUE(changed.count() > before || changed.wait(10000)) << signature.toStdString();
        EXPECT_EQ(changed.count(), before + 1) << signature.toStdString();
        EXPECT_EQ(backend->current()->path, path) << signature.toStdString();
    };
    // KWin 6 hands the pid over as an integer, KWin 5 as a double.
    expectReport(QStringLiteral("is"), {int(self), QStringLiteral("org.kde.kate")}, OwnExecutable());
    EXPECT_EQ(backend->current()->windowClass, QStringLiteral("org.kde.kate"));
    expectReport(QStringLiteral("is"), {int(EndedPid()), QStringLiteral("gone")}, QString());
    expectReport(QStringLiteral("ds"), {double(self), QString()}, OwnExecutable());
    expectReport(QStringLiteral("ss"), {QStringLiteral("1234"), QStringLiteral("x")}, QString());
    expectReport(QStringLiteral("ds"), {double(self), QString()}, OwnExecutable());
    expectReport(QStringLiteral("ds"), {0.5, QString()}, QString());
    expectReport(QStringLiteral("is"), {int(self), QString()}, OwnExecutable());
    expectReport(QStringLiteral("is"), {0, QString()}, QString()); // a window without a pid

    // Another client cannot set the foreground program.
    expectReport(QStringLiteral("is"), {int(self), QString()}, OwnExecutable());
    {
        QDBusConnection stranger = QDBusConnection::connectToBus(bus.address(), QStringLiteral("stranger"));
        QDBusMessage call =
            QDBusMessage::createMethodCall(bus.connection().baseService(), QStringLiteral("/org/inkora/Foreground"),
                                           QStringLiteral("org.inkora.Foreground1"), QStringLiteral("WindowActivated"));
        call << QVariant::fromValue(QDBusVariant(0)) << QString();
        ASSERT_TRUE(stranger.send(call));
        // A round trip on the same connection: the call is with the bus before KWin's next report.
        stranger.interface()->isServiceRegistered(QStringLiteral("org.kde.KWin"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
    expectReport(QStringLiteral("is"), {int(self), QStringLiteral("after")}, OwnExecutable());
    EXPECT_EQ(backend->current()->windowClass, QStringLiteral("after")) << "the stranger's report was taken";

    // A restart drops the profile; the script is loaded again into the new KWin.
    int before = changed.count();
    ASSERT_TRUE(kwin.call(QStringLiteral("Restart")));
    while (kwin.loaded().isEmpty() && changed.wait(10000)) { }
    EXPECT_GT(changed.count(), before);
    EXPECT_TRUE(backend->current()->path.isEmpty());
    ASSERT_EQ(kwin.loaded(), QStringList{QStringLiteral("inkora-foreground")});
    expectReport(QStringLiteral("is"), {int(self), QString()}, OwnExecutable());

    backend.reset();
    EXPECT_TRUE(kwin.loaded().isEmpty()) << "the script stays in KWin after the end";
}

// The extension appearing after Inkora, its properties read then, its signal followed,
// a focus on an ended process, garbage in the signal, and the extension switched off
// and on again. Every fault must drop the previous program's profile.
TEST(GnomeShellForeground, ExtensionFocusAndFaults)
{
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << bus.reason().toStdString();
    std::unique_ptr<GnomeShellForegroundBackend> backend = GnomeShellForegroundBackend::open(bus.connection());
    ASSERT_TRUE(backend);
    EXPECT_FALSE(backend->extensionPresent());
    EXPECT_TRUE(backend->current()->path.isEmpty());
    QSignalSpy changed(backend.get(), &GnomeShellForegroundBackend::changed);
    auto waitFor = [&](const QString &path) {
        while (backend->current()->path != path && changed.wait(10000)) { }
        return backend->current()->path == path;
    };

    const QString service = QString::fromLatin1(GnomeShellForegroundBackend::kServiceName);
    QProcessEnvironment wayland;
    wayland.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    EXPECT_FALSE(QueryDesktopIntegration(bus.connection(), wayland).extensionRunning);
    ASSERT_TRUE(bus.startTemplate(
        qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/tests/foreground/mockshellextension.py"), service))
        << bus.reason().toStdString();
    const uint mockPid = bus.connection().interface()->servicePid(service).value();
    EXPECT_TRUE(waitFor(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(mockPid))))
        << "the properties were not read";
    EXPECT_TRUE(backend->extensionPresent());
    const DesktopIntegration desktop = QueryDesktopIntegration(bus.connection(), wayland);
    EXPECT_TRUE(desktop.extensionRunning);
    EXPECT_FALSE(desktop.trayHost);

    auto focus = [&](qint64 pid, const QString &windowClass) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, QStringLiteral("/org/inkora/Foreground"),
                                           QStringLiteral("org.inkora.ShellForeground.Mock"), QStringLiteral("Focus"));
        call << int(pid) << windowClass;
        return bus.connection().call(call, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
    };
    const qint64 self = QCoreApplication::applicationPid();
    ASSERT_TRUE(focus(self, QStringLiteral("org.gnome.Console")));
    ASSERT_TRUE(waitFor(OwnExecutable()));
    EXPECT_EQ(backend->current()->windowClass, QStringLiteral("org.gnome.Console"));
    ASSERT_TRUE(focus(EndedPid(), QStringLiteral("gone")));
    EXPECT_TRUE(waitFor(QString()));

    ASSERT_TRUE(focus(self, QString()));
    ASSERT_TRUE(waitFor(OwnExecutable()));
    ASSERT_TRUE(bus.emitSignal(service, QStringLiteral("/org/inkora/Foreground"),
                               QStringLiteral("org.inkora.ShellForeground1"), QStringLiteral("FocusChanged"),
                               QStringLiteral("s"), {QStringLiteral("garbage")}));
    EXPECT_TRUE(waitFor(QString()));

    ASSERT_TRUE(focus(self, QString()));
    ASSERT_TRUE(waitFor(OwnExecutable()));
    // Disable and Enable go to the mock's own connection: the name is away between them.
    const QString owner = bus.connection().interface()->serviceOwner(service).value();
    auto mock = [&](const QString &method) {
        const QDBusMessage call = QDBusMessage::createMethodCall(
            owner, QStringLiteral("/org/inkora/Foreground"), QStringLiteral("org.inkora.ShellForeground.Mock"), method);
        return bus.connection().call(call, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
    };
    ASSERT_TRUE(mock(QStringLiteral("Disable")));
    EXPECT_TRUE(waitFor(QString()));
    while (backend->extensionPresent() && changed.wait(10000)) { }
    EXPECT_FALSE(backend->extensionPresent());
    ASSERT_TRUE(mock(QStringLiteral("Enable")));
    EXPECT_TRUE(waitFor(OwnExecutable())) << "the properties were not read again";
    EXPECT_TRUE(backend->extensionPresent());
}

// The lines doctor prints: the enable command names the extension of the running shell.
TEST(DesktopIntegration, LinesSayWhatIsMissingAndWhatToDo)
{
    DesktopIntegration status;
    EXPECT_TRUE(DesktopIntegrationLines(status).isEmpty()) << "outside Wayland";
    status.wayland = status.gnomeShell = true;
    status.extensionUuid = GnomeShellForegroundBackend::ExtensionUuid(43);
    const QString lines = DesktopIntegrationLines(status).join(QLatin1Char('\n'));
    EXPECT_TRUE(lines.contains(QStringLiteral("gnome-extensions enable inkora-foreground-43@inkora")))
        << lines.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("Tray: no StatusNotifierItem host"))) << lines.toStdString();
    EXPECT_EQ(GnomeShellForegroundBackend::ExtensionUuid(46), QStringLiteral("inkora-foreground@inkora"));

    // doctor's lines: a GNOME session without the extension warns with the command; no
    // XWayland fails; sway with its socket is fine.
    DesktopSession gnome;
    gnome.type = SessionType::Wayland;
    gnome.compositor = Compositor::GnomeShell;
    auto finding = [](const QVector<CheckLine> &found, const QString &id) {
        for (const CheckLine &line : found)
            if (line.id == id)
                return line;
        return CheckLine{};
    };
    QVector<CheckLine> found = WaylandSessionLines(gnome, status);
    EXPECT_EQ(finding(found, QStringLiteral("foreground")).level, CheckLevel::Warn);
    EXPECT_TRUE(finding(found, QStringLiteral("foreground")).fix.contains(QStringLiteral("gnome-extensions enable")));
    EXPECT_EQ(finding(found, QStringLiteral("xwayland")).level, CheckLevel::Fail);
    DesktopSession sway = gnome;
    sway.compositor = Compositor::Sway;
    sway.swaySocket = "/run/user/1000/sway-ipc.sock";
    sway.x11Display = ":1";
    status.trayHost = true;
    found = WaylandSessionLines(sway, status);
    for (const CheckLine &line : found)
        EXPECT_EQ(line.level, CheckLevel::Ok) << line.id.toStdString() << ": " << line.text.toStdString();
}
