#include "device/decoder.h"

#include "config/modeltables.h"

#include <QDebug>

#include <atomic>
#include <cstring>

namespace {

// Ring byte of the previous 0xF0 report, shared by every tablet of the process (a step
// may span reports of two tablets); atomic because each USB tablet decodes on its own
// reading thread.
std::atomic<int> g_PrevRingByte{-1};

// Bytes each report form needs before its fixed offsets may be read.
constexpr int kMinLengthAny = 2;     // report id + selector byte
constexpr int kMinLengthKeys6 = 5;   // report id 6: key bits in d[1..4]
constexpr int kMinLengthKeyRing = 8; // 0xF0: key bits d[2..6], ring byte d[7]
constexpr int kMinLengthPen = 8;     // status, x, y, pressure/pen id in d[1..7]
constexpr int kMinLengthKeypad = 15; // keypad: one byte per key in d[3..14]
constexpr int kPenTiltLength = 10;   // tilt in d[8], d[9]
constexpr int kPen24BitLength = 12;  // high coordinate bytes in d[10], d[11]

constexpr int kKeypadKeys = 12;
constexpr int kKeypadRingUp = 10;   // keypad dial, reported as key indexes 10 and 11
constexpr int kKeypadRingDown = 11;

// The event rule shared by keys and pen status bits: every report with something held is
// an event; after the release exactly one more event; a report without an event leaves
// the previous states alone. 'held' is what keeps the pending flag set, 'pressed' what
// makes the report an event (they differ only for the keypad dial).
bool ApplyEventRule(bool pressed, bool held, uint8_t &pending)
{
    if (pressed) {
        pending = held ? 1 : 0;
        return true;
    }
    if (pending) {
        pending = 0;
        return true;
    }
    return false;
}

// Applies the current key states cur[0..39] to the packet and the state. Returns true on
// an event.
bool ApplyKeys(const uint8_t *cur, bool pressed, bool held, DecoderState &state,
               TabletPacket &packet)
{
    std::memcpy(packet.prevKeys, state.prevKeys, sizeof packet.prevKeys);
    std::memcpy(packet.keys, cur, sizeof packet.keys);
    if (!ApplyEventRule(pressed, held, state.keysPending))
        return false;
    std::memcpy(state.prevKeys, cur, sizeof state.prevKeys);
    return true;
}

// Key bits: key (k * 8 + b) is bit b of byte k.
bool DecodeKeyBits(const uint8_t *bytes, int byteCount, DecoderState &state,
                   TabletPacket &packet)
{
    uint8_t cur[kTabletKeyCount] = {};
    bool any = false;
    for (int k = 0; k < byteCount; ++k) {
        for (int b = 0; b < 8; ++b) {
            if (bytes[k] & (1u << b)) {
                cur[k * 8 + b] = 1;
                any = true;
            }
        }
    }
    return ApplyKeys(cur, any, any, state, packet);
}

void DecodeRing(uint8_t r, bool reversed, TabletPacket &packet)
{
    const int prev = g_PrevRingByte.exchange(r);
    // Touch-ring position codes: 0x40 -> 0x00 or 0x80 -> 0xC0 is step A,
    // 0x40 -> 0xC0 or 0x80 -> 0x00 is step B.
    const bool stepA = (prev == 0x40 && r == 0x00) || (prev == 0x80 && r == 0xC0);
    const bool stepB = (prev == 0x40 && r == 0xC0) || (prev == 0x80 && r == 0x00);
    if (stepA || stepB) {
        packet.ringIndex = 0;
        packet.ringDelta = (stepA != reversed) ? -1 : +1;
        packet.flags |= PacketRing;
    }
    // Wheels that report one step per report.
    switch (r) {
    case 0x01:
        packet.ringIndex = 0;
        packet.ringDelta = +1;
        packet.flags |= PacketRing;
        break;
    case 0x02:
    case 0xFF:
        packet.ringIndex = 0;
        packet.ringDelta = -1;
        packet.flags |= PacketRing;
        break;
    case 0x04:
    case 0x10:
        packet.ringIndex = 1;
        packet.ringDelta = +1;
        packet.flags |= PacketRing;
        break;
    case 0x08:
    case 0x20:
        packet.ringIndex = 1;
        packet.ringDelta = -1;
        packet.flags |= PacketRing;
        break;
    default:
        break;
    }
}

// Pen status low nibble: bit 0 tip, bits 1..3 barrel buttons / eraser.
void DecodePenButtons(uint8_t status, DecoderState &state, TabletPacket &packet)
{
    uint8_t cur[kPenButtonCount] = {};
    bool any = false;
    for (int i = 0; i < kPenButtonCount; ++i) {
        cur[i] = (status >> i) & 1u;
        any = any || cur[i];
    }
    if (!ApplyEventRule(any, any, state.penButtonsPending))
        return;
    packet.flags |= PacketPenButton;
    for (int i = 0; i < kPenButtonCount; ++i) {
        if (cur[i] == state.prevPenButtons[i])
            continue;
        const int n = i + 1;
        qInfo().nospace() << "PenKey" << n << (cur[i] ? " down" : " up");
        packet.penButtonNo = static_cast<uint8_t>(n);
        packet.penButtonDown = cur[i];
    }
    std::memcpy(state.prevPenButtons, cur, sizeof state.prevPenButtons);
}

bool IsPenReport(uint8_t selector)
{
    const uint8_t high = selector & 0xF0;
    return high == 0x20 || high == 0x60 || high == 0xA0 || high == 0xE0 || selector == 0xC0;
}

void DecodePen(const uint8_t *d, int length, DecoderState &state, TabletPacket &packet)
{
    DecodePenButtons(d[1] & 0x0F, state, packet);
    packet.flags |= PacketPen;
    packet.x = d[2] | d[3] << 8;
    packet.y = d[4] | d[5] << 8;
    if (length == kPen24BitLength) {
        packet.x |= d[10] << 16;
        packet.y |= d[11] << 16;
    }
    packet.pressure = static_cast<uint16_t>(d[6] | (d[7] & 0x1F) << 8);
    packet.penId = d[7] >> 5;
    packet.status = d[1];
    if (length >= kPenTiltLength) {
        packet.tiltX = static_cast<int8_t>(d[8]);
        packet.tiltY = static_cast<int8_t>(d[9]);
    }
}

// Shortcut keypad: one byte per key, 1 = pressed. Indexes 10 and 11 are the dial: they
// make a report an event but never count as held, so each dial report is one ring step
// and no release event follows it.
void DecodeKeypad(const uint8_t *d, DecoderState &state, TabletPacket &packet)
{
    uint8_t cur[kTabletKeyCount] = {};
    bool pressed = false;
    bool held = false;
    for (int i = 0; i < kKeypadKeys; ++i) {
        if (d[3 + i] != 1)
            continue; // any other value reads as released
        cur[i] = 1;
        pressed = true;
        if (i != kKeypadRingUp && i != kKeypadRingDown)
            held = true;
    }
    // The dial bytes are ring steps, not key states: kept out of the key history, a
    // dial step would otherwise read as a release of key 11 or 12 at the next key report.
    const bool dialUp = cur[kKeypadRingUp] != 0;
    const bool dialDown = cur[kKeypadRingDown] != 0;
    cur[kKeypadRingUp] = 0;
    cur[kKeypadRingDown] = 0;
    if (!ApplyKeys(cur, pressed, held, state, packet))
        return;
    if (dialUp) {
        packet.ringIndex = 0;
        packet.ringDelta = +1;
        packet.flags |= PacketRing;
    } else if (dialDown) {
        packet.ringIndex = 0;
        packet.ringDelta = -1;
        packet.flags |= PacketRing;
    } else {
        packet.flags |= PacketKeys;
    }
}

} // namespace

