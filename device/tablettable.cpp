#include "device/tablettable.h"

#include "device/ctablet.h"

#include <cstring>

namespace TabletTable {

namespace {
CTablet *g_Slots[kSlotCount] = {};

bool Valid(int slot)
{
    return slot >= 0 && slot < kSlotCount;
}
} // namespace

CTablet *At(int slot)
{
    return Valid(slot) ? g_Slots[slot] : nullptr;
}

void Set(int slot, CTablet *tablet)
{
    if (Valid(slot))
        g_Slots[slot] = tablet;
}

void Clear(int slot)
{
    Set(slot, nullptr);
}

void ClearAll()
{
    for (CTablet *&t : g_Slots)
        t = nullptr;
}

int FindByPidText(const char *pidText)
{
    for (int i = 0; i < kSlotCount; ++i) {
        const CTablet *t = g_Slots[i];
        if (t && std::strncmp(t->m_DeviceAttributes.PidText, pidText, sizeof t->m_DeviceAttributes.PidText) == 0)
            return i;
    }
    return -1;
}

int GetEmptyTabletArray(bool bluetooth)
{
    // Every slot is checked for a Bluetooth tablet before an empty one is handed out: a
    // scan that stopped at the first empty slot would let a second Bluetooth tablet in
    // whenever the first sits in a later slot.
    if (bluetooth) {
        for (const CTablet *t : g_Slots) {
            if (t && t->isBle)
                return -1;
        }
    }
    for (int i = 0; i < kSlotCount; ++i) {
        if (!g_Slots[i])
            return i;
    }
    return -1;
}

} // namespace TabletTable
