#include "platform/foreground/fixedforegroundbackend.h"

FixedForegroundBackend::FixedForegroundBackend()
    : m_current(std::make_shared<const ForegroundWindow>()), m_stamp(NextChangeStamp())
{
}

FixedForegroundBackend::FixedForegroundBackend(const ForegroundWindow &window)
    : m_current(std::make_shared<const ForegroundWindow>(window)), m_stamp(NextChangeStamp())
{
}

std::shared_ptr<const ForegroundWindow> FixedForegroundBackend::current() const
{
    return std::atomic_load(&m_current);
}

void FixedForegroundBackend::set(const ForegroundWindow &window)
{
    std::atomic_store(&m_current, std::shared_ptr<const ForegroundWindow>(std::make_shared<const ForegroundWindow>(window)));
    m_stamp.store(NextChangeStamp(), std::memory_order_release);
}
