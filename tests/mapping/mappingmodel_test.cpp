// The area mapping as the settings window drives it: screen list, spin boxes, buttons,
// rubber bands, rotation, the UI service's results and the display-change repair, all
// checked on the profile the pen path reads.
#include "app/mappingmodel.h"

#include "device/ctablet.h"
#include "device/tablettable.h"
#include "driverlink/cwintabmap.h"
#include "driverlink/driverlink.h"
#include "platform/display/displaybackend.h"
#include "platform/input/inputinjector.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "platform/vhid/recordingvhid.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A tablet without a transport that remembers the commands it was sent.
class RecordingTablet : public CTablet {
public:
    RecordingTablet(int slot, int width100, int height100)
        : CTablet(slot)
    {
        m_DeviceAttributes.WidthInch100 = width100;
        m_DeviceAttributes.HeightInch100 = height100;
        std::strcpy(m_DeviceAttributes.ModelKey, "TestPad");
        TabletXMLData->TW = static_cast<int16_t>(width100);
        TabletXMLData->TH = static_cast<int16_t>(height100);
    }
    void SentCmd(int type, int a, int b) override { commands.push_back({type, a, b}); }
    std::vector<std::vector<int>> commands;
};

QRect ScreenArea(const TabletXMLData &p) { return QRect(p.SX, p.SY, p.SW, p.SH); }
QRect TabletArea(const TabletXMLData &p) { return QRect(p.TX, p.TY, p.TW, p.TH); }

class MappingModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080)}));
        model.EnumDisplay();
        model.SetTablet(&tablet);
    }
    void TearDown() override { TabletTable::ClearAll(); }

    FixedDisplayBackend display;
    MappingModel model{&display};
    RecordingTablet tablet{0, 15200, 9500};
};

} // namespace

TEST(ScreenEnumeration, ScreensSortedByLeftEdgeAndThePrimaryKeepsItsName)
{
    FixedDisplayBackend display(FixedDisplayBackend::FromRects(
        {QRect(1920, 0, 2560, 1440), QRect(0, 0, 1920, 1080), QRect(-1280, 200, 1280, 1024)}));
    MappingModel model(&display, [](const QString &key, const QString &) {
        return key == QLatin1String("Device.Screen") ? QStringLiteral("Bildschirm") : QStringLiteral("Alle");
    });
    QSignalSpy list(&model, &MappingModel::ScreenListChanged);
    model.EnumDisplay();

    const ScreenTableData &t = ScreenTable::Current();
    ASSERT_EQ(t.count, 3);
    EXPECT_EQ(t.Slot(1).left, -1280);
    EXPECT_EQ(t.Slot(2).left, 0);
    EXPECT_EQ(t.Slot(3).left, 1920);
    EXPECT_EQ(t.primary, 2);
    EXPECT_EQ(t.Desktop(), (ScreenRect{-1280, 0, 1280 + 1920 + 2560, 1440}));
    ASSERT_FALSE(list.isEmpty());
    const QStringList expected{QStringLiteral("Alle(-1280,0,5760,1440)"),
                               QStringLiteral("Bildschirm1(-1280,200,1280,1024)"),
                               QStringLiteral("Bildschirm2(0,0,1920,1080)Primary"),
                               QStringLiteral("Bildschirm3(1920,0,2560,1440)")};
    EXPECT_EQ(list.last().at(0).toStringList(), expected);

    // Equal left edges: the upper screen first.
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 1080, 1920, 1080), QRect(0, 0, 1920, 1080)}));
    model.EnumDisplay();
    EXPECT_EQ(ScreenTable::Current().Slot(1).top, 0);
    EXPECT_EQ(ScreenTable::Current().primary, 1);
}

