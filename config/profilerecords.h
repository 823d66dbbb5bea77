#pragma once
// The profile records: plain fixed-size structures with embedded text, so a whole
// device profile copies with one memcpy when a second tablet of the same model opens
// and packet threads can read them without following owned heap memory.
// The XML loader and saver map these fields to config.xml.

#include <cstdint>
#include <type_traits>

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
    uint8_t reserved0[4];
    uint8_t RelativeCoords; // mouse mode
    uint8_t TablePC;        // ink on
    int16_t Speed;          // mouse-mode speed
    SPresslvPoints Press;   // pressure curve
    uint8_t reserved1[4];
    PenButtonConfig buttons[5]; // 0..2 are stored as PenBtn0..PenBtn2
};

struct RingItemConfig {
    char custom[1024];
    int16_t id; // 2 = custom function
};

struct RingConfig {
    RingItemConfig items[4];
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
    KeyConfig keys[40];
};

struct AppConfigNode {
    char path[1024];
    PenConfig pens[8];
    RingConfig ring;
    RingConfig ring2;
    uint8_t TRMode;
    uint8_t TRPresent;
    KeyConfig keys[40];
    KeyGroupConfig groups[4];
    int16_t SelectID;
    AppConfigNode *next;
};

struct ScreenRect16 {
    int16_t X, Y, W, H;
};

struct TabletXMLData {
    uint8_t reserved0[4];
    int16_t DeviceControl;
    int16_t DeviceTrackPad;
    int16_t SupportGroupKeys;
    int16_t DeviceKeyDirection;
    int16_t DeviceRingNum;
    int16_t DeviceKeyNum;
    int16_t reserved1;
    int16_t DevicePenType;
    int16_t ScreenId;
    int16_t SX, SY, SW, SH;     // mapped screen area, desktop pixels
    int16_t TX, TY, TW, TH;     // active tablet area, 1/100 inch
    int16_t Orientation;        // 0..3 quarter turns
    ScreenRect16 rects[4];      // stored screen rectangles, read only
    float fKX, fKY, fXLC, fYLC; // screen calibration
    int16_t DisablePressure;
    int16_t DisableInfo;
    int16_t DisableQuickKey;
    int16_t DisableSlope;
    uint8_t reserved2[10];
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
