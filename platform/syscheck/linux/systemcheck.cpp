#include "platform/syscheck/systemcheck.h"

#include "platform/hid/linux/hidrawfacts.h"
#include "platform/hid/linux/hidrawsystem.h"
#include "platform/hid/linux/linuxhidrawsystem.h"
#include "platform/syscheck/udevrules.h"
#include "platform/foreground/linux/desktopintegration.h"
#include "platform/session/desktopsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kRulesFix[] = "install the udev rules (sudo cp packaging/70-inkora.rules /etc/udev/rules.d/ && "
                         "sudo udevadm control --reload-rules), then unplug and replug the tablet";
// How many of the log's last warnings the check shows.
constexpr int kLogWarnings = 5;

CheckLine Line(const char *id, CheckLevel level, const QString &subject, const QString &text,
               const QString &fix = QString())
{
    return CheckLine{QString::fromLatin1(id), level, subject, text, fix};
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Opens a node as the backends do and closes it again: 0 or the errno.
int TryOpen(const QString &node, int flags)
{
    const int fd = ::open(QFile::encodeName(node).constData(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

// Rules compare without comments and blank lines: only what udev acts on counts.
QByteArray RuleLines(const QByteArray &text)
{
    QByteArray out;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (!line.isEmpty() && !line.startsWith('#'))
            out += line + '\n';
    }
    return out;
}

CheckLine RulesLine(const SystemCheckPlaces &p)
{
    for (const QString &dir : p.rulesDirs) {
        QFile file(dir + QLatin1Char('/') + p.rulesName);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly))
            return Line("udev-rules", CheckLevel::Warn, file.fileName(), QStringLiteral("installed but unreadable"));
        if (RuleLines(file.readAll()) != RuleLines(p.expectedRules))
            return Line("udev-rules", CheckLevel::Warn, file.fileName(),
                        QStringLiteral("installed, but not the rules of this version"), QString::fromLatin1(kRulesFix));
        return Line("udev-rules", CheckLevel::Ok, file.fileName(), QStringLiteral("installed and current"));
    }
    return Line("udev-rules", CheckLevel::Fail, QStringLiteral("udev rules"),
                QStringLiteral("%1 is not installed: only root can open the tablets").arg(p.rulesName),
                QString::fromLatin1(kRulesFix));
}

QString Holders(const QStringList &holders)
{
    return holders.isEmpty() ? QString() : QStringLiteral(" (held open by %1)").arg(holders.join(QStringLiteral(", ")));
}

// The checks of one hidraw interface of the maker.
void InterfaceLines(const SystemCheckPlaces &p, const HidrawFacts &f, QVector<CheckLine> *out)
{
    // hidraw: read for the reports, write for the commands.
    const int hidraw = TryOpen(f.devnode, O_RDWR);
    if (hidraw == 0)
        *out << Line("hidraw-access", CheckLevel::Ok, f.devnode, QStringLiteral("readable and writable"));
    else
        *out << Line("hidraw-access", CheckLevel::Fail, f.devnode,
                     QStringLiteral("cannot be opened: %1").arg(ErrorText(hidraw)),
                     hidraw == EACCES || hidraw == EPERM ? QString::fromLatin1(kRulesFix) : QString());

    // The USB device: the firmware's indexed strings come through control transfers on it.
    if (f.bus == kBusUsb && f.usbBusnum >= 0 && f.usbDevnum >= 0) {
        const QString usb = QStringLiteral("/dev/bus/usb/%1/%2")
                                .arg(f.usbBusnum, 3, 10, QLatin1Char('0'))
                                .arg(f.usbDevnum, 3, 10, QLatin1Char('0'));
        const int e = TryOpen(usb, O_RDWR);
        if (e == 0)
            *out << Line("usb-access", CheckLevel::Ok, usb, QStringLiteral("readable (string descriptors)"));
        else
            *out << Line("usb-access", CheckLevel::Warn, usb,
                         QStringLiteral("cannot be opened: %1; the firmware strings cannot be read").arg(ErrorText(e)),
                         QString::fromLatin1(kRulesFix));
    }

    // The kernel's event nodes: grabbed so the pen does not move the pointer twice.
    for (const QString &node : f.eventNodes) {
        const int fd = ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int e = errno;
            *out << Line("event-grab", CheckLevel::Warn, node,
                         QStringLiteral("cannot be opened: %1; the kernel's own pointer will move with the pen too")
                             .arg(ErrorText(e)),
                         QString::fromLatin1(kRulesFix));
            continue;
        }
        if (::ioctl(fd, EVIOCGRAB, 1) == 0) {
            ::ioctl(fd, EVIOCGRAB, 0);
            *out << Line("event-grab", CheckLevel::Ok, node, QStringLiteral("can be grabbed"));
        } else {
            const int e = errno;
            const QStringList holders = NodeHolders(p.procRoot, {node});
            *out << Line("event-grab", CheckLevel::Warn, node,
                         QStringLiteral("cannot be grabbed: %1%2").arg(ErrorText(e), Holders(holders)),
                         e == EBUSY ? QStringLiteral("another program (another tablet driver, or a second Inkora) has "
                                                     "the tablet: quit it")
                                    : QString());
        }
        ::close(fd);
    }

    // The kernel driver of the hid device. The generic one passes the reports on as the
    // device sends them; a model-specific one may switch the tablet's mode.
    const QString driver = f.driver;
    const QString hidName = QFileInfo(f.hidSyspath).fileName();
    if (driver.isEmpty())
        *out << Line("kernel-driver", CheckLevel::Warn, hidName, QStringLiteral("no kernel driver bound"));
    else if (driver == QLatin1String("hid-generic"))
        *out << Line("kernel-driver", CheckLevel::Ok, hidName, QStringLiteral("bound to hid-generic"));
    else
        *out << Line("kernel-driver", CheckLevel::Warn, hidName,
                     QStringLiteral("bound to the kernel driver %1, which may switch the tablet's mode and change "
                                    "the reports Inkora reads")
                         .arg(driver),
                     QStringLiteral("unbind it (echo -n %1 | sudo tee /sys/bus/hid/drivers/%2/unbind) or blacklist "
                                    "its module, then replug")
                         .arg(hidName, driver));

    // Other programs reading the same reports (or sending the tablet commands).
    const QStringList holders = NodeHolders(p.procRoot, QStringList{f.devnode} + f.eventNodes);
    QStringList others;
    for (const QString &h : holders) {
        if (!h.contains(QLatin1String("(Inkora)")))
            others << h;
    }
    if (!others.isEmpty())
        *out << Line("node-holders", CheckLevel::Warn, f.devnode,
                     QStringLiteral("also open in %1").arg(others.join(QStringLiteral(", "))),
                     QStringLiteral("quit the other tablet program"));
}

