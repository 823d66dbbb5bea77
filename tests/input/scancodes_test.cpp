// Windows key records to evdev codes: the table every injected key goes through.
#include "platform/input/scancodes.h"

#include <linux/input-event-codes.h>

#include <gtest/gtest.h>

namespace {

struct Row {
    uint16_t vk;
    uint16_t scan; // as stored: 0x1xx = 0xE0-extended
    int evdev;
    const char *what;
};

void Check(const Row *rows, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const Row &r = rows[i];
        EXPECT_EQ(EvdevKeyCode(r.vk, uint16_t(r.scan & 0xFF), r.scan >= 0x100), r.evdev) << r.what;
    }
}

} // namespace

TEST(ScanCodes, ExtendedKeysAreNotTheirKeypadTwins)
{
    static const Row rows[] = {
        {165, 0x138, KEY_RIGHTALT, "Right Alt 0x138"},
        {56, 0x38, KEY_LEFTALT, "Left Alt, same low byte"},
        {163, 0x11D, KEY_RIGHTCTRL, "Right Ctrl"},
        {162, 0x1D, KEY_LEFTCTRL, "Left Ctrl"},
        {13, 0x11C, KEY_KPENTER, "numpad Enter"},
        {13, 0x1C, KEY_ENTER, "Enter"},
        {111, 0x135, KEY_KPSLASH, "numpad divide"},
        {191, 0x35, KEY_SLASH, "slash"},
        {0, 0x148, KEY_UP, "arrow up by scan code alone"},
        {0, 0x14B, KEY_LEFT, "arrow left"},
        {0, 0x14D, KEY_RIGHT, "arrow right"},
        {0, 0x150, KEY_DOWN, "arrow down"},
        {0, 0x152, KEY_INSERT, "Insert"},
        {0, 0x153, KEY_DELETE, "Delete"},
        {0, 0x147, KEY_HOME, "Home"},
        {0, 0x14F, KEY_END, "End"},
        {0, 0x149, KEY_PAGEUP, "Page Up"},
        {0, 0x151, KEY_PAGEDOWN, "Page Down"},
        {0, 0x48, KEY_KP8, "numpad 8 without the prefix"},
        {91, 0x15B, KEY_LEFTMETA, "left Windows key 0xE05B"},
        {92, 0x15C, KEY_RIGHTMETA, "right Windows key 0xE05C"},
        {93, 0x15D, KEY_COMPOSE, "menu key"},
    };
    Check(rows, sizeof rows / sizeof rows[0]);
}

TEST(ScanCodes, TheVirtualKeyDecidesWhereScanCodesCollide)
{
    static const Row rows[] = {
        // The editor's Windows key is "91:91": 0x5B without the prefix is no key.
        {91, 91, KEY_LEFTMETA, "Windows key as stored"},
        // F13/F14 of the ring's Alt combination: 100/101 would be Right Alt and Linefeed.
        {124, 100, KEY_F13, "F13"},
        {125, 101, KEY_F14, "F14"},
        {135, 0x76, KEY_F24, "F24"},
        // Pause shares 0x45 with NumLock.
        {19, 0x45, KEY_PAUSE, "Pause"},
        {144, 0x145, KEY_NUMLOCK, "NumLock"},
        // Action 18 stores Delete with the keypad's scan code; it still means Delete.
        {46, 83, KEY_DELETE, "Delete as 46:83"},
        {37, 0x4B, KEY_LEFT, "arrow left without the prefix"},
        {110, 83, KEY_KPDOT, "the keypad's own decimal key"},
    };
    Check(rows, sizeof rows / sizeof rows[0]);
}

TEST(ScanCodes, PlainBlockAndFallbacks)
{
    static const Row rows[] = {
        {27, 0x01, KEY_ESC, "Esc, first of the block"},
        {66, 48, KEY_B, "B"},
        {69, 18, KEY_E, "E"},
        {107, 78, KEY_KPPLUS, "numpad plus"},
        {109, 74, KEY_KPMINUS, "numpad minus"},
        {116, 63, KEY_F5, "F5"},
        {221, 27, KEY_RIGHTBRACE, "]"},
        {0, 0x53, KEY_KPDOT, "last of the block"},
        {226, 0x56, KEY_102ND, "102nd key"},
        {122, 0x57, KEY_F11, "F11"},
        {123, 0x58, KEY_F12, "F12"},
        // Scan code 0 or outside the table: the virtual key.
        {67, 0, KEY_C, "C by virtual key"},
        {55, 0, KEY_7, "7 by virtual key"},
        {102, 0, KEY_KP6, "numpad 6 by virtual key"},
        {163, 0, KEY_RIGHTCTRL, "Right Ctrl by virtual key"},
        {65, 0x7F, KEY_A, "unknown scan code"},
        {0, 0, 0, "nothing at all"},
        {0xFF, 0x7F, 0, "neither known"},
        {0, 0x1FF, 0, "unknown extended key"},
    };
    Check(rows, sizeof rows / sizeof rows[0]);
}
