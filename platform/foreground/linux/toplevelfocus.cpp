#include "platform/foreground/linux/toplevelfocus.h"

void ToplevelFocus::AppId(Handle handle, const QString &appId)
{
    m_toplevels[handle].pendingAppId = appId;
}

void ToplevelFocus::Activated(Handle handle, bool activated)
{
    m_toplevels[handle].pendingActivated = activated;
}

bool ToplevelFocus::Done(Handle handle)
{
    Toplevel &t = m_toplevels[handle];
    t.appId = t.pendingAppId;
    t.activated = t.pendingActivated;
    const Handle before = m_active;
    const QString beforeId = m_reportedAppId;
    if (t.activated) {
        // One seat, one active window: a compositor activating the next one before it
        // deactivates the last is taken at its word.
        m_active = handle;
    } else if (m_active == handle) {
        m_active = 0;
    }
    m_reportedAppId = m_active ? m_toplevels.value(m_active).appId : QString();
    return m_active != before || m_reportedAppId != beforeId;
}

bool ToplevelFocus::Closed(Handle handle)
{
    m_toplevels.remove(handle);
    if (m_active != handle)
        return false;
    m_active = 0;
    m_reportedAppId.clear();
    return true;
}

QString ToplevelFocus::activeAppId() const
{
    return m_reportedAppId;
}
