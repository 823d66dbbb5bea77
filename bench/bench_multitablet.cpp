// Five simulated tablets at 1000 pen reports a second each, in one process, through the
// program's own path: discovery opens them, each tablet's reading thread reads its
// reports and runs the decoder and the action engine, and the pen path writes the
// virtual-device reports. The virtual device is the program's bridge (VhidBridgeDevice,
// as the Linux backend has it) whose event sink writes each frame with one write(), to
// /dev/null here where the Linux backend writes to its uinput device. Prints the process
// CPU time per second of input beside its floor, and the latency from a report leaving
// the simulated device (its read returning the report to the reading thread) to the
// return of the virtual-device write of that report.
//
// The floor (plain threads reading and dropping the same reports from five more
// simulated tablets of the same models) and the program take turns: ROUNDS rounds of
// SECONDS of floor input, then SECONDS of program input; the medians of the rounds are
// the figures, so a machine whose speed drifts during the run moves both alike.
//
// Usage: bench_multitablet [--seconds N] [--rounds N] [--tablets N] [--rate N] [--unbridged] [--live] [--hog]
//                          [--foreground]
// --tablets: fewer than five (the first ones of the five).
// --unbridged: the test backend that records each report, without the bridge.
// --hog: during the input a busy process spins on every core (this program started
// again with --spin, so their CPU time is not the program's), as a build or a game
// would; the latency then shows how long a report waits for its reading thread to be
// scheduled.
// --foreground: a window of this process is in front (as on a desktop there always is
// one), so each report also looks for its Wintab context among the map's records and
// for its application profile; without it nothing is in front and both are skipped.
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
#include "platform/sched/realtime.h"
#include "platform/vhid/recordingvhid.h"
#include "platform/vhid/vhidbridge.h"
#include "platform/vhid/vhidreport.h"
#include "sim/simhidbackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <linux/input.h>
#include <signal.h>
#include <spawn.h>
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

// Time the host gave this machine's virtual CPUs to something else ("steal", the eighth
// value of /proc/stat's cpu line, summed over the cores), in ms; its step is the clock
// tick (10 ms). A reading thread whose core is stopped so waits without the guest
// seeing why. -1 where the kernel does not count it.
int64_t StealMs()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    if (fields.size() < 9 || fields[0] != "cpu")
        return -1;
    return fields[8].toLongLong() * 1000 / std::max(1L, sysconf(_SC_CLK_TCK));
}

std::atomic<int> g_LogLines{0};
std::mutex g_LogMutex;     // g_LogSample
QStringList g_LogSample;   // the first lines of the input phase, to name them

// Log lines are counted, not written: a line per report would show here. Debug lines
// count too, though the program's log file leaves them out.
QStringList g_SchedulingLines; // g_LogMutex: how the reading threads are scheduled

