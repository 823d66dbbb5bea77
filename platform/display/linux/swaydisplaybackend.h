#pragma once
// The display facility on sway: the compositor's own layout from its IPC (get_outputs:
// each active output's logical rectangle, which already has the output's scale and
// transform applied). Both lists are that layout: XWayland, where our windows live,
// shows the outputs at the same logical positions. The pen is mapped in these
// coordinates; the virtual pen's absolute range spans their bounding box (slot 0 of
// the screen table), which is what sway maps an absolute tablet device onto unless
// the user's config maps it to one output ("input <device> map_to_output"; then the
// mapping must use "All Screens" of the one output, or the user removes that line).
//
// Notices: sway's output events where sway has them (an output added, removed, moved,
// scaled or turned); sway 1.7 has none, so also its workspace events (an output coming
// or going moves workspaces) and XWayland's RandR notices (XWayland follows every
// output change of the compositor). Each notice re-reads the layout after
// kDebounceMs, and displayChanged comes only when the layout differs. When sway's IPC closes the last
// layout stays, a log line says so, and the backend reconnects once a second (a
// restarted sway on the same SWAYSOCK), with a displayChanged once it is back.
//
// GUI thread only.

#include "platform/display/displaybackend.h"

#include <QByteArray>
#include <QTimer>

#include <memory>

class QSocketNotifier;
class SwayIpc;

class SwayDisplayBackend : public DisplayBackend {
    Q_OBJECT

public:
    static constexpr int kDebounceMs = 250;

    // Null when the socket does not answer. x11Display: XWayland's, for its notices
    // (none when empty).
    static std::unique_ptr<SwayDisplayBackend> open(const QByteArray &socketPath, const QByteArray &x11Display,
                                                    QObject *parent = nullptr);
    ~SwayDisplayBackend() override;

    bool isAvailable() const override;
    std::vector<DisplayScreen> physicalScreens() override;
    std::vector<DisplayScreen> logicalScreens() override { return physicalScreens(); }

    // The screens in a get_outputs answer; false when it is not one.
    static bool ParseOutputs(const QByteArray &json, std::vector<DisplayScreen> *screens, QString *described);

private:
    SwayDisplayBackend(const QByteArray &socketPath, QObject *parent);
    bool Connect();
    void ReadEvents();
    void Lost();
    void Recheck();

    const QByteArray m_socketPath;
    std::unique_ptr<SwayIpc> m_events;
    std::unique_ptr<SwayIpc> m_requests;
    QSocketNotifier *m_notifier = nullptr; // child of this object, on m_events
    std::vector<DisplayScreen> m_last;     // the last layout read
    QString m_lastDescribed;
    QTimer m_debounce;
    QTimer m_reconnect;
    std::unique_ptr<DisplayBackend> m_x11Notices; // XWayland's RandR, for its notices only
};
