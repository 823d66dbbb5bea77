// Cost of one pen report on the reading thread through the pen path: decode, mapping,
// pressure curve and the pen report formatted into a sink that keeps the last 65 bytes
// (no system call, so the path's own cost shows). Beside it a baseline that only
// decodes and copies 12 bytes into the same kind of sink, and the pressure curve alone.
//
// Each pen benchmark also times every packet on its own and reports the 99th
// percentile as the counter "p99_ns" (clock reads included, so it is an upper bound).
#include "action/penpath.h"
#include "device/decoder.h"
#include "driverlink/driverlink.h"
#include "mapping/pressurecurve.h"
#include "mapping/screentable.h"
#include "platform/input/inputinjector.h"
#include "platform/ipc/ipcbackend.h"
#include "platform/vhid/vhidbackend.h"
#include "platform/vhid/vhidreport.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Keeps the last report written; nothing else.
struct SinkDevice : VhidDevice {
    bool write(const uint8_t *report, int length, int *) override
    {
        std::memcpy(last, report, size_t(std::min(length, kVhidReportLength)));
        return true;
    }
    bool setOutputReport(const uint8_t *report, int length, int *error) override
    {
        return write(report, length, error);
    }
    void releaseAll() override {}
    uint8_t last[kVhidReportLength] = {};
};

struct SinkBackend : VhidBackend {
    bool enumerate(QVector<VhidDeviceInfo> *devices) override
    {
        devices->append(VhidDeviceInfo{QLatin1String(kVhidHardwareId), QStringLiteral("sink")});
        return true;
    }
    std::unique_ptr<VhidDevice> open(const QString &, int *) override { return std::make_unique<SinkDevice>(); }
};

// 10-byte pen report, tip down, moving along x with changing pressure.
void FillPen(uint8_t *r, int i)
{
    const uint8_t base[10] = {0x02, 0xA1, 0x10, 0x27, 0x20, 0x4E, 0x00, 0x10, 0x05, 0xFB};
    std::memcpy(r, base, sizeof base);
    r[2] = uint8_t(i);
    r[3] = uint8_t((i >> 8) & 0x7F);
    r[6] = uint8_t(i * 7);
    r[7] = uint8_t((i >> 5) & 0x1F);
}

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

struct Setup {
    std::unique_ptr<TabletXMLData> profile = std::make_unique<TabletXMLData>();
    DeviceAttributes attributes{};

    Setup()
    {
        qInstallMessageHandler(Silence);
        DriverLinkBackends backends;
        backends.vhid = std::make_unique<SinkBackend>();
        DriverLink::Open(std::move(backends));
        ScreenTable::Publish(ScreenTable::Build({ScreenRect{0, 0, 1920, 1080}, ScreenRect{1920, 0, 2560, 1440}}));
        attributes.MaxX = 32767;
        attributes.MaxY = 32767;
        attributes.Resolution = 5080;
        attributes.WidthInch100 = 32767 * 100 / 5080;
        attributes.HeightInch100 = 32767 * 100 / 5080;
        attributes.MaxPressure = 8191;
        attributes.DeviceKind = 2;
        TabletXMLData &p = *profile;
        p.TW = int16_t(attributes.WidthInch100);
        p.TH = int16_t(attributes.HeightInch100);
        p.SX = 1920;
        p.SW = 2560;
        p.SH = 1440;
        p.fKX = 1.01f;
        p.fKY = 0.99f;
        p.fXLC = 1.0f;
        p.fYLC = 1.0f;
        for (PenConfig &c : p.CommonAPP.pens) {
            c.Press = SPresslvPoints{0.05f, 0.56f, 0.65f, 1.0f}; // a firm curve: the general case
            c.TablePC = 1;
        }
    }
    ~Setup() { DriverLink::Close(); }
};

void ReportP99(benchmark::State &state, std::vector<int64_t> &ns)
{
    if (ns.empty())
        return;
    const size_t k = ns.size() * 99 / 100;
    std::nth_element(ns.begin(), ns.begin() + long(k), ns.end());
    state.counters["p99_ns"] = double(ns[k]);
}

void BM_PenPathPacket(benchmark::State &state)
{
    Setup setup;
    PenPath pen(nullptr);
    DecoderState decoder{};
    uint8_t r[64] = {};
    std::vector<int64_t> ns;
    ns.reserve(1 << 22);
    int i = 0;
    const AppConfigNode *app = &setup.profile->CommonAPP;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        FillPen(r, i++);
        TabletPacket packet{};
        if (DecodeReport(r, 10, 0x0935, decoder, packet)) {
            MultiData out{};
            out.flags = packet.flags;
            pen.MapPen(packet, setup.attributes, *setup.profile, app, out);
            pen.PenOutput(packet, 0, out);
            benchmark::DoNotOptimize(out);
        }
        const auto end = std::chrono::steady_clock::now();
        if (ns.size() < ns.capacity())
            ns.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
    }
    ReportP99(state, ns);
}
BENCHMARK(BM_PenPathPacket);

// Baseline: decode the bytes and copy 12 of them into the sink.
void BM_BaselineDecodeCopy(benchmark::State &state)
{
    DecoderState decoder{};
    uint8_t r[64] = {};
    SinkDevice sink;
    std::vector<int64_t> ns;
    ns.reserve(1 << 22);
    int i = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        FillPen(r, i++);
        TabletPacket packet{};
        if (DecodeReport(r, 10, 0x0935, decoder, packet))
            sink.write(r, 12, nullptr);
        benchmark::DoNotOptimize(sink.last);
        const auto end = std::chrono::steady_clock::now();
        if (ns.size() < ns.capacity())
            ns.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count());
    }
    ReportP99(state, ns);
}
BENCHMARK(BM_BaselineDecodeCopy);

void BM_PressureMap(benchmark::State &state)
{
    const SPresslvPoints firm{0.05f, 0.56f, 0.65f, 1.0f};
    uint32_t raw = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PressureMap(raw, 8191, firm));
        raw = raw % 8191 + 1;
    }
}
BENCHMARK(BM_PressureMap);

void BM_PressureMapDefault(benchmark::State &state)
{
    const SPresslvPoints line = DefaultPressPoints();
    uint32_t raw = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PressureMap(raw, 8191, line));
        raw = raw % 8191 + 1;
    }
}
BENCHMARK(BM_PressureMapDefault);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
