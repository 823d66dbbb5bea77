// Cost of one packet through the whole action engine on the reading thread: the
// foreground application's profile looked up among seven application profiles, the pen
// path, for key packets the key lists, the action, its caption and its usage record,
// and for ring packets the ring's function, its caption and its usage record.
// Outputs go to sinks that only count (virtual device, keys, mouse), so the engine's
// own cost shows. Beside it the pen path alone on the same samples, as the baseline.
#include "action/actionsystem.h"
#include "action/caction.h"
#include "driverlink/driverlink.h"
#include "mapping/screentable.h"
#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/foreground/sessionforegroundbackend.h"
#include "platform/input/inputinjector.h"
#include "platform/ipc/ipcbackend.h"
#include "platform/vhid/vhidbackend.h"
#include "platform/vhid/vhidreport.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace {

struct CountingDevice : VhidDevice {
    bool write(const uint8_t *, int, int *) override
    {
        ++reports;
        return true;
    }
    bool setOutputReport(const uint8_t *report, int length, int *error) override
    {
        return write(report, length, error);
    }
    void releaseAll() override {}
    uint64_t reports = 0;
};

struct CountingVhid : VhidBackend {
    bool enumerate(QVector<VhidDeviceInfo> *devices) override
    {
        devices->append(VhidDeviceInfo{QLatin1String(kVhidHardwareId), QStringLiteral("sink")});
        return true;
    }
    std::unique_ptr<VhidDevice> open(const QString &, int *) override { return std::make_unique<CountingDevice>(); }
};

struct CountingInput : InputInjector {
    int sendMouse(const MouseInput *, int count) override
    {
        mouse += uint64_t(count);
        return count;
    }
    int sendKeys(const KeyInput *, int count) override
    {
        keys += uint64_t(count);
        return count;
    }
    bool mouseButtonsSwapped() override { return false; }
    uint64_t mouse = 0;
    uint64_t keys = 0;
};

// Waits are not waited: the fixed pauses are not the engine's cost.
struct NoWaitSystem : ActionSystem {
    bool StartProgram(const QString &) override { return true; }
    bool OpenUrl(const QUrl &) override { return true; }
    void Wait(int) override {}
};

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

struct Pipeline {
    std::unique_ptr<TabletXMLData> profile = std::make_unique<TabletXMLData>();
    std::vector<std::unique_ptr<AppConfigNode>> nodes;
    AppConfigMap apps;
    DeviceAttributes attributes{};
    FixedForegroundBackend foreground;
    NoWaitSystem system;
    CountingInput *input = nullptr;
    std::unique_ptr<CAction> action;

    Pipeline()
    {
        qInstallMessageHandler(Silence);
        auto counting = std::make_unique<CountingInput>();
        input = counting.get();
        DriverLinkBackends backends;
        backends.vhid = std::make_unique<CountingVhid>();
        backends.input = std::move(counting);
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
        p.SW = 1920;
        p.SH = 1080;
        p.fKX = p.fKY = p.fXLC = p.fYLC = 1.0f;
        for (PenConfig &c : p.CommonAPP.pens) {
            c.Press = SPresslvPoints{0.05f, 0.56f, 0.65f, 1.0f};
            c.TablePC = 1;
        }
        for (int i = 0; i < kProfileKeys; ++i)
            p.CommonAPP.keys[i].Motid = int16_t(i + 1);
        p.CommonAPP.keys[0].Actid = 5; // Ctrl+S

        // The most applications the settings window allows; the last one in front.
        for (int i = 0; i < 7; ++i) {
            nodes.push_back(std::make_unique<AppConfigNode>());
            std::memcpy(nodes.back().get(), &p.CommonAPP, sizeof(AppConfigNode));
            const QString path = QStringLiteral("/opt/application-%1/bin/program").arg(i);
            std::strncpy(nodes.back()->path, path.toUtf8().constData(), sizeof nodes.back()->path - 1);
            apps[path] = nodes.back().get();
        }
        ForegroundWindow window;
        window.path = QStringLiteral("/opt/application-6/bin/program");
        window.windowClass = QStringLiteral("Program");
        window.pid = 4321;
        foreground.set(window);

        action = std::make_unique<CAction>(0);
        action->SetServices(nullptr, &foreground, &system);
    }
    ~Pipeline()
    {
        action.reset();
        DriverLink::Close();
    }
};

void PenPacket(TabletPacket &packet, int i)
{
    packet = TabletPacket{};
    packet.flags = PacketPen;
    packet.status = 0xA1;
    packet.x = (i * 37) & 0x7FFF;
    packet.y = (i * 53) & 0x7FFF;
    packet.pressure = uint16_t((i * 7) & 0x1FFF);
    packet.tiltX = 5;
    packet.tiltY = -5;
}

