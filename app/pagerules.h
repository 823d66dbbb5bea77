#pragma once
// Which settings pages and controls a tablet gets, from the capabilities in its device
// profile. Kept apart from the widgets so that the rules can be checked on their own.

#include "config/profilerecords.h"

#include <QVector>

// Items of the left-hand page list, in their order; the value is the page's index in the
// page stack. The key-group page is never a list item: it replaces the selected page.
enum SettingsPage {
    PageWorkArea = 0,
    PagePen = 1,
    PageShortcutKey = 2,
    PageTR = 3,
    PageKeyGroup = 4,
};

struct PageListPlan {
    QVector<SettingsPage> items; // pages listed, in order
    bool keyGroupPage = false;   // the stack shows the key-group page whatever is selected
};

// deviceKind: 1 pen tablet, 2 pen display, 4 shortcut keypad. The keypad has no pen, so
// its work-area and pen items are hidden (not listed) and the selection starts at the
// express keys.
PageListPlan PlanPages(const TabletXMLData &profile, int deviceKind);

// Visibility of the PenBtn0 (eraser end) and PenBtn2 lists by the pen type. Types above
// 6 leave the lists as they are (the values passed in are returned).
struct PenButtonLists {
    bool showBtn0;
    bool showBtn2;
};
PenButtonLists PenButtonVisibility(int penType, PenButtonLists current);

// The pen menu of a model with several pens lists the pens the tablet has seen
// (PenMoveInTablet, one bit per pen id) and the pen in use (DeviceCurPenID), within the
// model's DevicePenNum; a profile that has seen none lists the pen in use. Removing a
// pen from the menu clears its bit (its settings stay: the tablet announces it again
// when it is next used) and moves the pen in use to the first pen still listed. The last
// listed pen is never removed.
uint16_t ListedPenMask(const TabletXMLData &profile);
QVector<int> ListedPens(const TabletXMLData &profile);
bool RemoveListedPen(TabletXMLData &profile, int slot);

// The ring function radio buttons: button id -> ring (0 or 1) and function (0..3).
// Models with key groups number their four buttons from 8, all on the first ring;
// otherwise 0..3 are the first ring and 4..7 the second. False for any other id.
bool RingRadioTarget(int buttonId, bool groupKeys, int *ring, int *function);
// The radio button id that shows function of ring.
int RingRadioId(int ring, int function, bool groupKeys);

// The tablet light slider shows the device's light level in steps of 50.
constexpr int kLightStep = 50;
inline int LightSliderValue(int storedLevel) { return storedLevel / kLightStep; }
inline int LightLevelOfSlider(int sliderValue) { return sliderValue * kLightStep; }
