#pragma once
// uinput backend of the input facility, for sessions without an X server (Wayland, a
// console): an absolute pointer device (buttons, wheel) whose 0..65535 range the
// compositor maps over the desktop, and a keyboard device. Relative motion is not
// offered. Destroying it unregisters both, which lets go of any key still down. The user's swapped-buttons setting is
// applied by the compositor to this device as to any mouse, so it reports none.

#include "platform/input/inputinjector.h"

#include <QByteArray>

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

private:
    UinputMouseInjector(std::unique_ptr<UinputDevice> device, std::unique_ptr<UinputDevice> keyboard);
    bool inject(const MouseInput &input);

    std::mutex m_mutex; // m_device, m_keyboard, m_held
    std::unique_ptr<UinputDevice> m_device;
    std::unique_ptr<UinputDevice> m_keyboard;
    unsigned m_held = 0; // MouseLeftDown / MouseRightDown / MouseMiddleDown bits pressed
};
