#pragma once
// X11 backend of the display facility. The physical screens are the RandR monitors
// (XRRGetMonitors): unlike the toolkit's screen list it also sees monitors that were set
// up by hand on one output (`xrandr --setmonitor`), and it gives the EDID bytes of each
// monitor's outputs for matching a screen to a DDC/CI display. The logical screens are
// the toolkit's (QGuiApplication::screens) when a GUI application object exists.
//
// Notices: RandR screen, CRTC, output and resource changes and root window
// reconfigurations (all a monitor set up by hand causes) on the X connection and the
// toolkit's screen added/removed/geometry signals, collected for kDebounceMs into one
// displayChanged.
//
// GUI thread only: the X connection is used from the thread that made the object.

#include "platform/display/displaybackend.h"

#include <QByteArray>
#include <QTimer>

#include <memory>

class QScreen;
class QSocketNotifier;
struct _XDisplay;

class XRandrDisplayBackend : public DisplayBackend {
    Q_OBJECT

public:
    static constexpr int kDebounceMs = 250;

    // Connects to displayName ($DISPLAY when empty). Without an X server or without
    // RandR 1.5 the backend says "not available" and lists the toolkit's screens.
    explicit XRandrDisplayBackend(const QByteArray &displayName = QByteArray(), QObject *parent = nullptr);
    ~XRandrDisplayBackend() override;

    bool isAvailable() const override { return m_display != nullptr; }
    std::vector<DisplayScreen> physicalScreens() override;
    std::vector<DisplayScreen> logicalScreens() override;

private:
    struct DisplayCloser {
        void operator()(_XDisplay *display) const;
    };

    void ReadXEvents();
    void WatchScreen(QScreen *screen);
    void ScheduleChange();
    std::vector<DisplayScreen> ToolkitScreens(bool devicePixels) const;

    std::unique_ptr<_XDisplay, DisplayCloser> m_display;
    int m_eventBase = 0;
    QSocketNotifier *m_notifier = nullptr; // child of this object
    QTimer m_debounce;
};

// Under XWayland a RandR notice is a cheap hint that the compositor's outputs changed:
// a compositor's layout backend keeps this and re-reads its own layout (through its
// debounce timer) when one comes. Null without XWayland or RandR.
std::unique_ptr<DisplayBackend> XWaylandLayoutNotices(const QByteArray &x11Display, QTimer *debounce);

// The monitor's EDID from the kernel's DRM connector of that output name, for matching a
// pen display to its DDC/CI monitor under a compositor's own layout; empty when there is
// none (headless, virtual).
QByteArray DrmConnectorEdid(const QString &name);
