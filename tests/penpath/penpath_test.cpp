// The pen path of the action engine: mapping of pen samples and what reaches the virtual
// device, the synthetic mouse and the Wintab map. The tablet in these tests is 10 x 6
// inches at 1000 lines per inch (10000 x 6000 logical units) on a 2000 x 1200 desktop;
// the full tablet maps onto the desktop's top-left 1000 x 600 pixels, so one screen pixel
// is ten tablet units.
#include "action/penpath.h"

#include "driverlink/cwintabmap.h"
#include "driverlink/driverlink.h"
#include "mapping/pressurecurve.h"
#include "mapping/screentable.h"
#include "platform/input/recordinginputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/vhid/recordingvhid.h"
#include "platform/vhid/vhidreport.h"
#include "platform/window/fakewindowbackend.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

// Allocations are counted while armed: the per-packet path must make none.
namespace {
std::atomic<bool> g_countAllocations{false};
std::atomic<int> g_allocations{0};
} // namespace

void *operator new(std::size_t size)
{
    if (g_countAllocations.load(std::memory_order_relaxed))
        ++g_allocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

// A virtual device that keeps only the last report.
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

struct PostedMessage {
    uint64_t window;
    uint32_t message;
    int64_t wParam;
    int64_t lParam;
};

class RecordingPoster : public WintabWindowPoster {
public:
    bool PostToWindow(uint64_t window, uint32_t message, int64_t wParam, int64_t lParam) override
    {
        posted.push_back({window, message, wParam, lParam});
        return true;
    }
    std::vector<PostedMessage> posted;
};

uint32_t FixedTick()
{
    return 1234;
}

// A decoded pen report as the pen path gets it.
TabletPacket Pen(int x, int y, uint8_t status = 0xA1, uint16_t pressure = 4096, int8_t tiltX = 0,
                 int8_t tiltY = 0)
{
    TabletPacket p{};
    p.flags = PacketPen;
    p.x = x;
    p.y = y;
    p.status = status;
    p.pressure = pressure;
    p.tiltX = tiltX;
    p.tiltY = tiltY;
    return p;
}

struct Rig {
    QTemporaryDir ipcDir;
    RecordingVhidBackend *vhid = nullptr;      // owned by the driver link
    RecordingInputInjector *input = nullptr;   // owned by the driver link
    std::unique_ptr<SharedMemory> driverSide;  // the Wintab side's view of the map
    std::unique_ptr<TabletXMLData> profile = std::make_unique<TabletXMLData>();
    DeviceAttributes attributes{};
    RecordingPoster poster;
    std::unique_ptr<PenPath> pen;
    int64_t foregroundPid = 0;

    explicit Rig(bool swapped = false, bool sinkOnly = false)
    {
        PenPath::ResetSharedState();
        auto v = std::make_unique<RecordingVhidBackend>();
        auto in = std::make_unique<RecordingInputInjector>();
        in->setButtonsSwapped(swapped);
        vhid = v.get();
        input = in.get();
        DriverLinkBackends backends;
        if (sinkOnly)
            backends.vhid = std::make_unique<SinkBackend>();
        else
            backends.vhid = std::move(v);
        backends.input = std::move(in);
        backends.ipc = std::make_unique<PosixIpcBackend>(ipcDir.path());
        DriverLink::Open(std::move(backends));
        PosixIpcBackend peer(ipcDir.path());
        IpcError error = IpcError::None;
        driverSide = peer.openSharedMemory(QLatin1String(kWintabMapName), kWintabMapSize, false, &error);

        ScreenTable::Publish(ScreenTable::Build({ScreenRect{0, 0, 2000, 1200}}));

        attributes.MaxX = 10000;
        attributes.MaxY = 6000;
        attributes.Resolution = 1000;
        attributes.WidthInch100 = 1000;
        attributes.HeightInch100 = 600;
        attributes.MaxPressure = 8191;
        attributes.DeviceKind = 1;
        TabletXMLData &p = *profile;
        p.TX = 0;
        p.TY = 0;
        p.TW = 1000;
        p.TH = 600;
        p.SX = 0;
        p.SY = 0;
        p.SW = 1000;
        p.SH = 600;
        p.fKX = p.fKY = p.fXLC = p.fYLC = 1.0f;
        for (PenConfig &c : p.CommonAPP.pens) {
            c.Press = DefaultPressPoints();
            c.TablePC = 1;
            c.Speed = 5;
        }
        pen = std::make_unique<PenPath>(input);
        pen->SetWintabPoster(&poster);
        pen->SetTickFunction(&FixedTick);
    }
    ~Rig()
    {
        pen.reset();
        driverSide.reset();
        DriverLink::Close();
        PenPath::ResetSharedState();
    }

    PenConfig &Pen0() { return profile->CommonAPP.pens[0]; }

    MultiData Run(const TabletPacket &packet)
    {
        MultiData out{};
        out.flags = packet.flags;
        const AppConfigNode *app = &profile->CommonAPP;
        pen->MapPen(packet, attributes, *profile, app, out);
        pen->PenOutput(packet, foregroundPid, out);
        return out;
    }

    // The Wintab side opens a context for a process.
    void OpenContext(int index, int32_t pid, uint32_t options, uint64_t window, bool wide = false)
    {
        uint8_t *c = driverSide->data() + index * kWintabContextSize;
        c[4] = 1;
        c[5] = 1;
        c[6] = wide ? 1 : 0;
        qToLittleEndian<quint32>(options, c + (wide ? 260 : 48));
        qToLittleEndian<quint64>(window, c + 392);
        qToLittleEndian<qint32>(pid, c + 400);
    }

    std::vector<WintabPacket> RingPackets() const
    {
        std::vector<WintabPacket> out;
        const uint8_t *map = DriverLink::WintabMap()->Data();
        const int32_t count = WintabLayout::ReadCounter(map);
        for (int32_t i = 0; i < count; ++i) {
            WintabPacket p;
            if (WintabLayout::ReadPacket(map, WintabLayout::EntryOf(i), &p))
                out.push_back(p);
        }
        return out;
    }

    QVector<QByteArray> Reports() const { return vhid->reports(); }
    // Status byte of each pen report, in order.
    std::vector<int> PenStatuses() const
    {
        std::vector<int> out;
        for (const QByteArray &r : vhid->reports()) {
            if (vhidReportKind(reinterpret_cast<const uint8_t *>(r.constData()), r.size()) == VhidReportKind::Pen)
                out.push_back(uint8_t(r[3]));
        }
        return out;
    }
};

int U16(const QByteArray &r, int at)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(r.constData()) + at);
}

} // namespace

