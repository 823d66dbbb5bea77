// Key capture and the custom function editor: what the editor stores must be what the
// action engine types back.

#include "action/ui/hotkeywin.h"
#include "action/ui/keycapture.h"
#include "config/appprofiles.h"
#include "config/profilestore.h"
#include "platform/input/scancodes.h"
#include "tests/action/actionharness.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

namespace {

// X11 key codes are evdev codes + 8.
constexpr quint32 kX11Offset = 8;

void SendKey(QWidget *target, QEvent::Type type, int qtKey, int evdev, const QString &text = QString())
{
    QKeyEvent event(type, qtKey, Qt::NoModifier, evdev + kX11Offset, 0, 0, text);
    QApplication::sendEvent(target, &event);
}

void TypeKey(QWidget *target, int qtKey, int evdev, const QString &text = QString())
{
    SendKey(target, QEvent::KeyPress, qtKey, evdev, text);
    SendKey(target, QEvent::KeyRelease, qtKey, evdev, text);
}

} // namespace

TEST(KeyCapture, ModifierJoinsTheNextKeyAndPlainKeysFormASequence)
{
    HotKeyWin editor(EditorDeviceCaps{});
    ASSERT_EQ(editor.CurrentMode(), HotKeyWin::KeyboardMode);
    SendKey(&editor, QEvent::KeyPress, Qt::Key_Control, KEY_LEFTCTRL);
    TypeKey(&editor, Qt::Key_C, KEY_C, QStringLiteral("c"));
    SendKey(&editor, QEvent::KeyRelease, Qt::Key_Control, KEY_LEFTCTRL);
    TypeKey(&editor, Qt::Key_V, KEY_V, QStringLiteral("v"));

    EXPECT_EQ(editor.Capture().Pairs(), QStringLiteral("17:29+67:46,86:47"));
    EXPECT_EQ(editor.KeyTitles(), QStringLiteral("Ctrl+C,V"));
    EXPECT_EQ(editor.CustomText(), QStringLiteral("1|Input from keyboard directly (Maximum 20 characters) Ctrl+C,V"
                                                  "|Ctrl+C,V|17:29+67:46,86:47"));
    // A name stored before label and keys were parted is still the automatic one.
    HotKeyWin earlier(EditorDeviceCaps{});
    earlier.SetCustomText(QStringLiteral("1|Input from keyboard directly (Maximum 20 characters)Ctrl+C|Ctrl+C|17:29+67:46"));
    EXPECT_EQ(earlier.Name(), QStringLiteral("Input from keyboard directly (Maximum 20 characters) Ctrl+C"));

    // A custom name survives further keys; without it the name follows them.
    editor.SetCustomName(true, QStringLiteral("Copy and V"));
    TypeKey(&editor, Qt::Key_X, KEY_X, QStringLiteral("x"));
    EXPECT_EQ(editor.Name(), QStringLiteral("Copy and V"));

    editor.on_pushButton_delete_clicked();
    EXPECT_EQ(editor.Capture().Pairs(), QStringLiteral("17:29+67:46,86:47"));
    editor.on_pushButton_clear_clicked();
    EXPECT_TRUE(editor.Capture().Pairs().isEmpty());
    EXPECT_TRUE(editor.KeyTitles().isEmpty());
}

