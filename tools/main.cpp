// inkora-hidtool: the support tool that users and tests share.
#include "tools/doctor.h"
#include "tools/hidlist.h"
#include "tools/hidrecord.h"
#include "tools/profiledump.h"
#include "tools/replay.h"
#include "tools/simulatecommand.h"
#include "tools/wintab.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char kUsage[] = R"(usage: inkora-hidtool COMMAND [options]

commands:
  list          the maker's interfaces present and the model entry each matches
  info PATH     identity, geometry and capability block of one interface
  record PATH   input reports of one interface as hid-recorder text
                (list, info and record take --simulate[=LIST] to run on simulated
                tablets; each command has --help)
  replay FILE   decode a hid-recorder style recording through a tablet object and
                print one JSON object per event (see: inkora-hidtool replay --help)
  wintab        what the Wintab map holds, as JSON lines; --watch follows it
  profile dump --profile PATH --model KEY
                the model's profile as loaded from a profile file, as JSON
  doctor [--json]
                checks the system around the tablets (udev rules, access, kernel
                drivers, uinput, session) and says what to fix; exit 1 on a failure
  simulate COMMAND...
                one command to the simulated tablets of a running Inkora --simulate
                (keys, stroke, pen, plug, unplug, mode...; see simulate --help)
)";

int Usage(FILE *to, int code)
{
    std::fputs(kUsage, to);
    return code;
}

// Decimal or 0x-hex, within [low, high].
bool ParseNumber(const QString &text, long low, long high, int *value)
{
    bool ok = false;
    const int base = text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive) ? 16 : 10;
    const QString digits = base == 16 ? text.mid(2) : text;
    const long v = digits.toLong(&ok, base);
    if (!ok || v < low || v > high)
        return false;
    *value = int(v);
    return true;
}

int Replay(const QStringList &args)
{
    ReplayOptions o;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kReplayHelp, stdout);
            return 0;
        }
        // Each number option with the values it takes.
        static const struct {
            const char *name;
            long low;
            long high;
        } kNumbers[] = {
            {"--pid", 0, 0xFFFF},          {"--max-x", 1, 0xFFFFFF},     {"--max-y", 1, 0xFFFFFF},
            {"--max-pressure", 1, 0xFFFF}, {"--resolution", 1, 0xFFFF},  {"--foreground-pid", 0, 0x7FFFFFFF},
            {"--orientation", 0, 3},
        };
        int *targets[] = {&o.productId, &o.maxX, &o.maxY, &o.maxPressure, &o.resolution, &o.foregroundPid,
                          &o.orientation};
        int *target = nullptr;
        long low = 0;
        long high = 0;
        for (size_t n = 0; n < sizeof kNumbers / sizeof kNumbers[0]; ++n) {
            if (a == QLatin1String(kNumbers[n].name)) {
                target = targets[n];
                low = kNumbers[n].low;
                high = kNumbers[n].high;
            }
        }
        QString *text = nullptr;
        if (a == QLatin1String("--profile")) text = &o.profile;
        else if (a == QLatin1String("--screens")) text = &o.screens;
        else if (a == QLatin1String("--wintab-context")) text = &o.wintabContexts;
        else if (a == QLatin1String("--foreground")) text = &o.foreground;
        else if (a == QLatin1String("--foreground-class")) text = &o.foregroundClass;
        if (target || text) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "replay: %s needs a value\n", qPrintable(a));
                return 2;
            }
            const QString value = args.at(++i);
            if (text) {
                *text = value;
            } else if (!ParseNumber(value, low, high, target)) {
                std::fprintf(stderr, "replay: %s: \"%s\" is not a number in %ld..%ld\n", qPrintable(a),
                             qPrintable(value), low, high);
                return 2;
            }
        } else if (a.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "replay: unknown option %s\n", qPrintable(a));
            return 2;
        } else if (o.file.isEmpty()) {
            o.file = a;
        } else {
            std::fprintf(stderr, "replay: one recording at a time\n");
            return 2;
        }
    }
    if (o.file.isEmpty()) {
        std::fputs(kReplayHelp, stderr);
        return 2;
    }
    QString error;
    const int code = RunReplay(o, [](const QByteArray &line) {
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fputc('\n', stdout);
    }, &error);
    std::fflush(stdout);
    if (code != 0)
        std::fprintf(stderr, "replay: %s\n", qPrintable(error));
    return code;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return Usage(stderr, 2);
    const QString command = args.takeFirst();
    if (command == QLatin1String("wintab"))
        return WintabCommand(args);
    if (command == QLatin1String("replay"))
        return Replay(args);
    if (command == QLatin1String("profile"))
        return RunProfileCommand(args);
    if (command == QLatin1String("list"))
        return HidListCommand(args);
    if (command == QLatin1String("info"))
        return HidInfoCommand(args);
    if (command == QLatin1String("record"))
        return HidRecordCommand(args);
    if (command == QLatin1String("doctor"))
        return DoctorCommand(args);
    if (command == QLatin1String("simulate"))
        return SimulateCommand(args);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help"))
        return Usage(stdout, 0);
    std::fprintf(stderr, "inkora-hidtool: unknown command %s\n", qPrintable(command));
    return Usage(stderr, 2);
}
