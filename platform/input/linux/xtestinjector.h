#pragma once
// X11 backend of the input facility: XTest events on a display connection of its own.
// Destroying it releases the buttons and keys it left down.
// Absolute motion covers the whole root window (every monitor); the buttons go through
// the server's pointer mapping exactly as the user's presses do, so a left-handed
// mapping turns an injected left press into a right one, as the system's own
// injection does with swapped buttons.

#include "platform/input/inputinjector.h"

#include <QByteArray>

#include <atomic>
#include <bitset>
#include <memory>
#include <mutex>
#include <thread>

struct _XDisplay;

class XTestInjector : public InputInjector {
public:
    // Connects to displayName ($DISPLAY when empty). Null when there is no X server or
    // it lacks the XTest extension.
    static std::unique_ptr<XTestInjector> open(const QByteArray &displayName = QByteArray());
    // Releases the buttons it pressed, then closes the connection.
    ~XTestInjector() override;

    int sendMouse(const MouseInput *inputs, int count) override;
    // Keys as X key codes (evdev + 8, platform/input/scancodes.h).
    int sendKeys(const KeyInput *inputs, int count) override;
    // From the pointer mapping: physical button 1 mapped to 3 (and 3 to 1).
    bool mouseButtonsSwapped() override;
    void releaseHeld() override;

private:
    explicit XTestInjector(_XDisplay *display) : m_display(display) { }
    bool inject(const MouseInput &input);
    bool injectKey(const KeyInput &input);
    void releaseHeldLocked();

    // m_mutex held, and the holding thread noted for the destructor.
    class Hold {
    public:
        explicit Hold(XTestInjector &injector) : m_injector(injector), m_lock(injector.m_mutex)
        {
            injector.m_holder = std::this_thread::get_id();
        }
        ~Hold() { m_injector.m_holder = std::thread::id(); }

    private:
        XTestInjector &m_injector;
        std::lock_guard<std::mutex> m_lock;
    };

    std::mutex m_mutex; // Xlib calls on m_display; m_held
    std::atomic<std::thread::id> m_holder{}; // the thread holding m_mutex, if any
    _XDisplay *m_display;
    unsigned m_held = 0;         // bit n: button n+1 pressed by us
    std::bitset<256> m_heldKeys; // X key codes pressed by us
};
