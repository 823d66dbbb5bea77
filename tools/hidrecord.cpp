#include "tools/hidrecord.h"

#include "sim/simtablet.h"
#include "tools/hidtoolbackend.h"

#include <QElapsedTimer>

#include <climits>
#include <csignal>
#include <cstdio>
#include <memory>

const char kHidRecordHelp[] = R"(usage: inkora-hidtool record PATH [--count N] [--seconds S]
                              [--simulate[=LIST]]

Prints the input reports of one interface as hid-recorder text until Ctrl-C, the
device's removal, N reports or S seconds:
  # <interface text>
  N: <product>
  I: <bus> <vid> <pid>                 (hex)
  E: <sec>.<usec> <len> <hex bytes>    one report, time since the start
PATH is an interface text as `list` prints it, or its node ("hidraw3", "sim0").
While recording, the kernel's own input nodes of the device are grabbed, so the pen
does not move the pointer. With --simulate the simulated tablet draws one short
stroke, presses its first key, and is unplugged once that has played out.

Exit codes: 0 recorded (whatever ended it), 1 not present or cannot be opened,
2 bad command line.
)";

namespace {

// The longest input report of the tablets.
constexpr int kReportSize = 64;
// The bounded read: how long one wait for a report lasts.
constexpr int kReadTimeoutMs = 100;

std::atomic<bool> g_interrupted{false};

void OnSignal(int)
{
    g_interrupted = true;
}

bool ParseCount(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v <= 0)
        return false;
    *value = v;
    return true;
}

} // namespace

RecordEnd RecordReports(HidDevice &device, const HidDeviceInfo &info, const RecordOptions &o,
                        const std::atomic<bool> &stop, const std::function<void(const QByteArray &)> &out,
                        const std::function<void()> &onIdle)
{
    out("# " + info.path.toUtf8());
    if (!info.product.isEmpty())
        out("N: " + info.product.toUtf8());
    out(QStringLiteral("I: %1 %2 %3")
            .arg(info.bus, 0, 16)
            .arg(info.vendorId, 4, 16, QLatin1Char('0'))
            .arg(info.productId, 4, 16, QLatin1Char('0'))
            .toLatin1());

    QElapsedTimer clock;
    clock.start();
    uint8_t buffer[kReportSize];
    int recorded = 0;
    for (;;) {
        if (stop.load())
            return RecordEnd::Stopped;
        if (o.count > 0 && recorded >= o.count)
            return RecordEnd::Count;
        if (o.seconds > 0 && clock.elapsed() >= qint64(o.seconds) * 1000)
            return RecordEnd::Time;
        const int n = device.readTimeout(buffer, kReportSize, kReadTimeoutMs);
        if (n < 0)
            return RecordEnd::DeviceGone;
        if (n == 0) {
            if (onIdle)
                onIdle();
            continue;
        }
        const qint64 us = clock.nsecsElapsed() / 1000;
        QByteArray line = QByteArrayLiteral("E: ");
        line += QByteArray::number(us / 1000000).rightJustified(6, '0') + '.'
                + QByteArray::number(us % 1000000).rightJustified(6, '0');
        line += ' ' + QByteArray::number(n) + ' ';
        line += QByteArray(reinterpret_cast<const char *>(buffer), n).toHex(' ');
        out(line);
        ++recorded;
    }
}

int HidRecordCommand(QStringList args)
{
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kHidRecordHelp, stdout);
        return 0;
    }
    HidToolBackend tool;
    QString error;
    if (!tool.setUp(&args, &error)) {
        std::fprintf(stderr, "record: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    RecordOptions o;
    QString path;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        int *target = a == QLatin1String("--count") ? &o.count
                    : a == QLatin1String("--seconds") ? &o.seconds : nullptr;
        if (target) {
            if (i + 1 >= args.size() || !ParseCount(args.at(i + 1), target)) {
                std::fprintf(stderr, "record: %s needs a number in 1..%d\n", a.toLocal8Bit().constData(), INT_MAX);
                return 2;
            }
            ++i;
        } else if (a.startsWith(QLatin1String("--")) || !path.isEmpty()) {
            std::fputs(kHidRecordHelp, stderr);
            return 2;
        } else {
            path = a;
        }
    }
    if (path.isEmpty()) {
        std::fputs(kHidRecordHelp, stderr);
        return 2;
    }

    const QString resolved = ResolveInterfacePath(tool.backend(), path);
    HidDeviceInfo info;
    for (const HidDeviceInfo &i : tool.backend().enumerate(0)) {
        if (i.path == resolved)
            info = i;
    }
    std::unique_ptr<HidDevice> device = resolved.isEmpty() ? nullptr : tool.backend().open(resolved);
    if (!device) {
        std::fprintf(stderr, "record: %s: %s\n", path.toLocal8Bit().constData(),
                     resolved.isEmpty() ? "no such interface present" : "cannot open");
        return 1;
    }

    // A simulated tablet plays a short script, then leaves as a tablet that is unplugged.
    std::function<void()> onIdle;
    if (std::shared_ptr<SimTablet> sim = tool.simTablet(resolved)) {
        const SimModel &m = sim->model();
        sim->queueStroke(m.maxX / 4, m.maxY / 4, m.maxX / 2, m.maxY / 2, 4, m.maxPressure / 2);
        sim->queueKeys(0x1);
        sim->queueKeys(0x0);
        onIdle = [&tool, sim] {
            if (sim->pendingReports() == 0)
                tool.unplug(sim);
        };
    }

    g_interrupted = false;
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const RecordEnd end = RecordReports(*device, info, o, g_interrupted, [](const QByteArray &line) {
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout); // a recording that is piped on must not wait for the end
    }, onIdle);
    if (end == RecordEnd::DeviceGone)
        std::fprintf(stderr, "record: the device went away\n");
    return 0;
}
