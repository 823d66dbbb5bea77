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

uint16_t ListedPenMask(const TabletXMLData &profile)
{
    const int pens = qBound(0, int(profile.DevicePenNum), kProfilePens);
    const uint16_t all = uint16_t((1u << pens) - 1u);
    uint16_t mask = uint16_t(profile.PenMoveInTablet) & all;
    if (profile.DeviceCurPenID >= 0 && profile.DeviceCurPenID < pens)
        mask |= uint16_t(1u << profile.DeviceCurPenID);
    return mask != 0 ? mask : uint16_t(all & 1u);
}

QVector<int> ListedPens(const TabletXMLData &profile)
{
    QVector<int> slots;
    const uint16_t mask = ListedPenMask(profile);
    for (int slot = 0; slot < kProfilePens; ++slot) {
        if (mask & (1u << slot))
            slots << slot;
    }
    return slots;
}

bool RemoveListedPen(TabletXMLData &profile, int slot)
{
    const uint16_t listed = ListedPenMask(profile);
    if (slot < 0 || slot >= kProfilePens || !(listed & (1u << slot)) || listed == (1u << slot))
        return false;
    const uint16_t rest = uint16_t(listed & ~(1u << slot));
    profile.PenMoveInTablet = int16_t(rest);
    const int current = profile.DeviceCurPenID;
    if (current < 0 || current >= kProfilePens || !(rest & (1u << current))) {
        int first = 0;
        while (!(rest & (1u << first)))
            ++first;
        profile.DeviceCurPenID = int16_t(first);
    }
    return true;
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
