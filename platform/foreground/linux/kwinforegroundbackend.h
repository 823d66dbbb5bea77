#pragma once
// KDE Plasma (KWin) backend of the foreground facility. KWin tells no other client which
// window is active, so Inkora loads a KWin script (resources/wayland/kwin-foreground.js)
// through KWin's scripting interface (org.kde.KWin /Scripting loadScript, then run on the
// script's object); the script calls WindowActivated(pid, resourceClass) on Inkora's
// object /org/inkora/Foreground (interface org.inkora.Foreground1) at every activation.
//
// Reports are taken from KWin's own connection only. A report without a pid, with a pid
// whose process is gone, or with arguments that are not a pid and a class, publishes the
// empty record (the common profile) with a log line. KWin leaving the bus publishes the
// empty record too; when it comes back (a compositor restart) the script is loaded again.
// The script is unloaded when the backend ends.
//
// Lives on the thread that opens it (the GUI thread), whose event loop receives the
// reports; current() is any thread's.

#include "platform/foreground/publishedforeground.h"

#include <QDBusConnection>
#include <QObject>
#include <QTemporaryFile>

#include <memory>

class QDBusServiceWatcher;
class KWinReportObject;

class KWinForegroundBackend : public QObject, public PublishedForeground {
    Q_OBJECT

public:
    // Loads and runs the script in the KWin on `connection` (the session bus in the
    // program; tests pass a private bus). Null, with a log line, when KWin is not there
    // or refuses the script.
    static std::unique_ptr<KWinForegroundBackend>
    open(const QDBusConnection &connection = QDBusConnection::sessionBus());
    ~KWinForegroundBackend() override;

signals:
    // A new record was published.
    void changed();

private:
    friend class KWinReportObject;
    explicit KWinForegroundBackend(const QDBusConnection &connection);
    bool LoadScript();
    void UnloadScript();
    void OnReport(const QString &sender, bool valid, qint64 pid, const QString &windowClass);
    void OnOwnerChanged(const QString &newOwner);
    void Publish(const ForegroundWindow &window);

    QDBusConnection m_connection;
    QString m_kwinOwner;                        // unique name of KWin's connection; empty while it is away
    std::unique_ptr<KWinReportObject> m_object; // the exported object (D-Bus side)
    QDBusServiceWatcher *m_watcher = nullptr;   // child of this
    QTemporaryFile m_script;                    // the script as KWin reads it, our bus name filled in
};
