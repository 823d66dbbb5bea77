#include "platform/foreground/linux/hyprlandforegroundbackend.h"

#include "platform/session/linux/hyprlandipc.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kReconnectMs = 1000;

} // namespace

std::unique_ptr<HyprlandForegroundBackend> HyprlandForegroundBackend::open(const QByteArray &runtimeDir,
                                                                           const QByteArray &signature, QString *why)
{
    const QByteArray folder = HyprlandIpc::Folder(runtimeDir, signature);
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        if (why)
            *why = QStringLiteral("no eventfd");
        return nullptr;
    }
    std::unique_ptr<HyprlandForegroundBackend> backend(new HyprlandForegroundBackend(folder, wake));
    if (!backend->Connect()) {
        if (why)
            *why =
                QStringLiteral("Hyprland's event socket in \"%1\" does not answer").arg(QString::fromLocal8Bit(folder));
        return nullptr;
    }
    backend->PublishActive();
    backend->m_watcher = std::thread(&HyprlandForegroundBackend::Watch, backend.get());
    return backend;
}

HyprlandForegroundBackend::HyprlandForegroundBackend(const QByteArray &folder, int wakeFd)
    : m_folder(folder), m_wakeFd(wakeFd)
{ }

HyprlandForegroundBackend::~HyprlandForegroundBackend()
{
    if (m_watcher.joinable()) {
        const uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) != ssize_t(sizeof one))
            qWarning() << "Foreground watcher: cannot wake it";
        m_watcher.join();
    }
    if (m_events >= 0)
        ::close(m_events);
    ::close(m_wakeFd);
}

bool HyprlandForegroundBackend::Connect()
{
    if (m_events >= 0)
        ::close(m_events);
    m_pending.clear();
    m_events = HyprlandIpc::ConnectEvents(m_folder);
    return m_events >= 0;
}

void HyprlandForegroundBackend::PublishActive()
{
    QByteArray reply;
    QJsonParseError error;
    QJsonDocument document;
    if (HyprlandIpc::Request(m_folder, "j/activewindow", &reply))
        document = QJsonDocument::fromJson(reply, &error);
    if (document.isNull() || !document.isObject()) {
        publish(ForegroundWindow());
        qInfo() << "Foreground: Hyprland's request socket gave no answer about the active window; the common profile "
                   "applies";
        return;
    }
    const QJsonObject window = document.object();
    if (window.isEmpty()) { // no window has the focus
        publish(ForegroundWindow());
        return;
    }
    ForegroundWindow record;
    record.x11 = window.value(QStringLiteral("xwayland")).toBool();
    record.windowClass = window.value(QStringLiteral("class")).toString();
    record.pid = qint64(window.value(QStringLiteral("pid")).toDouble(0));
    QString why;
    record.path = ExecutableOfProcess(record.pid, &why);
    if (record.path.isEmpty())
        record.pid = 0;
    publish(record);
    if (record.path.isEmpty())
        qInfo().noquote() << QStringLiteral(
                                 "Foreground: the focused window \"%1\" gives no executable (%2); the common "
                                 "profile applies")
                                 .arg(record.windowClass, why);
}

bool HyprlandForegroundBackend::WaitForWake(int timeoutMs)
{
    pollfd fd = {m_wakeFd, POLLIN, 0};
    return ::poll(&fd, 1, timeoutMs) > 0;
}

void HyprlandForegroundBackend::Watch()
{
    for (;;) {
        if (m_events < 0) {
            if (WaitForWake(kReconnectMs))
                return;
            if (Connect()) {
                qInfo() << "Foreground: Hyprland's event socket is back";
                PublishActive();
            }
            continue;
        }
        pollfd fds[2] = {{m_events, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        char buffer[4096];
        const ssize_t n = ::recv(m_events, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        bool focusChanged = false;
        const bool ok = n > 0 && HyprlandIpc::TakeEventLines(&m_pending, buffer, int(n), [&](const QByteArray &line) {
            focusChanged |= line.startsWith("activewindowv2>>") || line.startsWith("closewindow>>");
        });
        if (!ok) {
            ::close(m_events);
            m_events = -1;
            publish(ForegroundWindow());
            qInfo() << "Foreground: Hyprland's event socket closed or sent what is not its protocol; the common "
                       "profile applies until it is back";
            continue;
        }
        if (focusChanged)
            PublishActive();
    }
}
