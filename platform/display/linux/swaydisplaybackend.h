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
// output change of the compositor). Notices, the debounce and the reconnection once a
// second (a restarted sway on the same SWAYSOCK) are CompositorDisplayBackend's; when
// sway's IPC closes the last layout stays and a log line says so.
//
// GUI thread only.

#include "platform/display/linux/compositordisplaybackend.h"

#include <QByteArray>

#include <memory>

class QSocketNotifier;
class SwayIpc;

class SwayDisplayBackend : public CompositorDisplayBackend {
    Q_OBJECT

public:
    // Null when the socket does not answer. x11Display: XWayland's, for its notices
    // (none when empty).
    static std::unique_ptr<SwayDisplayBackend> open(const QByteArray &socketPath, const QByteArray &x11Display,
                                                    QObject *parent = nullptr);
    ~SwayDisplayBackend() override;

    bool isAvailable() const override;
    std::vector<DisplayScreen> physicalScreens() override;

    // The screens in a get_outputs answer; false when it is not one.
    static bool ParseOutputs(const QByteArray &json, std::vector<DisplayScreen> *screens, QString *described);

private:
    SwayDisplayBackend(const QByteArray &socketPath, QObject *parent);
    bool Connect() override;
    void ReadEvents();
    void Lost();

    const QByteArray m_socketPath;
    std::unique_ptr<SwayIpc> m_events;
    std::unique_ptr<SwayIpc> m_requests;
    QSocketNotifier *m_notifier = nullptr; // child of this object, on m_events
};
