#include "platform/sched/adaptivemutex.h"

#include <linux/futex.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// The cores this thread may run on (and the others it starts, as they inherit them).
bool OneCore()
{
    cpu_set_t cores;
    CPU_ZERO(&cores);
    return sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) == 1;
}

} // namespace

void AdaptiveMutex::lockContended()
{
    // Spin while it is held, reading only, so the holder's line stays where it is; the
    // clock is looked at every 64 rounds. On one core the holder cannot run meanwhile.
    static const bool kOneCore = OneCore();
    const auto until = std::chrono::steady_clock::now() + kSpinLimit;
    for (unsigned round = 1; !kOneCore; ++round) {
        int state = m_state.load(std::memory_order_relaxed);
        if (state == 0) {
            if (m_state.compare_exchange_weak(state, kHeld, std::memory_order_acquire))
                return;
            continue;
        }
        CpuRelax();
        if (round % 64 == 0 && std::chrono::steady_clock::now() >= until)
            break;
    }
    // Sleep (the three-state futex mutex): whoever takes it from here marks it as
    // having sleepers, so the unlock that matters always wakes one.
    while (m_state.exchange(kHeldWithSleepers, std::memory_order_acquire) != 0)
        ::syscall(SYS_futex, &m_state, FUTEX_WAIT_PRIVATE, kHeldWithSleepers, nullptr, nullptr, 0);
}

void AdaptiveMutex::wakeOne()
{
    ::syscall(SYS_futex, &m_state, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}
