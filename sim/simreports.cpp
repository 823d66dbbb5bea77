#include "sim/simreports.h"

#include <algorithm>

namespace SimReports {

static uint8_t lo(int v) { return static_cast<uint8_t>(v & 0xFF); }
static uint8_t hi(int v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }
static uint8_t third(int v) { return static_cast<uint8_t>((v >> 16) & 0xFF); }

QByteArray pen(const SimModel &model, const SimPenSample &s)
{
    const int length = model.penReportLength;
    QByteArray r(length, '\0');
    const int pressure = std::clamp(s.pressure, 0, 0x1FFF);
    r[0] = char(0x02);
    r[1] = char(s.inRange ? (0xA0 | (s.buttons & 0x0F)) : 0xC0);
    r[2] = char(lo(s.x));
    r[3] = char(hi(s.x));
    r[4] = char(lo(s.y));
    r[5] = char(hi(s.y));
    r[6] = char(lo(pressure));
    r[7] = char(((pressure >> 8) & 0x1F) | ((s.penId & 0x07) << 5));
    if (length >= 10) {
        r[8] = char(static_cast<int8_t>(std::clamp(s.tiltX, -127, 127)));
        r[9] = char(static_cast<int8_t>(std::clamp(s.tiltY, -127, 127)));
    }
    if (length >= 12) {
        r[10] = char(third(s.x));
        r[11] = char(third(s.y));
    }
    return r;
}

QByteArray keysAndRing(const SimModel &model, uint64_t keyBits, uint8_t ring)
{
    QByteArray r(std::max(8, model.penReportLength), '\0');
    r[0] = char(0x02);
    r[1] = char(0xF0);
    for (int i = 0; i < 5; ++i)
        r[2 + i] = char((keyBits >> (8 * i)) & 0xFF);
    r[7] = char(ring);
    return r;
}

QByteArray keypad(uint16_t keyBits)
{
    QByteArray r(16, '\0');
    r[0] = char(0x03);
    r[1] = char(0x02);
    for (int i = 0; i < 12; ++i)
        r[3 + i] = char((keyBits >> i) & 1);
    return r;
}

QByteArray battery(int percent, bool charging)
{
    QByteArray r(10, '\0');
    r[0] = char(0x02);
    r[1] = char(0xF2);
    r[3] = char(std::clamp(percent, 0, 100));
    r[4] = char(charging ? 1 : 0);
    return r;
}

QByteArray reannounce()
{
    QByteArray r(10, '\0');
    r[0] = char(0x02);
    r[1] = char(0xF8);
    r[2] = char(0x02);
    r[3] = char(0x01);
    return r;
}

QByteArray attributeReply(uint8_t attribute, const QByteArray &payload)
{
    QByteArray r(4, '\0');
    r[0] = char(0x02);
    r[1] = char(0x06);
    r[2] = char(attribute);
    r[3] = char(0x01);
    // A report is at most 64 bytes; longer attributes are cut as the device would.
    r += payload.left(60);
    return r;
}

QByteArray geometry(const SimModel &m)
{
    QByteArray g(12, '\0');
    g[0] = char(lo(m.maxX));
    g[1] = char(hi(m.maxX));
    g[2] = char(lo(m.maxY));
    g[3] = char(hi(m.maxY));
    g[6] = char(lo(m.maxPressure));
    g[7] = char(hi(m.maxPressure));
    g[8] = char(lo(m.resolution));
    g[9] = char(hi(m.resolution));
    g[10] = char(third(m.maxX));
    g[11] = char(third(m.maxY));
    return g;
}

QByteArray capabilityBlock(const SimModel &m)
{
    QByteArray c(64, '\0');
    c[0] = char(m.kind);
    c[1] = char(m.receiver ? 0x40 : 0x00);
    c[2] = char(m.keys);
    c[3] = char(m.lights ? 0x18 : 0x00);
    c[4] = char(m.rings);
    c[5] = char(m.pens);
    c[7] = char(m.command0xB8 ? 0x08 : 0x00);
    return c;
}

} // namespace SimReports
