#pragma once
// uinput backend of the input facility, for sessions without an X server (Wayland, a
// console): an absolute pointer device whose 0..65535 range the compositor maps over
// the desktop. Relative motion is not offered. The user's swapped-buttons setting is
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
    bool mouseButtonsSwapped() override { return false; }

private:
    explicit UinputMouseInjector(std::unique_ptr<UinputDevice> device);
    bool inject(const MouseInput &input);

    std::mutex m_mutex; // m_device, m_held
    std::unique_ptr<UinputDevice> m_device;
    unsigned m_held = 0; // MouseLeftDown / MouseRightDown / MouseMiddleDown bits pressed
};
