#include "platform/display/linux/hyprlanddisplaybackend.h"

#include "platform/session/linux/hyprlandipc.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cmath>
#include <sys/socket.h>
#include <unistd.h>

std::unique_ptr<HyprlandDisplayBackend> HyprlandDisplayBackend::open(const QByteArray &runtimeDir,
                                                                     const QByteArray &signature,
                                                                     const QByteArray &x11Display, QObject *parent)
{
    std::unique_ptr<HyprlandDisplayBackend> backend(
        new HyprlandDisplayBackend(HyprlandIpc::Folder(runtimeDir, signature), parent));
    if (!backend->Connect())
        return nullptr;
    backend->physicalScreens(); // the layout the notices are compared with
    backend->WatchXWayland(x11Display);
    return backend;
}

HyprlandDisplayBackend::HyprlandDisplayBackend(const QByteArray &folder, QObject *parent)
    : CompositorDisplayBackend("Display layout: Hyprland's event socket is back", parent), m_folder(folder)
{ }

HyprlandDisplayBackend::~HyprlandDisplayBackend()
{
    delete m_notifier;
    if (m_events >= 0)
        ::close(m_events);
}

bool HyprlandDisplayBackend::Connect()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_events >= 0)
        ::close(m_events);
    m_pending.clear();
    m_events = HyprlandIpc::ConnectEvents(m_folder);
    if (m_events < 0)
        return false;
    m_notifier = new QSocketNotifier(m_events, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HyprlandDisplayBackend::ReadEvents);
    return true;
}

void HyprlandDisplayBackend::Lost()
{
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_events);
    m_events = -1;
    qInfo() << "Display layout: Hyprland's event socket closed or sent what is not its protocol; the last layout "
               "stays until it is back";
    ReconnectLater();
}

void HyprlandDisplayBackend::ReadEvents()
{
    char buffer[4096];
    const ssize_t n = ::recv(m_events, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    bool monitors = false;
    const bool ok = n > 0 && HyprlandIpc::TakeEventLines(&m_pending, buffer, int(n), [&](const QByteArray &line) {
        monitors |= line.startsWith("monitor") || line.startsWith("configreloaded>>");
    });
    if (!ok) {
        Lost();
        return;
    }
    if (monitors)
        Noticed();
}

bool HyprlandDisplayBackend::ParseMonitors(const QByteArray &json, std::vector<DisplayScreen> *screens,
                                           QString *described)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return false;
    screens->clear();
    described->clear();
    const QJsonArray monitors = document.array();
    for (const QJsonValue &value : monitors) {
        const QJsonObject monitor = value.toObject();
        if (monitor.value(QStringLiteral("disabled")).toBool())
            continue;
        const double scale = monitor.value(QStringLiteral("scale")).toDouble(1.0);
        const int transform = monitor.value(QStringLiteral("transform")).toInt();
        int width = int(std::lround(monitor.value(QStringLiteral("width")).toDouble() / (scale > 0 ? scale : 1.0)));
        int height = int(std::lround(monitor.value(QStringLiteral("height")).toDouble() / (scale > 0 ? scale : 1.0)));
        if (transform % 2 == 1) // 90 or 270 degrees, flipped or not
            std::swap(width, height);
        DisplayScreen screen;
        screen.geometry = QRect(monitor.value(QStringLiteral("x")).toInt(), monitor.value(QStringLiteral("y")).toInt(),
                                width, height);
        screen.name = monitor.value(QStringLiteral("name")).toString();
        screen.primary = screen.geometry.topLeft() == QPoint(0, 0);
        screens->push_back(screen);
        *described += QStringLiteral(" %1 %2,%3 %4x%5 scale %6 transform %7")
                          .arg(screen.name)
                          .arg(screen.geometry.x())
                          .arg(screen.geometry.y())
                          .arg(width)
                          .arg(height)
                          .arg(scale)
                          .arg(transform);
    }
    return true;
}

std::vector<DisplayScreen> HyprlandDisplayBackend::physicalScreens()
{
    QByteArray reply;
    std::vector<DisplayScreen> screens;
    QString described;
    if (!HyprlandIpc::Request(m_folder, "j/monitors", &reply) || !ParseMonitors(reply, &screens, &described)) {
        qInfo() << "Display layout: Hyprland gave no monitor list; the last layout stays";
        return m_last;
    }
    Keep(screens, described, "Hyprland");
    return screens;
}
