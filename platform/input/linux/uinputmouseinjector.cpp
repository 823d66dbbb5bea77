#include "platform/input/linux/uinputmouseinjector.h"

#include "platform/input/scancodes.h"
#include "platform/vhid/linux/uinputdevice.h"

#include <libevdev/libevdev.h>

#include <algorithm>

namespace {

constexpr int kVendorId = 0x28BD;
constexpr int kProductId = 0x0008;
constexpr int kKeyboardProductId = 0x0009;

void DescribePointer(libevdev *dev)
{
    libevdev_set_name(dev, "Inkora Virtual Pointer");
    libevdev_set_id_bustype(dev, BUS_VIRTUAL);
    libevdev_set_id_vendor(dev, kVendorId);
    libevdev_set_id_product(dev, kProductId);
    libevdev_enable_event_type(dev, EV_ABS);
    input_absinfo info = {};
    info.maximum = 65535;
    libevdev_enable_event_code(dev, EV_ABS, ABS_X, &info);
    libevdev_enable_event_code(dev, EV_ABS, ABS_Y, &info);
    libevdev_enable_event_type(dev, EV_KEY);
    for (const auto &b : kMouseButtonCodes)
        libevdev_enable_event_code(dev, EV_KEY, b.code, nullptr);
    // The wheel on the same device, as an absolute USB tablet pointer has it.
    libevdev_enable_event_type(dev, EV_REL);
    libevdev_enable_event_code(dev, EV_REL, REL_WHEEL, nullptr);
    libevdev_enable_event_code(dev, EV_REL, REL_WHEEL_HI_RES, nullptr);
}

// A keyboard of its own: a device with both keys and absolute axes would be taken for
// a tablet or touch screen.
void DescribeKeyboard(libevdev *dev)
{
    libevdev_set_name(dev, "Inkora Virtual Keyboard");
    libevdev_set_id_bustype(dev, BUS_VIRTUAL);
    libevdev_set_id_vendor(dev, kVendorId);
    libevdev_set_id_product(dev, kKeyboardProductId);
    libevdev_enable_event_type(dev, EV_KEY);
    // Every code the key table can produce (up to F24 and the meta keys).
    for (unsigned code = KEY_ESC; code <= KEY_F24; ++code)
        libevdev_enable_event_code(dev, EV_KEY, code, nullptr);
}

} // namespace

std::unique_ptr<UinputMouseInjector> UinputMouseInjector::open(const QByteArray &uinputPath)
{
    int error = 0;
    std::unique_ptr<UinputDevice> device = UinputDevice::create(uinputPath, DescribePointer, &error);
    if (!device)
        return nullptr;
    std::unique_ptr<UinputDevice> keyboard = UinputDevice::create(uinputPath, DescribeKeyboard, &error);
    if (!keyboard)
        return nullptr;
    return std::unique_ptr<UinputMouseInjector>(new UinputMouseInjector(std::move(device), std::move(keyboard)));
}

UinputMouseInjector::UinputMouseInjector(std::unique_ptr<UinputDevice> device, std::unique_ptr<UinputDevice> keyboard)
    : m_device(std::move(device)), m_keyboard(std::move(keyboard))
{ }

UinputMouseInjector::~UinputMouseInjector()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    releaseHeldLocked();
}

void UinputMouseInjector::releaseHeld()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    releaseHeldLocked();
}

void UinputMouseInjector::releaseHeldLocked()
{
    bool any = false;
    for (const auto &b : kMouseButtonCodes) {
        if (m_held & b.down) {
            m_device->write(EV_KEY, b.code, 0);
            any = true;
        }
    }
    if (any)
        m_device->write(EV_SYN, SYN_REPORT, 0);
    m_held = 0;
    const bool keys = m_heldKeys.any();
    // Modifiers last, so a held combination never turns into another on the way up.
    for (unsigned code = 0; code < m_heldKeys.size(); ++code) {
        if (m_heldKeys[code] && code != KEY_LEFTCTRL && code != KEY_RIGHTCTRL && code != KEY_LEFTSHIFT
            && code != KEY_RIGHTSHIFT && code != KEY_LEFTALT && code != KEY_RIGHTALT && code != KEY_LEFTMETA
            && code != KEY_RIGHTMETA) {
            m_keyboard->write(EV_KEY, uint16_t(code), 0);
            m_heldKeys[code] = false;
        }
    }
    for (unsigned code = 0; code < m_heldKeys.size(); ++code) {
        if (m_heldKeys[code])
            m_keyboard->write(EV_KEY, uint16_t(code), 0);
    }
    if (keys)
        m_keyboard->write(EV_SYN, SYN_REPORT, 0);
    m_heldKeys.reset();
}

bool UinputMouseInjector::inject(const MouseInput &input)
{
    if ((input.flags & MouseMove) && !(input.flags & MouseAbsolute))
        return false;
    bool ok = true;
    if (input.flags & MouseMove) {
        ok &= m_device->write(EV_ABS, ABS_X, std::clamp(input.x, 0, 65535));
        ok &= m_device->write(EV_ABS, ABS_Y, std::clamp(input.y, 0, 65535));
    }
    for (const auto &b : kMouseButtonCodes) {
        if (input.flags & b.down) {
            ok &= m_device->write(EV_KEY, b.code, 1);
            m_held |= b.down;
        }
        if (input.flags & b.up) {
            ok &= m_device->write(EV_KEY, b.code, 0);
            m_held &= ~b.down;
        }
    }
    if (input.flags & MouseWheel) {
        ok &= m_device->write(EV_REL, REL_WHEEL, input.data / 120);
        ok &= m_device->write(EV_REL, REL_WHEEL_HI_RES, input.data);
    }
    ok &= m_device->write(EV_SYN, SYN_REPORT, 0);
    return ok;
}

int UinputMouseInjector::sendKeys(const KeyInput *inputs, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int sent = 0;
    for (int i = 0; i < count; ++i) {
        const int code = EvdevKeyCode(inputs[i].vk, inputs[i].scan, inputs[i].flags & KeyExtended);
        if (code <= 0)
            break;
        const bool down = !(inputs[i].flags & KeyUp);
        if (!m_keyboard->write(EV_KEY, uint16_t(code), down ? 1 : 0) || !m_keyboard->write(EV_SYN, SYN_REPORT, 0))
            break;
        if (unsigned(code) < m_heldKeys.size())
            m_heldKeys[size_t(code)] = down;
        ++sent;
    }
    return sent;
}

int UinputMouseInjector::sendMouse(const MouseInput *inputs, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int sent = 0;
    for (int i = 0; i < count && inject(inputs[i]); ++i)
        ++sent;
    return sent;
}
