#pragma once
// The screen table: slot 0 is the whole desktop (the bounding box of all screens), slots
// 1..count the screens in physical pixels, ordered by left edge and then top edge.
//
// The GUI thread builds a new table on start, reset and every display change; the packet
// threads map every pen sample through it. A published table is never changed or freed
// while the program runs: Publish() makes a new immutable copy and swaps one atomic
// pointer, so a packet thread reads a whole table without taking a lock. Old copies are
// kept (a few hundred bytes per display change) and freed at exit.

#include <QString>

#include <cstdint>
#include <vector>

struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    int32_t right() const { return left + width; }   // one past the last column
    int32_t bottom() const { return top + height; }  // one past the last row
    bool operator==(const ScreenRect &o) const
    {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
    bool operator!=(const ScreenRect &o) const { return !(*this == o); }
};

constexpr int kScreenSlots = 10; // slot 0 + at most nine screens

// Qt's `slots` keyword is a macro wherever <QObject> came first; the member keeps its
// name for code without Qt objects, and code with them reads it through Slot(i).
#pragma push_macro("slots")
#undef slots
struct ScreenTableData {
    ScreenRect slots[kScreenSlots];
    int count = 0;   // screens in slots 1..count
    int primary = 0; // slot of the screen at (0, 0); 0 when no screen is there

    // The rectangle of slot i, or slot 0 when i is outside 0..count.
    const ScreenRect &Slot(int i) const { return (i < 0 || i > count) ? slots[0] : slots[i]; }
    // Slot 0: the bounding box of all screens.
    const ScreenRect &Desktop() const { return slots[0]; }
};
#pragma pop_macro("slots")

namespace ScreenTable {

// Builds a table from screens in any order: sorts them by left then top edge (the
// primary follows its rectangle), keeps the first nine, and sets slot 0 to the bounding
// box of the kept screens. An empty list gives count 0 and an empty slot 0.
ScreenTableData Build(const std::vector<ScreenRect> &screens);

// The current table in physical pixels (used for all mapping). Any thread; the
// reference stays valid for the life of the program.
const ScreenTableData &Current();
// GUI thread: makes 'table' the current one.
void Publish(const ScreenTableData &table);

// The same screens in the toolkit's logical geometry (used to place windows). GUI thread.
const ScreenTableData &Logical();
void PublishLogical(const ScreenTableData &table);

} // namespace ScreenTable
