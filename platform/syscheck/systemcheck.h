#pragma once
// The system around the tablets, checked the way support would: udev rules, access to
// each of the maker's interfaces (hidraw, USB, event nodes), the kernel driver bound to
// it, other programs holding its nodes, /dev/uinput, the desktop session and whether
// Inkora runs. Each finding is one line, OK / WARN / FAIL, with what to do about it.
//
// Everything the checks read is named in SystemCheckPlaces, so tests point them at an
// emulated system. The checks open device nodes and talk to the X server: run them off
// the GUI thread.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

class HidrawSystem;

enum class CheckLevel { Ok, Warn, Fail };

struct CheckLine {
    QString id; // stable key: "udev-rules", "hidraw-access", "uinput" ...
    CheckLevel level = CheckLevel::Ok;
    QString subject; // what was checked ("/dev/hidraw3", "udev rules")
    QString text;    // the finding
    QString fix;     // what to do; empty when nothing is needed
};

struct SystemCheckPlaces {
    QStringList rulesDirs{QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
                          QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")};
    QString rulesName = QStringLiteral("70-inkora.rules");
    QByteArray expectedRules; // the rules this build installs
    QString uinputPath = QStringLiteral("/dev/uinput");
    QString procRoot = QStringLiteral("/proc");
    QString instanceEndpoint; // Inkora's single-instance socket
    QString logPath;          // Inkora's log file
    uint16_t vendorId = 0x28BD;
};

// The rules text of this build (packaging/70-inkora.rules).
QByteArray InstalledRulesTemplate();

// Every check but the session's, in a fixed order.
QVector<CheckLine> RunSystemCheck(const SystemCheckPlaces &places, HidrawSystem &system);
// The same on this machine's udev and sysfs, followed by the session's lines.
QVector<CheckLine> RunFullSystemCheck(const SystemCheckPlaces &places);

// The desktop session: X11 or Wayland, XTest and RandR, foreground tracking and a tray
// host. The Wayland sources fill in their own lines here as they come.
QVector<CheckLine> SessionCheckLines();
// The Wayland part of it, from what the session and its bus tell.
struct DesktopSession;
struct DesktopIntegration;
QVector<CheckLine> WaylandSessionLines(const DesktopSession &session, const DesktopIntegration &desktop);

// Programs other than this one holding any of the nodes open: "pid (name)" each.
QStringList NodeHolders(const QString &procRoot, const QStringList &nodes);

// "[ OK ] subject: text" lines, each with its fix below it.
QString FormatCheckLines(const QVector<CheckLine> &lines);
// {"checks":[{"id","level","subject","text","fix"}...],"failed":bool}
QByteArray CheckLinesJson(const QVector<CheckLine> &lines);
bool AnyCheckFailed(const QVector<CheckLine> &lines);
QString CheckLevelText(CheckLevel level); // "OK", "WARN", "FAIL"
