#include "platform/foreground/linux/gnomeshellforegroundbackend.h"

#include "platform/foreground/linux/foregroundsource.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDebug>
#include <QVariantMap>

namespace {

const char kSource[] = "GNOME Shell";
const char kObjectPath[] = "/org/inkora/Foreground";
const char kInterface[] = "org.inkora.ShellForeground1";
const char kProperties[] = "org.freedesktop.DBus.Properties";

bool IsPid(const QVariant &value)
{
    return value.userType() == QMetaType::Int;
}

} // namespace

const char GnomeShellForegroundBackend::kServiceName[] = "org.inkora.ShellForeground";

QString GnomeShellForegroundBackend::ExtensionUuid(int shellMajorVersion)
{
    return shellMajorVersion > 0 && shellMajorVersion < 45 ? QStringLiteral("inkora-foreground-43@inkora")
                                                           : QStringLiteral("inkora-foreground@inkora");
}

int GnomeShellForegroundBackend::ShellMajorVersion(const QDBusConnection &connection)
{
    QDBusMessage get =
        QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                                       QLatin1String(kProperties), QStringLiteral("Get"));
    get << QStringLiteral("org.gnome.Shell") << QStringLiteral("ShellVersion");
    const QDBusMessage reply = connection.call(get, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return 0;
    const QString version = reply.arguments().at(0).value<QDBusVariant>().variant().toString(); // "43.9", "46.0"
    return version.section(QLatin1Char('.'), 0, 0).toInt();
}

std::unique_ptr<GnomeShellForegroundBackend> GnomeShellForegroundBackend::open(const QDBusConnection &connection)
{
    if (!connection.isConnected() || !connection.interface()) {
        qWarning() << "Foreground (GNOME Shell): no session bus";
        return nullptr;
    }
    std::unique_ptr<GnomeShellForegroundBackend> backend(new GnomeShellForegroundBackend(connection));
    // Qt follows the name's owner: only the extension's signals arrive here.
    if (!backend->m_connection.connect(QLatin1String(kServiceName), QLatin1String(kObjectPath),
                                       QLatin1String(kInterface), QStringLiteral("FocusChanged"), backend.get(),
                                       SLOT(OnFocusChanged(QDBusMessage)))) {
        qWarning() << "Foreground (GNOME Shell): cannot listen to the extension";
        return nullptr;
    }
    backend->OnOwnerChanged(connection.interface()->serviceOwner(QLatin1String(kServiceName)).value());
    return backend;
}

GnomeShellForegroundBackend::GnomeShellForegroundBackend(const QDBusConnection &connection) : m_connection(connection)
{
    auto *watcher = new QDBusServiceWatcher(QLatin1String(kServiceName), m_connection,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { OnOwnerChanged(newOwner); });
}

void GnomeShellForegroundBackend::OnOwnerChanged(const QString &newOwner)
{
    m_present = !newOwner.isEmpty();
    // What the old owner said is over, whatever comes next.
    Publish(ForegroundWindow{});
    if (!m_present) {
        const QString uuid = ExtensionUuid(ShellMajorVersion(m_connection));
        qWarning().noquote() << QStringLiteral("Foreground (GNOME Shell): the extension %1 is not running; the common "
                                               "profile applies. Enable it with: gnome-extensions enable %1")
                                    .arg(uuid);
        return;
    }
    qInfo() << "Foreground (GNOME Shell): the extension is running";
    ReadProperties();
}

void GnomeShellForegroundBackend::ReadProperties()
{
    QDBusMessage getAll = QDBusMessage::createMethodCall(QLatin1String(kServiceName), QLatin1String(kObjectPath),
                                                         QLatin1String(kProperties), QStringLiteral("GetAll"));
    getAll << QLatin1String(kInterface);
    auto *call = new QDBusPendingCallWatcher(m_connection.asyncCall(getAll), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &GnomeShellForegroundBackend::OnProperties);
}

void GnomeShellForegroundBackend::OnProperties(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    QDBusPendingReply<QVariantMap> reply = *call;
    if (!m_present)
        return; // the extension went away meanwhile: the empty record stands
    const QVariantMap properties = reply.isValid() ? reply.value() : QVariantMap();
    const QVariant pid = properties.value(QStringLiteral("Pid"));
    const QVariant windowClass = properties.value(QStringLiteral("WindowClass"));
    if (!IsPid(pid) || windowClass.userType() != QMetaType::QString) {
        qWarning() << "Foreground (GNOME Shell): the extension's properties are not a pid and a class; the common "
                      "profile applies";
        Publish(ForegroundWindow{});
        return;
    }
    Publish(ForegroundOfProcess(pid.toInt(), windowClass.toString(), kSource));
}

void GnomeShellForegroundBackend::OnFocusChanged(const QDBusMessage &message)
{
    const QVariantList args = message.arguments();
    if (args.size() != 2 || !IsPid(args.at(0)) || args.at(1).userType() != QMetaType::QString) {
        qWarning().noquote() << "Foreground (GNOME Shell): FocusChanged came with" << message.signature()
                             << "instead of a pid and a class; the common profile applies";
        Publish(ForegroundWindow{});
        return;
    }
    Publish(ForegroundOfProcess(args.at(0).toInt(), args.at(1).toString(), kSource));
}

void GnomeShellForegroundBackend::Publish(const ForegroundWindow &window)
{
    publish(window);
    emit changed();
}
