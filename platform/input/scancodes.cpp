#include "platform/input/scancodes.h"

#include "platform/input/inputinjector.h"

#include <linux/input-event-codes.h>

namespace {

// Virtual-key codes that are not plain letters or digits.
enum : uint16_t {
    VkBack = 0x08, VkTab = 0x09, VkReturn = 0x0D, VkShift = 0x10, VkControl = 0x11,
    VkMenu = 0x12, VkPause = 0x13, VkCapital = 0x14, VkEscape = 0x1B, VkSpace = 0x20,
    VkPrior = 0x21, VkNext = 0x22, VkEnd = 0x23, VkHome = 0x24, VkLeft = 0x25,
    VkUp = 0x26, VkRight = 0x27, VkDown = 0x28, VkSnapshot = 0x2C, VkInsert = 0x2D,
    VkDelete = 0x2E, VkLWin = 0x5B, VkRWin = 0x5C, VkApps = 0x5D, VkNumpad0 = 0x60,
    VkMultiply = 0x6A, VkAdd = 0x6B, VkSeparator = 0x6C, VkSubtract = 0x6D,
    VkDecimal = 0x6E, VkDivide = 0x6F, VkF1 = 0x70, VkF13 = 0x7C, VkF24 = 0x87,
    VkNumLock = 0x90, VkScroll = 0x91, VkLShift = 0xA0, VkRShift = 0xA1,
    VkLControl = 0xA2, VkRControl = 0xA3, VkLMenu = 0xA4, VkRMenu = 0xA5,
    VkOem1 = 0xBA, VkOemPlus = 0xBB, VkOemComma = 0xBC, VkOemMinus = 0xBD,
    VkOemPeriod = 0xBE, VkOem2 = 0xBF, VkOem3 = 0xC0, VkOem4 = 0xDB, VkOem5 = 0xDC,
    VkOem6 = 0xDD, VkOem7 = 0xDE, VkOem102 = 0xE2,
};

// 'A'..'Z' in evdev order of the letter keys.
constexpr uint8_t kLetters[26] = {
    KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
    KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
};
constexpr uint8_t kDigits[10] = {KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};
constexpr uint8_t kNumpad[10] = {KEY_KP0, KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4,
                                 KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9};
constexpr uint8_t kF1toF12[12] = {KEY_F1, KEY_F2, KEY_F3, KEY_F4,  KEY_F5,  KEY_F6,
                                  KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12};

// Keys whose virtual key wins over the scan code (see the header).
int ByVkFirst(uint16_t vk)
{
    switch (vk) {
    case VkPause: return KEY_PAUSE;
    case VkNumLock: return KEY_NUMLOCK;
    case VkPrior: return KEY_PAGEUP;
    case VkNext: return KEY_PAGEDOWN;
    case VkEnd: return KEY_END;
    case VkHome: return KEY_HOME;
    case VkLeft: return KEY_LEFT;
    case VkUp: return KEY_UP;
    case VkRight: return KEY_RIGHT;
    case VkDown: return KEY_DOWN;
    case VkInsert: return KEY_INSERT;
    case VkDelete: return KEY_DELETE;
    default: break;
    }
    if (vk >= VkF13 && vk <= VkF24)
        return KEY_F13 + (vk - VkF13);
    return 0;
}

// Set-1 scan codes with the 0xE0 prefix.
int ExtendedScan(uint8_t scan)
{
    switch (scan) {
    case 0x1C: return KEY_KPENTER;
    case 0x1D: return KEY_RIGHTCTRL;
    case 0x35: return KEY_KPSLASH;
    case 0x37: return KEY_SYSRQ;
    case 0x38: return KEY_RIGHTALT;
    case 0x47: return KEY_HOME;
    case 0x48: return KEY_UP;
    case 0x49: return KEY_PAGEUP;
    case 0x4B: return KEY_LEFT;
    case 0x4D: return KEY_RIGHT;
    case 0x4F: return KEY_END;
    case 0x50: return KEY_DOWN;
    case 0x51: return KEY_PAGEDOWN;
    case 0x52: return KEY_INSERT;
    case 0x53: return KEY_DELETE;
    case 0x5B: return KEY_LEFTMETA;
    case 0x5C: return KEY_RIGHTMETA;
    case 0x5D: return KEY_COMPOSE;
    default: return 0;
    }
}

} // namespace

