// The action engine: profile choice, key lists, the built-in dispatcher, rings, captions
// and usage records.
#include "actionharness.h"

#include "action/actioncaption.h"
#include "action/actionservices.h"
#include "online/jsonserveraction.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <new>

namespace {

QStringList Split(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(';'));
}

} // namespace

TEST(Action, EventsAreCopiedOnlyWithTheirFlag)
{
    ActionHarness h;
    h.packet.flags = PacketPen;
    h.packet.penButtonNo = 2; // no pen button flag: not copied, not acted on
    h.packet.ringIndex = 1;   // no ring flag: not copied
    h.packet.ringDelta = -1;
    h.profile->CommonAPP.pens[0].buttons[1].Actid = 1;
    MultiData out = h.run();
    EXPECT_EQ(out.flags, PacketPen);
    EXPECT_EQ(out.penButtonNo, 0);
    EXPECT_EQ(out.ringDelta, 0);
    EXPECT_TRUE(h.events.isEmpty());
    EXPECT_EQ(h.action.ProcessedPackets(), 1u);
}

TEST(Action, KeyEntriesAreFoundByTheirKeyNumber)
{
    ActionHarness h;
    // Key number 5 is entry 2; key number 1 has no entry.
    h.profile->CommonAPP.keys[2].Motid = 5;
    h.profile->CommonAPP.keys[2].Actid = 9; // V
    MultiData out = h.key(5, true);
    EXPECT_EQ(out.keyId, 2);
    EXPECT_EQ(out.keyDown, 1);
    EXPECT_EQ(h.events, Split("key 86:47 down"));

    h.clear();
    out = h.key(1, true);
    EXPECT_EQ(out.keyId, 0);
    EXPECT_EQ(out.keyDown, 0);
    EXPECT_TRUE(h.events.isEmpty());
    EXPECT_TRUE(h.usageRecords().isEmpty());

    // Models with key groups look in the common profile's current group.
    h.clear();
    h.profile->SupportGroupKeys = 1;
    h.profile->CommonAPP.SelectID = 2;
    h.profile->CommonAPP.groups[2].enabled = 1;
    h.bind(h.profile->CommonAPP.groups[2], 6, 17); // X
    h.key(7, true);
    EXPECT_EQ(h.events, Split("key 88:45 down"));
    // A group that is not enabled does nothing.
    h.clear();
    h.profile->CommonAPP.groups[2].enabled = 0;
    h.key(7, false);
    EXPECT_TRUE(h.events.isEmpty());
    EXPECT_TRUE(h.usageRecords().isEmpty());
}

TEST(Action, ReleaseRunsBeforePressInOnePacket)
{
    ActionHarness h;
    h.bind(h.profile->CommonAPP, 0, 5);  // Ctrl+S
    h.bind(h.profile->CommonAPP, 1, 19); // Ctrl+C
    h.key(1, true);
    h.clear();
    // Key 1 up and key 2 down in the same report.
    h.packet = TabletPacket{};
    h.packet.flags = PacketKeys;
    h.packet.prevKeys[0] = 1;
    h.packet.keys[1] = 1;
    h.run();
    EXPECT_EQ(h.events, Split("key 162:29 up;key 83:31 up;key 162:29 down;key 67:46 down"));

    // DisableQuickKey stops keys and rings alike.
    h.clear();
    h.profile->DisableQuickKey = 1;
    h.key(1, false);
    h.ring(0, 1);
    EXPECT_TRUE(h.events.isEmpty());
}

TEST(Action, CaptionsOffStillRunsActionsAndUsageRecords)
{
    ActionHarness h;
    h.bind(h.profile->CommonAPP, 0, 6); // Ctrl+Z
    h.bindCustom(h.profile->CommonAPP, 1, "1|Redo|Ctrl+Y|17:29+89:21");
    h.profile->DisableInfo = 1;
    h.press(1);
    h.press(2);
    h.ring(0, 1);
    EXPECT_TRUE(h.captionTexts().isEmpty());
    EXPECT_EQ(h.events, Split("key 162:29 down;key 90:44 down;key 162:29 up;key 90:44 up;"
                              "key 17:29 down;key 89:21 down;key 17:29 up;key 89:21 up;"
                              "key 162:29 down;key 107:78 down;wait 5;key 162:29 up;key 107:78 up"));
    EXPECT_EQ(h.usageRecords().size(), 5);

    // With captions on: the action's name on the press only; none for 103, 105, 106.
    h.clear();
    h.profile->DisableInfo = 0;
    h.press(1);
    h.bind(h.profile->CommonAPP, 2, 105);
    h.press(3);
    EXPECT_EQ(h.captionTexts(), QStringList{QStringLiteral("Ctrl+Z")});
}

