#pragma once
// The window facility: numbered messages between our own programs, the way the design's
// programs find each other's windows by class and title and send or post messages to
// them. A program registers an endpoint under a window class and title; another program
// of the same user finds it by the same two texts.
//
// sendMessage is synchronous: it returns once the receiver has handled the message (or
// the wait ran out), with the receiver's result. postMessage only queues the message.
// Every message carries a 32-bit number and two 64-bit parameters.

#include <QObject>
#include <QString>

#include <memory>

// A found window. Empty when nothing answered under that class and title.
struct WindowHandle {
    QString className;
    QString title;
    QString endpoint; // where the backend reaches it; empty when not found

    bool isValid() const { return !endpoint.isEmpty(); }
};

// A receiving window. messageReceived is emitted on the thread that created the
// endpoint, once per message, in the order each sender sent them; messages sent with
// sendMessage are handled before posted ones that are still waiting, as on the design's
// platform.
class WindowEndpoint : public QObject {
    Q_OBJECT

public:
    WindowEndpoint(const QString &className, const QString &title, QObject *parent = nullptr)
        : QObject(parent), m_className(className), m_title(title)
    {
    }
    ~WindowEndpoint() override = default;

    QString className() const { return m_className; }
    QString title() const { return m_title; }

    // The result a synchronous sender gets back. A slot of messageReceived sets it while
    // the signal is being emitted; it is 0 for each message until then.
    void setResult(qint64 result) { m_result = result; }

    // Handles one message on the endpoint's thread; returns the result for the sender.
    qint64 dispatch(quint32 message, qint64 wParam, qint64 lParam)
    {
        m_result = 0;
        emit messageReceived(message, wParam, lParam);
        return m_result;
    }

signals:
    void messageReceived(quint32 message, qint64 wParam, qint64 lParam);

private:
    QString m_className;
    QString m_title;
    qint64 m_result = 0;
};

// One backend per sending thread: its calls are made from the thread that uses it.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // Registers a window of this class and title for the calling thread. Null when the
    // name cannot be had (another live window of this user holds it, or the folder is
    // unusable); the reason is logged.
    virtual std::unique_ptr<WindowEndpoint> createEndpoint(const QString &className, const QString &title) = 0;

    // A live window of this user with that class and title; an invalid handle when none.
    virtual WindowHandle findWindow(const QString &className, const QString &title) = 0;

    // Delivers the message and waits up to timeoutMs for the receiver to handle it.
    // True when it was handled; *result (when given) is the receiver's result.
    virtual bool sendMessage(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam,
                             int timeoutMs, qint64 *result = nullptr) = 0;

    // Queues the message for the receiver and returns at once. True when it was queued.
    virtual bool postMessage(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam) = 0;
};
