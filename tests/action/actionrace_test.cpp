// The reading thread runs packets through the engine while the GUI thread adds and
// deletes application profiles and edits their fields, as the settings window does.
// Run under the thread sanitizer (scripts/test --sanitize) this shows the locking
// holds: every profile a packet reaches is alive and not being written.
#include "action/actionsystem.h"
#include "action/caction.h"
#include "config/profiletext.h"
#include "device/ctablet.h"
#include "platform/foreground/fixedforegroundbackend.h"
#include "platform/input/recordinginputinjector.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

TEST(ActionRace, ProfileEditsDoNotRaceWithPackets)
{
    CTablet tablet(0);
    AttachActionEngine(tablet);
    RecordingInputInjector input;
    RecordingActionSystem system;
    const QString path = QStringLiteral("/usr/bin/paint");
    ForegroundWindow window;
    window.path = path;
    FixedForegroundBackend foreground(window);
    ActionOf(&tablet)->SetServices(&input, &foreground, &system);
    {
        std::lock_guard<std::mutex> lock(tablet.appsMutex);
        KeyConfig &key = tablet.TabletXMLData->CommonAPP.keys[0];
        key.Motid = 1;
        key.id = 1;
        SetProfileText(key.custom, QStringLiteral("1|Copy|Ctrl+C|17:29+67:46"));
        tablet.TabletXMLData->CommonAPP.ring.items[0].id = 2;
        SetProfileText(tablet.TabletXMLData->CommonAPP.ring.items[0].custom,
                       QStringLiteral("4|Zoom|-|+|17:29+109:74|17:29+107:78"));
    }

    std::atomic<bool> stop{false};
    std::atomic<int> packets{0};
    std::thread reader([&] {
        TabletPacket packet{};
        while (!stop) {
            // One report as the tablet's reading thread handles it: under appsMutex.
            packet.flags = PacketKeys | PacketRing;
            packet.prevKeys[0] = packet.keys[0];
            packet.keys[0] = !packet.keys[0];
            packet.ringDelta = packet.keys[0] ? 1 : -1;
            std::lock_guard<std::mutex> lock(tablet.appsMutex);
            ActionOf(&tablet)->ProcessPacket(packet, tablet.m_DeviceAttributes, *tablet.TabletXMLData, tablet.apps);
            ++packets;
        }
    });

    for (int round = 0; round < 200 || packets < 200; ++round) {
        ASSERT_EQ(tablet.AddApplication(path), AppEditResult::Done);
        {
            // A field edit of the settings window: under the same lock.
            std::lock_guard<std::mutex> lock(tablet.appsMutex);
            AppConfigNode *node = tablet.apps.at(path);
            SetProfileText(node->keys[0].custom,
                           round % 2 ? QStringLiteral("1|Paste|Ctrl+V|17:29+86:47") : QStringLiteral("0|Click|6"));
            node->ring.id = int16_t(round % 4);
        }
        ASSERT_EQ(tablet.DeleteApplication(path), AppEditResult::Done);
    }
    stop = true;
    reader.join();
    EXPECT_GE(packets.load(), 200);
    EXPECT_FALSE(input.keyEvents().isEmpty());
}
