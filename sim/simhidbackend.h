#pragma once
// The HID backend of the simulated devices: the whole program runs on it (tests,
// benchmarks, `Inkora --simulate`, the replay tool).
//
// Each simulated tablet shows two interfaces, as the real ones do: interface 0 (the
// kernel's mouse/keyboard interface, which never carries vendor reports) and the
// vendor interface its model row names.

#include "platform/hid/hidbackend.h"
#include "sim/simtablet.h"

#include <QVector>

#include <memory>
#include <mutex>

struct SimMonitorRegistry;

class SimHidBackend : public HidBackend {
public:
    SimHidBackend();
    ~SimHidBackend() override;

    // Plugs a simulated tablet in; started monitors report its interfaces as arrived.
    // Returns it for scripting.
    std::shared_ptr<SimTablet> plug(const SimModel &model);
    // Unplugs it: open handles read -1, it leaves the enumeration and started monitors
    // report its interfaces as removed.
    void unplug(const std::shared_ptr<SimTablet> &tablet);
    // The plugged tablets, in plug order.
    QVector<std::shared_ptr<SimTablet>> tablets() const;

    // The vendor interface text of a plugged tablet.
    static QString interfacePath(const SimTablet &tablet);
    static QString kernelInterfacePath(const SimTablet &tablet);

    bool init() override;
    QVector<HidDeviceInfo> enumerate(uint16_t vendorId) override;
    std::unique_ptr<HidDevice> open(const QString &path) override;
    std::unique_ptr<HidMonitor> createMonitor(uint16_t vendorId) override;

private:
    // The interfaces a tablet shows, as enumerate() lists them.
    static QVector<HidDeviceInfo> interfacesOf(const SimTablet &tablet);

    // Shared with the monitors, which may outlive the backend.
    std::shared_ptr<SimMonitorRegistry> m_monitors;
    mutable std::mutex m_lock; // guards m_tablets and m_nextInstance
    QVector<std::shared_ptr<SimTablet>> m_tablets;
    int m_nextInstance = 0;
};
