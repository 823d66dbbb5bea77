#pragma once
// The foreground of a Wayland session: the compositor's source names the focused
// window; where it says the window is an X client, the X11 backend watching XWayland
// answers instead (its record carries the X window's class as on an X desktop), once
// it names the same process. Until XWayland's own notice arrives the compositor's
// record stands, so a focus change never leaves the previous program's record in force.
//
// Per packet: one pointer copy for native windows, two for X clients, and none while
// neither source's stamp moves.

#include "platform/foreground/foregroundbackend.h"

class SessionForegroundBackend : public ForegroundBackend {
public:
    // compositor must not be null; x11 may be (no XWayland).
    SessionForegroundBackend(std::unique_ptr<ForegroundBackend> compositor, std::unique_ptr<ForegroundBackend> x11)
        : m_compositor(std::move(compositor)), m_x11(std::move(x11))
    { }

    std::shared_ptr<const ForegroundWindow> current() const override
    {
        std::shared_ptr<const ForegroundWindow> record = m_compositor->current();
        if (!record->x11 || !m_x11)
            return record;
        std::shared_ptr<const ForegroundWindow> x = m_x11->current();
        return (x->pid != 0 && x->pid == record->pid) ? x : record;
    }

    // Grows when either source's does.
    uint64_t changeStamp() const override
    {
        const uint64_t compositor = m_compositor->changeStamp();
        const uint64_t x11 = m_x11 ? m_x11->changeStamp() : 0;
        if (compositor == 0 || (m_x11 && x11 == 0))
            return 0;
        return compositor + x11;
    }

    ForegroundBackend &compositor() const { return *m_compositor; }

private:
    const std::unique_ptr<ForegroundBackend> m_compositor;
    const std::unique_ptr<ForegroundBackend> m_x11;
};
