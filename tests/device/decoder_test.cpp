// The report decoder, fed with literal reports.
#include "device/decoder.h"
#include "logcapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kPenTablet = 0x0935;

struct Decoder {
    DecoderState state{};
    TabletPacket packet{};
    int productId = kPenTablet;

    // Decodes from a buffer of exactly the report's size, so a read past the end is a
    // heap overflow that the sanitizer build reports.
    bool feed(std::vector<uint8_t> report)
    {
        std::memset(&packet, 0, sizeof packet);
        std::vector<uint8_t> exact(report);
        return DecodeReport(exact.empty() ? nullptr : exact.data(), int(exact.size()),
                            productId, state, packet);
    }
};

// A ring byte that is neither a step nor part of one, whatever came before.
constexpr uint8_t kRingIdle = 0x03;

// 0xF0 key+ring report: [2..6] key bits (keys 0..39), [7] ring byte.
std::vector<uint8_t> KeyRing(uint8_t keys0, uint8_t ring, uint8_t keys4 = 0)
{
    return {0x02, 0xF0, keys0, 0x00, 0x00, 0x00, keys4, ring};
}

// Pen report: [1] status, [2..3] x, [4..5] y, [6] pressure low, [7] pressure high 5 bits
// | pen id << 5.
std::vector<uint8_t> Pen(uint8_t status)
{
    return {0x02, status, 0x10, 0x27, 0x20, 0x4E, 0x00, 0x10};
}

} // namespace

TEST(Decoder, PenReportLengthSelectsTiltAnd24BitCoordinates)
{
    Decoder dec;
    // 9 bytes: [8] is not tilt yet
    ASSERT_TRUE(dec.feed({0x02, 0xA0, 0x10, 0x27, 0x20, 0x4E, 0xFF, 0xFF, 0x05}));
    EXPECT_EQ(dec.packet.flags, PacketPen);
    EXPECT_EQ(dec.packet.x, 10000);
    EXPECT_EQ(dec.packet.y, 20000);
    EXPECT_EQ(dec.packet.pressure, 0x1FFF); // 13 bits; the top 3 are the pen id
    EXPECT_EQ(dec.packet.penId, 7);
    EXPECT_EQ(dec.packet.status, 0xA0);
    EXPECT_EQ(dec.packet.tiltX, 0);

    // 10 bytes: tilt x = 5, tilt y = -5
    ASSERT_TRUE(dec.feed({0x02, 0xA0, 0x10, 0x27, 0x20, 0x4E, 0x00, 0x20, 0x05, 0xFB}));
    EXPECT_EQ(dec.packet.tiltX, 5);
    EXPECT_EQ(dec.packet.tiltY, -5);
    EXPECT_EQ(dec.packet.penId, 1);

    // 12 bytes: [10], [11] are bits 16..23 of x and y
    ASSERT_TRUE(dec.feed({0x02, 0xA0, 0x10, 0x27, 0x20, 0x4E, 0, 0, 0, 0, 0x01, 0x02}));
    EXPECT_EQ(dec.packet.x, 0x012710);
    EXPECT_EQ(dec.packet.y, 0x024E20);

    // 11 bytes: no high bytes
    ASSERT_TRUE(dec.feed({0x02, 0xA0, 0x10, 0x27, 0x20, 0x4E, 0, 0, 0, 0, 0x01}));
    EXPECT_EQ(dec.packet.x, 0x2710);
}

TEST(Decoder, PenButtonsFollowTheEventRuleAndLog)
{
    LogCapture log;
    Decoder dec;
    ASSERT_TRUE(dec.feed(Pen(0xA0))); // hovering, nothing held
    EXPECT_EQ(dec.packet.flags, PacketPen);

    ASSERT_TRUE(dec.feed(Pen(0xA1))); // tip down
    EXPECT_EQ(dec.packet.flags, PacketPen | PacketPenButton);
    EXPECT_EQ(dec.packet.penButtonNo, 1);
    EXPECT_EQ(dec.packet.penButtonDown, 1);

    ASSERT_TRUE(dec.feed(Pen(0xA1))); // tip held: still an event, but nothing changed
    EXPECT_EQ(dec.packet.flags, PacketPen | PacketPenButton);
    EXPECT_EQ(dec.packet.penButtonNo, 0);

    ASSERT_TRUE(dec.feed(Pen(0xA7))); // buttons 2 and 3 join: the last changed one wins
    EXPECT_EQ(dec.packet.penButtonNo, 3);
    EXPECT_EQ(dec.packet.penButtonDown, 1);

    ASSERT_TRUE(dec.feed(Pen(0xA0))); // all released: one release event
    EXPECT_EQ(dec.packet.flags, PacketPen | PacketPenButton);
    EXPECT_EQ(dec.packet.penButtonNo, 3);
    EXPECT_EQ(dec.packet.penButtonDown, 0);

    ASSERT_TRUE(dec.feed(Pen(0xA0))); // and no more
    EXPECT_EQ(dec.packet.flags, PacketPen);

    EXPECT_EQ(log.lines(), QStringList({"PenKey1 down", "PenKey2 down", "PenKey3 down",
                                        "PenKey1 up", "PenKey2 up", "PenKey3 up"}));
}

