#pragma once
// Single instance per user logon. The first process of a user holds a lock file and
// listens on a local socket; a later process of the same user finds the lock held,
// sends its message over the socket and exits. Both names live in the user's private
// runtime folder and carry the user id, so two users on one machine never meet.
//
// A crash leaves the lock file behind; QLockFile sees that its process is gone and
// takes the lock over, and the owner removes the dead socket before listening again.

#include <QApplication>
#include <QLockFile>
#include <QPointer>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QWidget;

class QtSingleApplication : public QApplication {
    Q_OBJECT

public:
    QtSingleApplication(const QString &id, int &argc, char **argv);
    ~QtSingleApplication() override;

    // True when another process of this user holds the instance.
    bool isRunning() const;
    // Owner only: starts taking the later processes' messages. A step of its own so the
    // program can show its tray icon first; a later process retries its connection
    // meanwhile (sendMessage). Later calls do nothing.
    void listen();
    QString id() const;

    // Sends message to the running instance and waits up to timeoutMs for it to be
    // taken. false when there is no running instance or it did not answer in time.
    bool sendMessage(const QString &message, int timeoutMs = 5000);

    // Socket and lock names for an id: "<folder>/<id>-<uid>" and the same + ".lock".
    static QString serverName(const QString &id);
    static QString lockFileName(const QString &id);

signals:
    void messageReceived(const QString &message);

private:
    void onNewConnection();
    void onSocketReadyRead(QLocalSocket *socket);

    QString m_id;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;  // child of this; only while we own the instance
    bool m_running = false;
};
