// The tablet object: replies, battery, re-announce, pen tracking, the 0x094B double run,
// area capture, the reply waits and the profile reception.
#include "action/actioncaption.h"
#include "action/caction.h"
#include "device/ctablet.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include <QSignalSpy>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A transport that records its commands.
class RecordingTablet : public CTablet
{
public:
    explicit RecordingTablet(int index = 2) : CTablet(index)
    {
        AttachActionEngine(*this);
        decodeEnabled = 1;
    }
    void SentCmd(int type, int a, int b) override { commands.push_back({type, a, b}); }
    std::vector<std::vector<int>> commands;
};

void Feed(CTablet &tablet, std::vector<quint8> report)
{
    tablet.ReceiveTabletPackets(report.data(), int(report.size()));
}

// Attribute reply: [1]=0x06 [2]=id [3]=1 success [4..]=payload
std::vector<quint8> Attribute(quint8 id, std::vector<quint8> payload, quint8 ok = 1)
{
    std::vector<quint8> r(4 + payload.size());
    r[0] = 0x02;
    r[1] = 0x06;
    r[2] = id;
    r[3] = ok;
    std::copy(payload.begin(), payload.end(), r.begin() + 4);
    return r;
}

// Geometry payload: MaxX 50800, MaxY 30480, [4..5] unused, MaxPressure 8191
const std::vector<quint8> kGeometry{0x70, 0xC6, 0x10, 0x77, 0, 0, 0xFF, 0x1F};

// Pen report with status, x, y and pen id.
std::vector<quint8> Pen(quint8 status, int x = 0, int y = 0, int penId = 0)
{
    return {0x02, status, quint8(x), quint8(x >> 8), quint8(y), quint8(y >> 8), 0x00,
            quint8(penId << 5)};
}

} // namespace

TEST(Tablet, AttributeRepliesFillTheDescription)
{
    RecordingTablet tablet;
    std::strcpy(tablet.m_DeviceAttributes.ModelKey, "MODEL");

    Feed(tablet, Attribute(2, std::vector<quint8>(60, 'N'))); // longer than the field
    EXPECT_EQ(std::strlen(tablet.m_DeviceAttributes.ProductName), 55u);
    EXPECT_STREQ(tablet.m_DeviceAttributes.ModelKey, "MODEL");

    Feed(tablet, Attribute(4, {'V', '1', '.', '2'}));
    EXPECT_STREQ(tablet.m_DeviceAttributes.ICVersion, "V1.2");
    Feed(tablet, Attribute(3, {'S', 'N'}, 0)); // no success byte: ignored
    EXPECT_STREQ(tablet.m_DeviceAttributes.SerialNumber, "");

    Feed(tablet, Attribute(100, {0x70, 0xC6, 0x10})); // too short for the geometry
    EXPECT_EQ(tablet.m_DeviceAttributes.MaxX, 0);
    Feed(tablet, Attribute(100, kGeometry));
    const DeviceAttributes a = tablet.CopyAttributes();
    EXPECT_EQ(a.MaxX, 50800);
    EXPECT_EQ(a.MaxY, 30480);
    EXPECT_EQ(a.MaxPressure, 8191);
    EXPECT_EQ(a.Resolution, 5080);
    EXPECT_EQ(a.WidthInch100, 1000);
    EXPECT_EQ(a.HeightInch100, 600);

    std::vector<quint8> block(64);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = quint8(i + 1);
    Feed(tablet, Attribute(110, block)); // stored from the block's second byte on
    EXPECT_EQ(tablet.m_DeviceAttributes.TabletType[0], 0);
    EXPECT_EQ(tablet.m_DeviceAttributes.TabletType[1], 1);
    EXPECT_EQ(tablet.m_DeviceAttributes.TabletType[55], 55);

    Feed(tablet, Attribute(131, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(tablet.m_DeviceAttributes.SerialCode[7], 8);

    QSignalSpy light(&tablet, &CTablet::SentTabletLightData);
    Feed(tablet, {0x02, 0xB4, 0x01, 0x00, 0x02, 0x07}); // tablet light level 7
    Feed(tablet, {0x02, 0xB4, 0x01, 0x00, 0x01, 0x03}); // wheel light level 3
    Feed(tablet, {0x02, 0xB4, 0x01, 0x00, 0x01});       // short: ignored
    EXPECT_EQ(light.count(), 2);
    EXPECT_EQ(tablet.m_DeviceAttributes.TabletLightValue, 7);
    EXPECT_EQ(tablet.m_DeviceAttributes.WheelLightValue, 3);
    EXPECT_FALSE(tablet.LastPacketDecoded());
}

TEST(Tablet, BatteryAndReannounce)
{
    RecordingTablet tablet;
    QSignalSpy messages(&tablet, qOverload<int, int, int>(&CTablet::PostActionMsg));

    Feed(tablet, {0x02, 0xF2, 0x00, 75, 0x01}); // 75 %, charging
    EXPECT_EQ(tablet.batteryLevel, 75);
    Feed(tablet, {0x02, 0xF2, 0x00, 10}); // short: ignored
    EXPECT_EQ(tablet.batteryLevel, 75);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.at(0), QVariantList({2, kMsgBattery, 1}));

    Feed(tablet, {0x02, 0xF8, 0x02, 0x01}); // mode 0, a model without lights: nothing
    EXPECT_TRUE(tablet.commands.empty());

    tablet.mode = 4;
    tablet.productId = 0x0933; // lights queried again after a re-announce
    Feed(tablet, {0x02, 0xF8, 0x02, 0x01});
    const std::vector<std::vector<int>> expected{{3, 4, 0}, {0, 1, 0}, {0, 2, 0}};
    EXPECT_EQ(tablet.commands, expected);
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.at(1), QVariantList({2, kMsgReannounced, 0}));
}

