#pragma once
// Windows key records (virtual key, set-1 scan code, extended flag) to Linux evdev key
// codes. X key codes are these plus 8.

#include <cstdint>

// The evdev code of a key record; 0 when neither code names a key we know.
//
// The scan code decides, except:
//  - Pause, NumLock and F13..F24 go by the virtual key: their scan codes collide with
//    other keys (Pause sends 0x45 like NumLock; 0x64.. are F13.. on Windows but other
//    keys in evdev's numbering);
//  - the navigation keys (Insert, Delete, Home, End, Page Up/Down, arrows) go by the
//    virtual key too: applications see the virtual key, and a record that gives the
//    keypad's scan code without the extended flag (Delete as 46:83) still means Delete,
//    not the keypad's "." key;
//  - a scan code of 0 or one outside the table falls back to the virtual key.
int EvdevKeyCode(uint16_t vk, uint16_t scan, bool extended);

// The evdev code for a virtual key alone; 0 when unknown.
int EvdevKeyCodeForVk(uint16_t vk);

// The mouse buttons of a MouseInput, each with its down and up flag and its evdev code,
// for the injectors that speak evdev's numbers (X numbers its buttons otherwise).
struct MouseButtonCode {
    uint32_t down;
    uint32_t up;
    uint16_t code;
};
extern const MouseButtonCode kMouseButtonCodes[3];
