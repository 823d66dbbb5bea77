#include "platform/foreground/fixedforegroundbackend.h"

FixedForegroundBackend::FixedForegroundBackend() = default;

FixedForegroundBackend::FixedForegroundBackend(const ForegroundWindow &window)
    : m_current(std::make_shared<const ForegroundWindow>(window))
{
}

std::shared_ptr<const ForegroundWindow> FixedForegroundBackend::current() const
{
    return m_current.get();
}

void FixedForegroundBackend::set(const ForegroundWindow &window)
{
    m_current.set(std::make_shared<const ForegroundWindow>(window));
}
