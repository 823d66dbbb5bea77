#pragma once
// The Bluetooth LE form of a simulated tablet.
//
// A paired LE tablet shows up twice on a Linux desktop: as a HID node on bus 0x0005
// (which discovery finds by its "0228bd_pid" interface text) and as a BlueZ device with
// the vendor GATT service (which libInkBLE talks to). SimBleTablet plays the GATT side on
// the mock BlueZ of the tests (tests/ble/mockbluez.py, on the system bus this process
// sees): it adds its device there, takes every write to the write characteristic as an
// output report of the simulated tablet and notifies the tablet's replies and scripted
// reports. SimBleHidBackend adds the HID nodes to another HID backend.
//
// Threads: a thread of its own receives the writes (a Qt event loop for the bus
// signals); another one moves the tablet's reports to the bus. Both end with the object.

#include "platform/hid/hidbackend.h"
#include "sim/simmodel.h"
#include "sim/simtablet.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class QThread;
class SimBleWriteReceiver;
class SimBluez;

namespace SimBleModels {
// The simulated Bluetooth models (product ids of the Bluetooth model table).
const QVector<SimModel> &all();
const SimModel *find(uint16_t productId);
} // namespace SimBleModels

class SimBleTablet {
public:
    SimBleTablet(const SimModel &model, const QString &friendlyName, const QString &address, int instance = 0);
    ~SimBleTablet();
    SimBleTablet(const SimBleTablet &) = delete;
    SimBleTablet &operator=(const SimBleTablet &) = delete;

    // Adds the device to the mock BlueZ on the system bus and starts answering. False
    // (with reason()) when no mock BlueZ is there.
    bool attach();
    QString reason() const { return m_reason; }

    SimTablet &tablet() { return *m_tablet; }
    const std::shared_ptr<SimTablet> &tabletPtr() const { return m_tablet; }
    QString friendlyName() const { return m_name; }
    QString address() const { return m_address; }
    QString devicePath() const { return m_devicePath; }
    // Write (0x0001), notify B (0x0002), notify A (0x0003).
    QStringList characteristics() const { return m_characteristics; }

    // The HID node of this tablet, as the system's interface list shows it.
    HidDeviceInfo interfaceInfo() const;

    // The tablet is switched off (false) or on again (true).
    bool setConnected(bool connected);

    // The next `count` requests for attribute `attribute` (0x80 0x06 id) get lost on the
    // way, as over a weak link; later ones are answered.
    void loseAttributeRequests(uint8_t attribute, int count);

private:
    void Pump();

    std::shared_ptr<SimTablet> m_tablet;
    const QString m_name;
    const QString m_address;
    QString m_reason;
    QString m_connectionName;
    QString m_devicePath;
    QStringList m_characteristics;

    QThread *m_receiverThread = nullptr;
    SimBleWriteReceiver *m_receiver = nullptr; // lives on m_receiverThread
    std::thread m_pump;
    std::atomic<bool> m_stop{false};
};

// Another HID backend plus the HID nodes of Bluetooth tablets. The nodes are listed,
// never opened (the tablets are reached through libInkBLE).
class SimBleHidBackend : public HidBackend {
public:
    explicit SimBleHidBackend(std::unique_ptr<HidBackend> inner);
    ~SimBleHidBackend() override;

    // Creates a simulated Bluetooth tablet, attaches it to the mock BlueZ and lists its
    // HID node. Null (logged) when the mock BlueZ is not there.
    std::shared_ptr<SimBleTablet> plug(const SimModel &model, const QString &friendlyName, const QString &address);
    void unplug(const std::shared_ptr<SimBleTablet> &tablet);
    // Lists the HID node of a tablet that is not attached to any BlueZ: for the support
    // tool, which shows the nodes and never talks to the tablet.
    std::shared_ptr<SimBleTablet> plugListedOnly(const SimModel &model, const QString &friendlyName,
                                                 const QString &address);
    // The tablets whose nodes are listed, in the order they came.
    QVector<std::shared_ptr<SimBleTablet>> tablets();
    HidBackend *inner() const { return m_inner.get(); }

    bool init() override;
    QVector<HidDeviceInfo> enumerate(uint16_t vendorId) override;
    std::unique_ptr<HidDevice> open(const QString &path) override;
    std::unique_ptr<HidMonitor> createMonitor(uint16_t vendorId) override;

    // Keeps the BlueZ stand-in the tablets are attached to until they are gone.
    void keepBluez(std::unique_ptr<SimBluez> bluez);

private:
    std::unique_ptr<HidBackend> m_inner;
    std::unique_ptr<SimBluez> m_bluez; // destroyed after the tablets below
    std::mutex m_lock; // guards m_tablets
    QVector<std::shared_ptr<SimBleTablet>> m_tablets;
};

// `Inkora --simulate[=LIST]`: backend plus these Bluetooth models, each under its
// friendly name of the Bluetooth model table, on the BlueZ stand-in of the system bus;
// where nothing answers as BlueZ there, on one of its own (sim/simbluez.h).
std::unique_ptr<HidBackend> AddSimulatedBluetooth(std::unique_ptr<HidBackend> backend,
                                                  const QVector<const SimModel *> &models);

// The address of the n-th (1-based) simulated Bluetooth tablet of a model, and the
// friendly name its model row gives (empty for a model outside the table).
QString SimBleAddress(const SimModel &model, int n);
QString SimBleName(const SimModel &model);