// --- pressure -------------------------------------------------------------------------

TEST(PenPathPressure, CurveOfThePacketsPenShapesTheOutput)
{
    Rig rig;
    // Default curve: the straight line, truncated. Half the maximum gives 4095.
    rig.attributes.MaxPressure = 2048;
    EXPECT_EQ(rig.Run(Pen(100, 100, 0xA1, 1024)).pressure, 4095);
    EXPECT_EQ(rig.Run(Pen(100, 100, 0xA1, 2048)).pressure, 8191);
    EXPECT_EQ(rig.Run(Pen(100, 100, 0xA1, 1)).pressure, 1 * 8191 / 2048);

    // Pen 1 has a curve that starts at 0.2 and is full at 0.8; pen 0 keeps the line.
    SPresslvPoints firm{0.2f, 0.5f, 0.5f, 0.8f};
    rig.profile->CommonAPP.pens[1].Press = firm;
    TabletPacket p = Pen(100, 100, 0xA1, 400); // below 0.2 x 2048
    p.penId = 1;
    EXPECT_EQ(rig.Run(p).pressure, 0);
    p.pressure = 1700; // above 0.8 x 2048
    EXPECT_EQ(rig.Run(p).pressure, 8191);
    p.penId = 0;
    EXPECT_EQ(rig.Run(p).pressure, 1700 * 8191 / 2048);

    // Zero raw pressure is 0 whatever the curve or the switch.
    p.pressure = 0;
    p.penId = 1;
    rig.profile->CommonAPP.pens[1].Press = SPresslvPoints{0.0f, 0.0f, 1.0f, 0.0f};
    EXPECT_EQ(rig.Run(p).pressure, 0);
    rig.profile->DisablePressure = 1;
    EXPECT_EQ(rig.Run(p).pressure, 0);
    // Pressure switched off: any touch is full pressure of the device.
    p.pressure = 3;
    EXPECT_EQ(rig.Run(p).pressure, 2048);
}

