// Monitor lookup by EDID, the display search and the VCP writes, on fake monitors.
#include "mapping/screentable.h"
#include "monitor/monitorcontrol.h"
#include "monitor/monitorids.h"
#include "platform/ddc/fakeddcbackend.h"
#include "platform/display/displaybackend.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kOtherEdid = MonitorIds::MakeEdid(QStringLiteral("DEL"), 0xA0B1, 7);
const QByteArray kPenEdid = MonitorIds::SimulatedPenDisplayEdid();

// A desktop of an ordinary monitor at (0, 0) and the pen display to its right.
QVector<MonitorOutput> twoOutputs(const QByteArray &penEdid = kPenEdid)
{
    return {{QStringLiteral("DP-1"), QRect(0, 0, 2560, 1440), kOtherEdid},
            {QStringLiteral("HDMI-1"), QRect(2560, 0, 1920, 1080), penEdid}};
}

ScreenTableData tableOf(const QVector<MonitorOutput> &outputs)
{
    std::vector<ScreenRect> rects;
    for (const MonitorOutput &o : outputs)
        rects.push_back({o.rect.x(), o.rect.y(), o.rect.width(), o.rect.height()});
    return ScreenTable::Build(rects);
}

FakeMonitor monitorWith(const QByteArray &edid, int preset)
{
    FakeMonitor m;
    m.edid = edid;
    m.values[Vcp::ColorPreset] = preset;
    m.values[Vcp::Brightness] = 70;
    m.values[Vcp::Contrast] = 60;
    m.values[Vcp::RedGain] = 11;
    m.values[Vcp::GreenGain] = 22;
    m.values[Vcp::BlueGain] = 33;
    return m;
}

} // namespace

TEST(MonitorIds, EdidIdsAndFragments)
{
    // Bytes 8-9 "IKA" = 01001 01011 00001, product 0x1560 little-endian at 10-11.
    EXPECT_EQ(uchar(kPenEdid[8]), 0x25);
    EXPECT_EQ(uchar(kPenEdid[9]), 0x61);
    EXPECT_EQ(uchar(kPenEdid[10]), 0x60);
    EXPECT_EQ(uchar(kPenEdid[11]), 0x15);
    uchar sum = 0;
    for (char c : kPenEdid)
        sum = uchar(sum + uchar(c));
    EXPECT_EQ(sum, 0) << "EDID checksum";

    EXPECT_EQ(MonitorIds::DeviceId(kPenEdid), QStringLiteral("MONITOR\\IKA1560"));
    EXPECT_EQ(MonitorIds::MatchFragment(MonitorIds::DeviceId(kPenEdid)), 0);
    EXPECT_EQ(MonitorIds::MatchFragment(QStringLiteral("monitor\\ika2400")), 4) << "case-insensitive";
    EXPECT_EQ(MonitorIds::MatchFragment(QStringLiteral("MONITOR\\IKA15600")), 0) << "a fragment is contained";
    EXPECT_EQ(MonitorIds::MatchFragment(MonitorIds::DeviceId(kOtherEdid)), -1);
    EXPECT_EQ(MonitorIds::MatchFragment(QString()), -1);

    // Short, empty and zeroed EDIDs give no id and match nothing.
    EXPECT_TRUE(MonitorIds::DeviceId(kPenEdid.left(100)).isEmpty());
    EXPECT_TRUE(MonitorIds::DeviceId(QByteArray()).isEmpty());
    EXPECT_TRUE(MonitorIds::DeviceId(QByteArray(128, '\0')).isEmpty());
    EXPECT_EQ(MonitorIds::ProductCode(QByteArray(10, '\0')), -1);
}

TEST(ColorPresetTable, TemperaturesAndIds)
{
    // Reported 0x14 values -> radio id: the four named presets, user presets -> USER,
    // temperatures without a radio (4000, 8200, 10000, 11500 K) -> none.
    const int expected[][2] = {{0x04, 0}, {0x05, 1}, {0x06, 2}, {0x08, 3}, {0x0B, 4}, {0x0C, 4},
                               {0x01, 4}, {0x03, -1}, {0x07, -1}, {0x09, -1}, {0x0A, -1}};
    for (const auto &row : expected)
        EXPECT_EQ(ColorPreset::IdOfTemperature(ColorPreset::TemperatureOfVcp(row[0])), row[1]) << row[0];
    EXPECT_EQ(ColorPreset::VcpOfId(-1), -1);
    EXPECT_EQ(ColorPreset::VcpOfId(5), -1);
}

