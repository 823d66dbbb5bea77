#include "platform/session/linux/swayipc.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr size_t kHeader = sizeof kMagic + 8;
// sway's largest answers (a tree of many windows) are well below this; anything
// larger is not sway talking.
constexpr uint32_t kMaxPayload = 16u << 20;

} // namespace

SwayIpc::~SwayIpc()
{
    close();
}

void SwayIpc::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool SwayIpc::connectTo(const QByteArray &socketPath)
{
    close();
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (socketPath.isEmpty() || size_t(socketPath.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool SwayIpc::send(uint32_t type, const QByteArray &payload)
{
    if (m_fd < 0)
        return false;
    QByteArray message(kMagic, sizeof kMagic);
    const uint32_t length = uint32_t(payload.size());
    message.append(reinterpret_cast<const char *>(&length), 4);
    message.append(reinterpret_cast<const char *>(&type), 4);
    message.append(payload);
    const char *data = message.constData();
    size_t left = size_t(message.size());
    while (left > 0) {
        const ssize_t n = ::send(m_fd, data, left, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close();
            return false;
        }
        data += n;
        left -= size_t(n);
    }
    return true;
}

bool SwayIpc::readExactly(char *data, size_t size, int timeoutMs)
{
    while (size > 0) {
        pollfd fd = {m_fd, POLLIN, 0};
        const int ready = ::poll(&fd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::recv(m_fd, data, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool SwayIpc::read(uint32_t *type, QByteArray *payload, int timeoutMs)
{
    if (m_fd < 0)
        return false;
    char header[kHeader];
    uint32_t length = 0;
    if (!readExactly(header, kHeader, timeoutMs) || std::memcmp(header, kMagic, sizeof kMagic) != 0) {
        close();
        return false;
    }
    std::memcpy(&length, header + sizeof kMagic, 4);
    std::memcpy(type, header + sizeof kMagic + 4, 4);
    if (length > kMaxPayload) {
        close();
        return false;
    }
    payload->resize(int(length));
    if (!readExactly(payload->data(), length, timeoutMs)) {
        close();
        return false;
    }
    return true;
}

bool SwayIpc::request(uint32_t type, const QByteArray &payload, QByteArray *reply, int timeoutMs)
{
    if (!send(type, payload))
        return false;
    uint32_t got = 0;
    do {
        if (!read(&got, reply, timeoutMs))
            return false;
    } while (got != type);
    return true;
}