CheckLine UinputLine(const SystemCheckPlaces &p)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(p.uinputPath).constData(), &st) != 0)
        return Line("uinput", CheckLevel::Fail, p.uinputPath,
                    QStringLiteral("missing: the uinput module is not loaded, so there is no virtual pen or mouse"),
                    QStringLiteral("sudo modprobe uinput; to load it at every start: "
                                   "echo uinput | sudo tee /etc/modules-load.d/uinput.conf"));
    const int e = TryOpen(p.uinputPath, O_WRONLY);
    if (e != 0)
        return Line("uinput", CheckLevel::Fail, p.uinputPath, QStringLiteral("cannot be opened: %1").arg(ErrorText(e)),
                    QString::fromLatin1(kRulesFix));
    return Line("uinput", CheckLevel::Ok, p.uinputPath, QStringLiteral("present and writable"));
}

void InkoraLines(const SystemCheckPlaces &p, QVector<CheckLine> *out)
{
    if (!p.instanceEndpoint.isEmpty()) {
        QLocalSocket socket;
        socket.connectToServer(p.instanceEndpoint);
        const bool running = socket.waitForConnected(500);
        socket.abort();
        *out << Line("inkora-running", running ? CheckLevel::Ok : CheckLevel::Warn, QStringLiteral("Inkora"),
                     running ? QStringLiteral("running") : QStringLiteral("not running"),
                     running ? QString() : QStringLiteral("start Inkora"));
    }
    if (p.logPath.isEmpty())
        return;
    QFile log(p.logPath);
    QStringList warnings;
    if (!log.exists()) {
        *out << Line("log-warnings", CheckLevel::Ok, p.logPath, QStringLiteral("no log yet"));
        return;
    }
    if (log.open(QIODevice::ReadOnly)) {
        // The tail is enough: the log rotates at a few megabytes.
        if (log.size() > 256 * 1024)
            log.seek(log.size() - 256 * 1024);
        for (const QByteArray &line : log.readAll().split('\n')) {
            if (line.contains(" Warning:") || line.contains(" Critical:") || line.contains(" Fatal:"))
                warnings << QString::fromUtf8(line.trimmed());
        }
    }
    warnings = warnings.mid(qMax(0, warnings.size() - kLogWarnings));
    *out << Line("log-warnings", warnings.isEmpty() ? CheckLevel::Ok : CheckLevel::Warn, p.logPath,
                 warnings.isEmpty()
                     ? QStringLiteral("no warnings")
                     : QStringLiteral("last warnings:\n  %1").arg(warnings.join(QStringLiteral("\n  "))));
}

} // namespace

QByteArray InstalledRulesTemplate()
{
    return QByteArray(kInkoraUdevRules);
}