TEST(PenPathPressure, CoincidingCurvePointsGiveAStepNotADivisionByZero)
{
    const SPresslvPoints step{0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(PressureMap(1, 1000, step), 0);
    EXPECT_EQ(PressureMap(499, 1000, step), 0);
    EXPECT_EQ(PressureMap(500, 1000, step), 8191);
    EXPECT_EQ(PressureMap(1000, 1000, step), 8191);
    // All at the start: any touch is full pressure; all at the end: only the maximum.
    EXPECT_EQ(PressureMap(1, 1000, SPresslvPoints{0.0f, 0.0f, 0.3f, 0.0f}), 8191);
    EXPECT_EQ(PressureMap(999, 1000, SPresslvPoints{1.0f, 1.0f, 0.3f, 1.0f}), 0);
    EXPECT_EQ(PressureMap(1000, 1000, SPresslvPoints{1.0f, 1.0f, 0.3f, 1.0f}), 8191);
}

// --- geometry -------------------------------------------------------------------------

TEST(PenPathGeometry, EachOrientationTurnsTheCornersAndTheTilt)
{
    struct Case {
        int orientation;
        int rawX, rawY;
        int x44800, y29600; // where the corner lands on the 2000 x 1200 desktop
        int tiltX, tiltY;   // of a pen tilted (10, 20)
    };
    // The mapped area is the desktop's left half: 22400 x 14800 in physical units.
    const Case cases[] = {
        {0, 0, 0, 0, 0, 10, 20},
        {0, 10000, 6000, 22400, 14800, 10, 20},
        {1, 0, 0, 22400, 0, -20, 10},      // x' = H - y, y' = x
        {1, 10000, 0, 22400, 14800, -20, 10},
        {2, 0, 0, 22400, 14800, -10, -20}, // (0, 0) becomes (W, H)
        {2, 10000, 6000, 0, 0, -10, -20},
        {3, 0, 0, 0, 14800, 20, -10},      // x' = y, y' = W - x
        {3, 0, 6000, 22400, 14800, 20, -10},
    };
    for (const Case &c : cases) {
        Rig rig;
        rig.profile->Orientation = int16_t(c.orientation);
        if (c.orientation % 2) {
            // Turned a quarter, the tablet is 6 inches wide and 10 high.
            rig.profile->TW = 600;
            rig.profile->TH = 1000;
        }
        const MultiData out = rig.Run(Pen(c.rawX, c.rawY, 0xA1, 4096, 10, 20));
        SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << " raw " << c.rawX << "," << c.rawY);
        EXPECT_EQ(out.x44800, c.x44800);
        EXPECT_EQ(out.y29600, c.y29600);
        EXPECT_EQ(int8_t(out.tiltX), c.tiltX);
        EXPECT_EQ(int8_t(out.tiltY), c.tiltY);
        // The screen position stays on the target's last pixel.
        EXPECT_LE(out.screenX, 999.0);
        EXPECT_LE(out.screenY, 599.0);
    }

    // An untilted pen stays untilted in every orientation; tilt switched off gives 0.
    Rig rig;
    rig.profile->Orientation = 2;
    MultiData out = rig.Run(Pen(5000, 3000, 0xA1, 4096, 0, 0));
    EXPECT_EQ(out.tiltX, 0);
    EXPECT_EQ(out.tiltY, 0);
    rig.profile->DisableSlope = 1;
    out = rig.Run(Pen(5000, 3000, 0xA1, 4096, 30, -30));
    EXPECT_EQ(out.tiltX, 0);
    EXPECT_EQ(out.tiltY, 0);
}

