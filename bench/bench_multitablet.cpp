// Five simulated tablets at 1000 pen reports a second each, in one process, through the
// program's own path: discovery opens them, each tablet's reading thread reads its
// reports and runs the decoder and the action engine, and the pen path writes the
// virtual-device reports (to the recording backend, with the evdev bridge of the Linux
// device). Prints a table: the process CPU time per second of input over an idle
// baseline of the same set-up, and the latency from a report leaving the simulated
// device (its read() handing it out) to the virtual-device write of that report.
//
// Usage: bench_multitablet [--seconds N] [--rate N] [--unbridged] [--live] [--hog]
// --hog: during the input a busy process spins on every core (child processes, so their
// CPU time is not the program's), as a build or a game would; the latency then shows
// how long a report waits for its reading thread to be scheduled.
// --live: every tablet also sends each packet's record to the GUI thread (emitToUi, a
// queued signal, as the settings window's live values would need), and this thread
// runs an event loop that receives them.
// The default profile file comes from the source tree (INKORA_DEFAULT_PROFILE); a
// private per-user folder holds the copy the tablets load.
#include "action/actionservices.h"
#include "action/actionsystem.h"
#include "action/caction.h"
#include "device/ctablet.h"
#include "device/tabletdiscovery.h"
#include "device/tablettable.h"
#include "driverlink/driverlink.h"
#include "mapping/screentable.h"
#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/input/recordinginputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/vhid/recordingvhid.h"
#include "sim/simhidbackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

namespace {

int64_t NowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int64_t ProcessCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Run time of each thread of this process, by thread name: the first field of
// /proc/self/task/TID/schedstat is the time on a CPU in ns.
QMap<QString, int64_t> ThreadCpuNs()
{
    QMap<QString, int64_t> byName;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        QFile stat(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (!comm.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromLocal8Bit(comm.readAll().trimmed());
        byName[name] += stat.readAll().split(' ').value(0).toLongLong();
    }
    return byName;
}

std::atomic<int> g_LogLines{0};
std::mutex g_LogMutex;     // g_LogSample
QStringList g_LogSample;   // the first lines of the input phase, to name them

// Log lines are counted, not written: a line per report would show here. Debug lines
// count too, though the program's log file leaves them out.
void CountLogLine(QtMsgType, const QMessageLogContext &, const QString &text)
{
    if (++g_LogLines <= 8) {
        std::lock_guard<std::mutex> lock(g_LogMutex);
        g_LogSample << text;
    }
}

// What the reading thread read last, from the simulated device's read() to the
// virtual-device write that the report causes on the same thread.
struct ReadStamp {
    int64_t ns = 0;
    int tablet = -1;
    bool pending = false;
};
thread_local ReadStamp t_Read;

struct Latencies {
    std::mutex mutex; // the recording's handler runs on every reading thread
    std::condition_variable done;
    std::vector<int64_t> all;
    std::vector<std::vector<int64_t>> perTablet;
    int64_t writes = 0;
    int64_t unmatched = 0; // writes without a report of their own (a report written twice)
    int64_t expected = 0;
};

double Percentile(std::vector<int64_t> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p / 100.0 * double(values.size())));
    return double(values[index]);
}

// Pen reports of one tablet: into range, then the tip down moving across the tablet;
// x steps by one device unit per report, so each report has a value of its own.
void QueueInput(SimTablet &sim, int reports, int intervalMs)
{
    const SimModel &m = sim.model();
    SimPenSample s;
    s.pressure = 0;
    s.x = 100;
    s.y = m.maxY / 2;
    sim.queuePen(s, intervalMs);
    s.buttons = 0x01;
    for (int i = 1; i < reports; ++i) {
        s.x = 100 + i % std::max(1, m.maxX - 200);
        s.y = m.maxY / 2 + (i % 200);
        s.pressure = 1000 + (i * 13) % 6000;
        sim.queuePen(s, intervalMs);
    }
}

