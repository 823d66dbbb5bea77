#pragma once
// The program's five tablet slots. The slot number is the tablet index that every
// tablet message carries. GUI thread only: a tablet is closed (its reading thread
// stopped) before its slot is emptied.

class CTablet;

namespace TabletTable {

constexpr int kSlotCount = 5;

CTablet *At(int slot);
void Set(int slot, CTablet *tablet);
void Clear(int slot);
void ClearAll();

// First slot whose tablet has this PidText ("PID_0935"), or -1.
int FindByPidText(const char *pidText);

// First empty slot, or -1 when all five are taken. With bluetooth set, -1 as soon as an
// occupied slot holds a Bluetooth tablet: only one may be connected.
int GetEmptyTabletArray(bool bluetooth);

} // namespace TabletTable
