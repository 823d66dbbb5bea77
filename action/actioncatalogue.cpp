#include "action/actioncatalogue.h"

#include "config/profilerecords.h"

ActionDeviceCaps ActionCapsOf(const TabletXMLData &profile)
{
    ActionDeviceCaps caps;
    caps.ringCount = profile.DeviceRingNum;
    caps.trackPad = profile.DeviceTrackPad != 0;
    caps.keyGroups = profile.SupportGroupKeys != 0;
    caps.keyCount = profile.DeviceKeyNum;
    return caps;
}

bool ActionOffered(int action, const ActionDeviceCaps &caps, ActionPlace place)
{
    if (action >= 0 && action <= 26)
        return true; // keys
    if (action >= 201 && action <= 211)
        return true; // modifiers and mouse buttons
    switch (action) {
    case 27:
        return place == ActionPlace::EraserEnd;
    case 105:
        return caps.ringCount >= 1;
    case 106:
        // The second ring, or the touch pad beside a ring (it keeps the second ring's
        // functions).
        return caps.ringCount >= 2 || (caps.ringCount >= 1 && caps.trackPad);
    case 107:
        return caps.trackPad;
    case 110:
        return caps.keyGroups;
    case 111:
        return caps.keyGroups || caps.keyCount > 0;
    case 101: // settings window
    case 102: // next screen (from a keypad: every tablet's)
    case 103: // pen/eraser (from a keypad: the other tablets' pens)
    case 104: // fine mode (from a keypad: for the first other tablet)
    case 108: // no action
    case 109: // brush and eraser keys
        return true;
    default:
        return false;
    }
}
