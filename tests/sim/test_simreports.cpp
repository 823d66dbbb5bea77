// The simulator's reports against hand-written bytes, so that a wrong simulator
// cannot make wrong decoding pass.
#include "sim/simmodel.h"
#include "sim/simreports.h"
#include "config/modeltables.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

const SimModel &model(uint16_t pid)
{
    const SimModel *m = SimModels::find(pid);
    EXPECT_NE(m, nullptr);
    return *m;
}

} // namespace

TEST(SimReports, PenReportLayoutPerModelLength)
{
    SimPenSample s;
    s.x = 0x012345;
    s.y = 0x00ABCD;
    s.pressure = 0x1ABC; // 13 bits: low byte BC, high 5 bits 0x1A
    s.buttons = 0x01;    // tip
    s.penId = 1;         // top 3 bits of byte 7
    s.tiltX = -5;
    s.tiltY = 12;

    // 10-byte model: 16-bit coordinates, tilt.
    EXPECT_EQ(SimReports::pen(model(0x0935), s),
              bytes({0x02, 0xA1, 0x45, 0x23, 0xCD, 0xAB, 0xBC, 0x3A, 0xFB, 0x0C}));
    // 12-byte model: third coordinate bytes at 10 and 11.
    EXPECT_EQ(SimReports::pen(model(0x094B), s),
              bytes({0x02, 0xA1, 0x45, 0x23, 0xCD, 0xAB, 0xBC, 0x3A, 0xFB, 0x0C, 0x01, 0x00}));

    s.inRange = false;
    EXPECT_EQ(quint8(SimReports::pen(model(0x0935), s)[1]), 0xC0); // leaving proximity
}

TEST(SimReports, KeyRingBatteryAndAnnounce)
{
    // keys 1 and 10 down (bits 0 and 9), ring byte 0x40
    EXPECT_EQ(SimReports::keysAndRing(model(0x0935), (1u << 0) | (1u << 9), 0x40),
              bytes({0x02, 0xF0, 0x01, 0x02, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00}));
    // keypad: key 2 and key 12 pressed, one byte per key from byte 3
    EXPECT_EQ(SimReports::keypad((1u << 1) | (1u << 11)),
              bytes({0x03, 0x02, 0x00, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x00}));
    EXPECT_EQ(SimReports::battery(57, true), bytes({0x02, 0xF2, 0x00, 57, 0x01, 0, 0, 0, 0, 0}));
    EXPECT_EQ(SimReports::reannounce(), bytes({0x02, 0xF8, 0x02, 0x01, 0, 0, 0, 0, 0, 0}));
}

TEST(SimReports, GeometryAndCapabilityBlock)
{
    // 344520 = 0x0541C8, 193800 = 0x02F508, 8191 = 0x1FFF, 5080 = 0x13D8
    EXPECT_EQ(SimReports::geometry(model(0x094B)),
              bytes({0xC8, 0x41, 0x08, 0xF5, 0x00, 0x00, 0xFF, 0x1F, 0xD8, 0x13, 0x05, 0x02}));

    const QByteArray wireless = SimReports::capabilityBlock(model(0x0934));
    ASSERT_EQ(wireless.size(), 64);
    EXPECT_EQ(quint8(wireless[1]), 0x40); // receiver
    EXPECT_EQ(quint8(wireless[3]) & 0x18, 0x18); // lights queryable
    EXPECT_EQ(quint8(wireless[7]) & 0x08, 0x08); // 0xB8 supported
    const QByteArray wired = SimReports::capabilityBlock(model(0x0074));
    EXPECT_EQ(quint8(wired[1]), 0x00);
    EXPECT_EQ(quint8(wired[3]) & 0x18, 0x00);
}

TEST(SimModels, SpecialProductsArePresentAndRowsAreSane)
{
    for (uint16_t pid : {0x0074, 0x0201, 0x0933, 0x0934, 0x0935, 0x094B})
        EXPECT_NE(SimModels::find(pid), nullptr) << std::hex << pid;
    EXPECT_EQ(SimModels::find(0x0935)->interfaceNumber, 2);
    for (const SimModel &m : SimModels::all()) {
        EXPECT_TRUE(m.penReportLength == 8 || m.penReportLength == 10 || m.penReportLength == 12);
        // coordinates above 16 bits only fit a 12-byte report
        if (m.maxX > 0xFFFF || m.maxY > 0xFFFF) {
            EXPECT_EQ(m.penReportLength, 12) << m.modelKey;
        }
        EXPECT_LE(m.pens, 8);
        EXPECT_LE(m.keys, 40);
    }
}

TEST(SimModels, EveryModelIsARowOfTheModelTable)
{
    for (const SimModel &m : SimModels::all()) {
        const UsbModelEntry *row = FindUsbModel(m.productId);
        ASSERT_NE(row, nullptr) << m.modelKey;
        EXPECT_STREQ(row->model, m.modelKey);
        EXPECT_EQ(row->interface, m.interfaceNumber) << m.modelKey;
        EXPECT_EQ(row->kind, m.kind) << m.modelKey;
        // a collection in the row must be the one the simulated interface reports
        if (row->collection > 0) {
            EXPECT_EQ(row->collection, m.collection) << m.modelKey;
        }
    }
}

TEST(ModelTables, ShapeAndTheSpecialProducts)
{
    for (int pid : {0x0074, 0x0201, 0x0933, 0x0934, 0x094B})
        EXPECT_NE(FindUsbModel(pid), nullptr) << std::hex << pid;
    ASSERT_NE(FindUsbModel(0x0935), nullptr);
    EXPECT_EQ(FindUsbModel(0x0935)->interface, 2);
    EXPECT_EQ(FindUsbModel(0xFFF3), nullptr); // the loader is not a tablet
    bool kinds[5] = {};
    for (const UsbModelEntry &e : kUsbModels) {
        EXPECT_EQ(e.vendorId, 0x28BD);
        EXPECT_TRUE(e.mode == 2 || e.mode == 4) << e.model;
        ASSERT_TRUE(e.kind == 1 || e.kind == 2 || e.kind == 4) << e.model;
        kinds[e.kind] = true;
        EXPECT_LT(strlen(e.model), sizeof e.model);
    }
    EXPECT_TRUE(kinds[1] && kinds[2] && kinds[4]);
    for (const BleModelEntry &e : kBleModels) {
        EXPECT_EQ(e.collection, 1);
        EXPECT_EQ(e.mode, 4);
        EXPECT_TRUE(e.kind == 1 || e.kind == 4);
    }
}
