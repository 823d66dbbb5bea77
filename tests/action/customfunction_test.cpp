// Custom function texts as a key, pen button or ring item runs them.
#include "actionharness.h"

#include <QCoreApplication>
#include <QTemporaryFile>

#include <gtest/gtest.h>

namespace {

QStringList Split(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(';'));
}

} // namespace

TEST(CustomFunction, ModifierAndMouseSetPressesInOrderAndReleasesBackwardsWithWaits)
{
    ActionHarness h;
    h.action.ParseCustomFunction(QStringLiteral("0|Copy|4+6"), true);
    EXPECT_EQ(h.events, Split("key 162:29 down;mouse 0x2 0"));
    EXPECT_EQ(h.captionTexts(), QStringList{QStringLiteral("Copy")});

    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("0|Copy|4+6"), false);
    EXPECT_EQ(h.events, Split("mouse 0x4 0;wait 10;key 162:29 up;wait 10"));
    EXPECT_TRUE(h.captionTexts().isEmpty()); // the caption belongs to the press

    // Right Alt is stored as the extended scan code 0x138.
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("0|AltGr|3"), true);
    EXPECT_EQ(h.events, Split("key 165:56e down"));

    // An empty data field does nothing at all, caption included.
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("0|Nothing|"), true);
    EXPECT_TRUE(h.events.isEmpty());
    EXPECT_TRUE(h.captionTexts().isEmpty());
}

TEST(CustomFunction, KeyCombinations)
{
    ActionHarness h;
    // One combination follows the key: down on press, up on release, same order.
    h.action.ParseCustomFunction(QStringLiteral("1|Save|Ctrl+S|17:29+83:31"), true);
    EXPECT_EQ(h.events, Split("key 17:29 down;key 83:31 down"));
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("1|Save|Ctrl+S|17:29+83:31"), false);
    EXPECT_EQ(h.events, Split("key 17:29 up;key 83:31 up"));

    // A pair without ":" (or with a part that is not a number) is skipped; the rest of
    // its combination is still sent.
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("1|n|t|17:29+67+x:46+86:47"), true);
    EXPECT_EQ(h.events, Split("key 17:29 down;key 86:47 down"));

    // Several combinations are typed whole on the press; the release sends nothing.
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("1|n|t|17:29+67:46,17:29+86:47"), true);
    EXPECT_EQ(h.events, Split("key 17:29 down;key 67:46 down;key 17:29 up;key 67:46 up;"
                              "key 17:29 down;key 86:47 down;key 17:29 up;key 86:47 up"));
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("1|n|t|17:29+67:46,17:29+86:47"), false);
    EXPECT_TRUE(h.events.isEmpty());

    // The Windows key as the editor stores it.
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("1|Win|Win+|91:91"), true);
    EXPECT_EQ(h.events, Split("key 91:91 down"));

    // Wrong field counts run nothing.
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("1|n|17:29"), true);
    h.action.ParseCustomFunction(QStringLiteral("1|n|t|17:29|extra"), true);
    h.action.ParseCustomFunction(QString(), true);
    EXPECT_TRUE(h.events.isEmpty());
    EXPECT_TRUE(h.captionTexts().isEmpty());
}

TEST(CustomFunction, RunOrOpen)
{
    ActionHarness h;
    // ".exe" is matched case-sensitively: this one is opened as a file.
    h.action.ParseCustomFunction(QStringLiteral("2|Tool|C:/tools/app.EXE"), true);
    h.action.ParseCustomFunction(QStringLiteral("2|Tool|C:/tools/app.exe"), true);
    // On Linux an executable regular file is started; any other file is opened, with
    // a well-formed URL for an absolute path.
    const QString self = QCoreApplication::applicationFilePath();
    h.action.ParseCustomFunction(QStringLiteral("2|Self|") + self, true);
    QTemporaryFile document;
    ASSERT_TRUE(document.open());
    h.action.ParseCustomFunction(QStringLiteral("2|Doc|") + document.fileName(), true);
    // Nothing on release.
    h.action.ParseCustomFunction(QStringLiteral("2|Self|") + self, false);
    EXPECT_EQ(h.events, (QStringList{QStringLiteral("open file:///C:/tools/app.EXE"),
                                     QStringLiteral("run C:/tools/app.exe"), QStringLiteral("run ") + self,
                                     QStringLiteral("open file://") + document.fileName()}));
    EXPECT_EQ(h.captionTexts(), Split("Tool;Tool;Self;Doc"));
}

TEST(CustomFunction, BuiltInFunctionForm)
{
    ActionHarness h;
    // Pen/eraser: the message, the pen path's state, no caption of the name.
    h.action.ParseCustomFunction(QStringLiteral("3|Toggle|3"), true);
    EXPECT_EQ(h.messages(), (QList<QPair<int, int>>{{kMsgPenEraser, 1}}));
    EXPECT_TRUE(h.action.Pen().PenEraserToggle());
    EXPECT_FALSE(h.captionTexts().contains(QStringLiteral("Toggle")));

    // Open settings goes on to show the name.
    h.clear();
    h.action.ParseCustomFunction(QStringLiteral("3|Settings|1"), true);
    EXPECT_EQ(h.messages(), (QList<QPair<int, int>>{{kMsgShowDriver, 1}}));
    EXPECT_EQ(h.captionTexts(), QStringList{QStringLiteral("Settings")});

    // The key group caption names the group, on press and release, captions off too.
    h.clear();
    h.profile->DisableInfo = 1;
    h.profile->SupportGroupKeys = 1;
    h.profile->CommonAPP.groups[0].enabled = 1;
    h.profile->CommonAPP.groups[1].enabled = 1;
    h.bindCustom(h.profile->CommonAPP.groups[0], 0, "3|Group|10");
    h.bindCustom(h.profile->CommonAPP.groups[1], 0, "3|Group|10");
    h.key(1, true);
    h.key(1, false);
    EXPECT_EQ(h.captionTexts(), Split("Group-II;Group-II"));
    EXPECT_EQ(h.profile->CommonAPP.SelectID, 1);
}

TEST(CustomFunction, RingPairRunsTheSideOfTheDirection)
{
    ActionHarness h;
    const QString text = QStringLiteral("4|Brush|[|]|219:26|221:27");
    h.action.RingCustomFunction(text, -1, true);
    h.action.RingCustomFunction(text, -1, false);
    h.action.RingCustomFunction(text, 1, true);
    h.action.RingCustomFunction(text, 1, false);
    h.action.RingCustomFunction(text, 0, true);
    h.action.RingCustomFunction(QStringLiteral("1|Brush|[|]|219:26|221:27"), 1, true); // not form 4
    h.action.RingCustomFunction(QStringLiteral("4|Brush|[|]|219:26"), -1, true);       // five fields
    EXPECT_EQ(h.events, Split("key 219:26 down;key 219:26 up;key 221:27 down;key 221:27 up"));
}
