#include "platform/hid/linux/reportdescriptor.h"

namespace {

// Item prefix byte: bits 7-4 tag, bits 3-2 type (0 main, 1 global, 2 local), bits 1-0
// size code (0, 1, 2 or 4 data bytes). 0xFE starts a long item: size byte, tag byte,
// then that many data bytes.
constexpr uint8_t kLongItem = 0xFE;
constexpr uint8_t kTypeMain = 0;
constexpr uint8_t kTagCollection = 0xA;
constexpr uint8_t kTagEndCollection = 0xC;
constexpr uint32_t kCollectionApplication = 0x01;

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