TEST(KeyCapture, LimitsTitlesAndLoneModifiers)
{
    HotKeyWin editor(EditorDeviceCaps{});
    for (int i = 0; i < 21; ++i)
        TypeKey(&editor, Qt::Key_A, KEY_A, QStringLiteral("a"));
    EXPECT_EQ(editor.Capture().Count(), KeyCapture::MaxKeys);
    EXPECT_EQ(editor.Capture().Pairs().split(QLatin1Char(',')).size(), 20);
    EXPECT_FALSE(editor.Capture().AddWindowsKey());

    // "|" would split the stored text: its key is titled "\".
    editor.on_pushButton_clear_clicked();
    TypeKey(&editor, Qt::Key_Bar, KEY_BACKSLASH, QStringLiteral("|"));
    EXPECT_EQ(editor.KeyTitles(), QStringLiteral("\\"));
    EXPECT_EQ(editor.CustomText().split(QLatin1Char('|')).size(), 4);

    // Shift pressed and released alone is a key of its own, without the trailing "+".
    editor.on_pushButton_clear_clicked();
    TypeKey(&editor, Qt::Key_Shift, KEY_LEFTSHIFT);
    TypeKey(&editor, Qt::Key_B, KEY_B, QStringLiteral("b"));
    EXPECT_EQ(editor.KeyTitles(), QStringLiteral("Shift,B"));
    EXPECT_EQ(editor.Capture().Pairs(), QStringLiteral("16:42,66:48"));

    // The Windows key button joins the next key.
    editor.on_pushButton_clear_clicked();
    editor.on_pushButton_win_clicked();
    TypeKey(&editor, Qt::Key_D, KEY_D, QStringLiteral("d"));
    EXPECT_EQ(editor.KeyTitles(), QStringLiteral("Win+D"));
    EXPECT_EQ(editor.Capture().Pairs(), QStringLiteral("91:91+68:32"));

    // A key code no injection table knows is not stored.
    editor.on_pushButton_clear_clicked();
    SendKey(&editor, QEvent::KeyPress, Qt::Key_unknown, 250);
    EXPECT_EQ(editor.Capture().Count(), 0);
}

// Every key the injection table knows comes back to the evdev code it was captured from.
TEST(KeyCapture, RecordsReplayTheCapturedKey)
{
    int known = 0;
    for (int code = 1; code < 256; ++code) {
        const NativeKey key = KeyRecordForEvdev(code);
        if (key.vk == 0)
            continue;
        ++known;
        EXPECT_EQ(EvdevKeyCode(key.vk, uint16_t(key.scan & 0xFF), key.scan >= 0x100), code) << "evdev " << code;
    }
    EXPECT_GT(known, 90);
    EXPECT_EQ(KeyRecordForEvdev(KEY_RIGHTALT).scan, 312); // extended 0x38
}

TEST(HotKeyWinEditor, MouseProgramAndFunctionForms)
{
    HotKeyWin editor(EditorDeviceCaps{1, false, false});
    editor.SetMode(HotKeyWin::MouseMode);
    editor.SetMouseItem(4, true);
    editor.SetMouseItem(6, true);
    EXPECT_EQ(editor.CustomText(), QStringLiteral("0|Ctrl+Mouse Left Click|4+6"));
    // One mouse button at a time.
    editor.SetMouseItem(7, true);
    EXPECT_EQ(editor.CustomText(), QStringLiteral("0|Ctrl+Mouse Right Click|4+7"));

    editor.SetMode(HotKeyWin::RunMode);
    editor.SetProgramPath(QStringLiteral("/usr/bin/gimp"));
    EXPECT_EQ(editor.CustomText(), QStringLiteral("2|Run the procedure gimp|/usr/bin/gimp"));
    editor.SetProgramPath(QStringLiteral("gimp"));
    EXPECT_EQ(editor.Name(), QStringLiteral("Run the proceduregimp"));

    editor.SetMode(HotKeyWin::FunctionMode);
    EXPECT_TRUE(editor.SetFunction(2));
    EXPECT_EQ(editor.CustomText(), QStringLiteral("3|Switch Monitor|2"));
    // A "|" typed into a custom name cannot split the text.
    editor.SetCustomName(true, QStringLiteral("a|b"));
    EXPECT_EQ(editor.CustomText(), QStringLiteral("3|ab|2"));
}

