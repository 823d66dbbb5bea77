#pragma once
// Finds the maker's tablets among the HID interfaces, opens a tablet object for each
// supported one, and follows arrivals, removals and resume. Owns the tablet objects of
// the five slots (device/tablettable.h). GUI thread only.

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class CTablet;
class HidBackend;
class QSettings;

class TabletDiscovery : public QObject {
    Q_OBJECT

public:
    TabletDiscovery(HidBackend *hid, QSettings *nameTable, QObject *parent = nullptr);
    // Closes every tablet (a USB tablet is sent its idle mode and its thread stopped).
    ~TabletDiscovery() override;

    // Start-up: every interface present. True when at least one tablet opened.
    bool EnmuTabeltDevice();

    // An interface arrived or left (the hid monitor's notices).
    void DeviceArrived(const QString &path);
    void DeviceRemoved(const QString &path);

    // The system woke up: every USB tablet gets its report mode again.
    void Resume();
    void Suspend();

    // DisplayName -> tablet, for the device selector; a tablet is here exactly while it
    // is in a slot.
    const QMap<QString, CTablet *> &deviceList() const { return m_deviceList; }
    int tabletCount() const;
    // Interfaces of supported tablets that found all five slots taken, in the order they
    // came; each opens when a slot frees (and is forgotten when it leaves first).
    QStringList waitingTablets() const { return m_waiting; }

    // Where Bluetooth tablets load libInkBLE from (without suffix); empty: the program's
    // folder.
    void SetBleLibraryPath(const QString &path) { m_bleLibrary = path; }

    // Called for every new tablet object before it opens (and starts reading): its owner
    // wires what its packets drive (the action engine).
    void SetTabletSetup(std::function<void(CTablet &)> setup) { m_TabletSetup = std::move(setup); }

signals:
    // A tablet was opened and stored in its slot: make the window's connections.
    void TabletConnected(CTablet *tablet, int slot);
    // A tablet is about to close and leave its slot: drop every connection to it.
    void TabletDisconnecting(CTablet *tablet, int slot);
    // The last tablet left.
    void NoTabletLeft();
    // Usage records ("UsbTabletConnect", "UsbTabletDisconnect", ...).
    void UsageRecord(const QString &name, const QVariantMap &fields);
    // A tablet found no free slot: it waits and opens when a slot frees.
    void TabletWaiting(const QString &path);

private:
    enum class Source { Enumeration, Arrival };
    // Opens a USB tablet on path. Returns 1 opened, 0 skipped, -1 no free slot.
    int OpenUsb(const QString &path, Source source);
    int OpenBle(const QString &path, Source source);
    void AddToDeviceList(CTablet *tablet);
    void CloseSlot(int slot);
    void Wait(const QString &path);
    void OpenWaiting();

    HidBackend *m_hid;
    QSettings *m_nameTable;
    QMap<QString, CTablet *> m_deviceList;
    QStringList m_waiting;
    QString m_bleLibrary;
    std::function<void(CTablet &)> m_TabletSetup;
};