TEST(Tablet, ANewPenIsAnnouncedOnce)
{
    RecordingTablet tablet;
    tablet.TabletXMLData->DevicePenNum = 2;
    QSignalSpy messages(&tablet, qOverload<int, int, int>(&CTablet::PostActionMsg));

    Feed(tablet, Pen(0xA0, 0, 0, 0));
    Feed(tablet, Pen(0xA0, 0, 0, 1));
    Feed(tablet, Pen(0xA0, 0, 0, 1));
    Feed(tablet, Pen(0xA0, 0, 0, 0));
    Feed(tablet, Pen(0xA0, 0, 0, 5)); // beyond the model's pens
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.at(0), QVariantList({2, kMsgNewPen, 0}));
    EXPECT_EQ(messages.at(1), QVariantList({2, kMsgNewPen, 1}));
    EXPECT_EQ(tablet.TabletXMLData->DeviceCurPenID, 1);
    EXPECT_EQ(tablet.TabletXMLData->PenMoveInTablet, 0x3);

    RecordingTablet onePen;
    onePen.TabletXMLData->DevicePenNum = 1;
    onePen.TabletXMLData->DeviceCurPenID = 3;
    QSignalSpy none(&onePen, qOverload<int, int, int>(&CTablet::PostActionMsg));
    Feed(onePen, Pen(0xA0, 0, 0, 1));
    EXPECT_EQ(none.count(), 0);
    EXPECT_EQ(onePen.TabletXMLData->DeviceCurPenID, 0);
}

TEST(Tablet, EngineRunsTwiceWhenThe094BPenReturns)
{
    for (int productId : {0x094B, 0x0935}) {
        RecordingTablet tablet;
        tablet.productId = productId;
        tablet.emitToUi = 1;
        QSignalSpy ui(&tablet, &CTablet::SentMultiData);
        const uint64_t twice = productId == 0x094B ? 2 : 1;

        Feed(tablet, Pen(0xC0));
        EXPECT_EQ(ActionOf(&tablet)->ProcessedPackets(), 1u);
        Feed(tablet, Pen(0xA0)); // back in range after leaving it
        EXPECT_EQ(ActionOf(&tablet)->ProcessedPackets(), 1u + twice);
        Feed(tablet, Pen(0xA0));
        EXPECT_EQ(ActionOf(&tablet)->ProcessedPackets(), 2u + twice);
        EXPECT_EQ(ui.count(), 3); // one result per report either way
        EXPECT_TRUE(tablet.LastPacketDecoded());
        EXPECT_EQ(tablet.LastPacket().status, 0xA0);
    }
}

TEST(Tablet, AreaCaptureInEveryOrientation)
{
    // Resolution 5080, full area 1000 x 600 hundredths of an inch. Corners at
    // (20320, 12700) and (5080, 2540): left 100, top 50, width 300, height 200.
    struct Case {
        int16_t orientation;
        QVariantList area;
    };
    const Case cases[] = {
        {0, {100, 50, 300, 200}},
        {1, {350, 100, 200, 300}}, // (H - h - top, left, h, w)
        {2, {600, 350, 300, 200}}, // (W - w - left, H - h - top, w, h)
        {3, {50, 600, 200, 300}},  // (top, W - w - left, h, w)
        {9, {0, 0, 0, 0}},
    };
    QSignalSpy captions(ActionCaption::MyLrc(), &ActionCaption::EmitAction);
    for (const Case &c : cases) {
        RecordingTablet tablet;
        Feed(tablet, Attribute(100, kGeometry));
        tablet.TabletXMLData->Orientation = c.orientation;
        tablet.SetAreaCapture(true);
        QSignalSpy area(&tablet, &CTablet::SetAreaOk);

        Feed(tablet, Pen(0xA1, 20320, 12700)); // tip down: first corner
        Feed(tablet, Pen(0xA1, 9000, 9000));   // tip still down: no new corner
        Feed(tablet, Pen(0xA0, 9000, 9000));
        EXPECT_EQ(area.count(), 0);
        Feed(tablet, Pen(0xA1, 5080, 2540));   // second corner
        ASSERT_EQ(area.count(), 1);
        const QList<QVariant> got = area.at(0);
        EXPECT_EQ(QVariantList({got[0].toInt(), got[1].toInt(), got[2].toInt(), got[3].toInt()}),
                  c.area)
            << "orientation " << c.orientation;
        EXPECT_EQ(tablet.areaCapture, 0);
        EXPECT_EQ(ActionOf(&tablet)->ProcessedPackets(), 0u); // the engine saw none of it
    }
    ASSERT_EQ(captions.count(), 10);
    EXPECT_EQ(captions.at(0).at(0).toString(), "Now touch the opposite corner.");
    EXPECT_EQ(captions.at(1).at(0).toString(), "The tablet area is set.");
}