// The floor under the figures: the same reports read by plain threads that drop them,
// with the reading threads' 100 ms time-out. What a thread costs to wake for every
// report on this machine, without decoding, engine or device. Returns the process CPU
// time per second of input over the run's wall time.
double ReadOnlyBaseline(SimHidBackend &hid, const QVector<std::shared_ptr<SimTablet>> &sims, int perTablet,
                        int intervalMs)
{
    std::atomic<int64_t> read{0};
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<HidDevice>> devices;
    for (const auto &sim : sims)
        devices.push_back(hid.open(SimHidBackend::interfacePath(*sim)));
    std::vector<std::thread> threads;
    for (auto &device : devices) {
        HidDevice *d = device.get();
        threads.emplace_back([d, &read, &stop] {
            uint8_t buffer[64];
            while (!stop.load()) {
                if (d && d->readTimeout(buffer, sizeof buffer, 100) > 0)
                    ++read;
            }
        });
    }
    for (const auto &sim : sims)
        QueueInput(*sim, perTablet, intervalMs);
    const int64_t expected = int64_t(perTablet) * sims.size();
    const int64_t wall0 = NowNs();
    const int64_t cpu0 = ProcessCpuNs();
    // The main thread looks in every 100 ms, as cheaply as it can.
    while (read.load() < expected && NowNs() - wall0 < int64_t(perTablet / 1000 + 10) * 1000000000)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int64_t cpu = ProcessCpuNs() - cpu0;
    const int64_t wall = NowNs() - wall0;
    stop = true;
    for (auto &t : threads)
        t.join();
    return double(cpu) / (double(wall) / 1e9);
}

