#include "platform/window/linux/localsocketwindowbackend.h"

#include "platform/window/linux/windowframe.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QUrl>
#include <QVector>

#include <cerrno>
#include <mutex>
#include <set>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Room in sockaddr_un::sun_path (108 bytes with the closing zero).
constexpr int kMaxSocketPath = 100;
// Connecting to a local socket completes at once or not at all; this only bounds a
// peer that is stuck before accept.
constexpr int kConnectTimeoutMs = 1000;

class LocalSocketEndpoint;

// Every endpoint of this process, by socket path. Guarded by registryMutex (a standard
// mutex, so thread sanitizer builds see the ordering). An entry is used without the lock
// only by the endpoint's own thread, which is also the only thread that can destroy it.
std::mutex registryMutex;
QHash<QString, LocalSocketEndpoint *> &registry()
{
    static QHash<QString, LocalSocketEndpoint *> endpoints;
    return endpoints;
}

class LocalSocketEndpoint : public WindowEndpoint {
public:
    LocalSocketEndpoint(const QString &className, const QString &title, const QString &path)
        : WindowEndpoint(className, title), m_path(path)
    {
        QObject::connect(&m_server, &QLocalServer::newConnection, this, [this] { acceptPending(); });
    }

    ~LocalSocketEndpoint() override
    {
        {
            std::lock_guard<std::mutex> lock(registryMutex);
            registry().remove(m_path);
        }
        // A handler of one of these streams may be what destroys the window: the sockets
        // go later, and say nothing more to this object.
        for (auto &entry : m_connections) {
            QObject::disconnect(entry.first, nullptr, this, nullptr);
            entry.first->setParent(nullptr);
            entry.first->deleteLater();
        }
        m_connections.clear();
        // Closing the server removes its socket file.
        m_server.close();
    }

    bool listen()
    {
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server.listen(m_path)) {
            qWarning() << "Window endpoint" << m_path << "cannot listen:" << m_server.errorString();
            return false;
        }
        std::lock_guard<std::mutex> lock(registryMutex);
        registry().insert(m_path, this);
        return true;
    }

    // Descriptors that become readable when a message arrives.
    void collectDescriptors(std::vector<pollfd> *fds) const
    {
        if (m_server.socketDescriptor() >= 0)
            fds->push_back({static_cast<int>(m_server.socketDescriptor()), POLLIN, 0});
        for (const auto &entry : m_connections) {
            if (entry.first->socketDescriptor() >= 0)
                fds->push_back({static_cast<int>(entry.first->socketDescriptor()), POLLIN, 0});
        }
    }

    // Takes new connections and handles what has arrived, without the event loop: the
    // thread is blocked in a send of its own.
    void serveWhileBlocked()
    {
        m_server.waitForNewConnection(0);
        QVector<QPointer<QLocalSocket>> sockets;
        for (const auto &entry : m_connections)
            sockets.append(entry.first);
        for (const QPointer<QLocalSocket> &socket : sockets) {
            if (!socket)
                continue;
            socket->waitForReadyRead(0);
            if (socket)
                readFrames(socket);
        }
    }

