#include "tools/wintab.h"

#include "base/paths.h"
#include "driverlink/cwintabmap.h"
#include "platform/ipc/ipcbackend.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "tools/jsonline.h"

#include <QVector>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

const char kWintabHelp[] = R"(usage: inkora-hidtool wintab [--watch] [--packets N]

Opens the Wintab map ("Local\\WINTAB_MAP_FILENAME", 88832 bytes, in the user's
runtime folder) read-only, as a Wintab application's side would, and prints one JSON
object per line:
  {"event":"map","counter":N,"left":..,"top":..,"right":..,"bottom":..,
   "xExtent":44800,"yExtent":29600,"pressureMax":8191}
      the header: packets written so far and the desktop rectangle
  {"event":"context","index":I,"open":0|1,"enabled":0|1,"wide":0|1,"options":..,
   "window":..,"ownerPid":..,"serial":..}
      each open context record (0..49)
  {"event":"packet","number":K,"entry":E,"context":..,"status":..,"time":..,
   "changed":..,"serial":..,"cursor":..,"buttons":..,"x":..,"y":..,"pressure":..,
   "azimuth":..,"altitude":..,"twist":..}
      the newest packets, oldest first; K counts every packet written, E = K mod 1000
--packets N   how many of the newest packets the first look prints (0..1000, default 16)
--watch       go on looking every 50 ms: new packets as they come, a context record
              whenever it changes (closed ones too), {"event":"lost","count":N} when
              more than the ring's 1000 packets came between two looks, and
              {"event":"reset"} when the map was made anew. Runs until interrupted.

Exit codes: 0 done, 1 the program is not running (no map, or one an earlier run left;
--watch follows such a map, as the program may start again), 2 bad command line.
)";

namespace {

bool SameContext(const WintabContext &a, const WintabContext &b)
{
    return a.open == b.open && a.enabled == b.enabled && a.wide == b.wide && a.options == b.options
        && a.window == b.window && a.ownerPid == b.ownerPid && a.serial == b.serial;
}

QByteArray ContextEvent(int index, const WintabContext &c)
{
    return JsonLine("context")
        .add("index", qint64(index))
        .add("open", qint64(c.open))
        .add("enabled", qint64(c.enabled))
        .add("wide", qint64(c.wide))
        .add("options", qint64(c.options))
        .add("window", qint64(c.window))
        .add("ownerPid", qint64(c.ownerPid))
        .add("serial", qint64(c.serial))
        .text();
}

QByteArray MapEvent(const uint8_t *map)
{
    return JsonLine("map")
        .add("counter", qint64(WintabLayout::ReadCounter(map)))
        .add("left", qint64(WintabLayout::ReadI32(map, kWintabRectOffset)))
        .add("top", qint64(WintabLayout::ReadI32(map, kWintabRectOffset + 4)))
        .add("right", qint64(WintabLayout::ReadI32(map, kWintabRectOffset + 8)))
        .add("bottom", qint64(WintabLayout::ReadI32(map, kWintabRectOffset + 12)))
        .add("xExtent", qint64(WintabLayout::ReadI32(map, kWintabXExtentOffset)))
        .add("yExtent", qint64(WintabLayout::ReadI32(map, kWintabYExtentOffset)))
        .add("pressureMax", qint64(WintabLayout::ReadI32(map, kWintabPressureMaxOffset)))
        .text();
}

// Packets numbered from .. to-1 (counter values, wrapping like the counter).
void PrintPackets(const uint8_t *map, uint32_t from, uint32_t to, const std::function<void(const QByteArray &)> &out)
{
    for (uint32_t k = from; k != to; ++k) {
        const int entry = WintabLayout::EntryOf(int32_t(k));
        WintabPacket p;
        if (!WintabLayout::ReadPacket(map, entry, &p))
            continue;
        JsonLine line("packet");
        line.add("number", qint64(int32_t(k))).add("entry", qint64(entry));
        out(AddWintabPacket(line, p).text());
    }
}

// The newest n packets before counter (fewer when fewer were written).
uint32_t FirstOfNewest(uint32_t counter, uint32_t n)
{
    n = std::min<uint32_t>(n, kWintabRingEntries);
    return counter < n ? 0 : counter - n;
}

} // namespace