void CountLogLine(QtMsgType, const QMessageLogContext &, const QString &text)
{
    const bool scheduling = text.startsWith(QLatin1String("Reading threads"));
    if (++g_LogLines <= 8 || scheduling) {
        std::lock_guard<std::mutex> lock(g_LogMutex);
        (scheduling ? g_SchedulingLines : g_LogSample) << text;
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

// A count of one thread's, on a line of its own: a count shared by the threads would
// move its line between the cores for every report, a cost of the instrument's.
struct alignas(64) ThreadCount {
    std::atomic<int64_t> value{0};
};

// The stamps. Each tablet's list and count are written by its reading thread only and
// read by the main thread once the counts say the round is written: the instrument adds
// no lock and no shared line of its own to a report. The lists are filled before the
// input (written() runs under the virtual device's lock, where a first touch of a page
// would make the other tablets wait for a page fault of the instrument's).
struct Latencies {
    std::mutex mutex; // with done: the end of a round
    std::condition_variable done;
    std::vector<std::vector<int64_t>> perTablet;
    std::vector<ThreadCount> stamped;             // per tablet
    std::atomic<int64_t> unmatched{0};            // writes without a report of their own (a report written twice)
    alignas(64) std::atomic<int64_t> expected{0}; // per tablet, by the end of the round

    void resize(int tablets)
    {
        perTablet.resize(size_t(tablets));
        stamped = std::vector<ThreadCount>(size_t(tablets));
    }

    // A virtual-device write has returned on this reading thread.
    void written(int64_t now)
    {
        if (!t_Read.pending) {
            ++unmatched;
            return;
        }
        t_Read.pending = false;
        std::atomic<int64_t> &count = stamped[size_t(t_Read.tablet)].value;
        const int64_t n = count.load(std::memory_order_relaxed) + 1;
        std::vector<int64_t> &list = perTablet[size_t(t_Read.tablet)];
        if (size_t(n) <= list.size())
            list[size_t(n - 1)] = now - t_Read.ns;
        count.store(n, std::memory_order_release);
        if (n == expected.load(std::memory_order_relaxed)) {
            std::lock_guard<std::mutex> lock(mutex);
            done.notify_all();
        }
    }
    bool roundWritten() const
    {
        for (const ThreadCount &c : stamped) {
            if (c.value.load() < expected.load())
                return false;
        }
        return true;
    }
};

// The Linux backend's event sink without its uinput devices: each frame's events (up to
// SYN_REPORT) go out in one write() to /dev/null. Under VhidBridgeDevice's lock.
class NullFrameSink : public VhidEventSink {
public:
    NullFrameSink() : m_fd(::open("/dev/null", O_WRONLY | O_CLOEXEC)) {}
    ~NullFrameSink() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool emitEvent(VhidNode, uint16_t type, uint16_t code, int32_t value) override
    {
        if (m_count == kFrame)
            return false;
        input_event &e = m_frame[m_count++];
        e = input_event{};
        e.type = type;
        e.code = code;
        e.value = value;
        if (type != EV_SYN)
            return true;
        const ssize_t bytes = ssize_t(sizeof(input_event) * size_t(m_count));
        m_count = 0;
        return ::write(m_fd, m_frame, size_t(bytes)) == bytes;
    }

private:
    static constexpr int kFrame = 32;
    int m_fd;
    input_event m_frame[kFrame];
    int m_count = 0;
};

// The bridge device with the stamp after each write.
class StampingDevice : public VhidDevice {
public:
    explicit StampingDevice(Latencies &lat)
        : m_lat(lat), m_device(std::make_unique<VhidBridgeDevice>(std::make_unique<NullFrameSink>()))
    {
    }
    bool write(const uint8_t *report, int length, int *error) override
    {
        const bool ok = m_device->write(report, length, error);
        m_lat.written(NowNs());
        return ok;
    }
    bool setOutputReport(const uint8_t *report, int length, int *error) override
    {
        const bool ok = m_device->setOutputReport(report, length, error);
        m_lat.written(NowNs());
        return ok;
    }
    void releaseAll() override { m_device->releaseAll(); }

private:
    Latencies &m_lat;
    std::unique_ptr<VhidBridgeDevice> m_device;
};

class StampingBackend : public VhidBackend {
public:
    explicit StampingBackend(Latencies &lat) : m_lat(lat) {}
    bool enumerate(QVector<VhidDeviceInfo> *devices) override
    {
        *devices = {{QString::fromLatin1(kVhidHardwareId), QStringLiteral("bench")}};
        return true;
    }
    std::unique_ptr<VhidDevice> open(const QString &, int *error) override
    {
        if (error)
            *error = 0;
        return std::make_unique<StampingDevice>(m_lat);
    }

private:
    Latencies &m_lat;
};

double Percentile(std::vector<int64_t> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p / 100.0 * double(values.size())));
    return double(values[index]);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Pen reports of one tablet: into range, then the tip down moving across the tablet;
// x steps by one device unit per report, so each report has a value of its own. start
// carries on from the reports queued before, so later rounds keep moving. The first
// report is due kQueueLeadMs after the call: the queueing thread (plain scheduling,
// maybe behind a hog) holds the tablet's lock for each report it queues, and a reading
// thread must not wait for it in the middle of a measured report.
constexpr int kQueueLeadMs = 100;

void QueueInput(SimTablet &sim, int reports, int intervalMs, int start = 0)
{
    const SimModel &m = sim.model();
    SimPenSample s;
    s.pressure = 0;
    s.x = 100;
    s.y = m.maxY / 2;
    int delay = kQueueLeadMs;
    if (start == 0) {
        sim.queuePen(s, delay);
        delay = intervalMs;
    }
    s.buttons = 0x01;
    for (int i = std::max(1, start); i < start + reports; ++i) {
        s.x = 100 + i % std::max(1, m.maxX - 200);
        s.y = m.maxY / 2 + (i % 200);
        s.pressure = 1000 + (i * 13) % 6000;
        sim.queuePen(s, delay);
        delay = intervalMs;
    }
}

// The floor under the figures: plain threads that read reports and drop them, read as
// the reading threads read (a wait without a time-out that a stop ends) and scheduled as
// they are. What a thread costs to wake for every report on this machine, without
// decoding, engine or device. Its own simulated tablets, so the program's tablets stay
// open (and idle) meanwhile.
constexpr int kFloorPriority = 5; // the reading threads'

class ReadOnlyFloor {
public:
    ReadOnlyFloor(SimHidBackend &hid, const QVector<std::shared_ptr<SimTablet>> &sims) : m_sims(sims)
    {
        for (const auto &sim : sims)
            m_devices.push_back(hid.open(SimHidBackend::interfacePath(*sim)));
        m_read = std::vector<ThreadCount>(size_t(m_devices.size()));
        for (size_t i = 0; i < m_devices.size(); ++i) {
            HidDevice *d = m_devices[i].get();
            m_stops.push_back(std::make_unique<ReadStop>());
            ReadStop *stop = m_stops.back().get();
            std::atomic<int64_t> *read = &m_read[i].value;
            m_threads.emplace_back([this, d, stop, read] {
                // Scheduled as the reading threads are (real-time where this process
                // may have it), so the floor's wake-ups cost what theirs do.
                QString why;
                MakeThreadRealtime(
                    kFloorPriority, [] { return QDBusConnection::systemBus(); }, &why);
                uint8_t buffer[64];
                while (!stop->stopped()) {
                    if (!d || d->readWait(buffer, sizeof buffer, *stop) <= 0)
                        continue;
                    const int64_t n = read->load(std::memory_order_relaxed) + 1;
                    read->store(n, std::memory_order_release);
                    if (n == m_target.load(std::memory_order_relaxed)) {
                        std::lock_guard<std::mutex> lock(m_mutex);
                        m_done.notify_all();
                    }
                }
            });
        }
    }
    ~ReadOnlyFloor()
    {
        for (auto &stop : m_stops)
            stop->stop();
        for (auto &t : m_threads)
            t.join();
    }

    // Process CPU time per second of input while perTablet reports go to every tablet.
    double run(int perTablet, int intervalMs)
    {
        m_target = m_target.load() + perTablet;
        for (const auto &sim : m_sims)
            QueueInput(*sim, perTablet, intervalMs, m_queued);
        m_queued += perTablet;
        const int64_t wall0 = NowNs();
        const int64_t cpu0 = ProcessCpuNs();
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_done.wait_for(lock, std::chrono::seconds(perTablet / 1000 + 10), [this] {
                for (const ThreadCount &c : m_read) {
                    if (c.value.load() < m_target.load())
                        return false;
                }
                return true;
            });
        }
        const int64_t cpu = ProcessCpuNs() - cpu0;
        const int64_t wall = NowNs() - wall0;
        return double(cpu) / (double(wall) / 1e9);
    }

private:
    QVector<std::shared_ptr<SimTablet>> m_sims;
    std::vector<std::unique_ptr<HidDevice>> m_devices;
    std::vector<std::unique_ptr<ReadStop>> m_stops; // one a thread
    std::vector<std::thread> m_threads;
    std::vector<ThreadCount> m_read;              // reports read, one a thread
    alignas(64) std::atomic<int64_t> m_target{0}; // per thread, by the end of the round
    std::mutex m_mutex; // with m_done: the last report of a round read
    std::condition_variable m_done;
    int m_queued = 0;
};