private:
    struct Connection {
        QByteArray buffer;
        bool reading = false; // a handler of this stream runs further up the stack
    };

    void acceptPending()
    {
        while (QLocalSocket *socket = m_server.nextPendingConnection()) {
            struct ucred peer = {};
            socklen_t length = sizeof(peer);
            const int fd = static_cast<int>(socket->socketDescriptor());
            if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid()) {
                qWarning() << "Window endpoint" << title() << "refused a connection of another user";
                socket->abort();
                socket->deleteLater();
                continue;
            }
            m_connections.emplace(socket, Connection());
            QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrames(socket); });
            QObject::connect(socket, &QLocalSocket::disconnected, this, [this, socket] { closed(socket); });
            if (socket->bytesAvailable() > 0)
                readFrames(socket);
        }
    }

    void readFrames(QLocalSocket *socket)
    {
        auto it = m_connections.find(socket);
        if (it == m_connections.end() || it->second.reading)
            return;
        it->second.reading = true;
        QPointer<LocalSocketEndpoint> self(this);

        for (;;) {
            it = m_connections.find(socket);
            if (it == m_connections.end())
                return; // dropped while a handler ran
            Connection &connection = it->second;
            connection.buffer += socket->readAll();

            WindowFrame::Frame frame;
            int consumed = 0;
            const char *why = "";
            const WindowFrame::Parse parse = WindowFrame::decode(connection.buffer, &frame, &consumed, &why);
            if (parse == WindowFrame::Parse::NeedMore) {
                connection.reading = false;
                return;
            }
            if (parse == WindowFrame::Parse::Malformed) {
                drop(socket, why);
                return;
            }
            connection.buffer.remove(0, consumed);

            if (frame.kind == WindowFrame::Kind::Reply) {
                drop(socket, "reply frame sent to a window");
                return;
            }
            if (frame.kind == WindowFrame::Kind::Post) {
                // Posted messages wait for the event loop, after any sent message.
                const quint32 message = frame.message;
                const qint64 wParam = frame.wParam;
                const qint64 lParam = frame.lParam;
                QMetaObject::invokeMethod(
                    this, [this, message, wParam, lParam] { dispatch(message, wParam, lParam); },
                    Qt::QueuedConnection);
                continue;
            }

            const qint64 result = dispatch(frame.message, frame.wParam, frame.lParam);
            if (!self)
                return; // a handler destroyed the window
            if (m_connections.find(socket) == m_connections.end())
                return;
            WindowFrame::Frame reply;
            reply.kind = WindowFrame::Kind::Reply;
            reply.sequence = frame.sequence;
            reply.message = frame.message;
            reply.wParam = result;
            socket->write(WindowFrame::encode(reply));
            socket->flush();
        }
    }

    void drop(QLocalSocket *socket, const char *why)
    {
        qWarning() << "Window endpoint" << title() << "dropped a malformed message stream:" << why;
        forget(socket);
        socket->abort();
    }

    void closed(QLocalSocket *socket)
    {
        auto it = m_connections.find(socket);
        if (it == m_connections.end())
            return;
        // Frames complete before the close are still handled.
        if (!it->second.reading)
            readFrames(socket);
        it = m_connections.find(socket);
        if (it != m_connections.end() && !it->second.buffer.isEmpty())
            qWarning() << "Window endpoint" << title() << "dropped an incomplete message of"
                       << it->second.buffer.size() << "bytes";
        forget(socket);
    }

    void forget(QLocalSocket *socket)
    {
        if (m_connections.erase(socket) > 0)
            socket->deleteLater();
    }

    QString m_path;
    QLocalServer m_server;
    std::map<QLocalSocket *, Connection> m_connections;
};

// The endpoint at path when it belongs to the calling thread.
LocalSocketEndpoint *endpointOfThisThread(const QString &path)
{
    std::lock_guard<std::mutex> lock(registryMutex);
    LocalSocketEndpoint *endpoint = registry().value(path, nullptr);
    return endpoint && endpoint->thread() == QThread::currentThread() ? endpoint : nullptr;
}

QVector<LocalSocketEndpoint *> endpointsOfThisThread()
{
    QVector<LocalSocketEndpoint *> mine;
    std::lock_guard<std::mutex> lock(registryMutex);
    for (LocalSocketEndpoint *endpoint : registry()) {
        if (endpoint->thread() == QThread::currentThread())
            mine.append(endpoint);
    }
    return mine;
}

// A folder only this user may enter: a real directory (no link), owned by us, closed to
// group and others. Made when missing.
bool privateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        qWarning() << "Window folder" << path << "cannot be made";
        return false;
    }
    struct stat st = {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()
        || (st.st_mode & 0077) != 0) {
        qWarning() << "Window folder" << path << "is not private to this user: refused";
        return false;
    }
    return true;
}

bool liveSocket(const QString &path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    const bool live = probe.waitForConnected(kConnectTimeoutMs);
    probe.abort();
    return live;
}

} // namespace

LocalSocketWindowBackend::LocalSocketWindowBackend(const QString &folder)
{
    const QString wanted = folder.isEmpty() ? defaultFolder() : folder;
    if (privateFolder(wanted))
        m_folder = wanted;
}

LocalSocketWindowBackend::~LocalSocketWindowBackend() = default;

QString LocalSocketWindowBackend::defaultFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime;
    return QDir::tempPath() + QStringLiteral("/inkora-%1").arg(::geteuid());
}

