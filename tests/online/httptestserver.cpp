#include "httptestserver.h"

#include <QHostAddress>
#include <QPointer>
#include <QSslSocket>
#include <QTimer>

HttpTestServer::HttpTestServer(Handler handler, QObject *parent) : QTcpServer(parent), m_handler(std::move(handler))
{
}

HttpTestServer::~HttpTestServer()
{
    close();
}

bool HttpTestServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

void HttpTestServer::useTls(const QSslCertificate &certificate, const QSslKey &key)
{
    m_bTls = true;
    m_certificate = certificate;
    m_key = key;
}

QString HttpTestServer::baseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(m_bTls ? QStringLiteral("https") : QStringLiteral("http")).arg(serverPort());
}

void HttpTestServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket *socket = nullptr;
    if (m_bTls) {
        auto *ssl = new QSslSocket(this);
        if (!ssl->setSocketDescriptor(descriptor)) {
            delete ssl;
            return;
        }
        ssl->setLocalCertificate(m_certificate);
        ssl->setPrivateKey(m_key);
        ssl->startServerEncryption();
        socket = ssl;
    } else {
        socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
    }
    m_buffers.insert(socket, QByteArray());
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        m_buffers.remove(socket);
        socket->deleteLater();
    });
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    if (!m_buffers.contains(socket))
        return;
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;

    HttpRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const int length = request.headers.value("content-length", "0").toInt();
    if (buffer.size() < headerEnd + 4 + length)
        return;
    request.body = buffer.mid(headerEnd + 4, length);
    m_buffers.remove(socket); // one request per connection

    m_requests.append(request);
    const HttpResponse response = m_handler(request);
    emit requestReceived();
    answer(socket, response);
}

void HttpTestServer::answer(QTcpSocket *socket, const HttpResponse &response)
{
    if (response.hang)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Test\r\n";
    for (const auto &header : response.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (response.sendLength)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);

    QByteArray body = response.body;
    if (response.cutAfter >= 0)
        body = body.left(response.cutAfter);
    if (response.chunkSize > 0) {
        writePieces(socket, body, response.chunkSize);
        return;
    }
    socket->write(body);
    socket->disconnectFromHost();
}

void HttpTestServer::writePieces(QTcpSocket *socket, QByteArray rest, int chunkSize)
{
    QPointer<QTcpSocket> guard(socket);
    socket->write(rest.left(chunkSize));
    rest.remove(0, chunkSize);
    if (rest.isEmpty()) {
        socket->disconnectFromHost();
        return;
    }
    // A few ms apart, so the client sees the body arrive in several reads.
    QTimer::singleShot(3, this, [this, guard, rest, chunkSize] {
        if (guard)
            writePieces(guard, rest, chunkSize);
    });
}
