#pragma once
// uinput backend of the input facility, for sessions without an X server (Wayland, a
// console): an absolute pointer device (buttons, wheel) whose 0..65535 range the
// compositor maps over the desktop, and a keyboard device. Relative motion is not
// offered. Destroying it lets go of every key and button still down (and the kernel
// would on unregistering the devices). The user's swapped-buttons setting is
// applied by the compositor to this device as to any mouse, so it reports none.

#include "platform/input/inputinjector.h"

#include <QByteArray>

#include <bitset>
#include <memory>
#include <mutex>

class UinputDevice;

class UinputMouseInjector : public InputInjector {
public:
    // Null when the device cannot be made (no /dev/uinput, no access).
    static std::unique_ptr<UinputMouseInjector> open(const QByteArray &uinputPath = QByteArrayLiteral("/dev/uinput"));
    // Releases the buttons it pressed.
    ~UinputMouseInjector() override;

    int sendMouse(const MouseInput *inputs, int count) override;
    int sendKeys(const KeyInput *inputs, int count) override;
    bool mouseButtonsSwapped() override { return false; }
    void releaseHeld() override;

private:
    UinputMouseInjector(std::unique_ptr<UinputDevice> device, std::unique_ptr<UinputDevice> keyboard);
    bool inject(const MouseInput &input);
    void releaseHeldLocked();

    std::mutex m_mutex; // m_device, m_keyboard, m_held, m_heldKeys
    std::unique_ptr<UinputDevice> m_device;
    std::unique_ptr<UinputDevice> m_keyboard;
    unsigned m_held = 0;         // MouseLeftDown / MouseRightDown / MouseMiddleDown bits pressed
    std::bitset<256> m_heldKeys; // evdev key codes pressed (the keyboard's codes end at KEY_F24)
};