TEST(PenPathGeometry, OutsideTheTabletAreaIsHeldAtTheEdgeWithStatusZero)
{
    Rig rig;
    // Area from (1, 1) inch, 5 x 3 inches: logical 1000..6000 x 1000..4000.
    rig.profile->TX = 100;
    rig.profile->TY = 100;
    rig.profile->TW = 500;
    rig.profile->TH = 300;

    // Inside: the area spans the whole target.
    MultiData out = rig.Run(Pen(3500, 2500));
    EXPECT_DOUBLE_EQ(out.screenX, 500.0);
    EXPECT_DOUBLE_EQ(out.screenY, 300.0);
    // The far edge is still inside (the area is aw + 1 wide).
    out = rig.Run(Pen(6000, 4000));
    EXPECT_EQ(out.x44800, 22400);
    EXPECT_EQ(rig.PenStatuses().back(), 0x11);

    // Left of the area, tip down: held at the left edge, no tip any more.
    out = rig.Run(Pen(500, 2500, 0xA1));
    EXPECT_DOUBLE_EQ(out.screenX, 0.0);
    EXPECT_DOUBLE_EQ(out.screenY, 300.0);
    EXPECT_EQ(rig.PenStatuses().back(), 0x10);
    // Below and right: both held.
    out = rig.Run(Pen(9000, 5900, 0xA1));
    EXPECT_EQ(out.x44800, 22400);
    EXPECT_EQ(out.y29600, 14800);
    EXPECT_EQ(rig.PenStatuses().back(), 0x10);

    // A pen that leaves range out there still leaves.
    rig.Run(Pen(500, 500, 0xC0, 0));
    EXPECT_EQ(rig.PenStatuses().back(), 0xC0);
    EXPECT_FALSE(rig.pen->PenInRange());
}

TEST(PenPathGeometry, PenDisplayCalibrationAndTargets)
{
    Rig rig;
    rig.attributes.DeviceKind = 2;
    // Scale 0.5 around the middle, shifted: x = (x - 5000) / 0.5 + 10000 * 1.1 / 2.
    rig.profile->fKX = 0.5f;
    rig.profile->fXLC = 1.1f;
    MultiData out = rig.Run(Pen(5000, 3000));
    EXPECT_EQ(out.screenX, 550.0);
    EXPECT_EQ(out.screenY, 300.0);
    out = rig.Run(Pen(4000, 3000)); // (4000 - 5000) / 0.5 + 5500 = 3500
    EXPECT_EQ(out.screenX, 350.0);

    // An uncalibrated record (zero scale) leaves the sample alone.
    rig.profile->fKX = 0.0f;
    out = rig.Run(Pen(4000, 3000));
    EXPECT_EQ(out.screenX, 400.0);

    // A pen tablet ignores the calibration.
    rig.attributes.DeviceKind = 1;
    rig.profile->fKX = 0.5f;
    out = rig.Run(Pen(4000, 3000));
    EXPECT_EQ(out.screenX, 400.0);

    // Fine mode maps the whole tablet onto its rectangle; HID units follow the desktop.
    rig.profile->FineMode = 1;
    rig.profile->FineX = 1000;
    rig.profile->FineY = 200;
    rig.profile->FineW = 320;
    rig.profile->FineH = 210;
    out = rig.Run(Pen(5000, 3000));
    EXPECT_EQ(out.screenX, 1160.0);
    EXPECT_EQ(out.screenY, 305.0);
    EXPECT_EQ(out.x7FFF, 1160 * 32767 / 2000);
    EXPECT_EQ(rig.pen->LastScreenX(), 1160);
    EXPECT_EQ(rig.pen->LastScreenY(), 305);

    // A target of width 0 maps nothing and sends nothing.
    rig.profile->FineMode = 0;
    rig.profile->SW = 0;
    const int before = rig.Reports().size();
    out = rig.Run(Pen(5000, 3000));
    EXPECT_EQ(out.x7FFF, 0);
    EXPECT_EQ(rig.Reports().size(), before);

    // A device without a physical size maps nothing either.
    rig.profile->SW = 1000;
    rig.attributes.WidthInch100 = 0;
    out = rig.Run(Pen(5000, 3000));
    EXPECT_EQ(out.x7FFF, 0);
}

// --- mouse mode -----------------------------------------------------------------------

