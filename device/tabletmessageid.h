#pragma once
// The ids of a tablet's messages to the window, PostActionMsg(tabletIndex, id, data):
// one list for what the action engine and the tablet itself post.

enum TabletMessageId : int {
    // From the action engine.
    kMsgShowDriver = 1,     // data 1: show and raise the settings window
    kMsgSwitchScreen = 2,   // data 0
    kMsgPenEraser = 3,      // data: 1 eraser, 0 pen
    kMsgFineMode = 4,       // data 0
    kMsgRing1Function = 5,  // data: current application path
    kMsgRing2Function = 6,  // data: current application path
    kMsgTrackPad = 7,       // data 0
    kMsgKeyGroup = 10,      // data: current application path
    kMsgKeyPreview = 11,    // data: current application path
    kMsgUsageRecord = 99,   // data: the usage record text
    // From the tablet.
    kMsgBattery = 88,       // data: charging state byte (1 = charging)
    kMsgNewPen = 89,        // data: pen id
    kMsgReannounced = 100,  // data 0
};
