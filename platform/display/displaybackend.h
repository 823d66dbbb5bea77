#pragma once
// The display facility: the screens of the desktop in physical pixels (what the pen is
// mapped onto), the toolkit's logical screens (what windows are placed by) and a notice
// when either changes.
//
// GUI thread: the backends live on it and emit displayChanged there.

#include <QByteArray>
#include <QObject>
#include <QRect>
#include <QString>

#include <vector>

struct DisplayScreen {
    QRect geometry;   // desktop pixels; the desktop's origin is the primary screen's corner
    QString name;     // monitor or output name ("DP-1"); may be empty
    bool primary = false; // the system's own primary flag (the screen table uses (0, 0))
    QByteArray edid;  // EDID bytes of the monitor's output, empty when it has none
};

class DisplayBackend : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~DisplayBackend() override = default;

    // False when the physical source (X11 RandR) cannot be reached; the physical list
    // is then the toolkit's screens scaled to device pixels.
    virtual bool isAvailable() const = 0;
    // Screens in the order the system lists them.
    virtual std::vector<DisplayScreen> physicalScreens() = 0;
    virtual std::vector<DisplayScreen> logicalScreens() = 0;

signals:
    // The screens changed (added, removed, moved, resized). Several changes in a short
    // burst give one notice.
    void displayChanged();
};

// A fixed list of screens that tests set and change by hand.
class FixedDisplayBackend : public DisplayBackend {
    Q_OBJECT

public:
    explicit FixedDisplayBackend(std::vector<DisplayScreen> physical = {},
                                 std::vector<DisplayScreen> logical = {}, QObject *parent = nullptr);

    bool isAvailable() const override { return true; }
    std::vector<DisplayScreen> physicalScreens() override { return m_physical; }
    // The physical list when no logical list was given.
    std::vector<DisplayScreen> logicalScreens() override;

    // Replaces the lists and emits displayChanged.
    void setScreens(std::vector<DisplayScreen> physical, std::vector<DisplayScreen> logical = {});

    // Screens from rectangles, in the given order.
    static std::vector<DisplayScreen> FromRects(const std::vector<QRect> &rects);

private:
    std::vector<DisplayScreen> m_physical;
    std::vector<DisplayScreen> m_logical;
};
