#include "app/qtsingleapplication.h"

#include "base/paths.h"

#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace {

// Wire format: a 32-bit big-endian byte count, then the message in UTF-8; the
// receiver answers one byte when it has taken the message.
constexpr quint32 kMaxMessageBytes = 64 * 1024;
const char kAck = 'A';
constexpr int kPeerTimeoutMs = 10000;

} // namespace

QString QtSingleApplication::serverName(const QString &id)
{
    return Paths::instanceEndpoint(id);
}

QString QtSingleApplication::lockFileName(const QString &id)
{
    return serverName(id) + QStringLiteral(".lock");
}

QtSingleApplication::QtSingleApplication(const QString &id, int &argc, char **argv)
    : QApplication(argc, argv), m_id(id)
{
    m_lock = std::make_unique<QLockFile>(lockFileName(id));
    // Never time a live owner's lock out: only a dead owner makes it stale.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            m_running = true;
            return;
        }
        // The lock folder is unusable: run without the single-instance guarantee
        // rather than not at all.
        qWarning().noquote() << "single instance lock unavailable:" << lockFileName(id);
    }
}

void QtSingleApplication::listen()
{
    if (m_running || m_server)
        return;
    const QString name = serverName(m_id);
    QLocalServer::removeServer(name); // a socket left by a crashed owner
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name))
        qWarning().noquote() << "single instance server failed:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, &QtSingleApplication::onNewConnection);
}

QtSingleApplication::~QtSingleApplication()
{
    if (m_server)
        m_server->close();
    // m_lock unlocks when it is destroyed.
}

bool QtSingleApplication::isRunning() const
{
    return m_running;
}

QString QtSingleApplication::id() const
{
    return m_id;
}

bool QtSingleApplication::sendMessage(const QString &message, int timeoutMs)
{
    if (!m_running)
        return false;

    QElapsedTimer timer;
    timer.start();
    const auto remaining = [&] { return int(qMax<qint64>(0, timeoutMs - timer.elapsed())); };

    // The owner may have taken the lock an instant ago and not be listening yet.
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(serverName(m_id));
        if (socket.waitForConnected(remaining()))
            break;
        if (remaining() == 0)
            return false;
        QThread::msleep(20);
    }

    const QByteArray body = message.toUtf8();
    QByteArray packet;
    QDataStream stream(&packet, QIODevice::WriteOnly);
    stream << quint32(body.size());
    packet.append(body);
    socket.write(packet);
    if (!socket.waitForBytesWritten(remaining()))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(remaining()))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAck;
}

void QtSingleApplication::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onSocketReadyRead(socket); });
        // A peer that connects and never finishes its message is dropped.
        QTimer::singleShot(kPeerTimeoutMs, socket, &QLocalSocket::abort);
        // Data may have arrived together with the connection.
        if (socket->bytesAvailable() > 0)
            onSocketReadyRead(socket);
    }
}

void QtSingleApplication::onSocketReadyRead(QLocalSocket *socket)
{
    // Read without blocking: a stalled peer must never freeze the GUI thread.
    if (socket->bytesAvailable() < qint64(sizeof(quint32)))
        return;
    quint32 size = 0;
    {
        const QByteArray head = socket->peek(sizeof(quint32));
        QDataStream stream(head);
        stream >> size;
    }
    if (size > kMaxMessageBytes) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(sizeof(quint32) + size))
        return;
    socket->read(sizeof(quint32));
    const QString message = QString::fromUtf8(socket->read(size));
    socket->putChar(kAck);
    socket->flush();
    socket->disconnectFromServer();
    emit messageReceived(message);
}
