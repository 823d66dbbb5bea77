#include "platform/display/linux/compositordisplaybackend.h"

#include "platform/display/linux/xrandrdisplaybackend.h"

#include <QDebug>

CompositorDisplayBackend::CompositorDisplayBackend(const char *backLine, QObject *parent)
    : DisplayBackend(parent), m_backLine(backLine)
{
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(kDebounceMs);
    connect(&m_debounce, &QTimer::timeout, this, &CompositorDisplayBackend::Recheck);
    m_reconnect.setInterval(kReconnectMs);
    connect(&m_reconnect, &QTimer::timeout, this, [this] {
        if (!Connect())
            return;
        m_reconnect.stop();
        qInfo() << m_backLine;
        Recheck();
    });
}

CompositorDisplayBackend::~CompositorDisplayBackend() = default;

void CompositorDisplayBackend::WatchXWayland(const QByteArray &x11Display)
{
    m_x11Notices = XWaylandLayoutNotices(x11Display, &m_debounce);
}

bool CompositorDisplayBackend::Keep(const std::vector<DisplayScreen> &screens, const QString &described,
                                    const char *source)
{
    m_last = screens;
    if (described == m_lastDescribed)
        return false;
    qInfo().noquote() << QStringLiteral("Display layout from %1:").arg(QLatin1String(source)) << described.trimmed();
    m_lastDescribed = described;
    return true;
}

void CompositorDisplayBackend::Recheck()
{
    const QString before = m_lastDescribed;
    physicalScreens();
    if (m_lastDescribed != before)
        emit displayChanged();
}
