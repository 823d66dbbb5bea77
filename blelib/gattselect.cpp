#include "gattselect.h"

#include <cctype>
#include <cstdlib>

namespace inkble {
namespace {

bool AllHex(const std::string &s, size_t from, size_t count)
{
    if (from + count > s.size())
        return false;
    for (size_t i = from; i < from + count; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(s[i])))
            return false;
    }
    return true;
}

} // namespace

int UuidValue(const std::string &uuid)
{
    if (uuid.size() == 4 && AllHex(uuid, 0, 4))
        return int(std::strtol(uuid.c_str(), nullptr, 16));
    // 8-4-4-4-12 hex digits
    if (uuid.size() == 36 && uuid[8] == '-' && uuid[13] == '-' && uuid[18] == '-' && uuid[23] == '-'
        && AllHex(uuid, 0, 8) && AllHex(uuid, 9, 4) && AllHex(uuid, 14, 4) && AllHex(uuid, 19, 4)
        && AllHex(uuid, 24, 12)) {
        return int(std::strtoul(uuid.substr(0, 8).c_str(), nullptr, 16) & 0xFFFF);
    }
    return -1;
}

bool IsVendorService(const std::string &uuid)
{
    const int v = UuidValue(uuid);
    return v == kVendorServiceA || v == kVendorServiceB;
}

GattRoles SelectRoles(const std::vector<GattCharacteristic> &characteristics)
{
    GattRoles r;
    for (const GattCharacteristic &ch : characteristics) {
        const int value = UuidValue(ch.uuid);
        if (value == kRoleWrite && r.c.empty())
            r.c = ch;
        if (value == kRoleNotifyA && r.a.empty())
            r.a = ch;
        else if (ch.notifies && r.b.empty())
            r.b = ch;
    }
    return r;
}

} // namespace inkble
