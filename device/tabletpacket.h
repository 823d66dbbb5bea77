#pragma once
// Plain records shared by the decoder, the tablet object, the action engine and the
// main window: one decoded report, the per-packet result and the device description.
// All three are trivially copyable: they are copied whole between threads and tablets.

#include <QMetaType>

#include <cstdint>
#include <type_traits>

// TabletPacket::flags
enum TabletPacketFlag : uint16_t {
    PacketPen = 0x01,       // pen sample: x, y, pressure, tilt, status, penId
    PacketKeys = 0x02,      // express-key event: keys / prevKeys
    PacketRing = 0x04,      // ring step: ringIndex / ringDelta
    PacketPenButton = 0x08, // pen button event: penButtonNo / penButtonDown
    PacketUnknown = 0x20,   // the report matched no rule; never combined with others
};

// Express keys and pen status bits that a report can carry.
constexpr int kTabletKeyCount = 40;
constexpr int kPenButtonCount = 4;

// One decoded report. Zeroed before every decode.
struct TabletPacket {
    int32_t tabletIndex;   // slot of the tablet (0..4)
    int32_t productId;     // USB product id
    uint16_t flags;        // TabletPacketFlag bits; exactly PacketUnknown for no packet
    int32_t x;             // 16-bit, or 24-bit from a 12-byte report
    int32_t y;
    uint16_t pressure;     // 13-bit raw pressure
    int8_t tiltX;          // degrees; 0 when the report has no tilt bytes
    int8_t tiltY;
    uint8_t status;        // raw pen status byte (0xA0 hover, 0xA1 tip, 0xC0 out of range...)
    uint8_t penButtonNo;   // 1..4 = status bit that changed last; 0 when none changed
    uint8_t penButtonDown; // 1 pressed, 0 released
    uint8_t penId;         // 0..7, pen in use
    uint8_t keys[kTabletKeyCount];     // current key states, 0/1
    uint8_t prevKeys[kTabletKeyCount]; // key states before this report
    int16_t ringIndex;     // 0 first ring, 1 second ring
    int16_t ringDelta;     // +1 or -1
};

// The per-packet result that a tablet emits to the main window (queued, by value).
struct MultiData {
    uint16_t flags;        // copy of the packet's flags
    uint8_t penButtonNo;
    uint8_t penButtonDown;
    int16_t relDx;         // mouse-mode deltas
    int16_t relDy;
    double screenX;        // screen pixels
    double screenY;
    int32_t pressure;      // 0..8191
    int32_t x44800;        // physical position, 0..44800
    int32_t y29600;        // physical position, 0..29600
    int32_t x7FFF;         // HID position, 0..32767
    int32_t y7FFF;
    uint8_t tiltX;
    uint8_t tiltY;
    uint16_t keyId;        // entry index (0..39) of the key that changed last
    uint16_t keyDown;      // 1 down, 0 up
    int16_t ringIndex;
    int16_t ringDelta;
};
Q_DECLARE_METATYPE(MultiData)

// What the program knows about one connected device. Texts are NUL-terminated and cut
// to fit their array.
struct DeviceAttributes {
    char DevicePath[1024];  // system interface path
    char PidText[9];        // "PID_%04X"; key of the device profile and the name table
    char Manufacturer[56];
    char ProductName[56];
    char ModelKey[56];      // model name from the supported-model table
    char DisplayName[56];   // name shown to the user
    char ICVersion[56];     // firmware version
    char SerialNumber[56];
    char ICData[56];        // firmware date/data
    int16_t DeviceKind;     // 1 pen tablet, 2 pen display, 4 shortcut keypad
    int32_t MaxX;           // largest logical x
    int32_t MaxY;
    int32_t Resolution;     // lines per inch; 5080 when the device does not say
    int32_t WidthInch100;   // MaxX * 100 / Resolution
    int32_t HeightInch100;  // MaxY * 100 / Resolution
    int32_t MaxPressure;
    // Capability block: [1] = 0x40 wireless receiver; [3] & 0x18 lights can be queried;
    // [7] & 0x08 command 0xB8 supported.
    uint8_t TabletType[56];
    uint8_t SerialCode[8];
    uint16_t TabletLightValue;
    uint16_t WheelLightValue;
};

static_assert(std::is_trivially_copyable<TabletPacket>::value, "packets are copied whole");
static_assert(std::is_trivially_copyable<MultiData>::value, "MultiData travels by value");
static_assert(std::is_trivially_copyable<DeviceAttributes>::value,
              "the device description is copied whole between tablets and threads");