TEST(ScreenEnumeration, TenScreensKeepNineWithThePrimaryAmongThem)
{
    // A wall of ten screens listed right to left: the primary at (0, 0) comes last.
    std::vector<QRect> rects;
    for (int i = 9; i >= 0; --i)
        rects.push_back(QRect(i * 1920, 0, 1920, 1080));
    FixedDisplayBackend display(FixedDisplayBackend::FromRects(rects));
    MappingModel model(&display);
    model.EnumDisplay();
    const ScreenTableData &t = ScreenTable::Current();
    EXPECT_EQ(t.count, 9);
    ASSERT_EQ(t.primary, 1);
    EXPECT_EQ(t.Slot(1), (ScreenRect{0, 0, 1920, 1080}));
    EXPECT_EQ(model.ScreenListTexts().size(), 10);
    EXPECT_TRUE(model.ScreenListTexts().at(1).endsWith(QLatin1String("Primary")));
}

TEST(ScreenEnumeration, LogicalCopyAndWintabRectangle)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DriverLinkBackends backends;
    backends.vhid = std::make_unique<RecordingVhidBackend>();
    backends.ipc = std::make_unique<PosixIpcBackend>(dir.path());
    DriverLink::Open(std::move(backends));
    ASSERT_NE(DriverLink::WintabMap(), nullptr);

    // Two monitors on one output: the toolkit sees one screen at half the pixels.
    FixedDisplayBackend display(FixedDisplayBackend::FromRects({QRect(1920, 0, 1920, 1080), QRect(0, 0, 1920, 1080)}),
                                FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 540)}));
    MappingModel model(&display);
    model.EnumDisplay();
    EXPECT_EQ(ScreenTable::Logical().count, 1);
    EXPECT_EQ(ScreenTable::Logical().Slot(1), (ScreenRect{0, 0, 1920, 540}));

    const uint8_t *map = DriverLink::WintabMap()->Data();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(WintabLayout::ReadI32(map, kWintabRectOffset), 0);
    EXPECT_EQ(WintabLayout::ReadI32(map, kWintabRectOffset + 4), 0);
    EXPECT_EQ(WintabLayout::ReadI32(map, kWintabRectOffset + 8), 3840);  // right
    EXPECT_EQ(WintabLayout::ReadI32(map, kWintabRectOffset + 12), 1080); // bottom
    DriverLink::Close();
}

TEST_F(MappingModelTest, ProportionalAreaKeepsTheScreensShape)
{
    // 16:9 screen, 1.6 tablet: the tablet is narrower, so full width and a band in the
    // middle of its height.
    model.TabletScreenScalClicked();
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(0, 475, 15200, 8550));
    EXPECT_EQ(model.TabletValues(), QRect(0, 475, 15200, 8550));

    // 4:3 screen: the tablet is wider, so full height and a centred column. 9500 x 4/3
    // in single precision truncates to 12666.
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 1024, 768)}));
    model.ScreenSelected(1);
    model.TabletScreenScalClicked();
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(1267, 0, 12666, 9500));
}

TEST_F(MappingModelTest, SpinBoxesKeepTheAreasInside)
{
    // TX at the full width leaves no width: TW becomes 1, not 0.
    model.TXChanged(15200);
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(15200, 0, 1, 9500));
    // A width that no longer fits moves the left edge back.
    model.TWChanged(10000);
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(5200, 0, 10000, 9500));
    // TY at the bottom: TH shrinks, never below 1.
    model.TYChanged(9500);
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(5200, 9500, 10000, 1));
    model.THChanged(4000);
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(5200, 5500, 10000, 4000));
    // A value past the spin box's range is held at the range, as the box would.
    model.TXChanged(99999);
    EXPECT_EQ(tablet.TabletXMLData->TX, 15200);

    // The screen area against the mapped screen, here a screen right of the primary.
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080), QRect(1920, 0, 2560, 1440)}));
    model.ScreenSelected(2);
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 2);
    model.SXChanged(1920 + 2000);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(3920, 0, 560, 1440));
    model.SWChanged(1000);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(1920 + 1560, 0, 1000, 1440));
    model.SYChanged(1400);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(3480, 1400, 1000, 40));
    model.SHChanged(1000);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(3480, 440, 1000, 1000));
    EXPECT_EQ(model.ScreenValues(), QRect(3480, 440, 1000, 1000));
}