TEST(Tablet, RepliesFromTheReadingThreadWakeTheSender)
{
    RecordingTablet tablet;
    const std::vector<quint8> geometry = Attribute(100, kGeometry);

    // The reply is on its way while the command is still being sent.
    // (std::thread and std::promise: thread sanitizer builds see their ordering.)
    std::promise<void> delivering;
    std::thread reader;
    const bool early = tablet.SendAndWaitAttribute(
        [&] {
            reader = std::thread([&] {
                delivering.set_value();
                std::vector<quint8> r = geometry;
                tablet.ReceiveTabletPackets(r.data(), int(r.size()));
            });
            delivering.get_future().wait();
        },
        10000);
    reader.join();
    EXPECT_TRUE(early);
    EXPECT_EQ(tablet.CopyAttributes().MaxX, 50800);

    // The reply comes once the sender is waiting.
    std::promise<void> sent;
    std::future<void> sentFuture = sent.get_future();
    reader = std::thread([&] {
        sentFuture.wait();
        std::vector<quint8> r{0x02, 0xB0, 0x00, 0x01};
        tablet.ReceiveTabletPackets(r.data(), int(r.size()));
    });
    EXPECT_TRUE(tablet.SendAndWaitMode([&] { sent.set_value(); }, 10000));
    reader.join();

    // Nothing answers.
    EXPECT_FALSE(tablet.SendAndWaitMode([] {}, 20));
}

TEST(Tablet, ProfileReceptionFromTheDevice)
{
    RecordingTablet tablet;
    QSignalSpy progress(&tablet, &CTablet::PostDeviceOperatorMsg);
    auto codes = [&] {
        QVariantList all;
        for (const QList<QVariant> &report : progress)
            all << report.at(0).toInt() << report.at(1).toInt();
        progress.clear();
        return all;
    };
    // [2]=0 [3]=1 header: [4..7] total (LE), [8] transfer id
    auto header = [](quint8 total, quint8 id) {
        return std::vector<quint8>{0x02, 0xB6, 0x00, 0x01, total, 0, 0, 0, id};
    };
    const std::vector<quint8> end{0x02, 0xB6, 0x02, 0x00};

    Feed(tablet, {0x02, 0xB6, 0x01, 0x01}); // the device starts
    Feed(tablet, {0x02, 0xB6, 0x02, 0x02}); // and took our transfer
    EXPECT_EQ(codes(), QVariantList({1, 0, 3, 2}));

    Feed(tablet, header(0, 1));
    Feed(tablet, end);
    EXPECT_EQ(codes(), QVariantList({10, 0, 4, 0}));

    Feed(tablet, header(10, 1)); // read as a header again after the empty reception
    // data from [3]: 0x00 and 0xFF count but are not kept
    Feed(tablet, {0x02, 0xB6, 0x00, '<', 'a', 0x00, 0xFF, '>'});
    Feed(tablet, {0x02, 0xB6, 0x00, 'b', 'c', 'd', 'e', 'f', 'g'}); // one byte too many
    Feed(tablet, end);
    // "<a>bcdef" is no keypad document: not usable, buffer emptied, nothing to apply
    EXPECT_EQ(codes(), QVariantList({5, 10, 6, 50, 8, 1}));
    EXPECT_TRUE(tablet.ReceivedProfileBytes().isEmpty());
    EXPECT_FALSE(tablet.ApplyReceivedProfile());

    Feed(tablet, header(10, 7)); // another transfer's id
    Feed(tablet, {0x02, 0xB6, 0x00, 'x', 'y'});
    Feed(tablet, end); // short of the total
    EXPECT_EQ(codes(), QVariantList({9, 0, 6, 20, 8, 10}));
}

TEST(Tablet, ActionMessagesPassThrough)
{
    RecordingTablet tablet;
    QSignalSpy ints(&tablet, qOverload<int, int, int>(&CTablet::PostActionMsg));
    QSignalSpy texts(&tablet, qOverload<int, int, QString>(&CTablet::PostActionMsg));
    emit ActionOf(&tablet)->PostActionMsg(2, 10, QStringLiteral("/usr/bin/app"));
    emit ActionOf(&tablet)->PostActionMsg(2, 1, 1);
    ASSERT_EQ(texts.count(), 1);
    EXPECT_EQ(texts.at(0), QVariantList({2, 10, "/usr/bin/app"}));
    ASSERT_EQ(ints.count(), 1);
}
