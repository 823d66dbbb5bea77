#pragma once
// The display facility on Wayland compositors without an IPC of ours (KWin, GNOME
// Shell, other wlroots compositors): the compositor's own layout over a Wayland
// connection of our own. Each wl_output gives its name, make, model, transform, scale
// and current mode; its zxdg_output_v1 gives the logical position and logical size, in
// which scale and transform are already applied. XWayland's RandR view differs from
// this under fractional scaling, so it is not used for the pen.
//
// Both lists are that layout, as on sway. The pen is mapped in these coordinates; the
// virtual pen's absolute range spans their bounding box (slot 0 of the screen table),
// which is what these compositors map an absolute tablet device onto until the user
// ties the tablet to one monitor in the desktop's tablet settings (then the mapping must
// use "All Screens" of that monitor, or the user sets the tablet back to all monitors).
//
// Notices: an output added (a new global) or removed (global removed), and every done
// event (the compositor's end of a change: moved, scaled, turned, new mode), taken as
// CompositorDisplayBackend takes notices. When the compositor closes the connection or
// breaks the protocol the last layout stays, a log line says so, and the backend
// connects again once a second (a restarted compositor on the same socket).
//
// GUI thread only: the connection is read through a socket notifier of the thread that
// made the object, and every callback runs there.

#include "platform/display/linux/compositordisplaybackend.h"

#include <QByteArray>

#include <memory>

class QSocketNotifier;

class XdgOutputDisplayBackend : public CompositorDisplayBackend {
    Q_OBJECT

public:
    // Connects to displayName ($WAYLAND_DISPLAY when empty). Null, with a log line, when
    // there is no compositor or it does not offer zxdg_output_manager_v1.
    static std::unique_ptr<XdgOutputDisplayBackend> open(const QByteArray &displayName = QByteArray(),
                                                         QObject *parent = nullptr);
    ~XdgOutputDisplayBackend() override;

    bool isAvailable() const override { return m_connection != nullptr; }
    std::vector<DisplayScreen> physicalScreens() override { return m_last; }

    struct Connection; // the Wayland objects of one connection and what their events said

private:
    XdgOutputDisplayBackend(const QByteArray &displayName, QObject *parent);
    bool Connect() override;
    bool Connect(QString *why);
    void ReadEvents();
    void Lost();
    void Recheck() override;

    const QByteArray m_displayName;
    std::unique_ptr<Connection> m_connection; // null while the compositor is away
    QSocketNotifier *m_notifier = nullptr;    // child of this object, on the connection's fd
};
