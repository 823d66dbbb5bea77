// The vendor service and characteristic roles, from UUID texts.

#include "gattselect.h"

#include <gtest/gtest.h>

using namespace inkble;

namespace {

GattCharacteristic Ch(const char *path, const char *uuid, bool notifies)
{
    return GattCharacteristic{path, uuid, notifies};
}

} // namespace

TEST(GattSelect, UuidShortValues)
{
    EXPECT_EQ(UuidValue("fff0"), 0xFFF0);
    EXPECT_EQ(UuidValue("FFE0"), 0xFFE0);
    EXPECT_EQ(UuidValue("0000fff0-0000-1000-8000-00805f9b34fb"), 0xFFF0);
    // Only the low 16 bits of the first group count, whatever the rest says.
    EXPECT_EQ(UuidValue("1234ffe0-aaaa-bbbb-cccc-dddddddddddd"), 0xFFE0);
    EXPECT_TRUE(IsVendorService("0000FFE0-0000-1000-8000-00805F9B34FB"));
    EXPECT_FALSE(IsVendorService("0000180f-0000-1000-8000-00805f9b34fb"));
    // Malformed texts match nothing.
    EXPECT_EQ(UuidValue(""), -1);
    EXPECT_EQ(UuidValue("fff"), -1);
    EXPECT_EQ(UuidValue("0xfff0"), -1);
    EXPECT_EQ(UuidValue("0000fff0-0000-1000-8000-00805f9b34f"), -1);
    EXPECT_EQ(UuidValue("0000fff0_0000-1000-8000-00805f9b34fb"), -1);
    EXPECT_EQ(UuidValue("0000gff0-0000-1000-8000-00805f9b34fb"), -1);
}

TEST(GattSelect, Roles)
{
    // The usual layout: write 0x0001, notify 0x0002 (B), notify 0x0003 (A).
    GattRoles r = SelectRoles({Ch("c1", "0001", false), Ch("c2", "0002", true), Ch("c3", "0003", true)});
    EXPECT_EQ(r.c.path, "c1");
    EXPECT_EQ(r.b.path, "c2");
    EXPECT_EQ(r.a.path, "c3");
    EXPECT_TRUE(r.complete());

    // The only notifying characteristic besides 0x0003 is the write one: both C and B.
    r = SelectRoles({Ch("c1", "0001", true), Ch("c3", "0003", true)});
    EXPECT_EQ(r.c.path, "c1");
    EXPECT_EQ(r.b.path, "c1");
    EXPECT_EQ(r.a.path, "c3");

    // 0x0003 never becomes B, even when it notifies first; the first of each wins.
    r = SelectRoles({Ch("c3", "0003", true), Ch("c5", "0005", true), Ch("c1", "0001", false),
                     Ch("c6", "0006", true), Ch("c1b", "0001", true)});
    EXPECT_EQ(r.a.path, "c3");
    EXPECT_EQ(r.b.path, "c5");
    EXPECT_EQ(r.c.path, "c1");

    // Missing roles leave the set incomplete.
    EXPECT_FALSE(SelectRoles({Ch("c1", "0001", false), Ch("c2", "0002", true)}).complete());
    EXPECT_FALSE(SelectRoles({Ch("c1", "0001", false), Ch("c3", "0003", true)}).complete());
    EXPECT_FALSE(SelectRoles({Ch("c2", "0002", true), Ch("c3", "0003", true)}).complete());
    EXPECT_FALSE(SelectRoles({}).complete());
}
