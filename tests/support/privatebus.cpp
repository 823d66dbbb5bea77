#include "privatebus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QUuid>

namespace {
// dbusmock needs the interpreter with the dbus modules (the one on PATH may differ).
const char kPython[] = "/usr/bin/python3";
}

PrivateBus::PrivateBus()
{
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/dbus-daemon"))) {
        m_reason = QStringLiteral("dbus-daemon is not installed");
        return;
    }
    m_daemon.start(QStringLiteral("/usr/bin/dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(10000)) {
        m_reason = QStringLiteral("dbus-daemon did not start");
        return;
    }
    QDeadlineTimer deadline(10000);
    while (!m_daemon.canReadLine() && !deadline.hasExpired())
        m_daemon.waitForReadyRead(100);
    m_address = QString::fromLatin1(m_daemon.readLine().trimmed());
    if (m_address.isEmpty()) {
        m_reason = QStringLiteral("dbus-daemon printed no address");
        return;
    }
    m_connectionName = QStringLiteral("test-bus-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QDBusConnection::connectToBus(m_address, m_connectionName);
}

PrivateBus::~PrivateBus()
{
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
    for (auto &mock : m_mocks) {
        mock->terminate();
        if (!mock->waitForFinished(5000))
            mock->kill();
        mock->waitForFinished(5000);
    }
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

QDBusConnection PrivateBus::connection() const
{
    return QDBusConnection(m_connectionName);
}

bool PrivateBus::startTemplate(const QString &name, const QString &service)
{
    if (!isRunning())
        return false;
    auto mock = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // System-bus templates (logind, BlueZ) connect to the "system" bus: ours too.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
    mock->setProcessEnvironment(env);
    mock->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock->start(QString::fromLatin1(kPython),
                {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"), name});
    if (!mock->waitForStarted(10000)) {
        m_reason = QStringLiteral("python3 did not start");
        return false;
    }
    QDeadlineTimer deadline(20000);
    QDBusConnectionInterface *bus = connection().interface();
    while (!deadline.hasExpired()) {
        if (bus && bus->isServiceRegistered(service).value()) {
            m_mocks.push_back(std::move(mock));
            return true;
        }
        // Also notices the mock exiting early (waitForFinished updates its state).
        if (mock->waitForFinished(20) || mock->state() == QProcess::NotRunning) {
            m_reason = QStringLiteral("dbusmock exited (is python3-dbusmock installed?)");
            return false;
        }
    }
    m_reason = QStringLiteral("dbusmock did not claim ") + service;
    mock->kill();
    mock->waitForFinished(5000);
    return false;
}

bool PrivateBus::emitSignal(const QString &service, const QString &path, const QString &interface,
                            const QString &signal, const QString &signature, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Mock"),
                                                       QStringLiteral("EmitSignal"));
    QVariantList wrapped;
    for (const QVariant &a : args)
        wrapped << QVariant::fromValue(QDBusVariant(a));
    call << interface << signal << signature << QVariant::fromValue(wrapped);
    const QDBusMessage reply = connection().call(call, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        m_reason = reply.errorMessage();
        return false;
    }
    return true;
}
