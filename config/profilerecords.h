#pragma once
// The profile records: plain fixed-size structures with embedded text, so a whole
// device profile copies with one memcpy when a second tablet of the same model opens
// and packet threads can read them without following owned heap memory.
// The XML loader and saver (config/profilestore) map these fields to config.xml.
//
// Text fields hold UTF-8, NUL-terminated; a longer text is cut at a character boundary
// so that the NUL always fits (config/profiletext.h).
//
// Ownership: the application profiles form a singly linked list that the device
// profile owns (TabletXMLData::Apps, AppConfigNode::next). The nodes are allocated with
// new and released only through config/appprofiles.h (FreeApplicationList,
// DeleteApplication). A memcpy of a TabletXMLData copies the head pointer but not the
// ownership: CloneDeviceProfile gives the copy a list of its own.

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Limits that follow from the records. Text sizes include the NUL: 1023 bytes of
// application path, 1023 of key and ring-item custom text, 1027 of pen-button text.
constexpr int kProfilePens = 8;
constexpr int kProfilePenButtons = 5;
constexpr int kProfileStoredPenButtons = 3;
constexpr int kProfileKeys = 40;
constexpr int kProfileKeyGroups = 4;
constexpr int kProfileRingItems = 4;
constexpr int kProfileScreenRects = 4;

// The four points of a pressure curve (x and y in 0..1 of the pressure range).
struct SPresslvPoints {
    float P0;
    float P1X;
    float P1Y;
    float P2;
};

struct PenButtonConfig {
    int16_t id;        // entry chosen in the button's action list; 1 = custom function
    int16_t Actid;     // action number
    char custom[1028]; // custom function text
};

struct PenConfig {
    uint8_t reserved0[4];   // not in the file
    uint8_t RelativeCoords; // mouse mode
    uint8_t TablePC;        // ink on
    int16_t Speed;          // mouse-mode speed
    SPresslvPoints Press;   // pressure curve
    uint8_t reserved1[4];   // not in the file
    PenButtonConfig buttons[kProfilePenButtons]; // 0..2 are stored as PenBtn0..PenBtn2
};

struct RingItemConfig {
    char custom[1024];
    int16_t id; // 2 = custom function
};

struct RingConfig {
    RingItemConfig items[kProfileRingItems];
    int16_t id; // selected function 0..3
};

struct KeyConfig {
    int16_t id; // 1 = custom function
    char custom[1024];
    uint8_t Show;
    int16_t Actid;
    int16_t Motid;
};

struct KeyGroupConfig {
    int16_t enabled;
    KeyConfig keys[kProfileKeys];
};

struct AppConfigNode {
    char path[1024]; // executable of the application; empty in the common profile
    PenConfig pens[kProfilePens];
    RingConfig ring;   // element R
    RingConfig ring2;  // element R2, or TR for a touch ring
    uint8_t TRMode;    // TR "mode": 1 the ring works as a touch area, 0 as a wheel
    uint8_t TRPresent; // 1 when the profile's second ring came from a TR element
    KeyConfig keys[kProfileKeys]; // the key set of models without key groups
    KeyGroupConfig groups[kProfileKeyGroups]; // the key sets of models with key groups
    int16_t SelectID;         // active key group 0..3
    AppConfigNode *next;      // owned by the list, see above
};

struct ScreenRect16 {
    int16_t X, Y, W, H;
};

struct TabletXMLData {
    uint8_t reserved0[4]; // not in the file
    int16_t DeviceControl;
    int16_t DeviceTrackPad;
    int16_t SupportGroupKeys;
    int16_t DeviceKeyDirection;
    int16_t DeviceRingNum;
    int16_t DeviceKeyNum;
    int16_t reserved1; // not in the file
    int16_t DevicePenType;
    int16_t ScreenId;           // screen table index the area belongs to (0 = whole desktop)
    int16_t SX, SY, SW, SH;     // mapped screen area, desktop pixels
    int16_t TX, TY, TW, TH;     // active tablet area, 1/100 inch
    int16_t Orientation;        // 0..3 quarter turns
    ScreenRect16 rects[kProfileScreenRects]; // stored screen rectangles, read only
    float fKX, fKY, fXLC, fYLC; // screen calibration
    int16_t DisablePressure;
    int16_t DisableInfo;
    int16_t DisableQuickKey;
    int16_t DisableSlope;
    // Fine detail mode: while FineMode is non-zero the pen maps onto the fine-mode
    // rectangle (desktop pixels) instead of the screen area. Set by the main window,
    // never stored in the file.
    int16_t FineMode;
    int16_t FineX, FineY, FineW, FineH;
    int16_t DevicePenNum;
    int16_t DeviceCurPenID;
    int16_t PenMoveInTablet;
    AppConfigNode CommonAPP;
    AppConfigNode *Apps; // first application profile; the list is owned by this record
};

static_assert(std::is_trivially_copyable<TabletXMLData>::value, "profiles copy with memcpy");
static_assert(sizeof(PenButtonConfig) == 1032, "record layout changed");
static_assert(sizeof(KeyConfig) == 1032, "record layout changed");
static_assert(sizeof(PenConfig) == 5188, "record layout changed");
static_assert(sizeof(RingConfig) == 4106, "record layout changed");
static_assert(sizeof(KeyGroupConfig) == 41282, "record layout changed");
static_assert(sizeof(AppConfigNode) == 257160, "record layout changed");
static_assert(sizeof(TabletXMLData) == 257280, "record layout changed");
// The fine-mode fields take the ten bytes between the switches and the pen count, so
// the offsets of everything else stay where they were.
static_assert(offsetof(TabletXMLData, FineMode) == offsetof(TabletXMLData, DisableSlope) + 2,
              "fine mode follows the switches");
static_assert(offsetof(TabletXMLData, DevicePenNum) == offsetof(TabletXMLData, FineH) + 2,
              "the pen count follows the fine-mode rectangle");
static_assert(offsetof(TabletXMLData, CommonAPP) % alignof(AppConfigNode) == 0, "aligned");
