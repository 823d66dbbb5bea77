#pragma once
// Which built-in actions a model is offered. One rule for every list that offers
// actions: the express key and pen button lists of the settings window and the function
// buttons of the custom function editor. An action is offered only when the model has
// what it acts on: ring functions need the ring, the touch-pad mode the touch pad, the
// next key group key groups, the key layout keys; the eraser default belongs to the
// pen's eraser end alone (it is no action a key or side button can run).
//
// Plain functions of the model facts; any thread.

struct TabletXMLData;

// The model facts the rule reads (from the device profile).
struct ActionDeviceCaps {
    int ringCount = 0;      // DeviceRingNum
    bool trackPad = false;  // DeviceTrackPad
    bool keyGroups = false; // SupportGroupKeys
    int keyCount = 0;       // DeviceKeyNum
};

ActionDeviceCaps ActionCapsOf(const TabletXMLData &profile);

// Where the action is bound.
enum class ActionPlace {
    Key,       // an express key, or any custom function
    PenButton, // a side button of the pen
    EraserEnd, // the pen's eraser end (pen button entry 0)
};

// True when the list for place offers action id (Actions catalogue numbers).
bool ActionOffered(int action, const ActionDeviceCaps &caps, ActionPlace place);
