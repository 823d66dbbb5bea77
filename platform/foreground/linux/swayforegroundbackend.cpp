#include "platform/foreground/linux/swayforegroundbackend.h"

#include "platform/session/linux/swayipc.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr int kReadTimeoutMs = 2000;
constexpr int kReconnectMs = 1000;

bool ParseObject(const QByteArray &json, QJsonObject *object)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    *object = document.object();
    return true;
}

// The focused node of sway's tree; an empty object when there is none.
QJsonObject FocusedNode(const QJsonObject &node)
{
    if (node.value(QStringLiteral("focused")).toBool())
        return node;
    for (const char *key : {"nodes", "floating_nodes"}) {
        const QJsonArray children = node.value(QLatin1String(key)).toArray();
        for (const QJsonValue &child : children) {
            const QJsonObject found = FocusedNode(child.toObject());
            if (!found.isEmpty())
                return found;
        }
    }
    return QJsonObject();
}

bool IsWindow(const QJsonObject &node)
{
    const QString type = node.value(QStringLiteral("type")).toString();
    return (type == QLatin1String("con") || type == QLatin1String("floating_con"))
        && node.contains(QStringLiteral("shell"));
}

} // namespace

std::unique_ptr<SwayForegroundBackend> SwayForegroundBackend::open(const QByteArray &socketPath, QString *why)
{
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        if (why)
            *why = QStringLiteral("no eventfd");
        return nullptr;
    }
    std::unique_ptr<SwayForegroundBackend> backend(new SwayForegroundBackend(socketPath, wake));
    // The first connection here, so that a missing sway is known at once; the watcher
    // owns both connections after.
    if (!backend->Connect()) {
        if (why)
            *why = QStringLiteral("the sway IPC socket \"%1\" does not answer").arg(QString::fromLocal8Bit(socketPath));
        return nullptr;
    }
    backend->PublishTreeFocus();
    backend->m_watcher = std::thread(&SwayForegroundBackend::Watch, backend.get());
    return backend;
}

SwayForegroundBackend::SwayForegroundBackend(const QByteArray &socketPath, int wakeFd)
    : m_socketPath(socketPath)
    , m_wakeFd(wakeFd)
    , m_events(std::make_unique<SwayIpc>())
    , m_requests(std::make_unique<SwayIpc>())
{ }

SwayForegroundBackend::~SwayForegroundBackend()
{
    if (m_watcher.joinable()) {
        const uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof one) != ssize_t(sizeof one))
            qWarning() << "Foreground watcher: cannot wake it";
        m_watcher.join();
    }
    ::close(m_wakeFd);
}

bool SwayForegroundBackend::Connect()
{
    SwayIpc &events = *m_events;
    SwayIpc &requests = *m_requests;
    QByteArray reply;
    if (!events.connectTo(m_socketPath) || !requests.connectTo(m_socketPath)
        || !events.request(SwayIpc::Subscribe, R"(["window","workspace","shutdown"])", &reply, kReadTimeoutMs)
        || !reply.contains("true")) {
        events.close();
        requests.close();
        return false;
    }
    return true;
}

ForegroundWindow SwayForegroundBackend::RecordOf(const QJsonObject &container, QString *fault)
{
    ForegroundWindow window;
    window.x11 = container.value(QStringLiteral("shell")).toString() == QLatin1String("xwayland");
    const QJsonValue appId = container.value(QStringLiteral("app_id"));
    window.windowClass = window.x11 || !appId.isString()
        ? container.value(QStringLiteral("window_properties")).toObject().value(QStringLiteral("class")).toString()
        : appId.toString();
    window.pid = qint64(container.value(QStringLiteral("pid")).toDouble(0));
    QString why;
    window.path = ExecutableOfProcess(window.pid, &why);
    if (window.path.isEmpty()) {
        window.pid = 0; // a pid whose process is gone may already name another one
        *fault =
            QStringLiteral("Foreground: the focused window \"%1\" gives no executable (%2); the common profile applies")
                .arg(window.windowClass, why);
    }
    return window;
}

void SwayForegroundBackend::PublishContainer(const QJsonObject &container)
{
    if (!IsWindow(container)) {
        m_focusedId = -1;
        publish(ForegroundWindow());
        return;
    }
    m_focusedId = int64_t(container.value(QStringLiteral("id")).toDouble(-1));
    QString fault;
    ForegroundWindow window = RecordOf(container, &fault);
    publish(std::move(window));
    if (!fault.isEmpty())
        qInfo().noquote() << fault;
}

void SwayForegroundBackend::PublishTreeFocus()
{
    SwayIpc &requests = *m_requests;
    QByteArray reply;
    QJsonObject tree;
    if (!requests.request(SwayIpc::GetTree, QByteArray(), &reply, kReadTimeoutMs) || !ParseObject(reply, &tree)) {
        // Both go: the watcher then reconnects as after a restart.
        m_events->close();
        requests.close();
        m_focusedId = -1;
        publish(ForegroundWindow());
        qInfo() << "Foreground: sway's tree did not come; the common profile applies until the IPC is back";
        return;
    }
    PublishContainer(FocusedNode(tree));
}

bool SwayForegroundBackend::WaitForWake(int timeoutMs)
{
    pollfd fd = {m_wakeFd, POLLIN, 0};
    return ::poll(&fd, 1, timeoutMs) > 0;
}

void SwayForegroundBackend::Watch()
{
    SwayIpc &events = *m_events;
    for (;;) {
        if (!events.isOpen()) {
            if (WaitForWake(kReconnectMs))
                return;
            if (Connect()) {
                qInfo() << "Foreground: the sway IPC is back";
                PublishTreeFocus();
            }
            continue;
        }
        pollfd fds[2] = {{events.fd(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        uint32_t type = 0;
        QByteArray payload;
        QJsonObject event;
        bool ok = events.read(&type, &payload, kReadTimeoutMs) && type != SwayIpc::EventShutdown;
        if (ok && (type == SwayIpc::EventWindow || type == SwayIpc::EventWorkspace))
            ok = ParseObject(payload, &event);
        if (!ok) {
            events.close();
            m_requests->close();
            m_focusedId = -1;
            publish(ForegroundWindow());
            qInfo() << "Foreground: the sway IPC closed or sent what is not its protocol; the common profile applies "
                       "until it is back";
            continue;
        }
        const QString change = event.value(QStringLiteral("change")).toString();
        if (type == SwayIpc::EventWindow) {
            const QJsonObject container = event.value(QStringLiteral("container")).toObject();
            const int64_t id = int64_t(container.value(QStringLiteral("id")).toDouble(-2));
            if (change == QLatin1String("focus"))
                PublishContainer(container);
            else if (change == QLatin1String("close") && id == m_focusedId)
                PublishContainer(QJsonObject()); // a focus event follows if a window takes over
        } else if (type == SwayIpc::EventWorkspace && change == QLatin1String("focus")) {
            // An empty workspace has no window event: ask what has the focus now.
            PublishTreeFocus();
        }
    }
}
