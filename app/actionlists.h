#pragma once
// The action lists of the pen buttons, express keys and key groups: what the model
// offers, the custom entry, and an express key's choice written into its profile.

#include "action/actioncatalogue.h"

#include <QString>

#include <cstddef>
#include <cstdint>

class CTablet;
class QComboBox;
class SettingsPageHost;
struct AppConfigNode;

constexpr int kCustomEntry = -1; // item data of the custom entry

// A profile's fixed-size text field as a string (up to its first NUL).
QString StoredText(const char *text, size_t size);

// The custom entry of an action list: "Custom", with the function's name once it has one.
QString CustomEntryText(const SettingsPageHost &host, const QString &custom);

// Fills an action list with what the current tablet's model offers at place
// (ActionOffered) and the custom entry, and shows the stored choice.
void FillActionList(const SettingsPageHost &host, QComboBox *list, int id, int actid, const QString &custom,
                    ActionPlace place);

// The custom entry of list was chosen for a pen button's or key's entry (its id, Actid
// and custom fields): the custom editor opens on the stored text and an accepted text
// becomes the entry's custom function (id 1). Cancelled, the list shows the stored choice
// again. True only when the text was written; false too when the tablet or profile went
// away while the editor was open (what names the editor in the log), and then the entry
// must not be touched.
bool ChooseCustomEntry(SettingsPageHost &host, CTablet *tablet, AppConfigNode *app, QComboBox *list, int16_t &id,
                       const int16_t &actid, char *custom, size_t size, const char *what);

// The user chose entry index of an express key's list (group -1: the express-key page,
// else the key group): the custom entry opens the custom editor; the choice is written
// into entry of the current profile and a usage record posted.
void KeyListActivated(SettingsPageHost &host, QComboBox *list, int group, int key, int index);
