#pragma once
// Report decoder: turns one input report into a TabletPacket. A function of the bytes,
// the product id and the per-tablet state; no allocation, no GUI, safe on any thread
// that owns the state (the tablet's reading thread).

#include "device/tabletpacket.h"

#include <cstdint>

// Per-tablet decoder state, zeroed when the tablet is created.
struct DecoderState {
    uint8_t keysPending;       // a key was down in the last key event
    uint8_t penButtonsPending; // a pen status bit was set in the last pen button event
    uint8_t prevKeys[kTabletKeyCount];
    uint8_t prevPenButtons[kPenButtonCount];
    // The model's quirks (ModelQuirk), looked up once per product id, not per report.
    int quirkProduct;
    uint16_t quirks;
};

// Decodes d[0..length-1] into packet. The caller zeroes packet and sets tabletIndex and
// productId; this sets flags and the decoded fields.
// Returns true when the report is a packet (which may carry no flags, e.g. a key report
// with nothing held). Returns false for no packet: a report that matches no rule or is
// too short for the rule its bytes select gets flags == PacketUnknown; the decoder state
// is then left exactly as it was.
// Logs "PenKey<n> down"/"PenKey<n> up" (info) for every pen status bit that changes.
bool DecodeReport(const uint8_t *d, int length, int productId, DecoderState &state,
                  TabletPacket &packet);

// What the key and ring reports of a product can carry: express keys numbered 1..keys,
// up to 'rings' rings, of which 'fixedRings' are always there (the keypad's twelve key
// bytes end with its dial, ring 0). A profile may describe no more than this.
struct ReportRule {
    int keys;
    int rings;
    int fixedRings;
};
ReportRule ReportRuleOf(int productId);

// The ring byte of the last 0xF0 report, shared by every tablet of the process
// (-1 before the first one). Exposed for diagnostics.
int LastRingByte();
