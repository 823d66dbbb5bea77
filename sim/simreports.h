#pragma once
// Report builders of the simulated hardware. Each returns the bytes exactly as the
// device puts them on the wire, report id first; tests check them against hand-written
// bytes once, so a wrong simulator cannot make wrong code pass.

#include "sim/simmodel.h"

#include <QByteArray>
#include <cstdint>

struct SimPenSample {
    int x = 0;
    int y = 0;
    int pressure = 0;     // 0..8191 (13 bits on the wire)
    int buttons = 0;      // bit 0 tip, bit 1 lower barrel, bit 2 upper barrel, bit 3 eraser end
    int penId = 0;        // 0..7
    int tiltX = 0;        // degrees, -60..60
    int tiltY = 0;
    bool inRange = true;  // false: the pen leaves proximity (status 0xC0)
};

namespace SimReports {

// Pen report, report id 0x02: status (0xA0 | buttons in range, 0xC0 leaving),
// x/y little-endian, 13-bit pressure with the pen id in the top 3 bits of byte 7,
// then tilt (10 and 12 bytes) and the third coordinate bytes (12 bytes).
QByteArray pen(const SimModel &model, const SimPenSample &sample);

// Express keys and rings, report id 0x02, byte 1 0xF0: key bits 1..40 in bytes 2..6,
// ring byte 7. Padded to the model's report length (at least 8 bytes).
QByteArray keysAndRing(const SimModel &model, uint64_t keyBits, uint8_t ring);

// Keypad key report: report id 0x03, byte 1 0x02, one byte per key from byte 3
// (1 pressed, 0 released), 16 bytes.
QByteArray keypad(uint16_t keyBits);

// Battery, report id 0x02, byte 1 0xF2: byte 3 percent, byte 4 charging (1).
QByteArray battery(int percent, bool charging);

// The device announces itself again (after a receiver re-pairs): 0x02 0xF8 0x02 0x01.
QByteArray reannounce();

// Attribute reply 0x06: byte 2 attribute number, byte 3 1 (success), payload from byte 4.
QByteArray attributeReply(uint8_t attribute, const QByteArray &payload);

// Geometry bytes as string 100 and attribute 100 carry them:
// 0-1 maxX, 2-3 maxY, 6-7 max pressure, 8-9 resolution, 10 maxX bits 16-23, 11 maxY bits 16-23.
QByteArray geometry(const SimModel &model);

// Capability block (string 110, 64 bytes): byte 1 0x40 marks the wireless receiver,
// byte 3 bits 0x18 the queryable lights, byte 7 bit 0x08 the 0xB8 command.
QByteArray capabilityBlock(const SimModel &model);

} // namespace SimReports