int EvdevKeyCodeForVk(uint16_t vk)
{
    if (const int code = ByVkFirst(vk))
        return code;
    if (vk >= 'A' && vk <= 'Z')
        return kLetters[vk - 'A'];
    if (vk >= '0' && vk <= '9')
        return kDigits[vk - '0'];
    if (vk >= VkNumpad0 && vk < VkNumpad0 + 10)
        return kNumpad[vk - VkNumpad0];
    if (vk >= VkF1 && vk < VkF1 + 12)
        return kF1toF12[vk - VkF1];
    switch (vk) {
    case VkBack: return KEY_BACKSPACE;
    case VkTab: return KEY_TAB;
    case VkReturn: return KEY_ENTER;
    case VkShift: case VkLShift: return KEY_LEFTSHIFT;
    case VkRShift: return KEY_RIGHTSHIFT;
    case VkControl: case VkLControl: return KEY_LEFTCTRL;
    case VkRControl: return KEY_RIGHTCTRL;
    case VkMenu: case VkLMenu: return KEY_LEFTALT;
    case VkRMenu: return KEY_RIGHTALT;
    case VkCapital: return KEY_CAPSLOCK;
    case VkEscape: return KEY_ESC;
    case VkSpace: return KEY_SPACE;
    case VkSnapshot: return KEY_SYSRQ;
    case VkLWin: return KEY_LEFTMETA;
    case VkRWin: return KEY_RIGHTMETA;
    case VkApps: return KEY_COMPOSE;
    case VkMultiply: return KEY_KPASTERISK;
    case VkAdd: return KEY_KPPLUS;
    case VkSeparator: return KEY_KPCOMMA;
    case VkSubtract: return KEY_KPMINUS;
    case VkDecimal: return KEY_KPDOT;
    case VkDivide: return KEY_KPSLASH;
    case VkScroll: return KEY_SCROLLLOCK;
    case VkOem1: return KEY_SEMICOLON;
    case VkOemPlus: return KEY_EQUAL;
    case VkOemComma: return KEY_COMMA;
    case VkOemMinus: return KEY_MINUS;
    case VkOemPeriod: return KEY_DOT;
    case VkOem2: return KEY_SLASH;
    case VkOem3: return KEY_GRAVE;
    case VkOem4: return KEY_LEFTBRACE;
    case VkOem5: return KEY_BACKSLASH;
    case VkOem6: return KEY_RIGHTBRACE;
    case VkOem7: return KEY_APOSTROPHE;
    case VkOem102: return KEY_102ND;
    default: return 0;
    }
}

int EvdevKeyCode(uint16_t vk, uint16_t scan, bool extended)
{
    if (const int code = ByVkFirst(vk))
        return code;
    const uint8_t low = uint8_t(scan & 0xFF);
    int code = 0;
    if (extended)
        code = ExtendedScan(low);
    else if ((low >= 0x01 && low <= 0x53) || (low >= 0x56 && low <= 0x58))
        code = low; // the PC/AT block: evdev numbers these keys by their set-1 code
    if (code)
        return code;
    return EvdevKeyCodeForVk(vk);
}

const MouseButtonCode kMouseButtonCodes[3] = {
    {MouseLeftDown, MouseLeftUp, BTN_LEFT},
    {MouseRightDown, MouseRightUp, BTN_RIGHT},
    {MouseMiddleDown, MouseMiddleUp, BTN_MIDDLE},
};