QStringList NodeHolders(const QString &procRoot, const QStringList &nodes)
{
    QStringList holders;
    const QString self = QString::number(::getpid());
    const QStringList pids = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric || pid == self)
            continue;
        const QString fdDir = procRoot + QLatin1Char('/') + pid + QStringLiteral("/fd");
        // Another user's descriptors are not listed to us: those programs stay unnamed.
        const QFileInfoList fds = QDir(fdDir).entryInfoList(QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &fd : fds) {
            if (!nodes.contains(fd.symLinkTarget()))
                continue;
            QFile comm(procRoot + QLatin1Char('/') + pid + QStringLiteral("/comm"));
            const QString name =
                comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll().trimmed()) : QString();
            holders << QStringLiteral("%1 (%2)").arg(pid, name);
            break;
        }
    }
    return holders;
}

QVector<CheckLine> RunSystemCheck(const SystemCheckPlaces &p, HidrawSystem &system)
{
    QVector<CheckLine> lines;
    lines << RulesLine(p);
    int found = 0;
    for (const HidrawTree &tree : system.hidrawNodes()) {
        HidrawFacts facts;
        QString why;
        if (!ParseHidrawTree(tree, &facts, &why) || facts.vendorId != p.vendorId)
            continue;
        ++found;
        InterfaceLines(p, facts, &lines);
    }
    if (found == 0)
        lines << Line("tablets", CheckLevel::Warn, QStringLiteral("tablets"),
                      QStringLiteral("no tablet interface found"),
                      QStringLiteral("plug the tablet in (USB) or pair it (Bluetooth); lsusb should list it"));
    else
        lines << Line("tablets", CheckLevel::Ok, QStringLiteral("tablets"),
                      QStringLiteral("%1 interface(s) of the maker found").arg(found));
    lines << UinputLine(p);
    InkoraLines(p, &lines);
    return lines;
}

QVector<CheckLine> RunFullSystemCheck(const SystemCheckPlaces &places)
{
    LinuxHidrawSystem system;
    return RunSystemCheck(places, system) + SessionCheckLines();
}

QVector<CheckLine> SessionCheckLines()
{
    QVector<CheckLine> lines;
    const QByteArray type = qgetenv("XDG_SESSION_TYPE");
    const bool wayland = type == "wayland" || (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && type != "x11");
    if (wayland)
        return WaylandSessionLines(DetectDesktopSession(), QueryDesktopIntegration());
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        lines << Line("session", CheckLevel::Fail, QStringLiteral("session"),
                      QStringLiteral("no X display (DISPLAY=\"%1\")").arg(QString::fromLocal8Bit(qgetenv("DISPLAY"))),
                      QStringLiteral("run from a desktop session"));
        return lines;
    }
    lines << Line("session", CheckLevel::Ok, QStringLiteral("session"),
                  QStringLiteral("X11 (%1)").arg(QString::fromLocal8Bit(DisplayString(display))));
    int op = 0, event = 0, error = 0;
    for (const char *ext : {"XTEST", "RANDR"}) {
        const bool present = XQueryExtension(display, ext, &op, &event, &error);
        lines << Line(ext[0] == 'X' ? "xtest" : "randr", present ? CheckLevel::Ok : CheckLevel::Fail,
                      QString::fromLatin1(ext), present ? QStringLiteral("present") : QStringLiteral("missing"),
                      present ? QString()
                              : (ext[0] == 'X' ? QStringLiteral("keys and mouse buttons cannot be sent")
                                               : QStringLiteral("screens cannot be mapped")));
    }
    // Foreground tracking reads the window manager's _NET_ACTIVE_WINDOW.
    Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", True);
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    const bool tracked = active != None
        && XGetWindowProperty(display, DefaultRootWindow(display), active, 0, 1, False, AnyPropertyType, &actual,
                              &format, &count, &after, &data)
            == Success
        && actual != None;
    if (data)
        XFree(data);
    lines << Line("foreground", tracked ? CheckLevel::Ok : CheckLevel::Warn, QStringLiteral("foreground"),
                  tracked
                      ? QStringLiteral("the window manager names the active window")
                      : QStringLiteral("no _NET_ACTIVE_WINDOW: per-program settings cannot follow the active program"));
    const QByteArray tray = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(display));
    const Atom trayAtom = XInternAtom(display, tray.constData(), False);
    const bool hasTray = XGetSelectionOwner(display, trayAtom) != None;
    lines << Line(
        "tray", hasTray ? CheckLevel::Ok : CheckLevel::Warn, QStringLiteral("tray"),
        hasTray ? QStringLiteral("a tray host is present") : QStringLiteral("no tray host: Inkora has no tray icon"),
        hasTray ? QString() : QStringLiteral("open the settings with Inkora --show, or add a tray to the panel"));
    XCloseDisplay(display);
    return lines;
}

