#include "platform/input/linux/wlrvirtualinputinjector.h"

#include "platform/input/scancodes.h"
#include "platform/session/linux/waylandregistry.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <QDebug>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// How long a request may wait for room on the socket, and a round trip for its answer,
// before the call reports failure: a stuck compositor must not stall an express key.
const int kFlushMs = 500;
const int kRoundtripMs = 1000;
const auto kReconnectEvery = std::chrono::seconds(2);

// wl_pointer's wheel value per notch: what libinput gives for one click of a wheel
// (15 degrees), so clients scroll as far as for a real wheel.
const double kAxisPerNotch = 15.0;

bool IsModifier(unsigned code)
{
    return code == KEY_LEFTCTRL || code == KEY_RIGHTCTRL || code == KEY_LEFTSHIFT || code == KEY_RIGHTSHIFT
        || code == KEY_LEFTALT || code == KEY_RIGHTALT || code == KEY_LEFTMETA || code == KEY_RIGHTMETA;
}

// Both protocols take a millisecond time stamp of an undefined base, one clock per
// device.
uint32_t NowMs()
{
    timespec now = {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

int RemainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return int(std::max<int64_t>(0, left.count()));
}

enum class Io { Ok, Stalled, Broken };

// Sends what libwayland has buffered, waiting at most kFlushMs for room on the socket.
Io Flush(wl_display *display)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFlushMs);
    for (;;) {
        if (wl_display_flush(display) >= 0)
            return Io::Ok;
        if (errno != EAGAIN)
            return Io::Broken; // EPIPE: the compositor closed the socket
        pollfd fd = {wl_display_get_fd(display), POLLOUT, 0};
        const int ready = ::poll(&fd, 1, RemainingMs(deadline));
        if (ready == 0)
            return Io::Stalled;
        if (ready < 0 && errno != EINTR)
            return Io::Broken;
        if (fd.revents & (POLLERR | POLLHUP))
            return Io::Broken;
    }
}

// Reads and dispatches what the compositor sent, waiting at most waitMs for it. False
// when the connection is gone or the compositor reported an error.
bool ReadEvents(wl_display *display, int waitMs)
{
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0)
            return false;
    }
    pollfd fd = {wl_display_get_fd(display), POLLIN, 0};
    const int ready = ::poll(&fd, 1, waitMs);
    if (ready > 0 && (fd.revents & (POLLIN | POLLHUP | POLLERR))) {
        // At the socket's end read_events fails on the end of file.
        if (wl_display_read_events(display) < 0)
            return false;
    } else {
        wl_display_cancel_read(display);
        if (ready < 0 && errno != EINTR)
            return false;
    }
    return wl_display_dispatch_pending(display) >= 0 && wl_display_get_error(display) == 0;
}

void OnSyncDone(void *data, wl_callback *, uint32_t)
{
    *static_cast<bool *>(data) = true;
}
const wl_callback_listener kSyncListener = {OnSyncDone};

// wl_display_roundtrip with a deadline.
bool Roundtrip(wl_display *display)
{
    bool done = false;
    wl_callback *callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &kSyncListener, &done);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRoundtripMs);
    bool ok = Flush(display) == Io::Ok;
    while (ok && !done && RemainingMs(deadline) > 0)
        ok = ReadEvents(display, RemainingMs(deadline));
    wl_callback_destroy(callback);
    return ok && done;
}

} // namespace

struct WlrVirtualInputInjector::Keymap {
    xkb_context *context = nullptr;
    xkb_keymap *keymap = nullptr;
    QByteArray text; // as sent, with its terminating zero

    ~Keymap()
    {
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
};

// One connection's objects and the key state its devices are in; used under the
// injector's mutex only.
struct WlrVirtualInputInjector::Connection {
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboardManager = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointerManager = nullptr;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    zwlr_virtual_pointer_v1 *pointer = nullptr;
    xkb_state *state = nullptr; // the modifiers our keys put the keyboard in
    std::bitset<256> heldKeys;  // evdev codes down (the key table ends at KEY_F24)
    unsigned heldButtons = 0;   // MouseLeftDown / MouseRightDown / MouseMiddleDown bits down

