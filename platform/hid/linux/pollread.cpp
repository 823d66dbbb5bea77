#include "platform/hid/linux/pollread.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

int PollRead(int fd, int stopFd, int timeoutMs, uint8_t *buffer, int size, int *error)
{
    *error = 0;
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    const nfds_t count = stopFd >= 0 ? 2 : 1;
    const int ready = poll(fds, count, timeoutMs < 0 ? -1 : timeoutMs);
    if (ready < 0) {
        *error = errno;
        return -1;
    }
    // A stop wins over a report: the thread is leaving and the report would be dropped
    // by whoever no longer listens.
    if (count == 2 && fds[1].revents != 0)
        return 0;
    if (ready == 0)
        return 0;
    if (fds[0].revents & POLLIN) {
        const ssize_t n = read(fd, buffer, size_t(size));
        if (n >= 0)
            return int(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        *error = errno;
        return -1;
    }
    // POLLHUP, POLLERR or POLLNVAL without data: the node is gone.
    return -1;
}
