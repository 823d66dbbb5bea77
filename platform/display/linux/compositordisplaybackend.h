#pragma once
// What the display backends that follow a compositor's own layout share (sway's and
// Hyprland's IPC, xdg-output). A notice, the compositor's or XWayland's, re-reads the
// layout once notices stop for kDebounceMs, and displayChanged comes only when the
// layout's description differs. When the connection is lost the last layout stays and
// the backend connects again once a second, reading the layout again once it is back.
//
// GUI thread only.

#include "platform/display/displaybackend.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class CompositorDisplayBackend : public DisplayBackend {
    Q_OBJECT

public:
    static constexpr int kDebounceMs = 250;
    static constexpr int kReconnectMs = 1000;

    ~CompositorDisplayBackend() override;

    std::vector<DisplayScreen> logicalScreens() override { return physicalScreens(); }

protected:
    // backLine: the log line once the compositor answers again.
    CompositorDisplayBackend(const char *backLine, QObject *parent);

    // Connects (again); false while the compositor does not answer.
    virtual bool Connect() = 0;
    // Reads the layout again after notices or a reconnection: by default through
    // physicalScreens(), with displayChanged when the description it kept differs.
    virtual void Recheck();
    // XWayland's RandR notices re-read the layout too (none when x11Display is empty).
    void WatchXWayland(const QByteArray &x11Display);
    // A notice of a change.
    void Noticed() { m_debounce.start(); }
    // The connection is gone: the last layout stays; connect again once a second (the
    // re-read after it takes in any notice still waiting).
    void ReconnectLater()
    {
        m_debounce.stop();
        m_reconnect.start();
    }
    // A layout read: kept, and logged ("Display layout from <source>: ...") when its
    // description differs from the last one; true then.
    bool Keep(const std::vector<DisplayScreen> &screens, const QString &described, const char *source);

    std::vector<DisplayScreen> m_last; // the last layout read

private:
    const char *const m_backLine;
    QString m_lastDescribed;
    QTimer m_debounce;
    QTimer m_reconnect;
    std::unique_ptr<DisplayBackend> m_x11Notices; // XWayland's RandR, for its notices only
};
