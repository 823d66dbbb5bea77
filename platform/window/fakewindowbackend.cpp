#include "platform/window/fakewindowbackend.h"

QString FakeWindowBackend::key(const QString &className, const QString &title)
{
    return className + QLatin1Char('\n') + title;
}

std::unique_ptr<WindowEndpoint> FakeWindowBackend::createEndpoint(const QString &className, const QString &title)
{
    const QString name = key(className, title);
    if (m_windows.value(name))
        return nullptr;
    auto endpoint = std::make_unique<WindowEndpoint>(className, title);
    m_windows.insert(name, endpoint.get());
    return endpoint;
}

WindowHandle FakeWindowBackend::findWindow(const QString &className, const QString &title)
{
    ++m_findCount;
    WindowHandle handle;
    handle.className = className;
    handle.title = title;
    if (m_windows.value(key(className, title)))
        handle.endpoint = QStringLiteral("fake:") + key(className, title);
    return handle;
}

WindowEndpoint *FakeWindowBackend::live(const WindowHandle &window) const
{
    if (!window.isValid())
        return nullptr;
    return m_windows.value(key(window.className, window.title)).data();
}

void FakeWindowBackend::record(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam,
                               bool posted, bool delivered)
{
    RecordedWindowMessage entry;
    entry.className = window.className;
    entry.title = window.title;
    entry.message = message;
    entry.wParam = wParam;
    entry.lParam = lParam;
    entry.posted = posted;
    entry.delivered = delivered;
    m_messages.append(entry);
}

bool FakeWindowBackend::sendMessage(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam,
                                    int, qint64 *result)
{
    WindowEndpoint *endpoint = live(window);
    record(window, message, wParam, lParam, false, endpoint != nullptr);
    if (!endpoint)
        return false;
    const qint64 value = endpoint->dispatch(message, wParam, lParam);
    if (result)
        *result = value;
    return true;
}

bool FakeWindowBackend::postMessage(const WindowHandle &window, quint32 message, qint64 wParam, qint64 lParam)
{
    WindowEndpoint *endpoint = live(window);
    record(window, message, wParam, lParam, true, endpoint != nullptr);
    if (!endpoint)
        return false;
    QMetaObject::invokeMethod(
        endpoint, [endpoint, message, wParam, lParam] { endpoint->dispatch(message, wParam, lParam); },
        Qt::QueuedConnection);
    return true;
}
