#pragma once
// A simulated tablet is data: a model row plus what the hardware can do.
// Behaviour tests run over every model that has the capability they need.

#include <QVector>
#include <cstdint>

struct SimModel {
    uint16_t productId;
    int interfaceNumber;    // USB interface that carries the vendor reports
    int collection;         // its top-level collection (1-based); 0: the interface has one
    int kind;               // 1 pen tablet, 2 pen display, 4 shortcut keypad
    const char *modelKey;   // names the device profile
    const char *product;    // USB product string
    int maxX;               // largest x, device units (24-bit models exceed 0xFFFF)
    int maxY;
    int maxPressure;        // 8191 for the 13-bit pressure of the pen report
    int resolution;         // lines per inch; 0: the device leaves it out (5080 assumed)
    int penReportLength;    // 8: no tilt, 10: tilt, 12: tilt and 24-bit coordinates
    int pens;               // pens the model ships with (pen ids 0..pens-1)
    int keys;               // express keys
    int rings;              // 0, 1 or 2
    bool touchRing;         // ring reports use the 0x00/0x40/0x80/0xC0 phase form
    bool lights;            // tablet and wheel light can be queried and set
    bool command0xB8;       // the 0xB8 command is supported
    bool receiver;          // attached through the wireless receiver
    bool onboardProfile;    // stores a keypad profile on board (profile transfer)
    bool battery;           // reports its battery with 0xF2
    const char *firmware;   // string 4
    const char *firmwareDate; // string 5, yyyymmdd...
};

namespace SimModels {

// Every simulated model, in a stable order.
const QVector<SimModel> &all();

// The model with this product id, or null.
const SimModel *find(uint16_t productId);

// The model `Inkora --simulate` uses when none is named.
const SimModel &defaultModel();

} // namespace SimModels