TEST(MonitorLookup, MatchesTheScreensEdidAmongDdcMonitors)
{
    // The DDC list order differs from the output order; an EDID with extension blocks
    // from RandR still matches the monitor's base block.
    QByteArray penWithExtension = kPenEdid + QByteArray(128, '\x02');
    FakeDdcBackend ddc({monitorWith(kPenEdid, 0x05), monitorWith(kOtherEdid, 0x05)});
    MonitorControl control(ddc, [&] { return twoOutputs(penWithExtension); });

    EXPECT_TRUE(control.LookupMonitor(QRect(2560, 0, 1920, 1080)));
    EXPECT_EQ(control.CachedDisplay(), 0);
    // A rectangle across both screens goes to the one it covers most.
    EXPECT_TRUE(control.LookupMonitor(QRect(2000, 0, 1500, 1000)));
    EXPECT_EQ(control.CachedDisplay(), 0);
    EXPECT_TRUE(control.LookupMonitor(QRect(0, 0, 2560, 1440)));
    EXPECT_EQ(control.CachedDisplay(), 1);
}

TEST(MonitorLookup, FailureForgetsTheMonitorSoNothingIsWrittenElsewhere)
{
    FakeMonitor silent = monitorWith(kPenEdid, 0x05);
    silent.answers = false; // a pen display without DDC/CI
    FakeDdcBackend ddc({monitorWith(kOtherEdid, 0x05), silent});
    MonitorControl control(ddc, [] { return twoOutputs(); });

    ASSERT_TRUE(control.LookupMonitor(QRect(0, 0, 2560, 1440)));
    MonitorSettings settings;
    EXPECT_FALSE(control.ReadAll(QRect(2560, 0, 1920, 1080), &settings));
    EXPECT_FALSE(settings.supported);
    EXPECT_FALSE(control.SupportsDdcCi(QRect(2560, 0, 1920, 1080)));
    EXPECT_FALSE(control.LookupMonitor(QRect(9000, 9000, 10, 10))) << "no screen there";

    EXPECT_FALSE(control.SetPreset(Preset9300K));
    EXPECT_FALSE(control.SetGains(50, 50, 50));
    EXPECT_FALSE(control.SetBrightnessContrast(50, 50));
    EXPECT_FALSE(control.RestoreFactoryDefaults());
    EXPECT_TRUE(ddc.writes().isEmpty()) << "the ordinary monitor looked up before must not be changed";
}

TEST(MonitorLookup, OutputWithoutEdidHasNoMonitor)
{
    FakeDdcBackend ddc({monitorWith(QByteArray(), 0x05)});
    MonitorControl control(ddc, [] { return QVector<MonitorOutput>{{QStringLiteral("VGA-1"), QRect(0, 0, 800, 600), {}}}; });
    EXPECT_FALSE(control.LookupMonitor(QRect(0, 0, 800, 600)));
}

TEST(MonitorReadAll, PresetGainsAndValuesTheMonitorDidNotGive)
{
    FakeDdcBackend ddc({monitorWith(kPenEdid, 0x0B)});
    MonitorControl control(ddc, [] { return twoOutputs(); });
    MonitorSettings s;
    ASSERT_TRUE(control.ReadAll(QRect(2560, 0, 1920, 1080), &s));
    EXPECT_EQ(s.presetId, PresetUser);
    EXPECT_EQ(s.red, 11);
    EXPECT_EQ(s.green, 22);
    EXPECT_EQ(s.blue, 33);
    EXPECT_EQ(s.brightness, 70);
    EXPECT_EQ(s.contrast, 60);

    // A named preset does not read the gains; a monitor that gives no contrast (or no
    // preset) reports -1 for it rather than a stale number.
    ddc.monitor(0).values[Vcp::ColorPreset] = 0x08;
    ddc.monitor(0).values.remove(Vcp::Contrast);
    ASSERT_TRUE(control.ReadAll(QRect(2560, 0, 1920, 1080), &s));
    EXPECT_EQ(s.presetId, Preset9300K);
    EXPECT_EQ(s.red, -1);
    EXPECT_EQ(s.contrast, -1);
    EXPECT_EQ(s.brightness, 70);
    ddc.monitor(0).values.remove(Vcp::ColorPreset);
    ASSERT_TRUE(control.ReadAll(QRect(2560, 0, 1920, 1080), &s));
    EXPECT_EQ(s.presetId, -1) << "an unread preset is not taken for the user preset";
}