TEST(PenPathMouseMode, SpeedDividesTheStepsAndCarriesTheRest)
{
    Rig rig;
    rig.Pen0().RelativeCoords = 1;
    rig.Pen0().TablePC = 0;

    rig.profile->CommonAPP.pens[0].Speed = 0; // divisor 50
    MultiData out = rig.Run(Pen(1000, 1000, 0xA0));
    EXPECT_EQ(out.relDx, 0); // the first sample only anchors
    out = rig.Run(Pen(1120, 1000, 0xA0));
    EXPECT_EQ(out.relDx, 2); // 120 / 50, 20 carried
    out = rig.Run(Pen(1155, 990, 0xA0));
    EXPECT_EQ(out.relDx, 1); // (35 + 20) / 50, 5 carried
    EXPECT_EQ(out.relDy, 0); // -10 / 50: nothing yet, the anchor stays
    out = rig.Run(Pen(1199, 950, 0xA0));
    EXPECT_EQ(out.relDx, 0); // (44 + 5) / 50
    EXPECT_EQ(out.relDy, -1); // -50 from the anchor
    out = rig.Run(Pen(1200, 950, 0xA0));
    EXPECT_EQ(out.relDx, 1); // (45 + 5) / 50

    // The report carries the steps.
    const QByteArray r = rig.Reports().back();
    ASSERT_EQ(vhidReportKind(reinterpret_cast<const uint8_t *>(r.constData()), r.size()),
              VhidReportKind::RelativeMouse);
    EXPECT_EQ(int8_t(r[4]), 1);

    // Leaving range resets: coming back elsewhere anchors again instead of jumping.
    rig.Run(Pen(1200, 950, 0xC0, 0));
    out = rig.Run(Pen(8000, 5000, 0xA0));
    EXPECT_EQ(out.relDx, 0);
    EXPECT_EQ(out.relDy, 0);

    // Speed 9: divisor 5.
    rig.profile->CommonAPP.pens[0].Speed = 9;
    out = rig.Run(Pen(8012, 4988, 0xA0));
    EXPECT_EQ(out.relDx, 2);  // 12 / 5, 2 carried
    EXPECT_EQ(out.relDy, -2); // -12 / 5, -2 carried
    out = rig.Run(Pen(8015, 4985, 0xA0));
    EXPECT_EQ(out.relDx, 1);  // (3 + 2) / 5
    EXPECT_EQ(out.relDy, -1);

    // A speed past the scale is taken as the fastest, not a division by zero.
    rig.profile->CommonAPP.pens[0].Speed = 10;
    out = rig.Run(Pen(8025, 4985, 0xA0));
    EXPECT_EQ(out.relDx, 2);
}

TEST(PenPathMouseMode, TipIsTheLeftButtonOrTheRightOneWhenSwapped)
{
    for (bool swapped : {false, true}) {
        Rig rig(swapped);
        rig.Pen0().TablePC = 0; // absolute mouse
        TabletPacket p = Pen(5000, 3000, 0xA1);
        p.flags |= PacketPenButton;
        p.penButtonNo = 1;
        p.penButtonDown = 1;
        rig.Run(p);
        QByteArray r = rig.Reports().back();
        ASSERT_EQ(vhidReportKind(reinterpret_cast<const uint8_t *>(r.constData()), r.size()),
                  VhidReportKind::AbsoluteMouse);
        EXPECT_EQ(uint8_t(r[3]), swapped ? 2 : 1);
        EXPECT_EQ(U16(r, 4), 5000 / 10 * 32767 / 2000);
        // Other buttons leave it alone; the tip coming up releases it.
        p.penButtonNo = 2;
        rig.Run(p);
        EXPECT_EQ(uint8_t(rig.Reports().back()[3]), swapped ? 2 : 1);
        p.penButtonNo = 1;
        p.penButtonDown = 0;
        p.status = 0xA0;
        rig.Run(p);
        EXPECT_EQ(uint8_t(rig.Reports().back()[3]), 0);
    }
}

// --- pen report status ----------------------------------------------------------------

