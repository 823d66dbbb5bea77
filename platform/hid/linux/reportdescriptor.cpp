#include "platform/hid/linux/reportdescriptor.h"

#include <cstddef>
#include <vector>

namespace {

// Item prefix byte: bits 7-4 tag, bits 3-2 type (0 main, 1 global, 2 local), bits 1-0
// size code (0, 1, 2 or 4 data bytes). 0xFE starts a long item: size byte, tag byte,
// then that many data bytes.
constexpr uint8_t kLongItem = 0xFE;
constexpr uint8_t kTypeMain = 0;
constexpr uint8_t kTagCollection = 0xA;
constexpr uint8_t kTagEndCollection = 0xC;
constexpr uint32_t kCollectionApplication = 0x01;
constexpr uint8_t kTypeGlobal = 1;
constexpr uint8_t kTagOutput = 0x9;
constexpr uint8_t kTagReportSize = 0x7;
constexpr uint8_t kTagReportId = 0x8;
constexpr uint8_t kTagReportCount = 0x9;
constexpr uint8_t kTagPush = 0xA;
constexpr uint8_t kTagPop = 0xB;
// Bounds that keep a hostile descriptor from overflowing the sums: the kernel caps
// reports far below these.
constexpr uint32_t kMaxReportBits = 1u << 20;
constexpr size_t kMaxPushDepth = 16;

} // namespace

int CountApplicationCollections(const uint8_t *data, int size)
{
    if (!data || size <= 0)
        return 0;
    int count = 0;
    int depth = 0;
    int i = 0;
    while (i < size) {
        const uint8_t prefix = data[i];
        if (prefix == kLongItem) {
            if (i + 2 >= size)
                break;
            const int length = data[i + 1];
            i += 3 + length; // long items are never Collection items
            continue;
        }
        const int sizeCode = prefix & 0x03;
        const int length = sizeCode == 3 ? 4 : sizeCode;
        if (i + 1 + length > size)
            break; // cut short inside the item
        const uint8_t type = (prefix >> 2) & 0x03;
        const uint8_t tag = prefix >> 4;
        uint32_t value = 0;
        for (int b = 0; b < length; ++b)
            value |= uint32_t(data[i + 1 + b]) << (8 * b);
        if (type == kTypeMain && tag == kTagCollection) {
            if (depth == 0 && value == kCollectionApplication)
                ++count;
            ++depth;
        } else if (type == kTypeMain && tag == kTagEndCollection) {
            if (depth > 0)
                --depth;
        }
        i += 1 + length;
    }
    return count;
}

std::map<int, int> OutputReportLengths(const uint8_t *data, int size)
{
    struct Globals {
        uint32_t reportSize = 0;
        uint32_t reportCount = 0;
        int reportId = 0;
    };
    std::map<int, uint32_t> bits;
    if (!data || size <= 0)
        return {};
    Globals g;
    std::vector<Globals> stack;
    int i = 0;
    while (i < size) {
        const uint8_t prefix = data[i];
        if (prefix == kLongItem) {
            if (i + 2 >= size)
                break;
            i += 3 + data[i + 1];
            continue;
        }
        const int sizeCode = prefix & 0x03;
        const int length = sizeCode == 3 ? 4 : sizeCode;
        if (i + 1 + length > size)
            break;
        const uint8_t type = (prefix >> 2) & 0x03;
        const uint8_t tag = prefix >> 4;
        uint32_t value = 0;
        for (int b = 0; b < length; ++b)
            value |= uint32_t(data[i + 1 + b]) << (8 * b);
        if (type == kTypeGlobal) {
            if (tag == kTagReportSize)
                g.reportSize = value < kMaxReportBits ? value : kMaxReportBits;
            else if (tag == kTagReportCount)
                g.reportCount = value < kMaxReportBits ? value : kMaxReportBits;
            else if (tag == kTagReportId)
                g.reportId = int(value & 0xFF);
            else if (tag == kTagPush && stack.size() < kMaxPushDepth)
                stack.push_back(g);
            else if (tag == kTagPop && !stack.empty()) {
                g = stack.back();
                stack.pop_back();
            }
        } else if (type == kTypeMain && tag == kTagOutput) {
            const uint64_t sum = uint64_t(bits[g.reportId]) + uint64_t(g.reportSize) * g.reportCount;
            bits[g.reportId] = sum < kMaxReportBits ? uint32_t(sum) : kMaxReportBits;
        }
        i += 1 + length;
    }
    std::map<int, int> lengths;
    for (const auto &b : bits)
        lengths[b.first] = 1 + int((b.second + 7) / 8);
    return lengths;
}