TEST(Action, UsageRecordText)
{
    ActionHarness h;
    h.profile->CommonAPP.keys[3].Motid = 4; // key numbers come from the common profile
    AppConfigNode &app = h.addApp("/usr/bin/krita");
    h.bindCustom(app, 3, "1|Copy|Ctrl+C|17:29+67:46");
    h.setForeground(QStringLiteral("/usr/bin/krita"));
    h.key(4, true);
    ASSERT_EQ(h.usageRecords().size(), 1);
    EXPECT_EQ(h.usageRecords().at(0),
              QStringLiteral("\"DoKeyAction\":{\"custom\":\"1|Copy|Ctrl+C|17:29+67:46\",\"id\":\"1\","
                             "\"curapp\":\"/usr/bin/krita\",\"KeyID\":\"3\",\"TabletKeyState\":\"1\"}"));
    ASSERT_EQ(h.textMessages.at(0).at(0).toInt(), 2); // the tablet's index

    // Pen button 2 is entry 1 of the pen's buttons.
    h.clear();
    app.pens[0].buttons[1].Actid = 208; // middle click
    h.penButton(2, true);
    EXPECT_EQ(h.events, Split("mouse 0x20 0"));
    EXPECT_EQ(h.usageRecords(),
              QStringList{QStringLiteral("\"DoPenBtnAction\":{\"custom\":\"\",\"id\":\"0\",\"curapp\":"
                                         "\"/usr/bin/krita\",\"PenID\":\"1\",\"PenKeyState\":\"1\"}")});

    // Quotes, backslashes and line breaks in a name reach the upload as valid JSON.
    h.clear();
    h.setForeground(QString());
    h.profile->CommonAPP.ring.items[0].id = 2;
    const char custom[] = "4|Say \"hi\" to C:\\x\nnow|a|b|65:30|66:48";
    std::strcpy(h.profile->CommonAPP.ring.items[0].custom, custom);
    h.ring(0, -1);
    ASSERT_EQ(h.usageRecords().size(), 1);
    const QString body = JsonServerAction::BuildBody(QStringLiteral("00:11:22:33:44:55"), 0, h.usageRecords().at(0));
    QJsonParseError error;
    const QJsonObject record = QJsonDocument::fromJson(body.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << qPrintable(body);
    EXPECT_EQ(record.value(QStringLiteral("DoRingAction")).toObject().value(QStringLiteral("custom")).toString(),
              QString::fromUtf8(custom));
    EXPECT_EQ(h.events, Split("key 65:30 down;key 65:30 up"));
}

TEST(Action, ProfileFollowsTheForegroundPathExactly)
{
    ActionHarness h;
    h.bind(h.profile->CommonAPP, 0, 1); // B
    AppConfigNode &app = h.addApp("/opt/paint/bin/paint");
    h.bind(app, 0, 2); // E

    h.setForeground(QStringLiteral("/opt/paint/bin/paint"));
    h.press(1);
    h.setForeground(QStringLiteral("/opt/Paint/bin/paint")); // other letter case
    h.press(1);
    h.setForeground(QString()); // unknown process
    h.press(1);
    EXPECT_EQ(h.events, Split("key 69:18 down;key 69:18 up;key 66:48 down;key 66:48 up;"
                              "key 66:48 down;key 66:48 up"));

    // A key pressed in one application and released in another lets go of what the
    // press held.
    h.clear();
    h.setForeground(QStringLiteral("/opt/paint/bin/paint"));
    h.key(1, true);
    h.setForeground(QStringLiteral("/usr/bin/other"));
    h.key(1, false);
    EXPECT_EQ(h.events, Split("key 69:18 down;key 69:18 up"));

    // ... unless its profile was deleted meanwhile: then the common one stands in and
    // the freed profile is never read.
    h.clear();
    h.setForeground(QStringLiteral("/opt/paint/bin/paint"));
    h.key(1, true);
    h.apps.clear();
    h.nodes.clear();
    h.key(1, false);
    EXPECT_EQ(h.events, Split("key 69:18 down;key 66:48 up"));

    // The engine keeps the record it read while the backend's stamp stays; a backend
    // made anew in the same place must not pass for the old one.
    h.clear();
    AppConfigNode &again = h.addApp("/opt/paint/bin/paint");
    h.bind(again, 0, 2); // E
    ForegroundWindow paint;
    paint.path = QStringLiteral("/opt/paint/bin/paint");
    alignas(FixedForegroundBackend) unsigned char place[sizeof(FixedForegroundBackend)];
    auto *first = new (place) FixedForegroundBackend(paint);
    h.action.SetServices(&h.input, first, &h.system);
    h.press(1);
    first->~FixedForegroundBackend();
    auto *second = new (place) FixedForegroundBackend(ForegroundWindow{});
    h.press(1);
    h.action.SetServices(&h.input, &h.foreground, &h.system);
    second->~FixedForegroundBackend();
    EXPECT_EQ(h.events, Split("key 69:18 down;key 69:18 up;key 66:48 down;key 66:48 up"));
}

TEST(Action, BuiltInFunctions)
{
    ActionHarness h;
    AppConfigNode &common = h.profile->CommonAPP;
    h.bind(common, 0, 101);
    h.bind(common, 1, 102);
    h.bind(common, 2, 104);
    h.bind(common, 3, 107);
    h.bind(common, 4, 108);
    h.bind(common, 5, 0);
    for (int k = 1; k <= 6; ++k)
        h.press(k);
    EXPECT_EQ(h.messages(), (QList<QPair<int, int>>{{kMsgShowDriver, 1}, {kMsgSwitchScreen, 0},
                                                    {kMsgFineMode, 0}, {kMsgTrackPad, 0}}));
    EXPECT_TRUE(h.events.isEmpty());

    // Ring and preview messages carry the current application's path.
    h.clear();
    AppConfigNode &app = h.addApp("/usr/bin/krita");
    h.bind(app, 0, 105);
    h.bind(app, 1, 106);
    h.bind(app, 2, 111);
    h.setForeground(QStringLiteral("/usr/bin/krita"));
    h.press(1);
    h.press(2);
    h.press(3);
    QStringList paths;
    for (const QList<QVariant> &m : h.textMessages) {
        if (m.at(1).toInt() != kMsgUsageRecord)
            paths << QStringLiteral("%1 %2").arg(m.at(1).toInt()).arg(m.at(2).toString());
    }
    EXPECT_EQ(paths, Split("5 /usr/bin/krita;6 /usr/bin/krita;11 /usr/bin/krita"));
}

TEST(Action, PenEraserToggle)
{
    ActionHarness h;
    h.bind(h.profile->CommonAPP, 0, 103);
    h.press(1);
    EXPECT_TRUE(h.action.Pen().PenEraserToggle());
    EXPECT_TRUE(h.action.Pen().Reentry());
    EXPECT_TRUE(h.events.isEmpty()); // key sending is off
    EXPECT_EQ(h.captionTexts(), QStringList{QStringLiteral("Eraser")});

    // In a window of the class that takes keys, 'V' tells it the pen is back.
    h.clear();
    h.setForeground(QStringLiteral("/usr/bin/sfl"), QStringLiteral("sfl_window_class"));
    h.press(1);
    EXPECT_FALSE(h.action.Pen().PenEraserToggle());
    EXPECT_EQ(h.events, Split("key 86:47 down;key 86:47 up"));
    EXPECT_EQ(h.captionTexts(), QStringList{QStringLiteral("Pen")});
    EXPECT_EQ(h.messages(), (QList<QPair<int, int>>{{kMsgPenEraser, 0}}));

    // From the main window (a keypad toggled it): typed at once, taken by the pen path
    // with the next packet.
    h.clear();
    h.action.SetPenEraserState(true);
    EXPECT_EQ(h.events, Split("key 69:18 down;key 69:18 up"));
    EXPECT_FALSE(h.action.Pen().PenEraserToggle());
    h.key(9, true);
    EXPECT_TRUE(h.action.Pen().PenEraserToggle());
}

TEST(Action, BrushEraserKeyAlternatesAcrossHolds)
{
    ActionHarness h;
    h.bind(h.profile->CommonAPP, 0, 109);
    h.bind(h.profile->CommonAPP, 1, 109);
    h.press(1);
    h.press(1);
    // Two keys held together: the letter changes only when the last one is let go.
    h.key(1, true);
    h.key(2, true);
    h.key(1, false);
    h.key(2, false);
    h.press(2);
    EXPECT_EQ(h.events, Split("key 66:48 down;key 66:48 up;key 69:18 down;key 69:18 up;"
                              "key 66:48 down;key 66:48 down;key 66:48 up;key 66:48 up;"
                              "key 69:18 down;key 69:18 up"));
    // The letter on press and release; the action's name after it on the press.
    EXPECT_EQ(h.captionTexts().mid(0, 6), Split("[B];[B]/[E];[B];[E];[B]/[E];[E]"));
}

TEST(Action, NextKeyGroupSkipsGroupsThatAreOff)
{
    ActionHarness h;
    h.profile->SupportGroupKeys = 1;
    AppConfigNode &common = h.profile->CommonAPP;
    common.groups[0].enabled = 1;
    common.groups[3].enabled = 1;
    h.bind(common.groups[0], 0, 110);
    h.bind(common.groups[3], 0, 110);
    h.press(1);
    EXPECT_EQ(common.SelectID, 3);
    h.press(1);
    EXPECT_EQ(common.SelectID, 0);
    EXPECT_EQ(h.captionTexts(), Split("Switch Key Group-IV;Switch Key Group-I"));
    int groupMessages = 0;
    for (const QList<QVariant> &m : h.textMessages)
        groupMessages += m.at(1).toInt() == kMsgKeyGroup;
    EXPECT_EQ(groupMessages, 2);

    // No other group on: the selection stays; the message only from group 0.
    h.clear();
    common.groups[3].enabled = 0;
    h.press(1);
    EXPECT_EQ(common.SelectID, 0);
    common.groups[0].enabled = 0;
    common.groups[2].enabled = 1;
    common.SelectID = 2;
    h.bind(common.groups[2], 0, 110);
    h.press(1);
    EXPECT_EQ(common.SelectID, 2);
    groupMessages = 0;
    for (const QList<QVariant> &m : h.textMessages)
        groupMessages += m.at(1).toInt() == kMsgKeyGroup;
    EXPECT_EQ(groupMessages, 1);
}

TEST(Action, Rings)
{
    ActionHarness h;
    AppConfigNode &common = h.profile->CommonAPP;
    // Directions other than +1 and -1, and rings other than 0 and 1, do nothing.
    h.ring(0, 0);
    h.ring(0, 2);
    h.ring(2, 1);
    EXPECT_TRUE(h.events.isEmpty());
    EXPECT_TRUE(h.usageRecords().isEmpty());
    EXPECT_TRUE(h.captionTexts().isEmpty());

    common.ring.id = 1; // wheel
    h.ring(0, -1);
    common.ring.id = 3; // Alt+F13/F14 and the long wait
    h.ring(0, 1);
    common.ring2.id = 2; // scroll actions: the wheel turns on the release half
    h.ring(1, 1);
    common.ring2.id = 1;
    common.ring2.items[1].id = 1; // neither built-in nor custom: nothing, but recorded
    h.ring(1, -1);
    EXPECT_EQ(h.events, Split("mouse 0x800 -120;"
                              "key 164:56 down;key 124:100 down;key 124:100 up;key 124:100 down;wait 1;"
                              "key 164:56 up;key 124:100 up;wait 40;"
                              "wait 5;mouse 0x800 120"));
    EXPECT_EQ(h.captionTexts(), Split("Ring function 2;Ring function 4;Ring function 2"));
    EXPECT_EQ(h.usageRecords().size(), 4);

    // A second ring working as a touch area shows no caption.
    h.clear();
    common.TRMode = 1;
    common.ring2.items[1].id = 0;
    h.ring(1, 1);
    EXPECT_EQ(h.events, Split("key 221:27 down;wait 5;key 221:27 up"));
    EXPECT_TRUE(h.captionTexts().isEmpty());
}

TEST(Action, MouseActions)
{
    ActionHarness h;
    AppConfigNode &common = h.profile->CommonAPP;
    h.bind(common, 0, 209); // double click on press only
    h.bind(common, 1, 211); // scroll down on release only
    h.bind(common, 2, 207); // right click
    h.press(1);
    h.press(2);
    h.press(3);
    EXPECT_EQ(h.events, Split("mouse 0x2 0;mouse 0x4 0;wait 5;mouse 0x2 0;mouse 0x4 0;"
                              "mouse 0x800 -120;mouse 0x8 0;mouse 0x10 0"));

    // With ink the pen report carries the right click; out of range it goes out too.
    h.clear();
    common.pens[0].TablePC = 1;
    h.key(3, true);
    EXPECT_EQ(h.action.Pen().PendingRightClick(), PenPath::RightClickPressed);
    h.key(3, false);
    EXPECT_EQ(h.action.Pen().PendingRightClick(), PenPath::RightClickReleasePending);
    EXPECT_EQ(h.events, Split("mouse 0x8 0;mouse 0x10 0"));
}

// A caption shows the language text of its key, or its English text: never the key.
TEST(Action, CaptionObjectIsSharedAndShowsTheText)
{
    ActionCaption *caption = ActionCaption::MyLrc();
    EXPECT_EQ(caption, ActionCaption::MyLrc());
    QSignalSpy spy(caption, &ActionCaption::EmitAction);
    caption->ShowLanguageCaption(QStringLiteral("Device.TabeltHelpInfo2"), QStringLiteral("Now the other corner."));
    ActionServiceBackends backends;
    backends.language = [](const QString &key, const QString &fallback) {
        return key == QLatin1String("Device.TabeltHelpInfo2") ? QStringLiteral("Jetzt die andere Ecke.") : fallback;
    };
    ActionServices::Install(std::move(backends));
    caption->ShowLanguageCaption(QStringLiteral("Device.TabeltHelpInfo2"), QStringLiteral("Now the other corner."));
    ActionServices::Remove();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("Now the other corner."));
    EXPECT_EQ(spy.at(1).at(0).toString(), QStringLiteral("Jetzt die andere Ecke."));
}
