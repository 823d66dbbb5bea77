#pragma once
// The paired Bluetooth LE devices as BlueZ knows them, and one notification's bytes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace inkble {

class BluezConnection;

// Value record, copied freely.
struct CBLEDeviceInfo {
    int32_t connected = 0;  // 1 connected, 0 not
    std::string name;       // the friendly name (BlueZ's alias)
    std::string address;    // "AA:BB:CC:DD:EE:FF", upper case
};

// One notification: a copy of the notified value, passed on through a shared pointer.
struct CBLERawData {
    std::vector<uint8_t> data;
    int32_t size = 0;
    std::string address; // the connection's address when it came
};
using CBLERawDataPtr = std::shared_ptr<const CBLERawData>;

std::string UpperCase(std::string text);

// Paired LE devices in object path order; with a non-empty nameFilter only those whose
// friendly name equals it exactly. Devices whose records are incomplete are skipped.
std::vector<CBLEDeviceInfo> EnumerateBleDevices(BluezConnection &bus, const std::string &nameFilter = {});

} // namespace inkble
