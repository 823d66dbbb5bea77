#pragma once
// The tablet's vendor GATT service and the roles of its characteristics:
//   A: the first characteristic whose UUID value is 0x0003 (notifies);
//   B: the first notifying characteristic whose value is not 0x0003 (the write
//      characteristic 0x0001 qualifies when it notifies);
//   C: the first characteristic whose value is 0x0001 (every write).

#include <string>
#include <vector>

namespace inkble {

constexpr int kVendorServiceA = 0xFFF0;
constexpr int kVendorServiceB = 0xFFE0;
constexpr int kRoleNotifyA = 0x0003;
constexpr int kRoleWrite = 0x0001;

// The 16-bit value of a UUID's short form: a 16-bit UUID ("fff0") is its value; a
// 128-bit one ("0000fff0-0000-1000-8000-00805f9b34fb") gives the low 16 bits of its
// first 32-bit group. -1 for any other text.
int UuidValue(const std::string &uuid);

bool IsVendorService(const std::string &uuid);

// A characteristic as BlueZ lists it; an empty path is "not found".
struct GattCharacteristic {
    std::string path;
    std::string uuid;
    bool notifies = false; // "notify" among its flags
    bool empty() const { return path.empty(); }
};

struct GattRoles {
    GattCharacteristic a, b, c;
    bool complete() const { return !a.empty() && !b.empty() && !c.empty(); }
};

// Applies the rules above to the characteristics in handle order.
GattRoles SelectRoles(const std::vector<GattCharacteristic> &characteristics);

} // namespace inkble
