// The action lists of the pen buttons, express keys and key groups.

#include "app/actionlists.h"

#include "app/settingspagehost.h"
#include "config/profiletext.h"
#include "device/ctablet.h"

#include <QComboBox>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace {

// Actions an express key or pen button can be given from its list, in list order; the
// custom entry follows them.
const int kListedActions[] = {1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  16,  17,
                              18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  101, 102, 103, 104, 105, 106, 107,
                              109, 110, 111, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 108};

// What a custom function text is called: its name field, or its keys (the keyboard
// form's titles) or data when it has no name.
QString CustomFunctionName(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char('|'));
    if (fields.size() < 3)
        return QString();
    return fields.at(1).isEmpty() ? fields.at(2) : fields.at(1);
}

} // namespace

QString StoredText(const char *text, size_t size)
{
    return QString::fromUtf8(text, int(qstrnlen(text, uint(size))));
}

QString CustomEntryText(const SettingsPageHost &host, const QString &custom)
{
    const QString entry = host.languageText(QStringLiteral("ShortcutKey.Item.custom"), QStringLiteral("Custom"));
    const QString name = CustomFunctionName(custom);
    return name.isEmpty() ? entry : entry + QStringLiteral(": ") + name;
}

void FillActionList(const SettingsPageHost &host, QComboBox *list, int id, int actid, const QString &custom,
                    ActionPlace place)
{
    CTablet *tablet = host.currentTablet();
    const ActionDeviceCaps caps =
        tablet && tablet->TabletXMLData ? ActionCapsOf(*tablet->TabletXMLData) : ActionDeviceCaps{};
    list->clear();
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents); // action names are never cut
    for (int action : kListedActions) {
        // What the model cannot use is not offered; a stored choice is still shown as it is.
        if (ActionOffered(action, caps, place) || (id == 0 && action == actid))
            list->addItem(
                host.languageText(QStringLiteral("Actions.%1").arg(action), QStringLiteral("Action %1").arg(action)),
                action);
    }
    list->addItem(CustomEntryText(host, id == 1 ? custom : QString()), kCustomEntry);
    const int index = id == 1 ? list->count() - 1 : list->findData(actid);
    list->setCurrentIndex(index >= 0 ? index : list->findData(108));
    list->setToolTip(id == 1 ? custom : QString());
    // A combo box keeps the minimum width of its first (empty) filling: ask for the
    // width of the longest entry, so the layouts never cut one ("Mouse R").
    list->setMinimumWidth(list->sizeHint().width());
}

bool ChooseCustomEntry(SettingsPageHost &host, CTablet *tablet, AppConfigNode *app, QComboBox *list, int16_t &id,
                       const int16_t &actid, char *custom, size_t size, const char *what)
{
    QString text = StoredText(custom, size);
    const TabletXMLData &profile = *tablet->TabletXMLData;
    const QPointer<CTablet> editing(tablet);
    const SettingsPageHost::CustomEditor &editor = host.customEditor();
    const bool accepted = editor && editor(list->window(), &text, profile.DeviceRingNum, profile.DeviceTrackPad);
    if (!host.editTargetStillHere(editing, app, what, accepted))
        return false; // the entry, list and tablet may all belong to a tablet that is gone
    if (!accepted) {
        list->setCurrentIndex(id == 1 ? list->count() - 1 : qMax(0, list->findData(int(actid))));
        return false;
    }
    tablet->EditProfile([&](TabletXMLData &) {
        id = 1;
        SetProfileText(custom, size, text);
    });
    list->setItemText(list->count() - 1, CustomEntryText(host, text));
    list->setToolTip(text);
    return true;
}

void KeyListActivated(SettingsPageHost &host, QComboBox *list, int group, int key, int index)
{
    CTablet *tablet = host.currentTablet();
    AppConfigNode *app = host.currentApp();
    if (!tablet || !app)
        return;
    KeyConfig &entry = group < 0 ? app->keys[key] : app->groups[group].keys[key];
    const int action = list->itemData(index).toInt();
    if (action == kCustomEntry) {
        if (!ChooseCustomEntry(host, tablet, app, list, entry.id, entry.Actid, entry.custom, sizeof entry.custom,
                               "express key editor"))
            return;
    } else {
        list->setItemText(list->count() - 1, CustomEntryText(host, QString()));
        list->setToolTip(QString());
        tablet->EditProfile([&](TabletXMLData &) {
            entry.id = 0;
            entry.Actid = int16_t(action);
            // A predefined entry keeps its display text as the custom text.
            SetProfileText(entry.custom, sizeof entry.custom, list->itemText(index));
        });
    }
    host.postUsage(QStringLiteral("ComboBoxKeyActivated"));
}
