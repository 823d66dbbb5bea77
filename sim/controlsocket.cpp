#include "sim/controlsocket.h"

#include <QDebug>
#include <QLocalSocket>

ControlSocket::ControlSocket(Handler handler, QObject *parent) : QObject(parent), m_handler(std::move(handler))
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &ControlSocket::OnNewConnection);
}

ControlSocket::~ControlSocket() = default;

bool ControlSocket::Listen(const QString &path)
{
    QLocalServer::removeServer(path);
    if (!m_server.listen(path)) {
        qWarning().noquote() << "simulate: no control socket at" << path << ":" << m_server.errorString();
        return false;
    }
    qInfo().noquote() << "simulate: control socket" << m_server.fullServerName();
    return true;
}

void ControlSocket::OnNewConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        // Lines that arrived with the connection.
        if (socket->bytesAvailable() > 0)
            OnReadyRead(socket);
    }
}

void ControlSocket::OnReadyRead(QLocalSocket *socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxLine + 2);
        if (!line.endsWith('\n')) {
            socket->write("error: line too long\n");
            socket->disconnectFromServer();
            return;
        }
        socket->write(m_handler(QString::fromUtf8(line).trimmed()).toUtf8() + '\n');
    }
    if (socket->bytesAvailable() > kMaxLine) {
        socket->write("error: line too long\n");
        socket->disconnectFromServer();
    }
}
