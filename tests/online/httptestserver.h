#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the online services' tests. It runs on the
// thread that creates it (the test's main thread: the test's waits turn its event
// loop), answers every request through a handler and closes the connection after each
// answer. With a certificate and key it speaks TLS.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>

#include <functional>

struct HttpRequest {
    QByteArray method;
    QByteArray target; // path and query, as sent
    QMap<QByteArray, QByteArray> headers; // lower-case names
    QByteArray body;
};

struct HttpResponse {
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool sendLength = true; // false: no Content-Length; the body ends with the connection
    int chunkSize = 0;      // > 0: the body goes out in pieces of this size, a few ms apart
    int cutAfter = -1;      // >= 0: the connection closes after this many body bytes
    bool hang = false;      // the request is read and never answered

    void addHeader(const QByteArray &name, const QByteArray &value) { headers.append(qMakePair(name, value)); }
};

class HttpTestServer : public QTcpServer {
    Q_OBJECT

public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    explicit HttpTestServer(Handler handler, QObject *parent = nullptr);
    ~HttpTestServer() override;

    bool start();
    void useTls(const QSslCertificate &certificate, const QSslKey &key);
    QString baseUrl() const;
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    QList<HttpRequest> requests() const { return m_requests; }
    int requestCount() const { return m_requests.size(); }

signals:
    void requestReceived();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const HttpResponse &response);
    void writePieces(QTcpSocket *socket, QByteArray rest, int chunkSize);

    Handler m_handler;
    QList<HttpRequest> m_requests;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    bool m_bTls = false;
    QSslCertificate m_certificate;
    QSslKey m_key;
};
