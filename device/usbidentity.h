#pragma once
// What a USB tablet says about itself in its string descriptors: identity, geometry,
// firmware strings, capability block, serial code and the name shown to the user.
// The open of a USB tablet and the replay tool read a device the same way.

#include "device/tabletpacket.h"

#include <QString>

#include <cstddef>

class HidDevice;
class QSettings;


// Recomputes WidthInch100 and HeightInch100; a Resolution of 0 becomes 5080.
void FinishGeometry(DeviceAttributes &a);

// Reads strings 1-5, 100 (geometry), 110 (capability block) and 131 (serial code) into a,
// with the design's log lines, then the display name: the name table's "Dongle/PID_xxxx"
// (receiver) or "Common/PID_xxxx" entry, else the product string. a.PidText must be set.
// nameTable may be null.
void ReadUsbIdentity(HidDevice &device, QSettings *nameTable, DeviceAttributes &a);