TEST(PenPathStatus, EraserToggleReentryAndRightClick)
{
    Rig rig;
    rig.Run(Pen(5000, 3000, 0xA0));
    rig.Run(Pen(5000, 3000, 0xA1));
    EXPECT_EQ(rig.PenStatuses(), (std::vector<int>{0x10, 0x11}));

    // Toggled to the eraser: the pen leaves once, then hovers / touches as the eraser.
    rig.pen->SetPenEraserToggle(true);
    rig.Run(Pen(5100, 3000, 0xA0, 0));
    rig.Run(Pen(5100, 3000, 0xA1));
    std::vector<int> statuses = rig.PenStatuses();
    ASSERT_EQ(statuses.size(), 5u);
    EXPECT_EQ(statuses[2], 0xC0);
    EXPECT_EQ(statuses[3], 0x18);
    EXPECT_EQ(statuses[4], 0x14);
    EXPECT_FALSE(rig.pen->Reentry());
    // The leave report is at the current position.
    EXPECT_EQ(U16(rig.Reports()[2], 4), 510 * 32767 / 2000);

    // Right click held: tip and barrel bits; released: one report with the barrel only.
    rig.pen->SetPenEraserToggle(false);
    rig.Run(Pen(5000, 3000, 0xA0)); // re-entry report + pen
    rig.pen->PressRightClick();
    rig.Run(Pen(5000, 3000, 0xA1));
    rig.Run(Pen(5000, 3000, 0xA0));
    rig.pen->ReleaseRightClick();
    rig.Run(Pen(5000, 3000, 0xA0));
    rig.Run(Pen(5000, 3000, 0xA0));
    statuses = rig.PenStatuses();
    EXPECT_EQ(std::vector<int>(statuses.begin() + 5, statuses.end()),
              (std::vector<int>{0xC0, 0x10, 0x13, 0x13, 0x12, 0x10}));
    EXPECT_EQ(rig.pen->PendingRightClick(), PenPath::RightClickNone);
}

TEST(PenPathStatus, EraserEndReportsAsEraserOnlyWhenAllowed)
{
    Rig rig;
    rig.Run(Pen(5000, 3000, 0xA8));
    rig.Run(Pen(5000, 3000, 0xA9));
    rig.Pen0().buttons[0].Actid = 27; // the eraser end erases
    rig.Run(Pen(5000, 3000, 0xA8));
    rig.Run(Pen(5000, 3000, 0xA9));
    rig.Pen0().buttons[0].id = 1; // a custom function on the eraser end: no erasing
    rig.Run(Pen(5000, 3000, 0xA9));
    EXPECT_EQ(rig.PenStatuses(), (std::vector<int>{0x10, 0x10, 0x18, 0x14, 0x10}));
}

// --- Wintab ---------------------------------------------------------------------------

TEST(PenPathWintab, OrientationFromTiltInEachQuadrant)
{
    struct Case {
        int tx, ty, azimuth, altitude;
    };
    const Case cases[] = {
        {0, 0, 0, 900},
        {10, -40, 118, 493},   // 90 - 78.13
        {10, 40, 1681, 493},   // 78.13 + 90
        {-10, 40, 1918, 493},  // 270 - 78.13
        {-10, -40, 3481, 493}, // 78.13 + 270
        {30, 0, 900, 600},
        {-25, 0, 2700, 650},
        {0, -20, 0, 700},
        {0, 20, 1800, 700},
    };
    for (const Case &c : cases) {
        int32_t az = -1, alt = -1;
        WintabOrientation(c.tx, c.ty, &az, &alt);
        SCOPED_TRACE(testing::Message() << "tilt " << c.tx << "," << c.ty);
        EXPECT_NEAR(az, c.azimuth, 1);
        EXPECT_NEAR(alt, c.altitude, 1);
    }
    // A tilt byte past 90 degrees stays a sane orientation.
    int32_t az = 0, alt = 0;
    WintabOrientation(127, -128, &az, &alt);
    EXPECT_GE(alt, 0);
    EXPECT_LE(alt, 900);
    EXPECT_GE(az, 0);
    EXPECT_LT(az, 3600);
}

