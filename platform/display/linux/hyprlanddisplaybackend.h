#pragma once
// The display facility on Hyprland: the compositor's layout from its request socket
// ("j/monitors": each monitor's logical position, its mode in pixels, its scale and
// transform; the logical size is the mode divided by the scale, turned with the
// transform). Both lists are that layout (XWayland shows the monitors at the same
// logical positions). Hyprland maps an absolute tablet device onto the bounding box of
// the layout unless its config gives the tablet an "output"; the virtual pen's range
// spans that box (slot 0 of the screen table).
//
// Notices: the monitor events of the event socket and XWayland's RandR notices re-read
// the layout after kDebounceMs; displayChanged only when it differs. The event socket
// closing or sending what is not the protocol keeps the last layout and reconnects once
// a second.
//
// GUI thread only.

#include "platform/display/displaybackend.h"

#include <QByteArray>
#include <QTimer>

#include <memory>

class QSocketNotifier;

class HyprlandDisplayBackend : public DisplayBackend {
    Q_OBJECT

public:
    static constexpr int kDebounceMs = 250;

    // Null when the sockets do not answer. x11Display: XWayland's, for its notices.
    static std::unique_ptr<HyprlandDisplayBackend> open(const QByteArray &runtimeDir, const QByteArray &signature,
                                                        const QByteArray &x11Display, QObject *parent = nullptr);
    ~HyprlandDisplayBackend() override;

    bool isAvailable() const override { return m_events >= 0; }
    std::vector<DisplayScreen> physicalScreens() override;
    std::vector<DisplayScreen> logicalScreens() override { return physicalScreens(); }

    // The screens of a "j/monitors" answer; false when it is not one.
    static bool ParseMonitors(const QByteArray &json, std::vector<DisplayScreen> *screens, QString *described);

private:
    HyprlandDisplayBackend(const QByteArray &folder, QObject *parent);
    bool Connect();
    void ReadEvents();
    void Lost();
    void Recheck();

    const QByteArray m_folder;
    int m_events = -1;
    QByteArray m_pending;                  // event bytes short of a line end
    QSocketNotifier *m_notifier = nullptr; // child of this object, on m_events
    std::vector<DisplayScreen> m_last;
    QString m_lastDescribed;
    QTimer m_debounce;
    QTimer m_reconnect;
    std::unique_ptr<DisplayBackend> m_x11Notices; // XWayland's RandR, for its notices only
};