TEST(HotKeyWinEditor, FunctionButtonsFollowTheDevice)
{
    EXPECT_EQ(HotKeyWin(EditorDeviceCaps{0, false, false}).OfferedFunctions(), (QList<int>{1, 2, 3, 4, 8, 9}));
    EXPECT_EQ(HotKeyWin(EditorDeviceCaps{1, false, false}).OfferedFunctions(), (QList<int>{1, 2, 3, 4, 5, 8, 9}));
    EXPECT_EQ(HotKeyWin(EditorDeviceCaps{1, true, false}).OfferedFunctions(),
              (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(HotKeyWin(EditorDeviceCaps{2, false, false}).OfferedFunctions(), (QList<int>{1, 2, 3, 4, 5, 6, 8, 9}));
    HotKeyWin groups(EditorDeviceCaps{0, false, true});
    EXPECT_EQ(groups.OfferedFunctions(), (QList<int>{1, 2, 3, 4, 8, 9, 10, 11}));
    groups.SetMode(HotKeyWin::FunctionMode);
    EXPECT_TRUE(groups.SetFunction(11));
    EXPECT_EQ(groups.CustomText().section(QLatin1Char('|'), 2), QStringLiteral("11"));
}

// Edit, store the text on a key, press the key: the engine types what was captured.
TEST(HotKeyWinEditor, RoundTripThroughTheActionEngine)
{
    HotKeyWin editor(EditorDeviceCaps{});
    SendKey(&editor, QEvent::KeyPress, Qt::Key_Control, KEY_LEFTCTRL);
    TypeKey(&editor, Qt::Key_C, KEY_C, QStringLiteral("c"));
    SendKey(&editor, QEvent::KeyRelease, Qt::Key_Control, KEY_LEFTCTRL);
    editor.accept();
    const QByteArray stored = editor.AcceptedText().toUtf8();

    // Reopened on the stored text, the editor shows the same function.
    HotKeyWin again(EditorDeviceCaps{});
    again.SetCustomText(QString::fromUtf8(stored));
    EXPECT_EQ(again.CustomText(), QString::fromUtf8(stored));

    ActionHarness h;
    h.bindCustom(h.profile->CommonAPP, 0, stored.constData());
    h.key(1, true);
    EXPECT_EQ(h.events, (QStringList{"key 17:29 down", "key 67:46 down"}));
    h.events.clear();
    h.key(1, false);
    EXPECT_EQ(h.events, (QStringList{"key 17:29 up", "key 67:46 up"}));

    // Mouse control with Ctrl and the left button holds both while the key is held.
    HotKeyWin mouse(EditorDeviceCaps{});
    mouse.SetMode(HotKeyWin::MouseMode);
    mouse.SetMouseItem(4, true);
    mouse.SetMouseItem(6, true);
    mouse.accept();
    ActionHarness m;
    m.bindCustom(m.profile->CommonAPP, 0, mouse.AcceptedText().toUtf8().constData());
    m.key(1, true);
    ASSERT_EQ(m.events.size(), 2);
    EXPECT_EQ(m.events.at(0), QStringLiteral("key 162:29 down"));
    EXPECT_TRUE(m.events.at(1).startsWith(QStringLiteral("mouse")));
}

// Edit, save into the profile file, load it again and press the key: the stored text
// is still the captured keys.
TEST(HotKeyWinEditor, RoundTripThroughTheProfileFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("config.xml"));
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("INKORA_SOURCE_DIR") + QStringLiteral("/resources/config/config.xml"),
                            path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QString model = QStringLiteral("InkoraPadSPlus"); // a model with express keys
    const ProfileStore store(path);

    HotKeyWin editor(EditorDeviceCaps{});
    QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier, KEY_LEFTSHIFT + kX11Offset, 0, 0);
    QApplication::sendEvent(&editor, &shift);
    TypeKey(&editor, Qt::Key_Bar, KEY_BACKSLASH, QStringLiteral("|"));
    editor.accept();
    const QByteArray stored = editor.AcceptedText().toUtf8();

    {
        ActionHarness first;
        ASSERT_TRUE(store.LoadConfig(model, first.profile.get(), &first.apps));
        KeyConfig *keys = CurrentKeySet(*first.profile, first.profile->CommonAPP);
        ASSERT_NE(keys, nullptr);
        KeyConfig &key = keys[0];
        key.id = 1;
        std::strncpy(key.custom, stored.constData(), sizeof key.custom - 1);
        ASSERT_TRUE(store.SaveConfig(model, *first.profile, first.apps));
        FreeApplicationList(*first.profile);
    }

    ActionHarness h;
    ASSERT_TRUE(store.LoadConfig(model, h.profile.get(), &h.apps));
    const KeyConfig &key = CurrentKeySet(*h.profile, h.profile->CommonAPP)[0];
    EXPECT_STREQ(key.custom, stored.constData());
    h.key(key.Motid, true);
    EXPECT_EQ(h.events, (QStringList{"key 16:42 down", "key 220:43 down"}));
    FreeApplicationList(*h.profile);
}
