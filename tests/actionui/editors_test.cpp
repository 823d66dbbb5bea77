// The ring editor, the key capture form and the key list of key-group devices.

#include "action/ui/hotkeysettingdialog.h"
#include "action/ui/inputkeyform.h"
#include "action/ui/keycaptureedit.h"
#include "action/ui/rollerkey.h"
#include "device/ctablet.h"
#include "tests/action/actionharness.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstring>
#include <linux/input-event-codes.h>

namespace {

void TypeKey(QWidget *target, int qtKey, int evdev, const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, quint32(evdev + 8), 0, 0, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, quint32(evdev + 8), 0, 0, text);
    QApplication::sendEvent(target, &release);
}

} // namespace

// Each direction has its own keys; turning the ring one way types only its keys.
TEST(RollerKeyEditor, DirectionsKeepTheirOwnKeys)
{
    RollerKey editor;
    editor.NameField()->setText(QStringLiteral("Brush|size"));
    TypeKey(editor.LeftField(), Qt::Key_BracketLeft, KEY_LEFTBRACE, QStringLiteral("["));
    TypeKey(editor.RightField(), Qt::Key_BracketRight, KEY_RIGHTBRACE, QStringLiteral("]"));
    // Tab is a key like any other, not a move to the next field.
    TypeKey(editor.RightField(), Qt::Key_Tab, KEY_TAB);
    editor.accept();
    EXPECT_EQ(editor.AcceptedText(), QStringLiteral("4|Brushsize|[|],Tab|219:26|221:27,9:15"));

    ActionHarness h;
    h.action.RingCustomFunction(editor.AcceptedText(), -1, true);
    EXPECT_EQ(h.events, (QStringList{"key 219:26 down"}));
    h.events.clear();
    h.action.RingCustomFunction(editor.AcceptedText(), 1, true);
    EXPECT_EQ(h.events, (QStringList{"key 221:27 down", "key 221:27 up", "key 9:15 down", "key 9:15 up"}));

    // Reopened on the text, the editor keeps it and adds after it.
    RollerKey again;
    again.SetCustomText(editor.AcceptedText());
    EXPECT_EQ(again.CustomText(), editor.AcceptedText());
    TypeKey(again.LeftField(), Qt::Key_B, KEY_B, QStringLiteral("b"));
    EXPECT_EQ(again.CustomText(), QStringLiteral("4|Brushsize|[,B|],Tab|219:26,66:48|221:27,9:15"));
}

TEST(InputKeyFormEditor, HandsTitlesAndPairsToTheEditor)
{
    InputKeyForm form;
    QSignalSpy keys(&form, &InputKeyForm::InputKeyBoard);
    QKeyEvent alt(QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier, KEY_LEFTALT + 8, 0, 0);
    QApplication::sendEvent(form.Field(), &alt);
    TypeKey(form.Field(), Qt::Key_F4, KEY_F4);
    form.accept();
    ASSERT_EQ(keys.count(), 1);
    EXPECT_EQ(keys.at(0).at(0).toString(), QStringLiteral("Alt+F4"));
    EXPECT_EQ(keys.at(0).at(1).toString(), QStringLiteral("18:56+115:62"));
}

TEST(HotkeySettingDialogEditor, CustomEntryStoresOnlyWhenTheEditorIsAccepted)
{
    CTablet tablet(3);
    ::TabletXMLData &device = *tablet.TabletXMLData;
    device.SupportGroupKeys = 1;
    device.DeviceKeyNum = 3;
    AppConfigNode &common = device.CommonAPP;
    common.SelectID = 1;
    KeyConfig &key = common.groups[1].keys[2];
    key.Actid = 19;
    std::strcpy(key.custom, "Copy");

    HotkeySettingDialog dialog(&tablet, &common, QString());
    ASSERT_EQ(dialog.KeyCount(), 3);
    QSignalSpy usage(&dialog, &HotkeySettingDialog::UsageRecord);
    QString answer;
    bool accept = false;
    dialog.SetEditorRunner([&](const QString &current, QString *result) {
        EXPECT_EQ(current, QStringLiteral("Copy"));
        *result = answer;
        return accept;
    });

    // Cancelled: the combo box goes back and nothing changes.
    QComboBox *combo = dialog.Combo(2);
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(key.id, 0);
    EXPECT_STREQ(key.custom, "Copy");
    EXPECT_EQ(usage.count(), 0);

    accept = true;
    answer = QStringLiteral("1|Paste|Ctrl+V|17:29+86:47");
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    EXPECT_EQ(key.id, 1);
    EXPECT_STREQ(key.custom, "1|Paste|Ctrl+V|17:29+86:47");
    EXPECT_EQ(dialog.CustomLabel(2), answer);
    ASSERT_EQ(usage.count(), 1);
    EXPECT_EQ(usage.at(0).at(0).toString(),
              QStringLiteral("\"ComboBoxKeyActivated\":{\"custom\":\"1|Paste|Ctrl+V|17:29+86:47\",\"id\":\"1\","
                             "\"curapp\":\"\",\"tablet\":\"3\"}"));
    // The other groups are untouched.
    EXPECT_EQ(common.groups[0].keys[2].id, 0);

    // Back to the predefined action: its display text is stored.
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(key.id, 0);
    EXPECT_STREQ(key.custom, "19");
    EXPECT_EQ(usage.count(), 2);
}
