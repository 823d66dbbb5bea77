#pragma once
// Turns the termination signals into a Qt signal on the GUI thread. A session logout
// sends SIGTERM (a terminal's hang-up SIGHUP, Ctrl+C SIGINT); without this the program
// would die at once, its tablets left in their report mode and its log without its last
// line. The handler only writes the signal number into one end of a socket pair; a
// notifier on the other end reads it in the event loop, where anything may be done.
//
// One object at a time (the handler's socket is process-wide); it restores the default
// handlers when it goes. A signal that comes before the event loop runs waits in the
// socket and is delivered once it does.

#include <QObject>

class QSocketNotifier;

class QuitOnSignal : public QObject {
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject *parent = nullptr);
    ~QuitOnSignal() override;

    // False (with a log line) when the socket pair or the handlers could not be set up.
    bool isInstalled() const { return m_bInstalled; }

signals:
    // SIGTERM, SIGINT or SIGHUP arrived.
    void Signalled(int signalNumber);

private:
    void OnReadable();

    int m_fds[2] = {-1, -1}; // [0] written by the handler, [1] read here
    QSocketNotifier *m_pNotifier = nullptr; // child object
    bool m_bInstalled = false;
};
