// Command line of the program: "/mini" only as the first argument, "--simulate"
// anywhere, everything else ignored.

#include "app/startupoptions.h"

#include <gtest/gtest.h>

namespace {

StartupOptions parse(const QStringList &arguments)
{
    return parseStartupArguments(QStringList{QStringLiteral("/opt/inkora/Inkora")} + arguments);
}

TEST(StartupOptions, MiniOnlyAsFirstArgument)
{
    EXPECT_FALSE(parse({}).minimised);
    EXPECT_TRUE(parse({QStringLiteral("/mini")}).minimised);
    EXPECT_TRUE(parse({QStringLiteral("/mini"), QStringLiteral("x")}).minimised);
    EXPECT_FALSE(parse({QStringLiteral("x"), QStringLiteral("/mini")}).minimised);
    EXPECT_FALSE(parse({QStringLiteral("/MINI")}).minimised);
    // The program's own name is not an argument.
    EXPECT_FALSE(parseStartupArguments({QStringLiteral("/mini")}).minimised);
}

TEST(StartupOptions, SimulateAnywhereWithOptionalModel)
{
    StartupOptions o = parse({QStringLiteral("x"), QStringLiteral("--simulate")});
    EXPECT_TRUE(o.simulate);
    EXPECT_TRUE(o.simulateModel.isEmpty());

    o = parse({QStringLiteral("--simulate=Model A"), QStringLiteral("/mini")});
    EXPECT_TRUE(o.simulate);
    EXPECT_EQ(o.simulateModel, QStringLiteral("Model A"));
    EXPECT_TRUE(o.minimised);

    o = parse({QStringLiteral("--simulated"), QStringLiteral("-simulate")});
    EXPECT_FALSE(o.simulate);
}

} // namespace

namespace {

// The recording file of the virtual device stands anywhere and does not push "/mini"
// out of the first place; an empty name is kept empty (the program then records nothing).
TEST(StartupOptions, VhidRecordFileAnywhere)
{
    StartupOptions o = parse({QStringLiteral("--vhid-record=/tmp/a b.jsonl"), QStringLiteral("/mini"),
                              QStringLiteral("--simulate")});
    EXPECT_EQ(o.vhidRecordFile, QStringLiteral("/tmp/a b.jsonl"));
    EXPECT_TRUE(o.minimised);
    EXPECT_TRUE(o.simulate);

    o = parse({QStringLiteral("--vhid-record")});
    EXPECT_TRUE(o.vhidRecordFile.isEmpty());
    o = parse({QStringLiteral("--vhid-record=")});
    EXPECT_TRUE(o.vhidRecordFile.isEmpty());
}

} // namespace
