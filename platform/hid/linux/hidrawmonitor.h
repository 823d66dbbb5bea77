#pragma once
// Arrival and removal of hidraw nodes through a udev monitor, delivered on the thread
// that owns the monitor (a socket notifier on the udev socket).

#include "platform/hid/hidmonitor.h"
#include "platform/hid/linux/hidrawfacts.h"
#include "platform/hid/linux/hidrawsystem.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// The interface texts of the nodes present, by hidraw syspath. At "remove" the udev tree
// of the node is gone, so the texts its removal reports are those kept at "add" (or at
// start, for the nodes that were already there).
class HidrawPresence {
public:
    explicit HidrawPresence(uint16_t vendorId) : m_vendorId(vendorId) {}
    // The nodes present when watching starts; reports nothing.
    void reset(const QVector<HidrawFacts> &present);
    // A node arrived: its interfaces that were not known yet.
    QVector<HidDeviceInfo> add(const HidrawFacts &facts);
    // A node left: the interfaces kept for it (none when it was never seen or is not
    // of the vendor).
    QVector<HidDeviceInfo> remove(const QString &syspath);

private:
    uint16_t m_vendorId;
    QHash<QString, QVector<HidDeviceInfo>> m_bySyspath;
};

class UdevHidMonitor : public HidMonitor {
    Q_OBJECT

public:
    // system: where the nodes present at start are read from.
    UdevHidMonitor(std::shared_ptr<HidrawSystem> system, uint16_t vendorId, QObject *parent = nullptr);
    ~UdevHidMonitor() override;

    bool start() override;

private:
    void onReadable();

    std::shared_ptr<HidrawSystem> m_system;
    HidrawPresence m_presence;
    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr; // child of this
};
