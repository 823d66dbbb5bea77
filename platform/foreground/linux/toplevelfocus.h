#pragma once
// Which toplevel is active, from the foreign toplevel protocol's events. Each handle's
// app id and states arrive as separate events and take effect together at its done
// event; a handle that closes takes its activation with it. Kept apart from libwayland
// so the rules can be checked without a compositor.
//
// Not thread-safe: one owner (the foreground watcher thread).

#include <QHash>
#include <QString>

#include <cstdint>

class ToplevelFocus {
public:
    using Handle = uintptr_t;

    void AppId(Handle handle, const QString &appId);
    void Activated(Handle handle, bool activated);
    // True when the active window (its app id, or none) changed with this done.
    bool Done(Handle handle);
    // True when the closed handle was the active one.
    bool Closed(Handle handle);

    // Whether a toplevel is active, and its app id.
    bool hasActive() const { return m_active != 0; }
    QString activeAppId() const;

private:
    struct Toplevel {
        QString appId, pendingAppId;
        bool activated = false, pendingActivated = false;
    };
    QHash<Handle, Toplevel> m_toplevels;
    Handle m_active = 0;
    QString m_reportedAppId; // the app id last answered for m_active
};