    ~Connection()
    {
        if (state)
            xkb_state_unref(state);
        if (keyboard)
            zwp_virtual_keyboard_v1_destroy(keyboard);
        if (pointer)
            zwlr_virtual_pointer_v1_destroy(pointer);
        if (keyboardManager)
            zwp_virtual_keyboard_manager_v1_destroy(keyboardManager);
        if (pointerManager)
            zwlr_virtual_pointer_manager_v1_destroy(pointerManager);
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display) {
            // The devices go away with the connection; the destroy requests say so first
            // where the compositor is still there.
            Flush(display);
            wl_display_disconnect(display);
        }
    }

    // The key request, then the modifier state when the key changed it.
    void Key(unsigned code, bool down)
    {
        zwp_virtual_keyboard_v1_key(keyboard, NowMs(), code,
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        heldKeys[code] = down;
        if (xkb_state_update_key(state, code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP) != 0)
            zwp_virtual_keyboard_v1_modifiers(keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                                              xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                                              xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                                              xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
    }

    // Sends what was asked; Ok once it left for the compositor and nothing it sent back
    // is an error.
    Io Sync()
    {
        const Io io = Flush(display);
        if (io != Io::Ok)
            return io;
        return ReadEvents(display, 0) ? Io::Ok : Io::Broken;
    }
};

namespace {

using Connection = WlrVirtualInputInjector::Connection;
using Keymap = WlrVirtualInputInjector::Keymap;

void OnGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    auto *c = static_cast<Connection *>(data);
    // Version 1 of each is all this needs (the seat's events are not listened to).
    if (!c->seat && std::strcmp(interface, wl_seat_interface.name) == 0)
        c->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!c->keyboardManager && std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        c->keyboardManager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (!c->pointerManager && std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        c->pointerManager = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void OnGlobalRemove(void *, wl_registry *, uint32_t) { }

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

// The user's default keymap (XKB_DEFAULT_RULES/MODEL/LAYOUT/... as the compositor reads
// them for its own keyboards), else a plain US one.
std::unique_ptr<Keymap> MakeKeymap()
{
    auto k = std::make_unique<Keymap>();
    k->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!k->context)
        return nullptr;
    k->keymap = xkb_keymap_new_from_names(k->context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!k->keymap) {
        const xkb_rule_names us = {"evdev", "pc105", "us", "", ""};
        k->keymap = xkb_keymap_new_from_names(k->context, &us, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    if (!k->keymap)
        return nullptr;
    char *text = xkb_keymap_get_as_string(k->keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text)
        return nullptr;
    k->text = QByteArray(text, int(std::strlen(text)) + 1);
    std::free(text);
    return k;
}

// The keymap in a sealed memory file, the way the compositor maps it.
int KeymapFile(const QByteArray &text)
{
    const int fd = ::memfd_create("inkora-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        done += n;
    }
    ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    return fd;
}

// Why a round trip failed.
QString Failure(wl_display *display)
{
    const int error = wl_display_get_error(display);
    if (error == EPROTO) {
        const wl_interface *interface = nullptr;
        const uint32_t code = wl_display_get_protocol_error(display, &interface, nullptr);
        return QStringLiteral("the compositor refused a request (%1 error %2)")
            .arg(QString::fromLatin1(interface ? interface->name : "?"))
            .arg(code);
    }
    if (error != 0)
        return QStringLiteral("the connection failed: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
    return QStringLiteral("the compositor does not answer");
}

// A connection with both devices made and the keymap accepted; null, with the reason,
// when there is no compositor, a protocol is missing or the compositor refuses.
std::unique_ptr<Connection> Connect(const QByteArray &displayName, const Keymap &keymap, QString *why)
{
    auto c = std::make_unique<Connection>();
    if (!OpenWaylandRegistry(displayName, &kRegistryListener, c.get(), &c->display, &c->registry, why))
        return nullptr;
    if (!Roundtrip(c->display)) {
        *why = Failure(c->display);
        return nullptr;
    }
    if (!c->seat || !c->keyboardManager || !c->pointerManager) {
        *why = !c->seat           ? QStringLiteral("the compositor has no seat")
            : !c->keyboardManager ? QStringLiteral("the compositor does not offer zwp_virtual_keyboard_manager_v1")
                                  : QStringLiteral("the compositor does not offer zwlr_virtual_pointer_manager_v1");
        return nullptr;
    }
    c->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(c->keyboardManager, c->seat);
    c->pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(c->pointerManager, c->seat);
    const int fd = KeymapFile(keymap.text);
    if (fd < 0) {
        *why = QStringLiteral("no memory file for the keymap");
        return nullptr;
    }
    // The request carries a duplicate of the descriptor.
    zwp_virtual_keyboard_v1_keymap(c->keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(keymap.text.size()));
    ::close(fd);
    c->state = xkb_state_new(keymap.keymap);
    // A compositor that refuses untrusted clients answers with an error here.
    if (!c->state || !Roundtrip(c->display)) {
        *why = c->state ? Failure(c->display) : QStringLiteral("no xkb state");
        return nullptr;
    }
    return c;
}

} // namespace

std::unique_ptr<WlrVirtualInputInjector> WlrVirtualInputInjector::open(const QByteArray &displayName)
{
    std::shared_ptr<const Keymap> keymap = MakeKeymap();
    if (!keymap) {
        qWarning() << "Input injection (wlroots): no xkb keymap (is xkb-data installed?)";
        return nullptr;
    }
    QString why;
    std::unique_ptr<Connection> connection = Connect(displayName, *keymap, &why);
    if (!connection) {
        qInfo().noquote() << "Input injection (wlroots):" << why;
        return nullptr;
    }
    return std::unique_ptr<WlrVirtualInputInjector>(
        new WlrVirtualInputInjector(displayName, std::move(keymap), std::move(connection)));
}

WlrVirtualInputInjector::WlrVirtualInputInjector(const QByteArray &displayName, std::shared_ptr<const Keymap> keymap,
                                                 std::unique_ptr<Connection> connection)
    : m_displayName(displayName), m_keymap(std::move(keymap)), m_connection(std::move(connection))
{ }

WlrVirtualInputInjector::~WlrVirtualInputInjector()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    releaseHeldLocked();
    m_connection.reset();
}

bool WlrVirtualInputInjector::usable()
{
    if (m_connection)
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextAttempt)
        return false;
    m_nextAttempt = now + kReconnectEvery;
    QString why;
    m_connection = Connect(m_displayName, *m_keymap, &why);
    if (m_connection)
        qInfo() << "Input injection (wlroots): connected to the compositor again";
    return bool(m_connection);
}

void WlrVirtualInputInjector::lost()
{
    const bool refused = wl_display_get_error(m_connection->display) == EPROTO;
    qWarning().noquote() << QStringLiteral(
                                "Input injection (wlroots): the compositor %1; keys and buttons are not injected "
                                "until it is back")
                                .arg(refused ? QStringLiteral("refused a request")
                                             : QStringLiteral("closed the connection"));
    // What was held went with the devices.
    m_connection.reset();
    m_nextAttempt = std::chrono::steady_clock::now() + kReconnectEvery;
}

void WlrVirtualInputInjector::releaseHeld()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    releaseHeldLocked();
}

void WlrVirtualInputInjector::releaseHeldLocked()
{
    if (!m_connection)
        return;
    Connection &c = *m_connection;
    if (c.heldKeys.none() && c.heldButtons == 0)
        return;
    // Modifiers last, so a held combination never turns into another on the way up.
    for (unsigned code = 0; code < c.heldKeys.size(); ++code) {
        if (c.heldKeys[code] && !IsModifier(code))
            c.Key(code, false);
    }
    for (unsigned code = 0; code < c.heldKeys.size(); ++code) {
        if (c.heldKeys[code])
            c.Key(code, false);
    }
    if (c.heldButtons) {
        for (const auto &b : kMouseButtonCodes) {
            if (c.heldButtons & b.down)
                zwlr_virtual_pointer_v1_button(c.pointer, NowMs(), b.code, WL_POINTER_BUTTON_STATE_RELEASED);
        }
        zwlr_virtual_pointer_v1_frame(c.pointer);
        c.heldButtons = 0;
    }
    if (c.Sync() == Io::Broken)
        lost();
}

bool WlrVirtualInputInjector::injectKey(const KeyInput &input)
{
    const int code = EvdevKeyCode(input.vk, input.scan, input.flags & KeyExtended);
    if (code <= 0 || size_t(code) >= m_connection->heldKeys.size())
        return false;
    m_connection->Key(unsigned(code), !(input.flags & KeyUp));
    const Io io = m_connection->Sync();
    if (io == Io::Broken)
        lost();
    return io == Io::Ok;
}

bool WlrVirtualInputInjector::injectMouse(const MouseInput &input)
{
    Connection &c = *m_connection;
    if (input.flags & MouseMove) {
        if (input.flags & MouseAbsolute)
            zwlr_virtual_pointer_v1_motion_absolute(c.pointer, NowMs(), uint32_t(std::clamp(input.x, 0, 65535)),
                                                    uint32_t(std::clamp(input.y, 0, 65535)), 65536, 65536);
        else
            zwlr_virtual_pointer_v1_motion(c.pointer, NowMs(), wl_fixed_from_int(input.x), wl_fixed_from_int(input.y));
    }
    for (const auto &b : kMouseButtonCodes) {
        if (input.flags & b.down) {
            zwlr_virtual_pointer_v1_button(c.pointer, NowMs(), b.code, WL_POINTER_BUTTON_STATE_PRESSED);
            c.heldButtons |= b.down;
        }
        if (input.flags & b.up) {
            zwlr_virtual_pointer_v1_button(c.pointer, NowMs(), b.code, WL_POINTER_BUTTON_STATE_RELEASED);
            c.heldButtons &= ~b.down;
        }
    }
    if ((input.flags & MouseWheel) && input.data != 0) {
        // Positive data turns the wheel away from the user: up, negative on wl_pointer's
        // axis. Whole notches also go as discrete steps, which clients count as clicks.
        const wl_fixed_t value = wl_fixed_from_double(-input.data * kAxisPerNotch / 120.0);
        zwlr_virtual_pointer_v1_axis_source(c.pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
        if (input.data / 120 != 0)
            zwlr_virtual_pointer_v1_axis_discrete(c.pointer, NowMs(), WL_POINTER_AXIS_VERTICAL_SCROLL, value,
                                                  -input.data / 120);
        else
            zwlr_virtual_pointer_v1_axis(c.pointer, NowMs(), WL_POINTER_AXIS_VERTICAL_SCROLL, value);
    }
    // The compositor hands the events to clients at the frame.
    zwlr_virtual_pointer_v1_frame(c.pointer);
    const Io io = c.Sync();
    if (io == Io::Broken)
        lost();
    return io == Io::Ok;
}

int WlrVirtualInputInjector::sendKeys(const KeyInput *inputs, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int sent = 0;
    while (sent < count && usable() && injectKey(inputs[sent]))
        ++sent;
    return sent;
}

int WlrVirtualInputInjector::sendMouse(const MouseInput *inputs, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int sent = 0;
    while (sent < count && usable() && injectMouse(inputs[sent]))
        ++sent;
    return sent;
}