QString LocalSocketWindowBackend::endpointPath(const QString &className, const QString &title) const
{
    if (m_folder.isEmpty())
        return QString();
    // '-' is encoded too, so the separator cannot occur inside either text.
    const QByteArray name = QUrl::toPercentEncoding(className, QByteArray(), "-") + '-'
        + QUrl::toPercentEncoding(title, QByteArray(), "-");
    QString path = m_folder + QStringLiteral("/inkora-%1-window-").arg(::geteuid()) + QString::fromLatin1(name);
    if (QFile::encodeName(path).size() > kMaxSocketPath) {
        const QByteArray key = className.toUtf8() + '\0' + title.toUtf8();
        path = m_folder + QStringLiteral("/inkora-%1-window-").arg(::geteuid())
            + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
    }
    return path;
}

std::unique_ptr<WindowEndpoint> LocalSocketWindowBackend::createEndpoint(const QString &className,
                                                                         const QString &title)
{
    const QString path = endpointPath(className, title);
    if (path.isEmpty())
        return nullptr;
    if (QFile::exists(path)) {
        if (liveSocket(path)) {
            qWarning() << "Window" << className << title << "is already registered by another program";
            return nullptr;
        }
        // Left behind by a program that ended without closing it.
        QLocalServer::removeServer(path);
    }
    auto endpoint = std::make_unique<LocalSocketEndpoint>(className, title, path);
    if (!endpoint->listen())
        return nullptr;
    return endpoint;
}

WindowHandle LocalSocketWindowBackend::findWindow(const QString &className, const QString &title)
{
    WindowHandle handle;
    handle.className = className;
    handle.title = title;
    const QString path = endpointPath(className, title);
    if (path.isEmpty() || !QFile::exists(path))
        return handle;
    if (endpointOfThisThread(path) || connectionTo(path))
        handle.endpoint = path;
    return handle;
}

LocalSocketWindowBackend::Connection *LocalSocketWindowBackend::connectionTo(const QString &endpoint)
{
    auto it = m_connections.find(endpoint);
    if (it != m_connections.end()) {
        QLocalSocket *socket = it->second.socket.get();
        // Takes in a late reply or the peer's close, so a window that went away (or was
        // registered anew) is not written to through its old connection.
        socket->waitForReadyRead(0);
        if (socket->state() == QLocalSocket::ConnectedState)
            return &it->second;
        m_connections.erase(it);
    }
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(endpoint);
    if (!socket->waitForConnected(kConnectTimeoutMs))
        return nullptr;
    Connection &connection = m_connections[endpoint];
    connection.socket = std::move(socket);
    return &connection;
}

void LocalSocketWindowBackend::dropConnection(const QString &endpoint)
{
    auto it = m_connections.find(endpoint);
    if (it == m_connections.end())
        return;
    it->second.socket->abort();
    m_connections.erase(it);
}

bool LocalSocketWindowBackend::writeFrame(Connection *connection, const QByteArray &frame)
{
    QLocalSocket *socket = connection->socket.get();
    if (socket->write(frame) != frame.size())
        return false;
    socket->flush();
    return socket->state() == QLocalSocket::ConnectedState;
}

bool LocalSocketWindowBackend::sendMessage(const WindowHandle &window, quint32 message, qint64 wParam,
                                           qint64 lParam, int timeoutMs, qint64 *result)
{
    if (!window.isValid())
        return false;

    // A window of this very thread is handled here and now: waiting for it would only
    // wait for ourselves.
    if (LocalSocketEndpoint *local = endpointOfThisThread(window.endpoint)) {
        const qint64 value = local->dispatch(message, wParam, lParam);
        if (result)
            *result = value;
        return true;
    }

    Connection *connection = connectionTo(window.endpoint);
    if (!connection) {
        qWarning() << "Window" << window.title << "is gone; message" << message << "not sent";
        return false;
    }
    WindowFrame::Frame frame;
    frame.kind = WindowFrame::Kind::Send;
    frame.sequence = m_nextSequence++;
    if (m_nextSequence == 0)
        m_nextSequence = 1;
    frame.message = message;
    frame.wParam = wParam;
    frame.lParam = lParam;
    if (!writeFrame(connection, WindowFrame::encode(frame))) {
        // The window may have been registered anew since the connection was made.
        dropConnection(window.endpoint);
        connection = connectionTo(window.endpoint);
        if (!connection || !writeFrame(connection, WindowFrame::encode(frame))) {
            qWarning() << "Window" << window.title << "did not take message" << message;
            dropConnection(window.endpoint);
            return false;
        }
    }

    const QString endpoint = window.endpoint;
    const quint32 sequence = frame.sequence;
    connection->waiting.insert(sequence);
    const bool handled = waitForReply(endpoint, window.title, message, sequence, timeoutMs, result);
    auto it = m_connections.find(endpoint);
    if (it != m_connections.end()) {
        it->second.waiting.erase(sequence);
        it->second.answered.erase(sequence);
    }
    return handled;
}

