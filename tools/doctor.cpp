#include "tools/doctor.h"

#include "base/systemcheckplaces.h"

#include <cstdio>

const char kDoctorHelp[] = R"(usage: inkora-hidtool doctor [--json]

Checks the system around the tablets and prints one line per finding, OK, WARN or
FAIL, with what to do: the udev rules; for each of the maker's interfaces access to
its hidraw node, its USB device and its event nodes, the kernel driver bound to it and
other programs holding it; /dev/uinput; the desktop session (X11 or Wayland, XTest,
RandR, foreground tracking, tray); whether Inkora runs and the last warnings of its log.

  --json    the findings as one JSON object, for bug reports

Exit status: 0 when nothing fails, 1 when a check fails.
)";

int DoctorCommand(const QStringList &args)
{
    bool json = false;
    for (const QString &a : args) {
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kDoctorHelp, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "doctor: unknown option %s\n", qPrintable(a));
            std::fputs(kDoctorHelp, stderr);
            return 2;
        }
    }
    const QVector<CheckLine> lines = RunFullSystemCheck(UserSystemCheckPlaces());
    const QByteArray out = json ? CheckLinesJson(lines) : FormatCheckLines(lines).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    return AnyCheckFailed(lines) ? 1 : 0;
}
