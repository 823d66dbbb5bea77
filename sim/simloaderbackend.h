#pragma once
// A HID backend with the updatable tablet (product 0x0935, firmware "KPX2000A-A") and
// its firmware loader (product 0xFFF3), for the updater's tests and `FwFlasher
// --simulate`. The tablet restarts as the loader when its indexed string 200 is read;
// the loader restarts as the tablet, with the flashed image's firmware date, once its
// "update finished" reply has been read.
//
// Threads: every call may come from any thread; the state's lock guards which device
// is plugged in, and the monitors get their notices queued to their own threads in the
// order the devices came and went.

#include "platform/hid/hidbackend.h"
#include "sim/simloader.h"
#include "sim/simmodel.h"
#include "sim/simtablet.h"

#include <memory>

struct SimLoaderState;

class SimLoaderBackend : public HidBackend {
public:
    // The tablet's firmware date before the update; the default needs the update.
    explicit SimLoaderBackend(const QString &firmwareDate = QStringLiteral("20210826"));
    ~SimLoaderBackend() override;

    // Plugs the tablet in normal mode (nothing is plugged at first).
    std::shared_ptr<SimTablet> plugTablet();
    void unplugTablet();
    // Plugs the loader, as a tablet left in it by an interrupted update would show.
    std::shared_ptr<SimLoader> plugLoader();
    void unplugLoader();
    // The loader leaves (as if the cable were pulled) once it has taken this many Data
    // packets; -1 (the default) never.
    // The loader takes this long over each Data packet (0, the default: no wait), so
    // that a person can try Cancel or unplug while the image streams.
    void setDataPacketDelayMs(int ms);

    std::shared_ptr<SimTablet> tablet() const; // null while none is plugged
    std::shared_ptr<SimLoader> loader() const; // the current or last loader
    bool loaderPresent() const;
    static QString loaderPath();

    bool init() override;
    QVector<HidDeviceInfo> enumerate(uint16_t vendorId) override;
    std::unique_ptr<HidDevice> open(const QString &path) override;
    std::unique_ptr<HidMonitor> createMonitor(uint16_t vendorId) override;

private:
    std::shared_ptr<SimLoaderState> m_state;
};
