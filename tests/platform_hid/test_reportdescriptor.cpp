// Top-level application collections of report descriptors: what "&colNN" is made from.
#include "platform/hid/linux/reportdescriptor.h"

#include "tests/platform_hid/descriptors.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int Count(const QByteArray &d)
{
    return CountApplicationCollections(reinterpret_cast<const uint8_t *>(d.constData()), d.size());
}

int Count(std::vector<uint8_t> d)
{
    return CountApplicationCollections(d.data(), int(d.size()));
}

} // namespace

TEST(ReportDescriptor, CountsOnlyApplicationCollectionsAtTheTop)
{
    EXPECT_EQ(Count(Descriptors::VendorOnly()), 1);
    // The pen and mouse collections hold physical collections; those do not count.
    EXPECT_EQ(Count(Descriptors::PenMouseVendor()), 3);
    // An application collection nested inside another is part of the outer one.
    EXPECT_EQ(Count({0xA1, 0x01, 0x09, 0x01, 0xA1, 0x01, 0xC0, 0xA1, 0x02, 0xC0, 0xC0}), 1);
    // Top-level collections of other kinds (physical, logical) are no interfaces.
    EXPECT_EQ(Count({0xA1, 0x00, 0xC0, 0xA1, 0x02, 0xC0, 0xA1, 0x01, 0xC0}), 1);
    // Collection written with a two-byte value 0x0001 is still Application.
    EXPECT_EQ(Count({0xA2, 0x01, 0x00, 0xC0, 0xA2, 0x01, 0x00, 0xC0}), 2);
    EXPECT_EQ(Count(std::vector<uint8_t>{}), 0);
}

TEST(ReportDescriptor, DamagedDescriptorsNeverReadPastTheEnd)
{
    // Cut inside the second collection's data byte: only the first counts.
    EXPECT_EQ(Count({0xA1, 0x01, 0xC0, 0xA1}), 1);
    // A four-byte item cut short.
    EXPECT_EQ(Count({0xA1, 0x01, 0xC0, 0x27, 0xFF, 0xFF}), 1);
    // Long item (0xFE, size, tag, data...) skipped whole, even when it holds A1 01.
    EXPECT_EQ(Count({0xFE, 0x02, 0x10, 0xA1, 0x01, 0xA1, 0x01, 0xC0}), 1);
    // A long item whose size runs past the end ends the walk.
    EXPECT_EQ(Count({0xA1, 0x01, 0xC0, 0xFE, 0x40, 0x10, 0xA1, 0x01}), 1);
    // Stray End Collection items at the top do not hide the collections after them.
    EXPECT_EQ(Count({0xC0, 0xC0, 0xA1, 0x01, 0xC0, 0xA1, 0x01, 0xC0}), 2);
    // A collection never closed still counts once.
    EXPECT_EQ(Count({0xA1, 0x01, 0x09, 0x01}), 1);
    EXPECT_EQ(CountApplicationCollections(nullptr, 10), 0);
}

TEST(ReportDescriptor, EveryCutOfARealDescriptorIsSafe)
{
    // Each prefix of a real descriptor is walked inside its bounds (ASan builds check
    // the reads), and the count never exceeds the whole descriptor's.
    const QByteArray d = Descriptors::PenMouseVendor();
    for (int n = 0; n <= d.size(); ++n) {
        std::vector<uint8_t> prefix(d.begin(), d.begin() + n);
        const int c = CountApplicationCollections(prefix.data(), n);
        EXPECT_GE(c, 0);
        EXPECT_LE(c, 3);
    }
}

TEST(ReportDescriptor, OutputReportLengthsCountTheIdByteAndFollowPushPop)
{
    const auto vendor = OutputReportLengths(reinterpret_cast<const uint8_t *>(Descriptors::VendorOnly().constData()),
                                            Descriptors::VendorOnly().size());
    EXPECT_EQ(vendor, (std::map<int, int>{{2, 10}})) << "report 2: id byte + 9 bytes";
    const QByteArray pen = Descriptors::PenMouseVendor();
    EXPECT_TRUE(OutputReportLengths(reinterpret_cast<const uint8_t *>(pen.constData()), pen.size()).empty())
        << "input reports only";

    const std::vector<uint8_t> d = {
        0x75, 0x08, 0x95, 0x3F, // Report Size 8, Count 63
        0x91, 0x02,             // Output: report 0 (no ids yet) 63 bytes
        0x85, 0x03,             // Report ID 3
        0xA4,                   // Push (size 8, count 63, id 3)
        0x75, 0x01, 0x95, 0x04, //   Report Size 1, Count 4
        0x91, 0x02,             //   Output: 4 bits
        0x91, 0x02,             //   Output: 4 more bits
        0xB4,                   // Pop
        0x85, 0x04, 0x95, 0x07, // Report ID 4, Count 7 (size 8 again)
        0x91, 0x02,             // Output: 7 bytes
        0xB4, 0xB4,             // Pops without a push change nothing
        0x85, 0x05, 0x75, 0x01, 0x95, 0x03,
        0x91, 0x02,             // report 5: 3 bits round up to one byte
    };
    EXPECT_EQ(OutputReportLengths(d.data(), int(d.size())),
              (std::map<int, int>{{0, 64}, {3, 2}, {4, 8}, {5, 2}}));

    // Every cut of it stays in bounds.
    for (size_t n = 0; n <= d.size(); ++n)
        OutputReportLengths(d.data(), int(n));
    // Huge sizes and counts do not overflow into a small length.
    const std::vector<uint8_t> huge = {0x77, 0xFF, 0xFF, 0xFF, 0x7F, 0x97, 0xFF, 0xFF, 0xFF, 0x7F, 0x91, 0x02, 0x91, 0x02};
    EXPECT_GT(OutputReportLengths(huge.data(), int(huge.size())).at(0), 16384);
}