TEST(Decoder, HeldKeysGiveAnEventPerReportAndOneReleaseEvent)
{
    Decoder dec;
    ASSERT_TRUE(dec.feed(KeyRing(0x00, kRingIdle))); // idle: a packet without an event
    EXPECT_EQ(dec.packet.flags, 0);

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(dec.feed(KeyRing(0x04, kRingIdle, 0x80))); // keys 2 and 39 held
        EXPECT_EQ(dec.packet.flags, PacketKeys) << i;
        EXPECT_EQ(dec.packet.keys[2], 1);
        EXPECT_EQ(dec.packet.keys[39], 1);
        EXPECT_EQ(dec.packet.prevKeys[2], i == 0 ? 0 : 1);
    }
    ASSERT_TRUE(dec.feed(KeyRing(0x00, kRingIdle)));
    EXPECT_EQ(dec.packet.flags, PacketKeys);
    EXPECT_EQ(dec.packet.keys[2], 0);
    EXPECT_EQ(dec.packet.prevKeys[2], 1);

    ASSERT_TRUE(dec.feed(KeyRing(0x00, kRingIdle)));
    EXPECT_EQ(dec.packet.flags, 0);
    EXPECT_EQ(dec.packet.prevKeys[2], 0); // the release event became the previous state
}

TEST(Decoder, RingSteps)
{
    struct Case {
        int productId;
        uint8_t from, to;
        int16_t ring, delta;
    };
    const Case cases[] = {
        {kPenTablet, 0x40, 0x00, 0, -1}, // step A
        {kPenTablet, 0x80, 0xC0, 0, -1}, // step A
        {kPenTablet, 0x40, 0xC0, 0, +1}, // step B
        {kPenTablet, 0x80, 0x00, 0, +1}, // step B
        {0x0074 /* ring steps reversed */, 0x40, 0x00, 0, +1},
        {0x0074, 0x40, 0xC0, 0, -1},
        {kPenTablet, 0x00, 0x01, 0, +1}, // wheels: the value itself is the step
        {kPenTablet, 0x00, 0x02, 0, -1},
        {kPenTablet, 0x00, 0xFF, 0, -1},
        {kPenTablet, 0x00, 0x04, 1, +1},
        {kPenTablet, 0x00, 0x10, 1, +1},
        {kPenTablet, 0x00, 0x08, 1, -1},
        {kPenTablet, 0x00, 0x20, 1, -1},
    };
    for (const Case &c : cases) {
        Decoder dec;
        dec.productId = c.productId;
        ASSERT_TRUE(dec.feed(KeyRing(0, c.from)));
        ASSERT_TRUE(dec.feed(KeyRing(0, c.to)));
        EXPECT_EQ(dec.packet.flags, PacketRing) << std::hex << int(c.from) << "->" << int(c.to);
        EXPECT_EQ(dec.packet.ringIndex, c.ring);
        EXPECT_EQ(dec.packet.ringDelta, c.delta);
    }

    // The previous ring byte is shared: a step may start on another tablet.
    Decoder first, second;
    ASSERT_TRUE(first.feed(KeyRing(0, 0x40)));
    ASSERT_TRUE(second.feed(KeyRing(0, 0x00)));
    EXPECT_EQ(second.packet.flags, PacketRing);
    EXPECT_EQ(LastRingByte(), 0x00);

    ASSERT_TRUE(second.feed(KeyRing(0, 0x40))); // 0x00 -> 0x40 is no step
    EXPECT_EQ(second.packet.flags, 0);
}