int RunWintab(const WintabOptions &o, IpcBackend &ipc, const std::function<void(const QByteArray &)> &out,
              const std::function<bool()> &keepWatching, QString *error)
{
    IpcError ipcError = IpcError::None;
    std::unique_ptr<SharedMemory> memory =
        ipc.openSharedMemory(QLatin1String(kWintabMapName), kWintabMapSize, true, &ipcError);
    if (!memory) {
        *error = ipcError == IpcError::NotFound
            ? QStringLiteral("no Wintab map: the program is not running")
            : QStringLiteral("the Wintab map cannot be read: %1").arg(QLatin1String(ipcErrorText(ipcError)));
        return 1;
    }
    const uint8_t *map = memory->constData();

    uint32_t counter = uint32_t(WintabLayout::ReadCounter(map));
    out(MapEvent(map));
    QVector<WintabContext> contexts(kWintabContextCount);
    for (int i = 0; i < kWintabContextCount; ++i) {
        contexts[i] = WintabLayout::ReadContext(map, i);
        if (contexts[i].open)
            out(ContextEvent(i, contexts[i]));
    }
    PrintPackets(map, FirstOfNewest(counter, uint32_t(std::max(o.packets, 0))), counter, out);

    while (o.watch && keepWatching()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(o.intervalMs));
        for (int i = 0; i < kWintabContextCount; ++i) {
            const WintabContext now = WintabLayout::ReadContext(map, i);
            if (!SameContext(now, contexts[i])) {
                contexts[i] = now;
                out(ContextEvent(i, now));
            }
        }
        const uint32_t now = uint32_t(WintabLayout::ReadCounter(map));
        if (now == counter)
            continue;
        const int32_t ahead = int32_t(now - counter);
        uint32_t from = counter;
        if (ahead < 0) {
            // The program made the map anew (zeroed at creation): start over.
            out(JsonLine("reset").text());
            out(MapEvent(map));
            from = FirstOfNewest(now, kWintabRingEntries);
        } else if (ahead > kWintabRingEntries) {
            out(JsonLine("lost").add("count", qint64(ahead - kWintabRingEntries)).text());
            from = now - kWintabRingEntries;
        }
        PrintPackets(map, from, now, out);
        counter = now;
    }
    return 0;
}

int WintabCommand(const QStringList &args)
{
    WintabOptions o;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kWintabHelp, stdout);
            return 0;
        }
        if (a == QLatin1String("--watch")) {
            o.watch = true;
        } else if (a == QLatin1String("--packets") && i + 1 < args.size()) {
            bool ok = false;
            o.packets = args.at(++i).toInt(&ok);
            if (!ok || o.packets < 0 || o.packets > kWintabRingEntries) {
                std::fprintf(stderr, "wintab: --packets needs a number in 0..%d\n", kWintabRingEntries);
                return 2;
            }
        } else {
            std::fprintf(stderr, "wintab: unknown argument %s\n", qPrintable(a));
            std::fputs(kWintabHelp, stderr);
            return 2;
        }
    }
    // A map without its program is what an earlier run left: say so rather than show
    // it. A watcher follows the map across restarts and may start first.
    if (!o.watch && !Paths::instanceRunning(QLatin1String(Paths::kProgramInstanceId))) {
        std::fprintf(stderr, "wintab: Inkora is not running (any Wintab map here is from an earlier run)\n");
        return 1;
    }
    PosixIpcBackend ipc;
    QString error;
    const int code = RunWintab(o, ipc, [](const QByteArray &line) {
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fputc('\n', stdout);
        // Each line at once: a watcher reads them as they come.
        std::fflush(stdout);
    }, [] { return true; }, &error);
    if (code != 0)
        std::fprintf(stderr, "wintab: %s\n", qPrintable(error));
    return code;
}

JsonLine &AddWintabPacket(JsonLine &line, const WintabPacket &p)
{
    return line.add("context", qint64(p.context))
        .add("status", qint64(p.status))
        .add("time", qint64(p.time))
        .add("changed", qint64(p.changed))
        .add("serial", qint64(p.serial))
        .add("cursor", qint64(p.cursor))
        .add("buttons", qint64(p.buttons))
        .add("x", qint64(p.x))
        .add("y", qint64(p.y))
        .add("pressure", qint64(p.pressure))
        .add("azimuth", qint64(p.azimuth))
        .add("altitude", qint64(p.altitude))
        .add("twist", qint64(p.twist));
}