TEST_F(MappingModelTest, RubberBandsScaleWithIntegerArithmetic)
{
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080), QRect(1920, 0, 2560, 1440)}));
    model.ScreenSelected(2);
    // 2560 x 33 / 200 = 422.4: multiplying first gives 422; dividing first gives 396.
    model.on_ScreenRubberRectChange(QRect(33, 17, 101, 50), QRect(0, 0, 200, 100));
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(1920 + 422, 244, 1292, 720));

    model.on_TabletRubberRectChange(QRect(7, 3, 0, 61), QRect(0, 0, 150, 94));
    // 15200 x 7 / 150 = 709, 9500 x 3 / 94 = 303; an empty band still leaves 1 unit.
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(709, 303, 1, 6164));

    // A preview that was never laid out (size 0) changes nothing.
    model.on_TabletRubberRectChange(QRect(0, 0, 10, 10), QRect());
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(709, 303, 1, 6164));

    // A screen id past the table (left from an earlier desktop) scales by the desktop.
    tablet.TabletXMLData->ScreenId = 7;
    model.on_ScreenRubberRectChange(QRect(0, 0, 100, 100), QRect(0, 0, 100, 100));
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(0, 0, 4480, 1440));
}

TEST_F(MappingModelTest, RotationTurnsTheTabletAndTellsATouchRing)
{
    QSignalSpy orientation(&model, &MappingModel::OrientationChanged);
    QSignalSpy usage(&model, &MappingModel::UsageEvent);
    model.TXChanged(100);
    model.RotationButtonClicked(1);
    EXPECT_EQ(tablet.TabletXMLData->Orientation, 1);
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(0, 0, 9500, 15200));
    EXPECT_EQ(model.TabletRanges().xMax, 9500);
    EXPECT_EQ(model.TabletRanges().hMax, 15200);
    ASSERT_FALSE(orientation.isEmpty());
    EXPECT_EQ(orientation.last().at(1).toString(), QStringLiteral(":/image/tablet/TestPad_K1.png"));
    EXPECT_EQ(usage.last().at(0).toString(), QStringLiteral("RotationButtonClicked"));
    EXPECT_TRUE(tablet.commands.empty()) << "a wheel needs no orientation";

    // Full tablet follows the turned rectangle.
    model.TWChanged(100);
    model.FullTabletClicked();
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(0, 0, 9500, 15200));

    tablet.TabletXMLData->CommonAPP.TRMode = 1;
    model.RotationButtonClicked(2);
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(0, 0, 15200, 9500));
    ASSERT_EQ(tablet.commands.size(), 1u);
    EXPECT_EQ(tablet.commands[0], (std::vector<int>{2, 1, 2}));

    model.RotationButtonClicked(4); // not a step
    EXPECT_EQ(tablet.TabletXMLData->Orientation, 2);
}

TEST_F(MappingModelTest, ResultsOfTheUiServiceAndThePenAreStored)
{
    model.OnScreenAreaSelectFinish(QRect(100, 200, 640, 480));
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(100, 200, 640, 480));
    // A cancelled selection leaves zeros in the block: the mapping stays.
    model.OnScreenAreaSelectFinish(QRect(0, 0, 0, 0));
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(100, 200, 640, 480));

    model.OnScreenCalibrationFinish(1.02f, 0.98f, 0.01f, -0.02f);
    EXPECT_FLOAT_EQ(tablet.TabletXMLData->fKX, 1.02f);
    EXPECT_FLOAT_EQ(tablet.TabletXMLData->fYLC, -0.02f);
    // The pen path divides by the scales.
    model.OnScreenCalibrationFinish(0.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(tablet.TabletXMLData->fKX, 1.02f);

    // The area marked with the pen goes into the profile (the tablet does not store it).
    model.SelectWorkAreaClicked();
    EXPECT_EQ(tablet.areaCapture.load(), 1);
    emit tablet.SetAreaOk(1000, 500, 4000, 3000);
    QCoreApplication::processEvents(); // the signal comes queued, as from the reading thread
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(1000, 500, 4000, 3000));
    // Only the one answer: a later area is not taken.
    emit tablet.SetAreaOk(0, 0, 50, 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(1000, 500, 4000, 3000));
}