TEST(Decoder, KeypadReportsOneBytePerKeyAndTheDialAsRing)
{
    Decoder dec;
    dec.productId = 0x0201; // the keypad's own report
    // [3..14]: one byte per key; 1 pressed, anything else released; [13], [14] the dial
    auto keypad = [](int key, uint8_t value) {
        std::vector<uint8_t> r(15, 0);
        r[0] = 0x02;
        if (key >= 0)
            r[3 + key] = value;
        return r;
    };
    ASSERT_TRUE(dec.feed(keypad(0, 1)));
    EXPECT_EQ(dec.packet.flags, PacketKeys);
    EXPECT_EQ(dec.packet.keys[0], 1);

    ASSERT_TRUE(dec.feed(keypad(0, 2))); // not 1: released, the release event follows
    EXPECT_EQ(dec.packet.flags, PacketKeys);
    EXPECT_EQ(dec.packet.keys[0], 0);
    ASSERT_TRUE(dec.feed(keypad(-1, 0)));
    EXPECT_EQ(dec.packet.flags, 0);

    for (int i = 0; i < 2; ++i) { // every dial report is a step, no release event after
        ASSERT_TRUE(dec.feed(keypad(10, 1)));
        EXPECT_EQ(dec.packet.flags, PacketRing);
        EXPECT_EQ(dec.packet.ringIndex, 0);
        EXPECT_EQ(dec.packet.ringDelta, +1);
    }
    ASSERT_TRUE(dec.feed(keypad(11, 1)));
    EXPECT_EQ(dec.packet.flags, PacketRing);
    EXPECT_EQ(dec.packet.ringDelta, -1);
    // The dial is no key: the next key report sees no key 12 released.
    ASSERT_TRUE(dec.feed(keypad(3, 1)));
    EXPECT_EQ(dec.packet.flags, PacketKeys);
    EXPECT_EQ(dec.packet.prevKeys[11], 0);
    EXPECT_EQ(dec.packet.keys[11], 0);
    ASSERT_TRUE(dec.feed(keypad(-1, 0)));
    EXPECT_EQ(dec.packet.flags, PacketKeys);
    ASSERT_TRUE(dec.feed(keypad(-1, 0)));
    EXPECT_EQ(dec.packet.flags, 0);

    std::vector<uint8_t> ignored = keypad(0, 1);
    ignored[1] = 0x01;
    EXPECT_FALSE(dec.feed(ignored));
    EXPECT_EQ(dec.packet.flags, 0); // known, just nothing to decode

    dec.productId = kPenTablet; // the same bytes mean nothing to another device
    EXPECT_FALSE(dec.feed(keypad(0, 1)));
    EXPECT_EQ(dec.packet.flags, PacketUnknown);
}

TEST(Decoder, ReportId6CarriesThirtyTwoKeyBits)
{
    Decoder dec;
    // [1..4] key bits; [1] = 0xC0 is also a pen leaving range, so both decode
    ASSERT_TRUE(dec.feed({0x06, 0xC0, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00}));
    EXPECT_EQ(dec.packet.flags, PacketKeys | PacketPen);
    EXPECT_EQ(dec.packet.keys[6], 1);
    EXPECT_EQ(dec.packet.keys[7], 1);
    EXPECT_EQ(dec.packet.keys[31], 1);

    // [1] with no pen or 0xF0 pattern: no packet, and the key history stays as it was
    Decoder other;
    EXPECT_FALSE(other.feed({0x06, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(other.packet.flags, PacketUnknown);
    EXPECT_EQ(other.state.keysPending, 0);
    ASSERT_TRUE(other.feed(KeyRing(0x00, kRingIdle)));
    EXPECT_EQ(other.packet.flags, 0); // no release event for a key never reported
}

TEST(Decoder, ShortAndUnknownReportsAreNoPacket)
{
    // The shortest report each selector needs.
    struct Rule {
        uint8_t id, selector;
        int productId;
        int minLength;
    };
    const Rule rules[] = {
        {0x02, 0xF0, kPenTablet, 8},
        {0x02, 0xA1, kPenTablet, 8},
        {0x02, 0xC0, kPenTablet, 8},
        {0x06, 0xF0, kPenTablet, 8},
        {0x02, 0x00, 0x0201, 15},
        {0x02, 0x55, kPenTablet, 1000}, // never a packet
    };
    uint32_t seed = 12345;
    for (const Rule &rule : rules) {
        for (int length = 0; length <= 64; ++length) {
            std::vector<uint8_t> report(static_cast<size_t>(length));
            for (uint8_t &b : report) {
                seed = seed * 1103515245u + 12345u;
                b = uint8_t(seed >> 16);
            }
            if (length > 0)
                report[0] = rule.id;
            if (length > 1)
                report[1] = rule.selector;
            Decoder dec;
            dec.productId = rule.productId;
            dec.state.keysPending = 1;
            dec.state.prevKeys[3] = 1;
            const bool packet = dec.feed(report);
            EXPECT_EQ(packet, length >= rule.minLength)
                << "selector " << int(rule.selector) << " length " << length;
            if (!packet) {
                EXPECT_EQ(dec.packet.flags, PacketUnknown);
                EXPECT_EQ(dec.state.keysPending, 1);
                EXPECT_EQ(dec.state.prevKeys[3], 1);
            }
        }
    }
}
