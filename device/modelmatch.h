#pragma once
// The match of an interface text against the supported-model tables, as discovery, the
// arrival handler, resume and `inkora-hidtool list` use it.

#include "config/modeltables.h"

#include <QString>

// USB: for each entry in table order, "vid_%04X&pid_%04X&mi_%02d" (collection 0 or less)
// or "vid_%04X&pid_%04X&mi_%02d&col%02d" (collection above 0); the first entry whose
// text occurs in the path, case ignored, is the match. Null when none.
const UsbModelEntry *MatchUsbModel(const QString &path);

// Bluetooth LE: for each entry, "Dev_VID&02%04X_PID&%04X_REV" and "&col%02d"; the first
// entry whose two texts both occur in the path, case ignored, is the match. Logs both
// texts of every entry tried ("getBLEDeviceListIndex", info level). Null when none.
const BleModelEntry *MatchBleModel(const QString &path);

// The maker's USB interfaces ("vid_28bd") and Bluetooth LE HID devices ("0228bd_pid"),
// case ignored.
bool IsMakerUsbPath(const QString &path);
bool IsMakerBlePath(const QString &path);

// The texts the matches look for, for one entry (also shown by `inkora-hidtool list`).
QString UsbMatchText(const UsbModelEntry &entry);
QString BleMatchText(const BleModelEntry &entry);
QString BleCollectionText(const BleModelEntry &entry);
