#pragma once
// The line server behind the simulated devices' control sockets: one command a line,
// one answer a line, in the order they came. Only this user may connect.
//
// Lives on the GUI thread, like the handler it calls.

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

class QLocalSocket;

class ControlSocket : public QObject {
    Q_OBJECT

public:
    // Takes one command line without its line end; gives the answer without one.
    using Handler = std::function<QString(const QString &line)>;

    explicit ControlSocket(Handler handler, QObject *parent = nullptr);
    ~ControlSocket() override;

    // Listens on path (a stale socket file of an earlier run is removed first: one
    // simulating program per user and socket). False with a log line when the socket
    // cannot be made.
    bool Listen(const QString &path);
    QString socketPath() const { return m_server.fullServerName(); }

    // Longest command line taken; a longer one ends the connection.
    static constexpr int kMaxLine = 512;

private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket *socket);

    Handler m_handler;
    QLocalServer m_server;
};
