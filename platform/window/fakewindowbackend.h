#pragma once
// Test backend of the window facility: windows live in this process only, a send is
// handled at once on the calling thread, a post waits for the event loop. Every message
// asked for is recorded, delivered or not.

#include "platform/window/windowbackend.h"

#include <QMap>
#include <QPointer>
#include <QVector>

struct RecordedWindowMessage {
    QString className;
    QString title;
    quint32 message = 0;
    qint64 wParam = 0;
    qint64 lParam = 0;
    bool posted = false;
    bool delivered = false; // a window of that class and title was there
};

class FakeWindowBackend : public WindowBackend {
public:
    std::unique_ptr<WindowEndpoint> createEndpoint(const QString &className, const QString &title) override;
    WindowHandle findWindow(const QString &className, const QString &title) override;
    bool sendMessage(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam, int timeoutMs,
                     qint64 *result = nullptr) override;
    bool postMessage(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam) override;

    const QVector<RecordedWindowMessage> &messages() const { return m_messages; }
    int findCount() const { return m_findCount; }

private:
    static QString key(const QString &className, const QString &title);
    WindowEndpoint *live(const WindowHandle &window) const;
    void record(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam, bool posted,
                bool delivered);

    QMap<QString, QPointer<WindowEndpoint>> m_windows;
    QVector<RecordedWindowMessage> m_messages;
    int m_findCount = 0;
};