void PrintMs(const char *label, double ns)
{
    std::printf("| %-44s | %10.1f |\n", label, ns / 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && QByteArray(argv[1]) == "--spin") {
        // A hog of --hog: spins until killed.
        for (volatile unsigned long spin = 0;; spin = spin + 1) { }
    }
    int seconds = 4;
    int rounds = 5;
    int rate = 1000;
    int tablets = 5;
    bool bridged = true;
    bool live = false;
    bool hog = false;
    bool inFront = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--seconds" && i + 1 < argc)
            seconds = std::max(1, QByteArray(argv[++i]).toInt());
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, QByteArray(argv[++i]).toInt());
        else if (a == "--tablets" && i + 1 < argc)
            tablets = std::clamp(QByteArray(argv[++i]).toInt(), 1, 5);
        else if (a == "--rate" && i + 1 < argc)
            rate = std::clamp(QByteArray(argv[++i]).toInt(), 1, 1000);
        else if (a == "--unbridged")
            bridged = false;
        else if (a == "--live")
            live = true;
        else if (a == "--hog")
            hog = true;
        else if (a == "--foreground")
            inFront = true;
        else {
            std::fprintf(stderr,
                         "usage: bench_multitablet [--seconds N] [--rounds N] [--tablets N] [--rate N] [--unbridged] "
                         "[--live] [--hog] [--foreground]\n");
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
    // window (the common profile; with --foreground one of this process, whose path has
    // no profile of its own either), the Wintab map in a private folder, the virtual
    // device as above (or the recording one with --unbridged).
    qInstallMessageHandler(CountLogLine);
    ScreenTable::Publish(ScreenTable::Build({ScreenRect{0, 0, 1920, 1080}}));
    ActionServiceBackends services;
    ForegroundWindow inFrontWindow;
    if (inFront) {
        inFrontWindow.pid = QCoreApplication::applicationPid();
        inFrontWindow.path = QCoreApplication::applicationFilePath();
        inFrontWindow.windowClass = QStringLiteral("bench");
    }
    services.foreground = std::make_unique<FixedForegroundBackend>(inFrontWindow);
    ActionServices::Install(std::move(services));
    Latencies lat;
    RecordingVhidBackend *recording = nullptr;
    DriverLinkBackends link;
    if (bridged) {
        link.vhid = std::make_unique<StampingBackend>(lat);
    } else {
        auto owned = std::make_unique<RecordingVhidBackend>();
        recording = owned.get();
        recording->setReportHandler(
            [&lat](const QByteArray &, bool, const QVector<VhidEvent> &) { lat.written(NowNs()); });
        link.vhid = std::move(owned);
    }
    link.ipc = std::make_unique<PosixIpcBackend>(home.path());
    link.input = std::make_unique<RecordingInputInjector>();
    if (!DriverLink::Open(std::move(link))) {
        std::fprintf(stderr, "the virtual device did not open\n");
        return 1;
    }

    SimHidBackend hid;
    hid.init();
    SimHidBackend floorHid; // the floor's tablets, which discovery never sees
    floorHid.init();
    QVector<std::shared_ptr<SimTablet>> sims;
    QVector<std::shared_ptr<SimTablet>> floorSims;
    const QVector<SimModel> &models = SimModels::all();
    for (const SimModel &m : models) {
        if ((m.kind == 1 || m.kind == 2) && sims.size() < tablets) {
            sims << hid.plug(m);
            floorSims << floorHid.plug(m);
        }
    }
    lat.resize(int(sims.size()));
    for (int i = 0; i < sims.size(); ++i) {
        sims[i]->setReadObserver([i](const uint8_t *, int) {
            t_Read.ns = NowNs();
            t_Read.tablet = i;
            t_Read.pending = true;
        });
    }
    ReadOnlyFloor floor(floorHid, floorSims);

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

    // Input: rate reports a second on every tablet, the floor's and the program's by turns.
    const int perTablet = rate * seconds;
    for (auto &v : lat.perTablet)
        v.assign(size_t(perTablet * rounds), 0);
    std::vector<pid_t> hogs;
    if (hog) {
        // Other programs, as a build's compilers are: a fork of this process would share
        // its pages until they are written, and the program's first writes after it
        // would each take a copy-on-write fault that no hog of another program causes.
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        char self[] = "/proc/self/exe";
        char spin[] = "--spin";
        char *const args[] = {self, spin, nullptr};
        for (unsigned i = 0; i < cores; ++i) {
            pid_t child = -1;
            if (posix_spawn(&child, self, nullptr, nullptr, args, environ) == 0)
                hogs.push_back(child);
        }
    }
    std::vector<double> floorCpu, programCpu, ratios, reportRates;
    QMap<QString, int64_t> inputThreads; // run time of each thread over the program's rounds
    int64_t programWall = 0;
    int64_t programSteal = 0; // ms, over the program's rounds
    bool complete = true;
    for (int round = 0; round < rounds && complete; ++round) {
        const double floorPerSecond = floor.run(perTablet, intervalMs);

        lat.expected = int64_t(perTablet) * (round + 1);
        for (auto &sim : sims)
            QueueInput(*sim, perTablet, intervalMs, perTablet * round);
        const int64_t wall0 = NowNs();
        const int64_t cpu0 = ProcessCpuNs();
        const QMap<QString, int64_t> threads0 = ThreadCpuNs();
        const int64_t steal0 = StealMs();
        bool roundComplete = false;
        if (live) {
            // The queued records need this thread's event loop; a 20 ms timer looks for the end.
            QEventLoop loop;
            QTimer check;
            check.setInterval(20);
            QObject::connect(&check, &QTimer::timeout, &loop, [&] {
                roundComplete = lat.roundWritten();
                if (roundComplete || NowNs() - wall0 > int64_t(seconds + 10) * 1000000000)
                    loop.quit();
            });
            check.start();
            loop.exec();
        } else {
            std::unique_lock<std::mutex> lock(lat.mutex);
            roundComplete =
                lat.done.wait_for(lock, std::chrono::seconds(seconds + 10), [&lat] { return lat.roundWritten(); });
        }
        const int64_t cpu = ProcessCpuNs() - cpu0;
        const int64_t wall = NowNs() - wall0;
        const QMap<QString, int64_t> threads1 = ThreadCpuNs();
        const int64_t steal1 = StealMs();
        if (steal0 >= 0 && steal1 >= 0)
            programSteal += steal1 - steal0;
        for (auto it = threads1.begin(); it != threads1.end(); ++it)
            inputThreads[it.key()] += it.value() - threads0.value(it.key());
        programWall += wall;
        complete = roundComplete;
        const double programPerSecond = double(cpu) / (double(wall) / 1e9);
        floorCpu.push_back(floorPerSecond);
        programCpu.push_back(programPerSecond);
        ratios.push_back(floorPerSecond > 0 ? programPerSecond / floorPerSecond : 0.0);
        reportRates.push_back(double(perTablet) * sims.size() / (double(wall) / 1e9));
    }
    for (const pid_t child : hogs) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    const int logLinesDuringInput = g_LogLines.load();

    std::vector<int64_t> all;
    std::vector<std::vector<int64_t>> perTabletLat;
    int64_t unmatched = 0;
    {
        // Every round was written (or the run gave up): the reading threads add no more.
        std::lock_guard<std::mutex> lock(lat.mutex);
        perTabletLat = lat.perTablet;
        for (size_t i = 0; i < perTabletLat.size(); ++i)
            perTabletLat[i].resize(std::min(perTabletLat[i].size(), size_t(lat.stamped[i].value.load())));
        unmatched = lat.unmatched.load();
        for (const auto &v : perTabletLat)
            all.insert(all.end(), v.begin(), v.end());
    }
    if (recording)
        recording->setReportHandler(nullptr);
    for (auto &sim : sims)
        sim->setReadObserver(nullptr);

    const double idleCpuPerSecond = double(idleCpu) / (double(idleWall) / 1e9);
    const double floorMedian = Median(floorCpu);
    const double programMedian = Median(programCpu);
    const double reportsPerSecond = Median(reportRates);

    std::printf("%d simulated tablets, %d pen reports/s each, %d rounds of %d s of floor input then %d s of program "
                "input, virtual device %s\n",
                int(sims.size()), rate, int(programCpu.size()), seconds, seconds,
                bridged ? "bridged to evdev frames, one write() a frame" : "recording only");
    if (inFront)
        std::printf("In front: a window of this process (pid %lld)\n", (long long)inFrontWindow.pid);
    if (live)
        std::printf("Live values on: %lld records reached the GUI thread's event loop\n", (long long)received);
    if (hog)
        std::printf("CPU hog: %d processes spinning during the input, one a core\n", int(hogs.size()));
    std::printf("\n");
    std::printf("| tablets | reports written | per second | unmatched writes | input complete | log lines at open / during input |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::printf("| %d | %lld of %lld | %.0f | %lld | %s | %d / %d |\n\n", int(sims.size()), (long long)all.size(),
                (long long)(lat.expected.load() * sims.size()), reportsPerSecond, (long long)unmatched,
                complete ? "yes" : "NO", logLinesAtOpen, logLinesDuringInput);
    {
        std::lock_guard<std::mutex> lock(g_LogMutex);
        for (const QString &line : g_SchedulingLines)
            std::printf("log line at open: %s\n", qPrintable(line));
        for (const QString &line : g_LogSample)
            std::printf("log line during input: %s\n", qPrintable(line));
        std::printf("\n");
    }

    std::printf("| round | floor ms/s | program ms/s | program / floor |\n|---|---|---|---|\n");
    for (size_t i = 0; i < programCpu.size(); ++i)
        std::printf("| %zu | %8.2f | %8.2f | %5.3f |\n", i + 1, floorCpu[i] / 1e6, programCpu[i] / 1e6, ratios[i]);
    std::printf("| median | %8.2f | %8.2f | %5.3f (of the medians %5.3f) |\n\n", floorMedian / 1e6, programMedian / 1e6,
                Median(ratios), floorMedian > 0 ? programMedian / floorMedian : 0.0);

    std::printf("| CPU time of the process | ms per s |\n|---|---|\n");
    std::printf("| %-44s | %8.2f |\n", "idle (5 tablets open, no reports)", idleCpuPerSecond / 1e6);
    std::printf("| %-44s | %8.2f |\n", "with input, median of the rounds", programMedian / 1e6);
    std::printf("| %-44s | %8.2f |\n", "floor: the reports read and dropped, median", floorMedian / 1e6);
    std::printf("| %-44s | %8.2f |\n\n", "the program's part per report, µs",
                reportsPerSecond > 0 ? (programMedian - floorMedian) / reportsPerSecond / 1e3 : 0.0);

    std::printf("| thread (by name) | idle ms/s | input ms/s |\n|---|---|---|\n");
    for (auto it = inputThreads.begin(); it != inputThreads.end(); ++it) {
        const double idle = double(idleThreads1.value(it.key()) - idleThreads0.value(it.key())) / (double(idleWall) / 1e9);
        const double load = programWall > 0 ? double(it.value()) / (double(programWall) / 1e9) : 0.0;
        std::printf("| %-16s | %8.2f | %8.2f |\n", qPrintable(it.key()), idle / 1e6, load / 1e6);
    }

    std::printf("\n| read() to virtual-device write, all rounds | µs |\n|---|---|\n");
    PrintMs("p50", Percentile(all, 50));
    PrintMs("p90", Percentile(all, 90));
    PrintMs("p99", Percentile(all, 99));
    PrintMs("p99.9", Percentile(all, 99.9));
    PrintMs("max", all.empty() ? 0.0 : double(*std::max_element(all.begin(), all.end())));

    std::printf("\nSteal during the program's input (/proc/stat, in steps of the clock tick): %lld ms over %.1f s "
                "of %u cores\n",
                (long long)programSteal, double(programWall) / 1e9, std::max(1u, std::thread::hardware_concurrency()));

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