TEST_F(MappingModelTest, DisplayChangeRepairsEveryOpenTablet)
{
    RecordingTablet second(1, 15200, 9500);
    TabletTable::Set(0, &tablet);
    TabletTable::Set(1, &second);
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080)}));

    // The first tablet maps to screen 2 of 2 (its saved choice); the second has no
    // mapping of its own yet.
    tablet.screenIndex = 2;
    tablet.SX = 1920;
    tablet.SY = 0;
    tablet.SW = 1920;
    tablet.SH = 1080;
    model.OnDisplayChanged();
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 2);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(1920, 0, 1920, 1080));
    EXPECT_EQ(second.TabletXMLData->ScreenId, 0);
    EXPECT_EQ(ScreenArea(*second.TabletXMLData), QRect(0, 0, 3840, 1080));

    // Unplugged: screen 2 no longer fits, the primary's whole screen takes over. The
    // backend's notice runs the repair itself.
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080)}));
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 1);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(model.ScreenValues(), QRect(0, 0, 1920, 1080));
    EXPECT_EQ(ScreenArea(*second.TabletXMLData), QRect(0, 0, 1920, 1080));

    // Plugged in again: the saved choice comes back.
    display.setScreens(FixedDisplayBackend::FromRects({QRect(1920, 0, 1920, 1080), QRect(0, 0, 1920, 1080)}));
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 2);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(1920, 0, 1920, 1080));

    // A new desktop where the primary moved away from (0, 0): a mapping that no longer
    // fits goes to the whole desktop rather than to a missing primary.
    display.setScreens(FixedDisplayBackend::FromRects({QRect(-1920, 0, 1920, 1080)}));
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 0);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(-1920, 0, 1920, 1080));
}

TEST_F(MappingModelTest, ResetGoesToTheWholeDesktopUnturned)
{
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080)}));
    model.ScreenSelected(2);
    model.RotationButtonClicked(3);
    model.onResetWorkAreaDefaultSetting(true);
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 0);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(0, 0, 3840, 1080));
    EXPECT_EQ(tablet.TabletXMLData->Orientation, 0);
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(0, 0, 15200, 9500));

    model.RotationButtonClicked(3);
    model.onResetWorkAreaDefaultSetting(false);
    EXPECT_EQ(tablet.TabletXMLData->Orientation, 3);
}

TEST_F(MappingModelTest, PenDisplayKeepsToItsOwnMonitor)
{
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 2560, 1440), QRect(2560, 0, 1920, 1080)}));
    model.SetPenDisplayMonitor(2, 1);

    // An opaque tablet is not tied to the pen display's monitor.
    model.onResetWorkAreaDefaultSetting(true);
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 0);

    tablet.m_DeviceAttributes.DeviceKind = 2;
    model.onResetWorkAreaDefaultSetting(true);
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 2);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(2560, 0, 1920, 1080));
    EXPECT_EQ(tablet.TabletXMLData->Orientation, 1);
    EXPECT_EQ(TabletArea(*tablet.TabletXMLData), QRect(0, 0, 9500, 15200));

    // Its saved mapping no longer fits: back to its own monitor, not to the primary.
    TabletTable::Set(0, &tablet);
    tablet.screenIndex = 3;
    tablet.SX = 4480;
    tablet.SY = 0;
    tablet.SW = 1920;
    tablet.SH = 1080;
    model.OnDisplayChanged();
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 2);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(2560, 0, 1920, 1080));

    // The monitor is gone from the table: the ordinary rules apply.
    display.setScreens(FixedDisplayBackend::FromRects({QRect(0, 0, 2560, 1440)}));
    EXPECT_EQ(tablet.TabletXMLData->ScreenId, 1);
    EXPECT_EQ(ScreenArea(*tablet.TabletXMLData), QRect(0, 0, 2560, 1440));
}
