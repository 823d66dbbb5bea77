// Cost of one report on the reading thread: the decoder alone, and the whole report
// handling of the tablet object (decode, pen tracking, action engine, result record).
// A tablet sends up to 266 pen reports a second (about 3.8 ms apart); the budget per
// report on the reading thread is far below that.
#include "action/caction.h"
#include "device/ctablet.h"
#include "device/decoder.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// 10-byte pen report, tip down, moving along x
void FillPen(uint8_t *r, int i)
{
    const uint8_t base[10] = {0x02, 0xA1, 0x10, 0x27, 0x20, 0x4E, 0x00, 0x10, 0x05, 0xFB};
    std::memcpy(r, base, sizeof base);
    r[2] = uint8_t(i);
    r[3] = uint8_t(i >> 8);
}

void Silence(QtMsgType, const QMessageLogContext &, const QString &) {}

void BM_DecodePenReport(benchmark::State &state)
{
    DecoderState decoder{};
    uint8_t r[10];
    int i = 0;
    for (auto _ : state) {
        FillPen(r, i++);
        TabletPacket p{};
        benchmark::DoNotOptimize(DecodeReport(r, 10, 0x0935, decoder, p));
    }
}
BENCHMARK(BM_DecodePenReport);

void BM_TabletPenReport(benchmark::State &state)
{
    qInstallMessageHandler(Silence);
    CTablet tablet(0);
    AttachActionEngine(tablet); // the whole packet, as the program runs it
    tablet.productId = 0x0935;
    tablet.m_DeviceAttributes.MaxX = 44800;
    tablet.m_DeviceAttributes.MaxY = 29600;
    tablet.m_DeviceAttributes.MaxPressure = 8191;
    tablet.TabletXMLData->DevicePenNum = 1;
    tablet.decodeEnabled = 1;
    uint8_t r[64] = {};
    int i = 0;
    for (auto _ : state) {
        FillPen(r, i++);
        tablet.ReceiveTabletPackets(r, 10);
    }
}
BENCHMARK(BM_TabletPenReport);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The decoder logs pen button changes; the log is not what is measured.
    qInstallMessageHandler(Silence);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