void PrintMs(const char *label, double ns)
{
    std::printf("| %-44s | %10.1f |\n", label, ns / 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 10;
    int rate = 1000;
    bool bridged = true;
    bool live = false;
    bool hog = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--seconds" && i + 1 < argc)
            seconds = std::max(1, QByteArray(argv[++i]).toInt());
        else if (a == "--rate" && i + 1 < argc)
            rate = std::clamp(QByteArray(argv[++i]).toInt(), 1, 1000);
        else if (a == "--unbridged")
            bridged = false;
        else if (a == "--live")
            live = true;
        else if (a == "--hog")
            hog = true;
        else {
            std::fprintf(stderr, "usage: bench_multitablet [--seconds N] [--rate N] [--unbridged] [--live] [--hog]\n");
            return 2;
        }
    }
    const int intervalMs = 1000 / rate; // the simulated device schedules in whole ms

    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    const QString data = home.path() + QStringLiteral("/Inkora V3");
    QDir().mkpath(data);
    if (!QFile::copy(QStringLiteral(INKORA_DEFAULT_PROFILE), data + QStringLiteral("/config.xml"))) {
        std::fprintf(stderr, "no default profile at %s\n", INKORA_DEFAULT_PROFILE);
        return 1;
    }
    QCoreApplication app(argc, argv);
    QSettings names(data + QStringLiteral("/name_config.ini"), QSettings::IniFormat);

    // The program's set-up on test backends: one 1920 x 1080 screen, no foreground
    // window (the common profile), the Wintab map in a private folder, the virtual
    // device recording what is written.
    qInstallMessageHandler(CountLogLine);
    ScreenTable::Publish(ScreenTable::Build({ScreenRect{0, 0, 1920, 1080}}));
    ActionServiceBackends services;
    services.foreground = std::make_unique<FixedForegroundBackend>(ForegroundWindow{});
    ActionServices::Install(std::move(services));
    auto vhidOwned = std::make_unique<RecordingVhidBackend>();
    RecordingVhidBackend *vhid = vhidOwned.get();
    vhid->setBridged(bridged);
    DriverLinkBackends link;
    link.vhid = std::move(vhidOwned);
    link.ipc = std::make_unique<PosixIpcBackend>(home.path());
    link.input = std::make_unique<RecordingInputInjector>();
    if (!DriverLink::Open(std::move(link))) {
        std::fprintf(stderr, "the virtual device did not open\n");
        return 1;
    }

    Latencies lat;
    vhid->setReportHandler([&lat](const QByteArray &, bool, const QVector<VhidEvent> &) {
        const int64_t now = NowNs();
        std::lock_guard<std::mutex> lock(lat.mutex);
        ++lat.writes;
        if (!t_Read.pending) {
            ++lat.unmatched;
        } else {
            t_Read.pending = false;
            const int64_t ns = now - t_Read.ns;
            lat.all.push_back(ns);
            lat.perTablet[size_t(t_Read.tablet)].push_back(ns);
        }
        if (int64_t(lat.all.size()) >= lat.expected)
            lat.done.notify_all();
    });

    SimHidBackend hid;
    hid.init();
    QVector<std::shared_ptr<SimTablet>> sims;
    const QVector<SimModel> &models = SimModels::all();
    for (const SimModel &m : models) {
        if ((m.kind == 1 || m.kind == 2) && sims.size() < 5)
            sims << hid.plug(m);
    }
    lat.perTablet.resize(size_t(sims.size()));
    for (int i = 0; i < sims.size(); ++i) {
        sims[i]->setReadObserver([i](const uint8_t *, int) {
            t_Read.ns = NowNs();
            t_Read.tablet = i;
            t_Read.pending = true;
        });
    }

    const double readOnlyPerSecond = ReadOnlyBaseline(hid, sims, rate * seconds, intervalMs);

    auto discoveryOwned = std::make_unique<TabletDiscovery>(&hid, &names);
    discoveryOwned->SetTabletSetup(&AttachActionEngine);
    TabletDiscovery &discovery = *discoveryOwned;
    // As the main window does once the screens are known: a profile without a screen
    // area takes the area of its screen.
    QObject receiver;
    int64_t received = 0; // this thread only
    QObject::connect(&discovery, &TabletDiscovery::TabletConnected, &discovery, [&](CTablet *tablet, int) {
        if (live) {
            QObject::connect(tablet, &CTablet::SentMultiData, &receiver, [&received](CTablet *, MultiData) { ++received; },
                             Qt::QueuedConnection);
            tablet->emitToUi = 1;
        }
        tablet->SetScreenRectProvider([](int, QRect *rect) {
            *rect = QRect(0, 0, 1920, 1080);
            return true;
        });
        if (tablet->TabletXMLData && (tablet->TabletXMLData->SW <= 0 || tablet->TabletXMLData->SH <= 0))
            tablet->LoadProfile(tablet->profileKey);
    });
    if (!discovery.EnmuTabeltDevice() || discovery.tabletCount() != sims.size()) {
        std::fprintf(stderr, "only %d of %d tablets opened\n", discovery.tabletCount(), int(sims.size()));
        return 1;
    }
    const int logLinesAtOpen = g_LogLines.load();

    // Idle baseline: the same set-up with no reports (the reading threads wait in
    // poll() for their next report).
    const int64_t idleWall0 = NowNs();
    const int64_t idleCpu0 = ProcessCpuNs();
    const QMap<QString, int64_t> idleThreads0 = ThreadCpuNs();
    {
        std::unique_lock<std::mutex> lock(lat.mutex);
        lat.done.wait_for(lock, std::chrono::seconds(seconds), [] { return false; });
    }
    const int64_t idleCpu = ProcessCpuNs() - idleCpu0;
    const int64_t idleWall = NowNs() - idleWall0;
    const QMap<QString, int64_t> idleThreads1 = ThreadCpuNs();
    {
        std::lock_guard<std::mutex> lock(g_LogMutex);
        g_LogLines = 0;
        g_LogSample.clear();
    }

    // Input: rate reports a second on every tablet for the given seconds.
    const int perTablet = rate * seconds;
    lat.all.reserve(size_t(perTablet * sims.size() + 64));
    for (auto &v : lat.perTablet)
        v.reserve(size_t(perTablet + 16));
    lat.expected = int64_t(perTablet) * sims.size();
    std::vector<pid_t> hogs;
    if (hog) {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < cores; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                for (volatile unsigned long spin = 0;; spin = spin + 1) {
                }
            }
            if (child > 0)
                hogs.push_back(child);
        }
    }
    for (auto &sim : sims)
        QueueInput(*sim, perTablet, intervalMs);
    const int64_t loadWall0 = NowNs();
    const int64_t loadCpu0 = ProcessCpuNs();
    const QMap<QString, int64_t> loadThreads0 = ThreadCpuNs();
    bool complete = false;
    if (live) {
        // The queued records need this thread's event loop; a 20 ms timer looks for the end.
        QEventLoop loop;
        QTimer check;
        check.setInterval(20);
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            std::lock_guard<std::mutex> lock(lat.mutex);
            complete = int64_t(lat.all.size()) >= lat.expected;
            if (complete || NowNs() - loadWall0 > int64_t(seconds + 10) * 1000000000)
                loop.quit();
        });
        check.start();
        loop.exec();
    } else {
        std::unique_lock<std::mutex> lock(lat.mutex);
        complete = lat.done.wait_for(lock, std::chrono::seconds(seconds + 10),
                                     [&lat] { return int64_t(lat.all.size()) >= lat.expected; });
    }
    const int64_t loadCpu = ProcessCpuNs() - loadCpu0;
    const int64_t loadWall = NowNs() - loadWall0;
    for (const pid_t child : hogs) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    const QMap<QString, int64_t> loadThreads1 = ThreadCpuNs();
    const int logLinesDuringInput = g_LogLines.load();

    std::vector<int64_t> all;
    std::vector<std::vector<int64_t>> perTabletLat;
    int64_t writes = 0;
    int64_t unmatched = 0;
    {
        std::lock_guard<std::mutex> lock(lat.mutex);
        all = lat.all;
        perTabletLat = lat.perTablet;
        writes = lat.writes;
        unmatched = lat.unmatched;
    }
    vhid->setReportHandler(nullptr);
    for (auto &sim : sims)
        sim->setReadObserver(nullptr);

    const double idleCpuPerSecond = double(idleCpu) / (double(idleWall) / 1e9);
    const double loadCpuPerSecond = double(loadCpu) / (double(loadWall) / 1e9);
    const double addedPerSecond = loadCpuPerSecond - idleCpuPerSecond;
    const double reportsPerSecond = double(all.size()) / (double(loadWall) / 1e9);

    std::printf("Five simulated tablets, %d pen reports/s each, %d s of input, virtual device %s\n", rate,
                seconds, bridged ? "bridged to evdev events" : "recording only");
    if (live)
        std::printf("Live values on: %lld records reached the GUI thread's event loop\n", (long long)received);
    if (hog)
        std::printf("CPU hog: %d processes spinning during the input, one a core\n", int(hogs.size()));
    std::printf("\n");
    std::printf("| tablets | reports written | per second | unmatched writes | input complete | log lines at open / during input |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::printf("| %d | %lld of %lld | %.0f | %lld | %s | %d / %d |\n\n", int(sims.size()), (long long)all.size(),
                (long long)lat.expected, reportsPerSecond, (long long)unmatched, complete ? "yes" : "NO",
                logLinesAtOpen, logLinesDuringInput);
    (void)writes;
    {
        std::lock_guard<std::mutex> lock(g_LogMutex);
        for (const QString &line : g_LogSample)
            std::printf("log line during input: %s\n", qPrintable(line));
        if (!g_LogSample.isEmpty())
            std::printf("\n");
    }

    std::printf("| CPU time of the process | ms per s |\n|---|---|\n");
    std::printf("| %-44s | %8.2f |\n", "idle (5 tablets open, no reports)", idleCpuPerSecond / 1e6);
    std::printf("| %-44s | %8.2f |\n", "with input", loadCpuPerSecond / 1e6);
    std::printf("| %-44s | %8.2f |\n", "added by the input", addedPerSecond / 1e6);
    std::printf("| %-44s | %8.2f |\n", "added per report, µs",
                reportsPerSecond > 0 ? addedPerSecond / reportsPerSecond / 1e3 : 0.0);
    std::printf("| %-44s | %8.2f |\n", "baseline: the reports read and dropped", readOnlyPerSecond / 1e6);
    std::printf("| %-44s | %8.2f |\n\n", "the program's part per report, µs",
                reportsPerSecond > 0 ? (loadCpuPerSecond - readOnlyPerSecond) / reportsPerSecond / 1e3 : 0.0);

    std::printf("| thread (by name) | idle ms/s | input ms/s |\n|---|---|---|\n");
    for (auto it = loadThreads1.begin(); it != loadThreads1.end(); ++it) {
        const double idle = double(idleThreads1.value(it.key()) - idleThreads0.value(it.key())) / (double(idleWall) / 1e9);
        const double load = double(it.value() - loadThreads0.value(it.key())) / (double(loadWall) / 1e9);
        std::printf("| %-16s | %8.2f | %8.2f |\n", qPrintable(it.key()), idle / 1e6, load / 1e6);
    }

    std::printf("\n| read() to virtual-device write | µs |\n|---|---|\n");
    PrintMs("p50", Percentile(all, 50));
    PrintMs("p90", Percentile(all, 90));
    PrintMs("p99", Percentile(all, 99));
    PrintMs("p99.9", Percentile(all, 99.9));
    PrintMs("max", all.empty() ? 0.0 : double(*std::max_element(all.begin(), all.end())));

    std::printf("\n| tablet | model | p50 µs | p99 µs | max µs |\n|---|---|---|---|---|\n");
    for (int i = 0; i < sims.size(); ++i) {
        const auto &v = perTabletLat[size_t(i)];
        std::printf("| %d | %s | %.1f | %.1f | %.1f |\n", i, sims[i]->model().modelKey, Percentile(v, 50) / 1e3,
                    Percentile(v, 99) / 1e3, v.empty() ? 0.0 : double(*std::max_element(v.begin(), v.end())) / 1e3);
    }

    // Closing sends each tablet its idle mode and stops its thread; the driver link and
    // the services go once no tablet reads.
    discoveryOwned.reset();
    DriverLink::Close();
    ActionServices::Remove();
    return complete ? 0 : 1;
}
