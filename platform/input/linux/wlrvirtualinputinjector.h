#pragma once
// Wayland backend of the input facility for wlroots compositors (sway, Hyprland and
// others offering zwp_virtual_keyboard_manager_v1 and zwlr_virtual_pointer_manager_v1):
// a virtual keyboard and a virtual pointer over a Wayland connection of our own. It
// needs no /dev/uinput, so it serves where the kernel or a sandbox has none; keys reach
// native Wayland clients as well as XWayland ones.
//
// Compositor facts it is built on:
//  - the virtual keyboard needs a keymap before its first key (we send an xkb keymap
//    from the user's default rules, XKB_DEFAULT_* as the compositor reads them too, in
//    a memfd) and takes key codes as evdev codes (xkb's minus 8);
//  - wlroots does not derive the modifier state from a virtual keyboard's keys: the
//    client sends it with `modifiers`. We run the keys through an xkb state of our own
//    and send its mask whenever a key changes it, so Shift and Ctrl combinations work;
//  - a virtual pointer's buttons reach clients as sent: no left-handed setting of the
//    compositor applies to it (that is a libinput device setting);
//  - its absolute motion is spread by the compositor over its layout's bounding box,
//    the same box an absolute device is mapped onto, so 0..65535 of 65536 keeps the
//    design's mapping without knowing the layout;
//  - our pointer is a seat device like a mouse: on a seat with no other pointer (a
//    headless compositor) its coming and going toggles the seat's pointer capability,
//    and sway 1.7 (wlroots 0.15) may crash when that happens at once while XWayland
//    binds to the pointer. One injector lives as long as the program, so this stays rare.
//
// Thread: the calling one, under m_mutex (any thread may send). The connection has no
// thread of its own: requests are flushed with a bounded wait after each event, and the
// events the compositor sends back are read when they are there, never waited for
// longer than that bound. A lost compositor is logged once; the calls then return 0 and
// try to connect again at most every two seconds, so a compositor restarted on the same
// socket is served again.

#include "platform/input/inputinjector.h"

#include <QByteArray>

#include <bitset>
#include <chrono>
#include <memory>
#include <mutex>

class WlrVirtualInputInjector : public InputInjector {
public:
    // Connects to displayName ($WAYLAND_DISPLAY when empty; a full path works too). Null,
    // with one log line, when there is no compositor, it lacks either protocol or
    // refuses the devices.
    static std::unique_ptr<WlrVirtualInputInjector> open(const QByteArray &displayName = QByteArray());
    // Lets go of what is held, then closes the connection.
    ~WlrVirtualInputInjector() override;

    int sendMouse(const MouseInput *inputs, int count) override;
    int sendKeys(const KeyInput *inputs, int count) override;
    bool mouseButtonsSwapped() override { return false; }
    void releaseHeld() override;

    struct Keymap;     // the xkb keymap sent to the compositor
    struct Connection; // one connection's Wayland objects and key state

private:
    WlrVirtualInputInjector(const QByteArray &displayName, std::shared_ptr<const Keymap> keymap,
                            std::unique_ptr<Connection> connection);
    bool usable(); // a live connection, after a reconnection attempt when due
    void lost();   // the connection broke: logs once and drops it
    bool injectKey(const KeyInput &input);
    bool injectMouse(const MouseInput &input);
    void releaseHeldLocked();

    const QByteArray m_displayName;
    const std::shared_ptr<const Keymap> m_keymap;
    std::mutex m_mutex;                       // m_connection, m_nextAttempt, every request on the connection
    std::unique_ptr<Connection> m_connection; // null while the compositor is away
    std::chrono::steady_clock::time_point m_nextAttempt;
};
