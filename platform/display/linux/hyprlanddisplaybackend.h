#pragma once
// The display facility on Hyprland: the compositor's layout from its request socket
// ("j/monitors": each monitor's logical position, its mode in pixels, its scale and
// transform; the logical size is the mode divided by the scale, turned with the
// transform). Both lists are that layout (XWayland shows the monitors at the same
// logical positions). Hyprland maps an absolute tablet device onto the bounding box of
// the layout unless its config gives the tablet an "output"; the virtual pen's range
// spans that box (slot 0 of the screen table).
//
// Notices: the monitor events of the event socket and XWayland's RandR notices, as
// CompositorDisplayBackend takes them. The event socket closing or sending what is not
// the protocol keeps the last layout and reconnects once a second.
//
// GUI thread only.

#include "platform/display/linux/compositordisplaybackend.h"

#include <QByteArray>

#include <memory>

class QSocketNotifier;

class HyprlandDisplayBackend : public CompositorDisplayBackend {
    Q_OBJECT

public:
    // Null when the sockets do not answer. x11Display: XWayland's, for its notices.
    static std::unique_ptr<HyprlandDisplayBackend> open(const QByteArray &runtimeDir, const QByteArray &signature,
                                                        const QByteArray &x11Display, QObject *parent = nullptr);
    ~HyprlandDisplayBackend() override;

    bool isAvailable() const override { return m_events >= 0; }
    std::vector<DisplayScreen> physicalScreens() override;

    // The screens of a "j/monitors" answer; false when it is not one.
    static bool ParseMonitors(const QByteArray &json, std::vector<DisplayScreen> *screens, QString *described);

private:
    HyprlandDisplayBackend(const QByteArray &folder, QObject *parent);
    bool Connect() override;
    void ReadEvents();
    void Lost();

    const QByteArray m_folder;
    int m_events = -1;
    QByteArray m_pending;                  // event bytes short of a line end
    QSocketNotifier *m_notifier = nullptr; // child of this object, on m_events
};
