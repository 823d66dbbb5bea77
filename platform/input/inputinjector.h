#pragma once
// The input facility: synthetic keyboard and mouse input for other applications, and
// whether the user swapped the primary and secondary mouse buttons.

#include <cstdint>

// Flags of one mouse event. The bit values are those of the design's input records,
// so recorded events read the same as there.
enum MouseInputFlag : uint32_t {
    MouseMove = 0x0001,
    MouseLeftDown = 0x0002,
    MouseLeftUp = 0x0004,
    MouseRightDown = 0x0008,
    MouseRightUp = 0x0010,
    MouseMiddleDown = 0x0020,
    MouseMiddleUp = 0x0040,
    MouseWheel = 0x0800,
    MouseAbsolute = 0x8000,
};

struct MouseInput {
    // With MouseAbsolute: 0..65535 across the whole virtual desktop (65535 is the last
    // pixel). Without: relative motion in pixels.
    int32_t x = 0;
    int32_t y = 0;
    uint32_t flags = 0;
    // With MouseWheel: wheel travel, 120 per notch, positive away from the user.
    int32_t data = 0;
};

// Flags of one keyboard event, as in the design's keyboard records.
enum KeyInputFlag : uint32_t {
    KeyExtended = 0x0001, // the scan code had the 0xE0 prefix
    KeyUp = 0x0002,
};

struct KeyInput {
    uint16_t vk = 0;   // Windows virtual-key code
    uint16_t scan = 0; // set-1 scan code, low byte only; see KeyExtended
    uint32_t flags = 0;
};

class InputInjector {
public:
    virtual ~InputInjector() = default;

    // Injects the events in order. Returns how many were injected: fewer than count
    // (0 at worst) when the facility failed. Any thread; backends serialise.
    virtual int sendMouse(const MouseInput *inputs, int count) = 0;
    // The same for key events. A key neither code names is not injected and ends the
    // call there.
    virtual int sendKeys(const KeyInput *inputs, int count) = 0;

    // True when the user's primary button is the right one. The injected buttons go
    // through that setting like the user's own presses do.
    virtual bool mouseButtonsSwapped() = 0;

    // Lets go of every key and button injected down and not yet up: a tablet went away
    // in the middle of a press, or the program ends. Any thread.
    virtual void releaseHeld() { }
};
