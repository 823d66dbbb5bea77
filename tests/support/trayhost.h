#pragma once
// A system tray of the XEmbed kind in a test's own X server, for programs whose tray
// icon must be there (Qt's tray without a session bus docks into such a tray). It owns
// the "_NET_SYSTEM_TRAY_S0" selection, announces itself to the root window (MANAGER)
// and docks every icon window that asks (SYSTEM_TRAY_REQUEST_DOCK) into a strip of
// 24 x 24 cells at a known place, so a test can click an icon where it is.
//
// It runs on a thread of its own with an X connection of its own; the accessors may be
// called from any thread. Stopped when the object goes.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class TrayHost {
public:
    // Where the strip sits on the root window, and the size of an icon's cell.
    static constexpr int kLeft = 1700;
    static constexpr int kTop = 0;
    static constexpr int kCell = 24;
    static constexpr int kCells = 8;

    TrayHost() = default;
    ~TrayHost();
    TrayHost(const TrayHost &) = delete;
    TrayHost &operator=(const TrayHost &) = delete;

    // False with *why when the display cannot be opened or another tray owns the
    // selection.
    bool Start(const QByteArray &display, QString *why);

    // Icons docked now.
    int iconCount() const;
    // Root coordinates of the centre of the first docked icon; false while none is.
    bool firstIconCentre(int *x, int *y) const;

private:
    void Run();
    void Dock(unsigned long icon);
    void Undock(unsigned long icon);

    void *m_display = nullptr;    // Display *, used by the thread only once started
    unsigned long m_window = 0;   // the strip
    unsigned long m_opcode = 0;   // atoms
    unsigned long m_xembed = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;   // guards m_icons
    std::vector<unsigned long> m_icons; // docked icon windows, one per cell in this order
};
