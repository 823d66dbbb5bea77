#include "platform/display/linux/swaydisplaybackend.h"

#include "platform/display/linux/xrandrdisplaybackend.h"
#include "platform/session/linux/swayipc.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

namespace {

constexpr int kReadTimeoutMs = 2000;

} // namespace

std::unique_ptr<SwayDisplayBackend> SwayDisplayBackend::open(const QByteArray &socketPath, const QByteArray &x11Display,
                                                             QObject *parent)
{
    std::unique_ptr<SwayDisplayBackend> backend(new SwayDisplayBackend(socketPath, parent));
    if (!backend->Connect())
        return nullptr;
    backend->physicalScreens(); // the layout the notices are compared with
    backend->WatchXWayland(x11Display);
    return backend;
}

SwayDisplayBackend::SwayDisplayBackend(const QByteArray &socketPath, QObject *parent)
    : CompositorDisplayBackend("Display layout: the sway IPC is back", parent)
    , m_socketPath(socketPath)
    , m_events(std::make_unique<SwayIpc>())
    , m_requests(std::make_unique<SwayIpc>())
{ }

SwayDisplayBackend::~SwayDisplayBackend() = default;

bool SwayDisplayBackend::Connect()
{
    delete m_notifier;
    m_notifier = nullptr;
    QByteArray reply;
    if (!m_events->connectTo(m_socketPath) || !m_requests->connectTo(m_socketPath)
        || !m_events->request(SwayIpc::Subscribe, R"(["output"])", &reply, kReadTimeoutMs)
        || (!reply.contains("true")
            && !m_events->request(SwayIpc::Subscribe, R"(["workspace"])", &reply, kReadTimeoutMs))) {
        m_events->close();
        m_requests->close();
        return false;
    }
    m_notifier = new QSocketNotifier(m_events->fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SwayDisplayBackend::ReadEvents);
    return true;
}

bool SwayDisplayBackend::isAvailable() const
{
    return m_requests->isOpen();
}

void SwayDisplayBackend::Lost()
{
    delete m_notifier;
    m_notifier = nullptr;
    m_events->close();
    m_requests->close();
    qInfo() << "Display layout: the sway IPC closed or sent what is not its protocol; the last layout stays until it "
               "is back";
    ReconnectLater();
}

void SwayDisplayBackend::ReadEvents()
{
    // Events come whole and small; what is not one ends the connection.
    uint32_t type = 0;
    QByteArray payload;
    if (!m_events->read(&type, &payload, kReadTimeoutMs)) {
        Lost();
        return;
    }
    if (type == SwayIpc::EventOutput || type == SwayIpc::EventWorkspace)
        Noticed();
}

bool SwayDisplayBackend::ParseOutputs(const QByteArray &json, std::vector<DisplayScreen> *screens, QString *described)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return false;
    screens->clear();
    described->clear();
    const QJsonArray outputs = document.array();
    for (const QJsonValue &value : outputs) {
        const QJsonObject output = value.toObject();
        if (!output.value(QStringLiteral("active")).toBool())
            continue; // switched off or disabled: not a screen
        const QJsonObject rect = output.value(QStringLiteral("rect")).toObject();
        DisplayScreen screen;
        screen.geometry =
            QRect(rect.value(QStringLiteral("x")).toInt(), rect.value(QStringLiteral("y")).toInt(),
                  rect.value(QStringLiteral("width")).toInt(), rect.value(QStringLiteral("height")).toInt());
        screen.name = output.value(QStringLiteral("name")).toString();
        // sway has no primary output; the screen table's primary is the one at (0, 0).
        screen.primary = screen.geometry.topLeft() == QPoint(0, 0);
        screen.edid = DrmConnectorEdid(screen.name);
        screens->push_back(screen);
        *described += QStringLiteral(" %1 %2,%3 %4x%5 scale %6 %7")
                          .arg(screen.name)
                          .arg(screen.geometry.x())
                          .arg(screen.geometry.y())
                          .arg(screen.geometry.width())
                          .arg(screen.geometry.height())
                          .arg(output.value(QStringLiteral("scale")).toDouble(1.0))
                          .arg(output.value(QStringLiteral("transform")).toString());
    }
    return true;
}

std::vector<DisplayScreen> SwayDisplayBackend::physicalScreens()
{
    QByteArray reply;
    std::vector<DisplayScreen> screens;
    QString described;
    if (!m_requests->isOpen())
        return m_last;
    if (!m_requests->request(SwayIpc::GetOutputs, QByteArray(), &reply, kReadTimeoutMs)
        || !ParseOutputs(reply, &screens, &described)) {
        Lost();
        return m_last;
    }
    Keep(screens, described, "sway");
    return screens;
}
