#pragma once
// A mutex that spins a little before it sleeps. For locks that the tablets' reading
// threads hold a microsecond or two and often want at the same moment (the virtual
// device's report): a waiter that sleeps pays a wake-up, ten times the wait, in the
// report's latency. Beyond the spin (glibc's adaptive mutex, a hundred rounds at most)
// it sleeps as std::mutex does. Lockable: std::lock_guard and std::unique_lock take it.

#include <pthread.h>

class AdaptiveMutex {
public:
    AdaptiveMutex()
    {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ADAPTIVE_NP);
        pthread_mutex_init(&m_mutex, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~AdaptiveMutex() { pthread_mutex_destroy(&m_mutex); }
    AdaptiveMutex(const AdaptiveMutex &) = delete;
    AdaptiveMutex &operator=(const AdaptiveMutex &) = delete;

    void lock() { pthread_mutex_lock(&m_mutex); }
    bool try_lock() { return pthread_mutex_trylock(&m_mutex) == 0; }
    void unlock() { pthread_mutex_unlock(&m_mutex); }

private:
    pthread_mutex_t m_mutex;
};
