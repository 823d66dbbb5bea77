#include "mapping/screentable.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

namespace {

// Published tables. The vector is touched only under its mutex by Publish (GUI thread);
// readers go through the atomic pointer alone.
std::mutex g_publishMutex;
std::vector<std::unique_ptr<const ScreenTableData>> &Retained()
{
    static std::vector<std::unique_ptr<const ScreenTableData>> tables;
    return tables;
}
const ScreenTableData g_empty{};
std::atomic<const ScreenTableData *> g_current{&g_empty};

ScreenTableData g_logical; // GUI thread

bool Before(const ScreenRect &a, const ScreenRect &b)
{
    return a.left < b.left || (a.left == b.left && a.top < b.top);
}

} // namespace

namespace ScreenTable {

ScreenTableData Build(const std::vector<ScreenRect> &screens)
{
    ScreenTableData table;
    int primaryInput = -1;
    std::vector<ScreenRect> kept;
    for (const ScreenRect &r : screens) {
        if (static_cast<int>(kept.size()) == kScreenSlots - 1)
            break; // the table has nine screen slots; further screens are not offered
        if (r.left == 0 && r.top == 0 && primaryInput < 0)
            primaryInput = static_cast<int>(kept.size());
        kept.push_back(r);
    }
    table.count = static_cast<int>(kept.size());
    for (int i = 0; i < table.count; ++i)
        table.slots[i + 1] = kept[static_cast<size_t>(i)];
    int primary = primaryInput >= 0 ? primaryInput + 1 : 0;

    // Selection sort, so the primary index can follow its rectangle exactly.
    for (int i = 1; i <= table.count; ++i) {
        int best = i;
        for (int j = i + 1; j <= table.count; ++j)
            if (Before(table.slots[j], table.slots[best]))
                best = j;
        if (best != i) {
            std::swap(table.slots[i], table.slots[best]);
            if (primary == i)
                primary = best;
            else if (primary == best)
                primary = i;
        }
    }
    table.primary = primary;

    if (table.count > 0) {
        int32_t left = table.slots[1].left, top = table.slots[1].top;
        int32_t right = table.slots[1].right(), bottom = table.slots[1].bottom();
        for (int i = 2; i <= table.count; ++i) {
            left = std::min(left, table.slots[i].left);
            top = std::min(top, table.slots[i].top);
            right = std::max(right, table.slots[i].right());
            bottom = std::max(bottom, table.slots[i].bottom());
        }
        table.slots[0] = ScreenRect{left, top, right - left, bottom - top};
    }
    return table;
}

const ScreenTableData &Current()
{
    return *g_current.load(std::memory_order_acquire);
}

void Publish(const ScreenTableData &table)
{
    std::lock_guard<std::mutex> lock(g_publishMutex);
    auto copy = std::make_unique<const ScreenTableData>(table);
    g_current.store(copy.get(), std::memory_order_release);
    Retained().push_back(std::move(copy));
}

const ScreenTableData &Logical()
{
    return g_logical;
}

void PublishLogical(const ScreenTableData &table)
{
    g_logical = table;
}

} // namespace ScreenTable