TEST(PenPathWintab, PacketsOfTheForegroundContextWithChangesAndMessages)
{
    Rig rig;
    rig.foregroundPid = 4242;
    rig.OpenContext(2, 999, 0x1, 55);          // another process's context
    rig.OpenContext(3, 4242, 0x1 | 0x4 | 0x8, 77);

    rig.Run(Pen(5000, 3000, 0xA0, 0, 10, -40));  // enters
    rig.Run(Pen(5000, 3000, 0xA0, 0, 10, -40));  // nothing changed
    rig.Run(Pen(5010, 3000, 0xA1, 8191, 10, -40)); // x, buttons, pressure
    rig.Run(Pen(5010, 3000, 0xC0, 0, 0, 0));     // leaves

    const std::vector<WintabPacket> ring = rig.RingPackets();
    ASSERT_EQ(ring.size(), 4u);
    const WintabPacket &first = ring[0];
    EXPECT_EQ(first.context, 3);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.time, 1234u);
    EXPECT_EQ(first.serial, 1);
    EXPECT_EQ(first.cursor, 1);
    EXPECT_EQ(first.buttons, 0);
    EXPECT_EQ(first.x, 11200);
    EXPECT_EQ(first.y, 29600 - 7400); // the map's y extent minus the physical y
    EXPECT_EQ(first.pressure, 0);
    EXPECT_NEAR(first.azimuth, 118, 1);
    EXPECT_NEAR(first.altitude, 493, 1);
    EXPECT_EQ(first.twist, 0);
    // Against the zeroed start: every non-zero field counts as changed.
    EXPECT_EQ(first.changed, uint32_t(0x1 | 0x4 | 0x10 | 0x20 | 0x80 | 0x100 | 0x1000));
    EXPECT_EQ(ring[1].changed, uint32_t(0x4 | 0x10));
    EXPECT_EQ(ring[1].serial, 2);
    EXPECT_EQ(ring[2].changed, uint32_t(0x4 | 0x10 | 0x40 | 0x80 | 0x400));
    EXPECT_EQ(ring[2].buttons, 1);
    EXPECT_EQ(ring[2].pressure, 8191);
    EXPECT_EQ(ring[3].changed, uint32_t(0x4 | 0x10 | 0x40 | 0x400 | 0x1000));
    EXPECT_EQ(ring[3].altitude, 900);

    // Enter: proximity in and the cursor message; every packet: the packet message;
    // leave: proximity out.
    const std::vector<PostedMessage> &m = rig.poster.posted;
    ASSERT_EQ(m.size(), 7u);
    for (const PostedMessage &pm : m)
        EXPECT_EQ(pm.window, 77u);
    EXPECT_EQ(m[0].message, 0x7FF5u);
    EXPECT_EQ(m[0].wParam, 3);
    EXPECT_EQ(m[0].lParam, 0x10001);
    EXPECT_EQ(m[1].message, 0x7FF7u);
    EXPECT_EQ(m[1].wParam, 0);
    EXPECT_EQ(m[1].lParam, 3);
    EXPECT_EQ(m[2].message, 0x7FF0u);
    EXPECT_EQ(m[2].wParam, 0);
    EXPECT_EQ(m[3].message, 0x7FF0u);
    EXPECT_EQ(m[3].wParam, 1);
    EXPECT_EQ(m[4].wParam, 2);
    EXPECT_EQ(m[5].message, 0x7FF0u);
    EXPECT_EQ(m[5].wParam, 3);
    EXPECT_EQ(m[6].message, 0x7FF5u);
    EXPECT_EQ(m[6].lParam, 0x10000);

    // Back in range: entering again.
    rig.Run(Pen(5010, 3000, 0xA0, 0));
    ASSERT_EQ(m.size(), 10u);
    EXPECT_EQ(m[7].message, 0x7FF5u);
    EXPECT_EQ(m[7].lParam, 0x10001);
    // The context allows the system cursor: the pointer went on too.
    EXPECT_EQ(rig.PenStatuses().size(), 5u);
}