bool LocalSocketWindowBackend::waitForReply(const QString &endpoint, const QString &title, quint32 message,
                                            quint32 sequence, int timeoutMs, qint64 *result)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        auto it = m_connections.find(endpoint);
        if (it == m_connections.end())
            return false;
        Connection &connection = it->second;
        QLocalSocket *socket = connection.socket.get();
        connection.pending += socket->readAll();

        // Replies to sends that timed out earlier are skipped; a send made by a handler
        // further down this stack may read ours, and keeps it for us.
        for (;;) {
            WindowFrame::Frame reply;
            int consumed = 0;
            const char *why = "";
            const WindowFrame::Parse parse = WindowFrame::decode(connection.pending, &reply, &consumed, &why);
            if (parse == WindowFrame::Parse::NeedMore)
                break;
            if (parse == WindowFrame::Parse::Malformed || reply.kind != WindowFrame::Kind::Reply) {
                qWarning() << "Window" << title << "answered with a malformed reply:"
                           << (parse == WindowFrame::Parse::Malformed ? why : "not a reply");
                dropConnection(endpoint);
                return false;
            }
            connection.pending.remove(0, consumed);
            if (connection.waiting.count(reply.sequence) > 0)
                connection.answered[reply.sequence] = reply.wParam;
        }
        const auto answer = connection.answered.find(sequence);
        if (answer != connection.answered.end()) {
            if (result)
                *result = answer->second;
            return true;
        }

        if (socket->state() != QLocalSocket::ConnectedState) {
            qWarning() << "Window" << title << "closed before handling message" << message;
            dropConnection(endpoint);
            return false;
        }
        const qint64 remaining = deadline.remainingTime();
        if (remaining == 0) {
            qWarning() << "Window" << title << "did not handle message" << message << "within" << timeoutMs << "ms";
            return false;
        }

        std::vector<pollfd> fds;
        fds.push_back({static_cast<int>(socket->socketDescriptor()), POLLIN, 0});
        const QVector<LocalSocketEndpoint *> mine = endpointsOfThisThread();
        for (LocalSocketEndpoint *endpointOfMine : mine)
            endpointOfMine->collectDescriptors(&fds);
        const int ready = ::poll(fds.data(), fds.size(), remaining < 0 ? -1 : static_cast<int>(remaining));
        if (ready < 0 && errno != EINTR) {
            qWarning() << "Waiting for window" << title << "failed";
            return false;
        }
        if (ready <= 0)
            continue;
        if (fds[0].revents != 0)
            socket->waitForReadyRead(0);
        bool ownWindowsReady = false;
        for (size_t i = 1; i < fds.size(); ++i)
            ownWindowsReady = ownWindowsReady || fds[i].revents != 0;
        if (ownWindowsReady) {
            // A handler below may destroy any of them: each is looked up again.
            for (LocalSocketEndpoint *endpointOfMine : mine) {
                if (endpointsOfThisThread().contains(endpointOfMine))
                    endpointOfMine->serveWhileBlocked();
            }
        }
    }
}

bool LocalSocketWindowBackend::postMessage(const WindowHandle &window, quint32 message, qint64 wParam,
                                           qint64 lParam)
{
    if (!window.isValid())
        return false;
    WindowFrame::Frame frame;
    frame.kind = WindowFrame::Kind::Post;
    frame.message = message;
    frame.wParam = wParam;
    frame.lParam = lParam;
    const QByteArray bytes = WindowFrame::encode(frame);

    Connection *connection = connectionTo(window.endpoint);
    if (connection && writeFrame(connection, bytes))
        return true;
    dropConnection(window.endpoint);
    connection = connectionTo(window.endpoint);
    if (connection && writeFrame(connection, bytes))
        return true;
    qWarning() << "Window" << window.title << "is gone; message" << message << "not posted";
    dropConnection(window.endpoint);
    return false;
}
