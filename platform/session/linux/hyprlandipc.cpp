#include "platform/session/linux/hyprlandipc.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kReplyTimeoutMs = 1000;
constexpr int kMaxReply = 1 << 20;

int ConnectTo(const QByteArray &path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

namespace HyprlandIpc {

QByteArray Folder(const QByteArray &runtimeDir, const QByteArray &signature)
{
    const QByteArray folder = runtimeDir + "/hypr/" + signature;
    if (!runtimeDir.isEmpty() && QFile::exists(QFile::decodeName(folder + "/.socket2.sock")))
        return folder;
    return "/tmp/hypr/" + signature;
}

int ConnectEvents(const QByteArray &folder)
{
    return ConnectTo(folder + "/.socket2.sock");
}

bool Request(const QByteArray &folder, const QByteArray &request, QByteArray *reply)
{
    const int fd = ConnectTo(folder + "/.socket.sock");
    if (fd < 0)
        return false;
    bool ok = ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == ssize_t(request.size());
    reply->clear();
    while (ok) {
        pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, kReplyTimeoutMs) <= 0) {
            ok = false;
            break;
        }
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the end of the answer
        reply->append(buffer, int(n));
        ok = reply->size() <= kMaxReply;
    }
    ::close(fd);
    return ok;
}

} // namespace HyprlandIpc
