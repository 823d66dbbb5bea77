#pragma once
// The action lists of the pen buttons, express keys and key groups: what the model
// offers, the custom entry, and an express key's choice written into its profile.

#include "action/actioncatalogue.h"

#include <QString>

#include <cstddef>

class QComboBox;
class SettingsPageHost;

constexpr int kCustomEntry = -1; // item data of the custom entry

// A profile's fixed-size text field as a string (up to its first NUL).
QString StoredText(const char *text, size_t size);

// The custom entry of an action list: "Custom", with the function's name once it has one.
QString CustomEntryText(const SettingsPageHost &host, const QString &custom);

// Fills an action list with what the current tablet's model offers at place
// (ActionOffered) and the custom entry, and shows the stored choice.
void FillActionList(const SettingsPageHost &host, QComboBox *list, int id, int actid, const QString &custom,
                    ActionPlace place);

// The user chose entry index of an express key's list (group -1: the express-key page,
// else the key group): the custom entry opens the custom editor; the choice is written
// into entry of the current profile and a usage record posted.
void KeyListActivated(SettingsPageHost &host, QComboBox *list, int group, int key, int index);
