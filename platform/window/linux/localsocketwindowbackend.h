#pragma once
// Linux backend of the window facility. A window is a listening local socket in a
// per-user folder, named after the user id, the window class and the title:
// "<folder>/inkora-<uid>-window-<class>-<title>" (both texts percent-encoded). The folder
// is $XDG_RUNTIME_DIR (0700, the user's own) or, without one, a private folder made
// under the temporary folder; a folder that others may enter is refused. The sockets are
// made 0600 and an endpoint answers only peers of the same user, so messages stay
// between the programs of one user, as the design's windows stay in one session.
//
// Each message travels as one frame (windowframe.h). The sending side keeps one
// connection per window, so a window gets one sender's messages in order.
//
// While a send waits for its reply, windows of the same thread still handle messages
// sent to them, as on the design's platform: two programs that send to each other at
// the same moment then both get their answers instead of waiting out the timeout.

#include "platform/window/windowbackend.h"

#include <QByteArray>

#include <map>
#include <memory>
#include <set>

class QLocalSocket;

class LocalSocketWindowBackend : public WindowBackend {
public:
    // folder: where windows live; empty for the user's default folder.
    explicit LocalSocketWindowBackend(const QString &folder = QString());
    ~LocalSocketWindowBackend() override;

    std::unique_ptr<WindowEndpoint> createEndpoint(const QString &className, const QString &title) override;
    WindowHandle findWindow(const QString &className, const QString &title) override;
    bool sendMessage(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam, int timeoutMs,
                     qint64 *result = nullptr) override;
    bool postMessage(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam) override;

    // Empty when the folder was refused.
    QString folder() const { return m_folder; }
    // The socket of a window of that class and title; empty when the folder was refused.
    QString endpointPath(const QString &className, const QString &title) const;

    // $XDG_RUNTIME_DIR, or "<temp>/inkora-<uid>".
    static QString defaultFolder();

private:
    struct Connection {
        std::unique_ptr<QLocalSocket> socket;
        QByteArray pending;                 // bytes of a reply not yet complete
        std::set<quint32> waiting;          // sends on this connection still waited for
        std::map<quint32, qint64> answered; // their results, once read
    };
    // The open connection to a window, made when there is none; null when the window
    // does not answer.
    Connection *connectionTo(const QString &endpoint);
    void dropConnection(const QString &endpoint);
    bool writeFrame(Connection *connection, const QByteArray &frame);
    bool waitForReply(const QString &endpoint, const QString &title, quint32 message, quint32 sequence,
                      int timeoutMs, qint64 *result);

    QString m_folder;
    std::map<QString, Connection> m_connections;
    quint32 m_nextSequence = 1;
};
