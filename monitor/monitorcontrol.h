#pragma once
// DDC/CI settings of our pen displays: which screen is one of them, and the colour
// preset, gains, brightness and contrast of the monitor behind a screen rectangle.
//
// A screen rectangle leads to a monitor through the screen's output: its EDID is looked
// up among the monitors that answer on the display data channel. The monitor of the last
// lookup is kept, and every write goes to it; a lookup that fails forgets it, so a write
// never reaches a monitor other than the one last asked for.
//
// GUI thread. The DDC backend does the slow I/O on its own thread.

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QVector>

#include <functional>

class DdcBackend;
class DisplayBackend;
struct ScreenTableData;

// One screen output of the desktop: its rectangle in physical pixels, the output's name
// and the EDID of the monitor on it (empty when it has none).
struct MonitorOutput {
    QString name;
    QRect rect;
    QByteArray edid;
};

// Result of the display search, read by the main window.
struct DisplaySearchResult {
    uint8_t found = 0;
    int32_t screenSlot = 0;     // screen table slot of the pen display
    QRect currentMode;          // the output's rectangle
    uint8_t ddcSupported = 0;
    uint8_t secondModel = 0;    // the second model of the fragment table matched
    QString deviceName;         // the output's name ("DP-1")
};

// Colour presets of the settings dialog: radio ids 0..4.
enum ColorPresetId {
    Preset5000K = 0,
    Preset6500K = 1,
    Preset7500K = 2,
    Preset9300K = 3,
    PresetUser = 4,
};

// What Read all found. Values the monitor did not give are -1.
struct MonitorSettings {
    bool supported = false;
    int presetId = -1;   // 0..4, -1 when the reported temperature selects no preset
    int brightness = -1;
    int contrast = -1;
    int red = -1;        // gains are read for the user preset only
    int green = -1;
    int blue = -1;
};

namespace ColorPreset {
// Colour temperature in kelvin of a VCP 0x14 value (03..0A = 4000..11500 K), 0 when the
// value names no temperature (user presets, sRGB, native).
int TemperatureOfVcp(int vcpValue);
// Radio id selected by a temperature: 5000, 6500, 7500, 9300 K -> 0..3; unknown (0) ->
// 4; any other temperature -> -1.
int IdOfTemperature(int kelvin);
// VCP 0x14 value written for a radio id (0x04, 0x05, 0x06, 0x08, 0x0B); -1 outside 0..4.
int VcpOfId(int id);
} // namespace ColorPreset

class MonitorControl {
public:
    using OutputProvider = std::function<QVector<MonitorOutput>()>;
    // The display facility's physical screens, read afresh at every lookup and search.
    // The backend must outlive the provider.
    static OutputProvider OutputsOf(DisplayBackend &displays);

    MonitorControl(DdcBackend &ddc, OutputProvider outputs);

    // The monitor behind rect: the output with the largest overlap, then the DDC/CI
    // monitor with the same EDID base block. Keeps it for the writes; forgets the last
    // one on failure.
    bool LookupMonitor(const QRect &rect);
    bool SupportsDdcCi(const QRect &rect);
    // True once the lookup succeeded; reads that fail leave their value at -1.
    bool ReadAll(const QRect &rect, MonitorSettings *settings);

    // Writes go to the monitor of the last lookup; without one they write nothing and
    // return false. Values <= 0 leave their setting unchanged.
    bool SetPreset(int id);
    bool SetGains(int red, int green, int blue);
    bool SetBrightnessContrast(int brightness, int contrast);
    bool RestoreFactoryDefaults();

    // The display search over the outputs: the first output whose monitor id contains one
    // of our fragments fills result (see DisplaySearchResult). table is the main window's
    // screen table. Returns result->found.
    bool FindTheVTDisplay(DisplaySearchResult *result, const ScreenTableData &table);

    int CachedDisplay() const { return m_nDisplay; }

private:
    DdcBackend &m_Ddc;
    OutputProvider m_Outputs;
    int m_nDisplay = -1; // DDC monitor of the last successful lookup
};
