// Five tablets streaming at once through discovery, their reading threads and the one
// virtual device they share: every pen report is written once, whole and in its
// tablet's order. The tablets load the default profile file, so its mapping must keep
// the tip down across each tablet's whole width (a pen display's calibration of 0
// offsets once held its left half outside the area).
#include "usbtestenv.h"
#include "action/caction.h"

#include "device/ctablet.h"
#include "device/tabletdiscovery.h"
#include "driverlink/driverlink.h"
#include "mapping/screentable.h"
#include "platform/input/recordinginputinjector.h"
#include "platform/ipc/ipcbackend.h"
#include "platform/vhid/recordingvhid.h"
#include "platform/vhid/vhidreport.h"
#include "sim/simhidbackend.h"

#include <QTest>

#include <mutex>

namespace {

// The tablet whose report the reading thread read last: the device write that follows
// on the same thread is that report's.
thread_local int t_Tablet = -1;

struct Written {
    uint8_t status;
    int x;
    int y;
};

struct DriverLinkGuard {
    ~DriverLinkGuard() { DriverLink::Close(); }
};

} // namespace

TEST_F(UsbTestEnv, FiveTabletsAtOnceEachReportWrittenOnceWholeAndInOrder)
{
    constexpr int kReports = 300;
    ScreenTable::Publish(ScreenTable::Build({ScreenRect{0, 0, 1920, 1080}}));
    auto vhidOwned = std::make_unique<RecordingVhidBackend>();
    RecordingVhidBackend *vhid = vhidOwned.get();
    DriverLinkBackends link;
    link.vhid = std::move(vhidOwned);
    link.input = std::make_unique<RecordingInputInjector>();
    DriverLinkGuard guard;
    ASSERT_TRUE(DriverLink::Open(std::move(link)));

    std::mutex mutex; // guards written, strays
    std::vector<std::vector<Written>> written(5);
    int strays = 0;
    vhid->setReportHandler([&](const QByteArray &r, bool, const QVector<VhidEvent> &) {
        std::lock_guard<std::mutex> lock(mutex);
        if (t_Tablet < 0 || vhidReportKind(reinterpret_cast<const uint8_t *>(r.constData()), r.size())
                                != VhidReportKind::Pen) {
            ++strays;
            return;
        }
        const auto *d = reinterpret_cast<const uint8_t *>(r.constData());
        written[size_t(t_Tablet)].push_back(Written{d[3], d[4] | (d[5] << 8), d[6] | (d[7] << 8)});
    });

    SimHidBackend hid;
    QVector<std::shared_ptr<SimTablet>> sims;
    for (const SimModel &m : SimModels::all()) {
        if ((m.kind == 1 || m.kind == 2) && sims.size() < 5) // five slots
            sims << hid.plug(m);
    }
    ASSERT_EQ(sims.size(), 5) << "the test needs five simulated pen models";
    for (int i = 0; i < sims.size(); ++i)
        sims[i]->setReadObserver([i](const uint8_t *, int) { t_Tablet = i; });

    TabletDiscovery discovery(&hid, m_names.get());
    discovery.SetTabletSetup(&AttachActionEngine);
    QObject::connect(&discovery, &TabletDiscovery::TabletConnected, &discovery, [](CTablet *tablet, int) {
        tablet->SetScreenRectProvider([](int, QRect *rect) {
            *rect = QRect(0, 0, 1920, 1080);
            return true;
        });
        tablet->LoadProfile(tablet->profileKey);
    });
    ASSERT_TRUE(discovery.EnmuTabeltDevice());
    ASSERT_EQ(discovery.tabletCount(), 5);

    // Each tablet draws along its own height, left to right, with the tip down the whole
    // time and no pause between reports: a report mixed with another tablet's shows as
    // a height or a step back that is not its own.
    for (int t = 0; t < sims.size(); ++t) {
        const SimModel &m = sims[t]->model();
        SimPenSample s;
        s.buttons = 0x01;
        s.pressure = 2000;
        s.y = m.maxY * (t + 1) / 7;
        for (int i = 0; i < kReports; ++i) {
            s.x = 1000 + i * ((m.maxX - 2000) / kReports);
            sims[t]->queuePen(s);
        }
    }
    const auto done = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto &w : written) {
            if (int(w.size()) < kReports)
                return false;
        }
        return true;
    };
    ASSERT_TRUE(QTest::qWaitFor(done, 20000));
    for (auto &sim : sims)
        sim->setReadObserver(nullptr);
    vhid->setReportHandler(nullptr);

    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(strays, 0);
    for (int t = 0; t < 5; ++t) {
        const std::vector<Written> &w = written[size_t(t)];
        SCOPED_TRACE(sims[t]->model().modelKey);
        ASSERT_EQ(int(w.size()), kReports);
        for (int i = 1; i < kReports; ++i) {
            EXPECT_EQ(w[i].status, VhidPenInRange | VhidPenTip) << "report " << i;
            EXPECT_EQ(w[i].y, w[0].y) << "report " << i;
            EXPECT_GT(w[i].x, w[i - 1].x) << "report " << i;
        }
    }
    // The tablets' heights differ, so no report can pass for another tablet's.
    for (int t = 1; t < 5; ++t)
        EXPECT_NE(written[size_t(t)][0].y, written[size_t(t - 1)][0].y);
}
