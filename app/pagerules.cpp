#include "app/pagerules.h"

PageListPlan PlanPages(const TabletXMLData &profile, int deviceKind)
{
    PageListPlan plan;
    const bool keypad = deviceKind == 4;
    if (!keypad)
        plan.items << PageWorkArea << PagePen;
    if (profile.DeviceKeyNum > 0)
        plan.items << PageShortcutKey;
    if ((profile.DeviceRingNum > 0 && profile.SupportGroupKeys == 0) || profile.DeviceTrackPad != 0)
        plan.items << PageTR;
    plan.keyGroupPage = profile.SupportGroupKeys != 0;
    return plan;
}

PenButtonLists PenButtonVisibility(int penType, PenButtonLists current)
{
    switch (penType) {
    case 0:
    case 6:
        return {false, true};
    case 3:
        return {false, false};
    case 4:
        return {true, false};
    case 1:
    case 2:
    case 5:
        return {true, true};
    default:
        return current;
    }
}

bool RingRadioTarget(int buttonId, bool groupKeys, int *ring, int *function)
{
    if (groupKeys) {
        if (buttonId < 8 || buttonId > 11)
            return false;
        *ring = 0;
        *function = buttonId - 8;
        return true;
    }
    if (buttonId < 0 || buttonId > 7)
        return false;
    *ring = buttonId / 4;
    *function = buttonId % 4;
    return true;
}

int RingRadioId(int ring, int function, bool groupKeys)
{
    return groupKeys ? 8 + function : ring * 4 + function;
}
