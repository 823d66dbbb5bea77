#include "platform/foreground/linux/desktopintegration.h"

#include "platform/foreground/linux/gnomeshellforegroundbackend.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace {

bool HasOwner(const QDBusConnection &bus, const QString &name)
{
    return bus.interface() && bus.interface()->isServiceRegistered(name).value();
}

bool TrayHostRegistered(const QDBusConnection &bus)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher") << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1
        && reply.arguments().at(0).value<QDBusVariant>().variant().toBool();
}

} // namespace

DesktopIntegration QueryDesktopIntegration(const QDBusConnection &bus, const QProcessEnvironment &env)
{
    DesktopIntegration status;
    status.wayland = env.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland")
        || !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    // Outside Wayland nothing here matters: no bus traffic.
    if (!status.wayland || !bus.isConnected())
        return status;
    status.gnomeShell = HasOwner(bus, QStringLiteral("org.gnome.Shell"));
    if (status.gnomeShell)
        status.gnomeShellVersion = GnomeShellForegroundBackend::ShellMajorVersion(bus);
    status.extensionUuid = GnomeShellForegroundBackend::ExtensionUuid(status.gnomeShellVersion);
    status.extensionRunning = HasOwner(bus, QLatin1String(GnomeShellForegroundBackend::kServiceName));
    status.kwin = HasOwner(bus, QStringLiteral("org.kde.KWin"));
    status.trayHost = TrayHostRegistered(bus);
    return status;
}

QStringList DesktopIntegrationLines(const DesktopIntegration &status)
{
    QStringList lines;
    if (!status.wayland)
        return lines;
    if (status.gnomeShell) {
        if (status.extensionRunning)
            lines << QStringLiteral("GNOME Shell extension %1: running").arg(status.extensionUuid);
        else
            lines << QStringLiteral("GNOME Shell extension %1: not enabled, so per-application profiles fall back to "
                                    "the common profile. Enable it with: gnome-extensions enable %1 (log out and in "
                                    "first if it was installed during this session)")
                         .arg(status.extensionUuid);
    }
    if (status.kwin)
        lines << QStringLiteral("KWin: the foreground script is loaded through KWin's scripting interface");
    if (status.trayHost)
        lines << QStringLiteral("Tray: a StatusNotifierItem host is present");
    else
        lines << QStringLiteral("Tray: no StatusNotifierItem host, so the tray icon shows nowhere; open the settings "
                                "window from the Inkora entry of the applications menu%1")
                     .arg(status.gnomeShell ? QStringLiteral(" (a tray needs an AppIndicator extension on GNOME)")
                                            : QString());
    return lines;
}
