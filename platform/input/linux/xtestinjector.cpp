#include "platform/input/linux/xtestinjector.h"

#include "platform/input/scancodes.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int32_t kAbsoluteMax = 65535;

} // namespace

std::unique_ptr<XTestInjector> XTestInjector::open(const QByteArray &displayName)
{
    Display *display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData());
    if (!display)
        return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<XTestInjector>(new XTestInjector(display));
}

XTestInjector::~XTestInjector()
{
    // Xlib ends the program from inside a call when the X server goes away (its I/O
    // error handler calls exit()), and the exit destroys us on that thread with the
    // lock still held: waiting for it would hang the program for good instead of
    // ending it. The connection is gone, so there is nothing to release or close.
    if (m_holder.load() == std::this_thread::get_id())
        return;
    Hold hold(*this);
    releaseHeldLocked();
    XCloseDisplay(m_display);
}

void XTestInjector::releaseHeld()
{
    Hold hold(*this);
    releaseHeldLocked();
}

void XTestInjector::releaseHeldLocked()
{
    for (unsigned button = 1; button <= 3; ++button) {
        if (m_held & (1u << (button - 1)))
            XTestFakeButtonEvent(m_display, button, False, CurrentTime);
    }
    m_held = 0;
    // A key left down would repeat in whatever window has the focus.
    for (unsigned code = 0; code < m_heldKeys.size(); ++code) {
        if (m_heldKeys[code])
            XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    }
    m_heldKeys.reset();
    XSync(m_display, False);
}

bool XTestInjector::inject(const MouseInput &input)
{
    if (input.flags & MouseMove) {
        if (input.flags & MouseAbsolute) {
            // The root window's size now: monitors come and go.
            Window root = 0;
            int x = 0, y = 0;
            unsigned width = 0, height = 0, border = 0, depth = 0;
            if (!XGetGeometry(m_display, DefaultRootWindow(m_display), &root, &x, &y, &width, &height, &border, &depth))
                return false;
            // 0..65535 onto 0..size-1, as the normalised coordinates of the design's
            // injection are.
            const int64_t nx = std::clamp(input.x, 0, kAbsoluteMax);
            const int64_t ny = std::clamp(input.y, 0, kAbsoluteMax);
            const int px = int(nx * width / (kAbsoluteMax + 1));
            const int py = int(ny * height / (kAbsoluteMax + 1));
            // Screen -1: coordinates on the whole root, whatever screen holds the pointer.
            if (!XTestFakeMotionEvent(m_display, -1, px, py, CurrentTime))
                return false;
        } else if (!XTestFakeRelativeMotionEvent(m_display, input.x, input.y, CurrentTime)) {
            return false;
        }
    }
    static const struct {
        uint32_t flag;
        unsigned button;
        bool press;
    } kButtons[] = {
        {MouseLeftDown, 1, true}, {MouseLeftUp, 1, false},    {MouseRightDown, 3, true},
        {MouseRightUp, 3, false}, {MouseMiddleDown, 2, true}, {MouseMiddleUp, 2, false},
    };
    for (const auto &b : kButtons) {
        if (!(input.flags & b.flag))
            continue;
        if (!XTestFakeButtonEvent(m_display, b.button, b.press ? True : False, CurrentTime))
            return false;
        const unsigned bit = 1u << (b.button - 1);
        m_held = b.press ? (m_held | bit) : (m_held & ~bit);
    }
    if (input.flags & MouseWheel) {
        // X has no wheel travel: one click of button 4 (away) or 5 (towards the user)
        // per notch of 120.
        const unsigned button = input.data >= 0 ? 4 : 5;
        const int notches = std::max(1, std::abs(input.data) / 120);
        for (int i = 0; i < notches; ++i) {
            if (!XTestFakeButtonEvent(m_display, button, True, CurrentTime)
                || !XTestFakeButtonEvent(m_display, button, False, CurrentTime))
                return false;
        }
    }
    return true;
}

bool XTestInjector::injectKey(const KeyInput &input)
{
    const int evdev = EvdevKeyCode(input.vk, input.scan, input.flags & KeyExtended);
    // X key codes are evdev codes + 8 and stop at 255.
    const unsigned code = unsigned(evdev + 8);
    if (evdev <= 0 || code >= m_heldKeys.size())
        return false;
    const bool down = !(input.flags & KeyUp);
    if (!XTestFakeKeyEvent(m_display, code, down ? True : False, CurrentTime))
        return false;
    m_heldKeys[code] = down;
    return true;
}

int XTestInjector::sendKeys(const KeyInput *inputs, int count)
{
    Hold hold(*this);
    int sent = 0;
    for (int i = 0; i < count && injectKey(inputs[i]); ++i)
        ++sent;
    XSync(m_display, False);
    return sent;
}

int XTestInjector::sendMouse(const MouseInput *inputs, int count)
{
    Hold hold(*this);
    int sent = 0;
    for (int i = 0; i < count && inject(inputs[i]); ++i)
        ++sent;
    // A round trip: the events have reached the server when this returns.
    XSync(m_display, False);
    return sent;
}

bool XTestInjector::mouseButtonsSwapped()
{
    Hold hold(*this);
    unsigned char map[256];
    const int n = XGetPointerMapping(m_display, map, int(sizeof map));
    return n >= 3 && map[0] == 3 && map[2] == 1;
}
