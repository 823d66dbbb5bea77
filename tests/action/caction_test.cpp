// The action engine's MultiData record and the caption object.
#include "action/actioncaption.h"
#include "action/caction.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>

namespace {

struct Engine {
    CAction action{1};
    DeviceAttributes attributes{};
    std::unique_ptr<TabletXMLData> profile = std::make_unique<TabletXMLData>();
    AppConfigMap apps;
    TabletPacket packet{};

    Engine()
    {
        attributes.MaxX = 21600;
        attributes.MaxY = 13500;
        attributes.MaxPressure = 2047;
    }
    MultiData run() { return action.ProcessPacket(packet, attributes, *profile, apps); }
};

} // namespace

TEST(Action, PenSampleIsScaledToTheOutputRanges)
{
    Engine e;
    e.packet.flags = PacketPen;
    e.packet.x = 10800; // the middle
    e.packet.y = 13500; // the bottom edge
    e.packet.pressure = 2047;
    e.packet.tiltX = -20;
    e.packet.tiltY = 30;
    MultiData out = e.run();
    EXPECT_EQ(out.flags, PacketPen);
    EXPECT_EQ(out.x44800, 22400);
    EXPECT_EQ(out.y29600, 29600);
    EXPECT_EQ(out.x7FFF, 16383);
    EXPECT_EQ(out.y7FFF, 32767);
    EXPECT_EQ(out.pressure, 8191);
    EXPECT_EQ(out.tiltX, uint8_t(-20));
    EXPECT_EQ(out.tiltY, 30);
    EXPECT_EQ(out.penButtonNo, 0); // no pen button event

    // Beyond the reported range (a 24-bit report on a 16-bit description) is clamped;
    // a device without a range gives 0 rather than dividing by it.
    e.packet.x = 0x123456;
    e.packet.pressure = 1023;
    e.attributes.MaxY = 0;
    e.profile->DisableSlope = 1;
    out = e.run();
    EXPECT_EQ(out.x44800, 44800);
    EXPECT_EQ(out.y29600, 0);
    EXPECT_EQ(out.pressure, 1023 * 8191 / 2047);
    EXPECT_EQ(out.tiltX, 0);
    EXPECT_EQ(e.action.ProcessedPackets(), 2u);
}

TEST(Action, EventsAreCopiedOnlyWithTheirFlag)
{
    Engine e;
    e.packet.flags = PacketPen | PacketPenButton;
    e.packet.penButtonNo = 2;
    e.packet.penButtonDown = 1;
    e.packet.ringIndex = 1; // no ring flag: not copied
    e.packet.ringDelta = -1;
    MultiData out = e.run();
    EXPECT_EQ(out.penButtonNo, 2);
    EXPECT_EQ(out.penButtonDown, 1);
    EXPECT_EQ(out.ringDelta, 0);

    // Key 3 released and key 7 pressed: the last changed key is the entry.
    e.packet = TabletPacket{};
    e.packet.flags = PacketKeys | PacketRing;
    e.packet.prevKeys[3] = 1;
    e.packet.keys[7] = 1;
    e.packet.keys[9] = 1; // held, unchanged
    e.packet.prevKeys[9] = 1;
    e.packet.ringIndex = 1;
    e.packet.ringDelta = -1;
    out = e.run();
    EXPECT_EQ(out.keyId, 7);
    EXPECT_EQ(out.keyDown, 1);
    EXPECT_EQ(out.ringIndex, 1);
    EXPECT_EQ(out.ringDelta, -1);
    EXPECT_EQ(out.x44800, 0); // no pen flag, no position

    e.packet.keys[7] = 0;
    e.packet.prevKeys[7] = 1;
    e.packet.prevKeys[3] = 0;
    out = e.run();
    EXPECT_EQ(out.keyId, 7);
    EXPECT_EQ(out.keyDown, 0);
}

TEST(Action, CaptionObjectIsSharedAndShowsTheKey)
{
    ActionCaption *caption = ActionCaption::MyLrc();
    EXPECT_EQ(caption, ActionCaption::MyLrc());
    QSignalSpy spy(caption, &ActionCaption::EmitAction);
    caption->ShowLanguageCaption(QStringLiteral("Actions.110"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("Actions.110"));
}