TEST(PenPathWintab, EraserCursorAndThePointerOption)
{
    Rig rig;
    rig.foregroundPid = 4242;
    rig.OpenContext(1, 4242, 0x4, 66, true); // wide record; no system cursor bit
    rig.pen->SetPenEraserToggle(true);
    rig.Run(Pen(5000, 3000, 0xA0, 0));
    rig.Run(Pen(5000, 3000, 0xA1));
    std::vector<WintabPacket> ring = rig.RingPackets();
    ASSERT_EQ(ring.size(), 2u);
    EXPECT_EQ(ring[0].cursor, 2);
    EXPECT_EQ(ring[0].status, 0x10);
    EXPECT_EQ(ring[1].buttons, 1);
    // Without the system-cursor option the pointer is left to the Wintab application.
    EXPECT_TRUE(rig.Reports().isEmpty());
    EXPECT_TRUE(rig.pen->Reentry()); // still due for the first pointer report

    // Another process in front: no context, the pointer moves.
    rig.foregroundPid = 5;
    rig.Run(Pen(5000, 3000, 0xA1));
    EXPECT_EQ(rig.RingPackets().size(), 2u);
    EXPECT_EQ(rig.PenStatuses(), (std::vector<int>{0xC0, 0x14}));
}

TEST(PenPathWintab, ContextZeroAndClosedContextsAreNotServed)
{
    {
    // Context 0 is found but not served: no packet, and the pointer still moves.
    Rig zero;
    zero.foregroundPid = 77;
    zero.OpenContext(0, 77, 0x4, 12);
    zero.OpenContext(4, 77, 0x4, 13); // later contexts of the process are not looked at
    zero.Run(Pen(5000, 3000, 0xA0, 0));
    EXPECT_TRUE(zero.RingPackets().empty());
    EXPECT_TRUE(zero.poster.posted.empty());
    EXPECT_EQ(zero.PenStatuses(), (std::vector<int>{0x10}));
    }

    // A closed or disabled context of the process is no context.
    Rig closed;
    closed.foregroundPid = 77;
    closed.OpenContext(5, 77, 0x4, 12);
    closed.driverSide->data()[5 * kWintabContextSize + 5] = 0; // disabled
    closed.Run(Pen(5000, 3000, 0xA0, 0));
    EXPECT_TRUE(closed.RingPackets().empty());
}

TEST(PenPathWintab, ContextWindowIsFoundByItsHandle)
{
    FakeWindowBackend windows;
    auto endpoint = windows.createEndpoint(QStringLiteral("WintabContext"), QStringLiteral("77"));
    ASSERT_TRUE(endpoint);
    QSignalSpy received(endpoint.get(), &WindowEndpoint::messageReceived);
    WindowBackendPoster poster(&windows);
    EXPECT_TRUE(poster.PostToWindow(77, 0x7FF5, 3, 0x10001));
    // No window registered for that handle: nothing delivered, and the post says so.
    EXPECT_FALSE(poster.PostToWindow(78, 0x7FF5, 3, 0x10001));
    ASSERT_TRUE(received.wait(2000));
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.at(0).at(0).toUInt(), 0x7FF5u);
    EXPECT_EQ(received.at(0).at(1).toLongLong(), 3);
    EXPECT_EQ(received.at(0).at(2).toLongLong(), 0x10001);
    EXPECT_FALSE(WindowBackendPoster(nullptr).PostToWindow(77, 0x7FF5, 3, 0x10001));
}

TEST(PenPathCost, APacketAllocatesNothing)
{
    Rig rig(false, true);
    rig.foregroundPid = 4242;
    rig.OpenContext(3, 4242, 0x1, 77); // served, pointer on, no messages asked for
    rig.pen->SetWintabPoster(nullptr);
    for (uint8_t tablePC : {0, 1}) {
        rig.Pen0().TablePC = tablePC;
        rig.Run(Pen(100, 100, 0xA0)); // first use of everything
        g_allocations = 0;
        g_countAllocations = true;
        for (int i = 0; i < 200; ++i) {
            TabletPacket p = Pen(100 + i * 40, 100 + i * 20, i % 50 == 49 ? 0xC0 : 0xA1, uint16_t(i * 40), 10, -20);
            rig.Run(p);
        }
        g_countAllocations = false;
        EXPECT_EQ(g_allocations.load(), 0) << "ink " << int(tablePC);
    }
    rig.Pen0().RelativeCoords = 1;
    g_allocations = 0;
    g_countAllocations = true;
    for (int i = 0; i < 100; ++i)
        rig.Run(Pen(100 + i * 40, 100, 0xA0));
    g_countAllocations = false;
    EXPECT_EQ(g_allocations.load(), 0) << "mouse mode";
    EXPECT_EQ(rig.RingPackets().size(), 2u + 400u + 100u);
}
