#include "platform/hid/readstop.h"

#include <QDebug>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

ReadStop::ReadStop() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        qWarning() << "ReadStop: no eventfd, reading threads stop within their wait slice";
}

ReadStop::~ReadStop()
{
    if (m_fd >= 0)
        close(m_fd);
}

void ReadStop::stop()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_stopped = true;
    if (m_fd >= 0) {
        // Never read back: the descriptor stays readable for every later poll.
        const uint64_t one = 1;
        ssize_t written;
        do {
            written = ::write(m_fd, &one, sizeof one);
        } while (written < 0 && errno == EINTR);
    }
    if (m_waker)
        m_waker();
}

void ReadStop::setWaker(std::function<void()> waker)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_waker = std::move(waker);
}
