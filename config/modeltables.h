#pragma once
// The supported models, compiled in: one table for USB interfaces and one for Bluetooth
// LE devices. Discovery searches each in order and the first match wins, so a model
// whose vendor interface has two collections lists the one to open first.

#include <cstdint>

// Behaviour a model has of its own, as flags of its rows.
enum ModelQuirk : uint16_t {
    QuirkKeypadReport = 0x01,    // per-byte key report with the dial as its last two bytes; own mode command
    QuirkReversedRing = 0x02,    // ring steps A and B swapped
    QuirkLightsReannounce = 0x04, // lights queried again after the device re-announces itself
    QuirkDoubleRun = 0x08,       // the first hovering sample after the pen left range runs the engine twice
};

struct UsbModelEntry {
    int32_t vendorId;   // always 0x28BD
    int32_t productId;
    int32_t interface;  // USB interface number carrying the vendor reports
    int32_t collection; // top-level collection; 0 or less: not part of the match
    int16_t mode;       // mode byte sent at open and after resume (2 or 4)
    int16_t kind;       // 1 pen tablet, 2 pen display, 4 shortcut keypad
    char model[56];     // model key: names the device profile and the picture
    uint16_t quirks = 0; // ModelQuirk flags
};

struct BleModelEntry {
    int32_t vendorId;   // always 0x28BD
    int32_t productId;
    int32_t collection; // 1
    int16_t mode;       // 4
    int16_t kind;       // 4 keypad, 1 tablet
    char model[56];     // model key
    char bleName[56];   // Bluetooth friendly name the device advertises
};

constexpr int kUsbModelCount = 67;
constexpr int kBleModelCount = 6;

// The model device kinds.
constexpr int16_t kKindPenTablet = 1;
constexpr int16_t kKindPenDisplay = 2;
constexpr int16_t kKindKeypad = 4;

extern const UsbModelEntry kUsbModels[kUsbModelCount];
extern const BleModelEntry kBleModels[kBleModelCount];

// The first entry of each table with this product id, or null.
const UsbModelEntry *FindUsbModel(int productId);
const BleModelEntry *FindBleModel(int productId);
// The ModelQuirk flags of a USB product id (0 for one the table lacks).
uint16_t ModelQuirksOf(int productId);
