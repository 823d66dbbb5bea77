#include "bledevices.h"

#include "bluezclient.h"

#include <algorithm>
#include <cctype>

namespace inkble {

std::string UpperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

namespace {

// BlueZ has no "LE" flag: a device seen only over LE carries no Class of Device, and LE
// devices announce an appearance or use a random address.
bool IsLowEnergy(const PropertyMap &device)
{
    if (device.count("Appearance") || TextProperty(device, "AddressType") == "random")
        return true;
    return device.count("Class") == 0;
}

} // namespace

std::vector<CBLEDeviceInfo> EnumerateBleDevices(BluezConnection &bus, const std::string &nameFilter)
{
    std::vector<CBLEDeviceInfo> list;
    std::vector<ManagedObject> objects;
    if (!bus.ManagedObjects(&objects))
        return list;
    for (const ManagedObject &object : objects) {
        const PropertyMap *device = object.find("org.bluez.Device1");
        if (!device || !BoolProperty(*device, "Paired") || !IsLowEnergy(*device))
            continue;
        std::string name = TextProperty(*device, "Alias");
        if (name.empty())
            name = TextProperty(*device, "Name");
        if (!nameFilter.empty() && name != nameFilter)
            continue;
        const std::string address = TextProperty(*device, "Address");
        if (address.empty())
            continue;
        CBLEDeviceInfo info;
        info.connected = BoolProperty(*device, "Connected") ? 1 : 0;
        info.name = name;
        info.address = UpperCase(address);
        list.push_back(std::move(info));
    }
    return list;
}

} // namespace inkble
