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

class SimHidBackend : public HidBackend {
public:
    SimHidBackend() = default;

    // Plugs a simulated tablet in. Returns it for scripting.
    std::shared_ptr<SimTablet> plug(const SimModel &model);
    // Unplugs it: open handles read -1 and it leaves the enumeration.
    void unplug(const std::shared_ptr<SimTablet> &tablet);

    // The vendor interface text of a plugged tablet.
    static QString interfacePath(const SimTablet &tablet);
    static QString kernelInterfacePath(const SimTablet &tablet);

    bool init() override;
    QVector<HidDeviceInfo> enumerate(uint16_t vendorId) override;
    std::unique_ptr<HidDevice> open(const QString &path) override;

private:
    mutable std::mutex m_lock; // guards m_tablets and m_nextInstance
    QVector<std::shared_ptr<SimTablet>> m_tablets;
    int m_nextInstance = 0;
};
