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
