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
#include <chrono>
#include <condition_variable>
#include <future>
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
    tablet.EditProfile([](TabletXMLData &profile) {
        KeyConfig &key = profile.CommonAPP.keys[0];
        key.Motid = 1;
        key.id = 1;
        SetProfileText(key.custom, QStringLiteral("1|Copy|Ctrl+C|17:29+67:46"));
        profile.CommonAPP.ring.items[0].id = 2;
        SetProfileText(profile.CommonAPP.ring.items[0].custom, QStringLiteral("4|Zoom|-|+|17:29+109:74|17:29+107:78"));
    });

    std::atomic<bool> stop{false};
    std::atomic<int> packets{0};
    std::thread reader([&] {
        TabletPacket packet{};
        while (!stop) {
            // One report as the tablet's reading thread handles it.
            packet.flags = PacketKeys | PacketRing;
            packet.prevKeys[0] = packet.keys[0];
            packet.keys[0] = !packet.keys[0];
            packet.ringDelta = packet.keys[0] ? 1 : -1;
            tablet.RunDecodedPacket(packet);
            ++packets;
        }
    });

    for (int round = 0; round < 200 || packets < 200; ++round) {
        ASSERT_EQ(tablet.AddApplication(path), AppEditResult::Done);
        // A field edit of the settings window.
        tablet.EditProfile([&](TabletXMLData &) {
            AppConfigNode *node = tablet.apps.at(path);
            SetProfileText(node->keys[0].custom,
                           round % 2 ? QStringLiteral("1|Paste|Ctrl+V|17:29+86:47") : QStringLiteral("0|Click|6"));
            node->ring.id = int16_t(round % 4);
        });
        ASSERT_EQ(tablet.DeleteApplication(path), AppEditResult::Done);
    }
    stop = true;
    reader.join();
    EXPECT_GE(packets.load(), 200);
    EXPECT_FALSE(input.keyEvents().isEmpty());
}

// A settings edit made while the reading thread sits in an action's wait (a ring step's
// pause, the pause after a released key) completes at once: the profile lock is not
// held across the wait. The action system's wait blocks until the test lets it go, so
// an edit that had to wait for the lock could never return before the release. The
// released key's profile is edited and deleted during its wait, yet the release goes
// on with what it had resolved from that profile at its start.
TEST(ActionRace, SettingsEditsDoNotWaitForInjectionPauses)
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

    std::mutex gateMutex;
    std::condition_variable gateChanged;
    bool armed = false, inWait = false, released = false;
    system.SetHandler([&](const RecordingActionSystem::Request &request) {
        if (request.kind != RecordingActionSystem::Request::Wait)
            return;
        std::unique_lock<std::mutex> lock(gateMutex);
        if (!armed)
            return;
        armed = false;
        inWait = true;
        gateChanged.notify_all();
        gateChanged.wait(lock, [&] { return released; });
    });
    // Runs one packet on a reading thread of its own and returns once that thread is
    // inside the packet's first wait; the edit then runs on this thread.
    const auto editDuringFirstWait = [&](const TabletPacket &packet, const std::function<void()> &edit) {
        {
            std::lock_guard<std::mutex> lock(gateMutex);
            armed = true;
            inWait = released = false;
        }
        std::thread reader([&] { tablet.RunDecodedPacket(packet); });
        {
            std::unique_lock<std::mutex> lock(gateMutex);
            // A bound for a broken engine only; the order comes from the gate.
            EXPECT_TRUE(gateChanged.wait_for(lock, std::chrono::seconds(30), [&] { return inWait; }));
        }
        std::future<void> done = std::async(std::launch::async, edit);
        EXPECT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready)
            << "the edit waited for the reading thread's injection pause";
        {
            std::lock_guard<std::mutex> lock(gateMutex);
            released = true;
        }
        gateChanged.notify_all();
        reader.join();
        done.get();
    };
    const auto keyUps = [&](uint16_t vk) {
        int n = 0;
        for (const KeyInput &key : input.keyEvents())
            n += key.vk == vk && (key.flags & KeyUp);
        return n;
    };

    // Ring 0, function 1 (Ctrl + numeric plus, 5 ms apart), edited to function 2 mid-step.
    TabletPacket ring{};
    ring.flags = PacketRing;
    ring.ringIndex = 0;
    ring.ringDelta = 1;
    editDuringFirstWait(ring, [&] { tablet.EditProfile([](TabletXMLData &p) { p.CommonAPP.ring.id = 1; }); });
    EXPECT_EQ(keyUps(162), 1); // the step let go of Ctrl after its pause
    EXPECT_EQ(keyUps(107), 1);
    EXPECT_EQ(tablet.EditProfile([](const TabletXMLData &p) { return p.CommonAPP.ring.id; }), 1);

    // Key 1 runs Ctrl + left click from the application's profile; the common one does
    // nothing. The release lets go of the click, waits, then of Ctrl.
    ASSERT_EQ(tablet.AddApplication(path), AppEditResult::Done);
    tablet.EditProfile([&](TabletXMLData &p) {
        p.CommonAPP.keys[0].Motid = 1;
        KeyConfig &key = tablet.apps.at(path)->keys[0];
        key.id = 1;
        SetProfileText(key.custom, QStringLiteral("0|Hold|4+6"));
    });
    TabletPacket key{};
    key.flags = PacketKeys;
    key.keys[0] = 1;
    tablet.RunDecodedPacket(key);
    key.prevKeys[0] = 1;
    key.keys[0] = 0;
    editDuringFirstWait(key, [&] {
        tablet.EditProfile([&](TabletXMLData &) {
            SetProfileText(tablet.apps.at(path)->keys[0].custom, QStringLiteral("0|Other|5"));
        });
        EXPECT_EQ(tablet.DeleteApplication(path), AppEditResult::Done);
    });
    EXPECT_EQ(keyUps(162), 2); // Ctrl of the press's profile, let go after the pause
}