ReportRule ReportRuleOf(int productId)
{
    if (ModelQuirksOf(productId) & QuirkKeypadReport)
        return {kKeypadKeys - 2, 1, 1};
    // 0xF0: 40 key bits; its ring byte names steps of rings 0 and 1.
    return {kTabletKeyCount, 2, 0};
}

int LastRingByte()
{
    return g_PrevRingByte.load();
}

[[gnu::hot]] bool DecodeReport(const uint8_t *d, int length, int productId, DecoderState &state, TabletPacket &packet)
{
    // A report that turns out to be no packet must not move the key history, or the next
    // real report would raise events for keys that were never reported.
    if (state.quirkProduct != productId) { // zeroed state: product 0, no quirks
        state.quirks = ModelQuirksOf(productId);
        state.quirkProduct = productId;
    }
    const DecoderState saved = state;
    const auto noPacket = [&](uint16_t flags) {
        state = saved;
        packet.flags = flags;
        return false;
    };

    packet.flags = 0;
    if (d == nullptr || length < kMinLengthAny)
        return noPacket(PacketUnknown);

    if (d[0] == 6) {
        if (length < kMinLengthKeys6)
            return noPacket(PacketUnknown);
        if (DecodeKeyBits(d + 1, 4, state, packet))
            packet.flags |= PacketKeys;
    }

    if (d[1] == 0xF0) {
        if (length < kMinLengthKeyRing)
            return noPacket(PacketUnknown);
        if (DecodeKeyBits(d + 2, 5, state, packet))
            packet.flags |= PacketKeys;
        DecodeRing(d[7], (state.quirks & QuirkReversedRing) != 0, packet);
        return true;
    }

    if (IsPenReport(d[1])) {
        if (length < kMinLengthPen)
            return noPacket(PacketUnknown);
        DecodePen(d, length, state, packet);
        return true;
    }

    if (!(state.quirks & QuirkKeypadReport))
        return noPacket(PacketUnknown);
    if (d[1] == 1)
        return noPacket(0);
    if (length < kMinLengthKeypad)
        return noPacket(PacketUnknown);
    DecodeKeypad(d, state, packet);
    return true;
}
