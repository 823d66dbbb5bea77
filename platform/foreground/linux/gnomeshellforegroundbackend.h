#pragma once
// GNOME Shell backend of the foreground facility. GNOME Shell tells no client which window
// has the focus, so we ship a shell extension (resources/wayland/gnome-shell) that owns
// org.inkora.ShellForeground and exports /org/inkora/Foreground, interface
// org.inkora.ShellForeground1: properties Pid and WindowClass, signal
// FocusChanged(i pid, s windowClass). This backend reads the properties when the
// extension appears and follows the signal after.
//
// While the extension is not on the bus (not installed, not enabled, the shell
// restarting) the empty record is published: the common profile, with a log line saying
// how to enable it. A focus without a pid, an ended process or a signal with other
// arguments publish the empty record too.
//
// Lives on the thread that opens it (the GUI thread), whose event loop receives the
// signals; current() is any thread's.

#include "platform/foreground/publishedforeground.h"

#include <QDBusConnection>
#include <QObject>

#include <memory>

class QDBusMessage;
class QDBusPendingCallWatcher;

class GnomeShellForegroundBackend : public QObject, public PublishedForeground {
    Q_OBJECT

public:
    // The extension's bus name.
    static const char kServiceName[];
    // The extension's UUID for a GNOME Shell of this major version (43 and 44 take the
    // form without ES modules).
    static QString ExtensionUuid(int shellMajorVersion);
    // The running GNOME Shell's major version (org.gnome.Shell ShellVersion); 0 when no
    // GNOME Shell is on the bus.
    static int ShellMajorVersion(const QDBusConnection &connection);

    // Follows the extension on `connection` (the session bus in the program; tests pass a
    // private bus). Null only without a bus; a missing extension is waited for.
    static std::unique_ptr<GnomeShellForegroundBackend>
    open(const QDBusConnection &connection = QDBusConnection::sessionBus());

    // Whether the extension is on the bus now.
    bool extensionPresent() const { return m_present; }

signals:
    // A new record was published.
    void changed();

private slots:
    void OnFocusChanged(const QDBusMessage &message);

private:
    explicit GnomeShellForegroundBackend(const QDBusConnection &connection);
    void OnOwnerChanged(const QString &newOwner);
    void ReadProperties();
    void OnProperties(QDBusPendingCallWatcher *call);
    void Publish(const ForegroundWindow &window);

    QDBusConnection m_connection;
    bool m_present = false;
};