QString CheckLevelText(CheckLevel level)
{
    switch (level) {
    case CheckLevel::Ok: return QStringLiteral("OK");
    case CheckLevel::Warn: return QStringLiteral("WARN");
    case CheckLevel::Fail: return QStringLiteral("FAIL");
    }
    return QString();
}

QString FormatCheckLines(const QVector<CheckLine> &lines)
{
    QString out;
    for (const CheckLine &l : lines) {
        out += QStringLiteral("[%1] %2: %3\n").arg(CheckLevelText(l.level).leftJustified(4), l.subject, l.text);
        if (!l.fix.isEmpty())
            out += QStringLiteral("       fix: %1\n").arg(l.fix);
    }
    return out;
}

QByteArray CheckLinesJson(const QVector<CheckLine> &lines)
{
    QJsonArray checks;
    for (const CheckLine &l : lines)
        checks.append(QJsonObject{{QStringLiteral("id"), l.id},
                                  {QStringLiteral("level"), CheckLevelText(l.level)},
                                  {QStringLiteral("subject"), l.subject},
                                  {QStringLiteral("text"), l.text},
                                  {QStringLiteral("fix"), l.fix}});
    return QJsonDocument(
               QJsonObject{{QStringLiteral("checks"), checks}, {QStringLiteral("failed"), AnyCheckFailed(lines)}})
        .toJson(QJsonDocument::Indented);
}

bool AnyCheckFailed(const QVector<CheckLine> &lines)
{
    for (const CheckLine &l : lines) {
        if (l.level == CheckLevel::Fail)
            return true;
    }
    return false;
}

QVector<CheckLine> WaylandSessionLines(const DesktopSession &session, const DesktopIntegration &desktop)
{
    QVector<CheckLine> lines;
    lines << Line("session", CheckLevel::Ok, QStringLiteral("session"),
                  QStringLiteral("Wayland, compositor %1").arg(CompositorName(session)));
    // Our own windows place themselves on the desktop, which only XWayland allows.
    lines << Line("xwayland", session.hasX11() ? CheckLevel::Ok : CheckLevel::Fail, QStringLiteral("XWayland"),
                  session.hasX11() ? QStringLiteral("present (DISPLAY=%1)").arg(QString::fromLocal8Bit(session.x11Display))
                                   : QStringLiteral("missing: the settings, area and caption windows cannot open"),
                  session.hasX11() ? QString() : QStringLiteral("install and enable XWayland for this compositor"));
    CheckLevel level = CheckLevel::Ok;
    QString text;
    QString fix;
    switch (session.compositor) {
    case Compositor::Sway:
        text = session.swaySocket.isEmpty() ? QString() : QStringLiteral("sway IPC (%1)").arg(QString::fromLocal8Bit(session.swaySocket));
        break;
    case Compositor::Hyprland:
        text = session.hyprlandSignature.isEmpty() ? QString() : QStringLiteral("Hyprland IPC");
        break;
    case Compositor::KWin:
        text = desktop.kwin ? QStringLiteral("a KWin script reports the active window") : QString();
        break;
    case Compositor::GnomeShell:
        if (desktop.extensionRunning) {
            text = QStringLiteral("GNOME Shell extension %1 running").arg(desktop.extensionUuid);
        } else {
            level = CheckLevel::Warn;
            text = QStringLiteral("GNOME Shell extension %1 not enabled: every program gets the common profile")
                       .arg(desktop.extensionUuid);
            fix = QStringLiteral("gnome-extensions enable %1 (log out and in first if it was installed during this "
                                 "session)")
                      .arg(desktop.extensionUuid);
        }
        break;
    case Compositor::OtherWayland:
        text = QStringLiteral("the compositor's foreign toplevel list, if it offers one (see the log)");
        break;
    default: break; // not Wayland (X11 defines None)
    }
    if (text.isEmpty()) {
        level = CheckLevel::Warn;
        text = QStringLiteral("no source of the focused window: every program gets the common profile");
        fix = QStringLiteral("start Inkora from inside the desktop session");
    }
    lines << Line("foreground", level, QStringLiteral("foreground"), text, fix);
    lines << Line("tray", desktop.trayHost ? CheckLevel::Ok : CheckLevel::Warn, QStringLiteral("tray"),
                  desktop.trayHost ? QStringLiteral("a StatusNotifierItem host is present")
                                   : QStringLiteral("no StatusNotifierItem host: Inkora has no tray icon"),
                  desktop.trayHost ? QString()
                                   : (desktop.gnomeShell ? QStringLiteral("open Inkora from the applications menu, or "
                                                                          "add an AppIndicator extension")
                                                         : QStringLiteral("open Inkora from the applications menu")));
    return lines;
}
