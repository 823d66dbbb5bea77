#include "platform/power/linux/logindpowermonitor.h"

#include <QDBusError>
#include <QDebug>

LogindPowerMonitor::LogindPowerMonitor(const QDBusConnection &connection, QObject *parent)
    : PowerMonitor(parent), m_connection(connection)
{
    if (!m_connection.isConnected()) {
        qWarning() << "power: no system bus, sleep notices are not available";
        return;
    }
    m_available = m_connection.connect(QStringLiteral("org.freedesktop.login1"),
                                       QStringLiteral("/org/freedesktop/login1"),
                                       QStringLiteral("org.freedesktop.login1.Manager"),
                                       QStringLiteral("PrepareForSleep"), this,
                                       SLOT(onPrepareForSleep(bool)));
    if (!m_available)
        qWarning() << "power: cannot listen to logind:" << m_connection.lastError().message();
}

void LogindPowerMonitor::onPrepareForSleep(bool start)
{
    if (start)
        emit suspending();
    else
        emit resumed();
}