TEST(MonitorWrites, CodesValuesAndTheUnchangedRule)
{
    FakeDdcBackend ddc({monitorWith(kPenEdid, 0x05)});
    MonitorControl control(ddc, [] { return twoOutputs(); });
    ASSERT_TRUE(control.LookupMonitor(QRect(2560, 0, 1920, 1080)));

    for (int id = 0; id <= 4; ++id)
        EXPECT_TRUE(control.SetPreset(id));
    EXPECT_FALSE(control.SetPreset(5));
    EXPECT_FALSE(control.SetPreset(-1));
    control.SetGains(0, -1, 200);     // red 0 and green -1 stay as they are
    control.SetBrightnessContrast(-5, 0);
    control.SetBrightnessContrast(1, 100);
    control.RestoreFactoryDefaults();

    const QVector<FakeVcpWrite> expected = {
        {0, 0x14, 0x04}, {0, 0x14, 0x05}, {0, 0x14, 0x06}, {0, 0x14, 0x08}, {0, 0x14, 0x0B},
        {0, 0x1A, 200}, {0, 0x10, 1}, {0, 0x12, 100}, {0, 0x04, 16},
    };
    EXPECT_EQ(ddc.writes(), expected);
}

TEST(DisplaySearch, FindsOurDisplayAndItsSlot)
{
    FakeDdcBackend ddc({monitorWith(kPenEdid, 0x05)});
    const QVector<MonitorOutput> outputs = twoOutputs();
    MonitorControl control(ddc, [&] { return outputs; });

    DisplaySearchResult result;
    EXPECT_TRUE(control.FindTheVTDisplay(&result, tableOf(outputs)));
    EXPECT_EQ(result.found, 1);
    EXPECT_EQ(result.screenSlot, 2);
    EXPECT_EQ(result.currentMode, QRect(2560, 0, 1920, 1080));
    EXPECT_EQ(result.deviceName, QStringLiteral("HDMI-1"));
    EXPECT_EQ(result.secondModel, 0);
    EXPECT_EQ(result.ddcSupported, 1) << "the first model answered on DDC/CI";

    // The same display without DDC/CI is found but not offered the settings.
    ddc.monitor(0).answers = false;
    DisplaySearchResult silent;
    EXPECT_TRUE(control.FindTheVTDisplay(&silent, tableOf(outputs)));
    EXPECT_EQ(silent.ddcSupported, 0);
}

TEST(DisplaySearch, SecondModelOtherModelsAndNone)
{
    FakeDdcBackend ddc; // no monitor answers: only the first model is checked
    QVector<MonitorOutput> outputs = twoOutputs(MonitorIds::MakeEdid(QStringLiteral("IKA"), 0x1561));
    MonitorControl control(ddc, [&] { return outputs; });

    DisplaySearchResult second;
    EXPECT_TRUE(control.FindTheVTDisplay(&second, tableOf(outputs)));
    EXPECT_EQ(second.secondModel, 1);
    EXPECT_EQ(second.ddcSupported, 1);

    // A screen table that does not hold the output's rectangle keeps the caller's slot.
    outputs[1].edid = MonitorIds::MakeEdid(QStringLiteral("IKA"), 0x2400);
    DisplaySearchResult other;
    other.screenSlot = 1;
    EXPECT_TRUE(control.FindTheVTDisplay(&other, ScreenTable::Build({{0, 0, 2560, 1440}})));
    EXPECT_EQ(other.secondModel, 0);
    EXPECT_EQ(other.screenSlot, 1);

    outputs[1].edid = kOtherEdid;
    DisplaySearchResult none;
    EXPECT_FALSE(control.FindTheVTDisplay(&none, tableOf(outputs)));
    EXPECT_EQ(none.found, 0);
}

TEST(DisplaySearch, OnTheDisplayFacilitysScreens)
{
    // The pen display as the display facility reports it, RandR's EDID included.
    std::vector<DisplayScreen> screens = FixedDisplayBackend::FromRects({QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080)});
    screens[0].edid = kOtherEdid;
    screens[1].edid = kPenEdid;
    screens[1].name = QStringLiteral("DP-2");
    FixedDisplayBackend displays(screens);
    FakeDdcBackend ddc({monitorWith(kOtherEdid, 0x05), monitorWith(kPenEdid, 0x08)});
    MonitorControl control(ddc, MonitorControl::OutputsOf(displays));

    DisplaySearchResult result;
    ASSERT_TRUE(control.FindTheVTDisplay(&result, ScreenTable::Build({{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}})));
    EXPECT_EQ(result.screenSlot, 2);
    EXPECT_EQ(result.deviceName, QStringLiteral("DP-2"));
    EXPECT_EQ(result.ddcSupported, 1);
    MonitorSettings settings;
    ASSERT_TRUE(control.ReadAll(result.currentMode, &settings));
    EXPECT_EQ(settings.presetId, Preset9300K);
    EXPECT_EQ(control.CachedDisplay(), 1);
}