void BM_PenPathBaseline(benchmark::State &state)
{
    Pipeline p;
    PenPath pen(p.input);
    TabletPacket packet{};
    const AppConfigNode *app = &p.profile->CommonAPP;
    int i = 0;
    for (auto _ : state) {
        PenPacket(packet, i++);
        MultiData out{};
        out.flags = packet.flags;
        pen.MapPen(packet, p.attributes, *p.profile, app, out);
        pen.PenOutput(packet, 4321, out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_PenPathBaseline);

void BM_PipelinePenPacket(benchmark::State &state)
{
    Pipeline p;
    TabletPacket packet{};
    int i = 0;
    for (auto _ : state) {
        PenPacket(packet, i++);
        benchmark::DoNotOptimize(p.action->ProcessPacket(packet, p.attributes, *p.profile, p.apps));
    }
}
BENCHMARK(BM_PipelinePenPacket);

// The same under a Wayland compositor with an XWayland window in front: the
// compositor's record, then XWayland's (the dearest lookup of a Wayland session).
void BM_PipelinePenPacketWaylandX(benchmark::State &state)
{
    Pipeline p;
    ForegroundWindow window = *p.foreground.current();
    window.x11 = true;
    SessionForegroundBackend foreground(std::make_unique<FixedForegroundBackend>(window),
                                        std::make_unique<FixedForegroundBackend>(*p.foreground.current()));
    p.action->SetServices(nullptr, &foreground, &p.system);
    TabletPacket packet{};
    int i = 0;
    for (auto _ : state) {
        PenPacket(packet, i++);
        benchmark::DoNotOptimize(p.action->ProcessPacket(packet, p.attributes, *p.profile, p.apps));
    }
}
BENCHMARK(BM_PipelinePenPacketWaylandX);

// Key 1 pressed and released in turn: Ctrl+S down, then up; caption on the press,
// a usage record each time.
void BM_PipelineKeyPacket(benchmark::State &state)
{
    Pipeline p;
    TabletPacket packet{};
    packet.flags = PacketKeys;
    for (auto _ : state) {
        packet.prevKeys[0] = packet.keys[0];
        packet.keys[0] = !packet.keys[0];
        benchmark::DoNotOptimize(p.action->ProcessPacket(packet, p.attributes, *p.profile, p.apps));
    }
    state.counters["keys_per_packet"] = double(p.input->keys) / double(state.iterations());
}
BENCHMARK(BM_PipelineKeyPacket);

// The same key with a custom key combination and captions off.
void BM_PipelineCustomKeyPacket(benchmark::State &state)
{
    Pipeline p;
    for (auto &node : p.nodes) {
        node->keys[0].id = 1;
        std::strcpy(node->keys[0].custom, "1|Save|Ctrl+S|17:29+83:31");
    }
    p.profile->DisableInfo = 1;
    TabletPacket packet{};
    packet.flags = PacketKeys;
    for (auto _ : state) {
        packet.prevKeys[0] = packet.keys[0];
        packet.keys[0] = !packet.keys[0];
        benchmark::DoNotOptimize(p.action->ProcessPacket(packet, p.attributes, *p.profile, p.apps));
    }
}
BENCHMARK(BM_PipelineCustomKeyPacket);

// A ring step of the first ring, turning back and forth: its default function (zoom,
// Ctrl with + or -), the caption and a usage record.
void BM_PipelineRingPacket(benchmark::State &state)
{
    Pipeline p;
    TabletPacket packet{};
    packet.flags = PacketRing;
    packet.ringIndex = 0;
    for (auto _ : state) {
        packet.ringDelta = int16_t(packet.ringDelta == 1 ? -1 : 1);
        benchmark::DoNotOptimize(p.action->ProcessPacket(packet, p.attributes, *p.profile, p.apps));
    }
    state.counters["keys_per_packet"] = double(p.input->keys) / double(state.iterations());
}
BENCHMARK(BM_PipelineRingPacket);

// A step of the touch ring (the second ring working as a touch area): Alt with F13 or
// F14 and a usage record, no caption.
void BM_PipelineTouchRingPacket(benchmark::State &state)
{
    Pipeline p;
    for (auto &node : p.nodes)
        node->TRMode = 1;
    TabletPacket packet{};
    packet.flags = PacketRing;
    packet.ringIndex = 1;
    for (auto _ : state) {
        packet.ringDelta = int16_t(packet.ringDelta == 1 ? -1 : 1);
        benchmark::DoNotOptimize(p.action->ProcessPacket(packet, p.attributes, *p.profile, p.apps));
    }
    state.counters["keys_per_packet"] = double(p.input->keys) / double(state.iterations());
}
BENCHMARK(BM_PipelineTouchRingPacket);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
