#include "device/tabletdiscovery.h"

#include "config/modeltables.h"
#include "device/cbletablet.h"
#include "device/ctablet.h"
#include "device/cusbtablet.h"
#include "device/modelmatch.h"
#include "device/tablettable.h"
#include "driverlink/cvmultidriver.h"
#include "driverlink/driverlink.h"
#include "platform/hid/hidbackend.h"

#include <QDebug>

namespace {

bool IsUsbTabletPath(const QString &path)
{
    return path.contains(QLatin1String("vid_28bd"), Qt::CaseInsensitive);
}

bool IsBleTabletPath(const QString &path)
{
    return path.contains(QLatin1String("0228bd_pid"), Qt::CaseInsensitive);
}

int SlotOfPath(const QString &path)
{
    for (int i = 0; i < TabletTable::kSlotCount; ++i) {
        const CTablet *t = TabletTable::At(i);
        if (t && path.compare(QString::fromLocal8Bit(t->m_DeviceAttributes.DevicePath), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariantMap ConnectFields(const CTablet &t)
{
    const DeviceAttributes &a = t.m_DeviceAttributes;
    return {{QStringLiteral("ICVersion"), QString::fromLocal8Bit(a.ICVersion)},
            {QStringLiteral("ProductPID"), QString::fromLatin1(a.PidText)},
            {QStringLiteral("ProductName"), QString::fromLocal8Bit(a.ProductName)}};
}

} // namespace

TabletDiscovery::TabletDiscovery(HidBackend *hid, QSettings *nameTable, QObject *parent)
    : QObject(parent), m_hid(hid), m_nameTable(nameTable)
{
}

TabletDiscovery::~TabletDiscovery()
{
    for (int i = 0; i < TabletTable::kSlotCount; ++i)
        CloseSlot(i);
}

int TabletDiscovery::tabletCount() const
{
    int n = 0;
    for (int i = 0; i < TabletTable::kSlotCount; ++i)
        n += TabletTable::At(i) ? 1 : 0;
    return n;
}

bool TabletDiscovery::EnmuTabeltDevice()
{
    if (!m_hid) {
        qWarning() << "Function EnmuTabeltDevice Error:INVALID_HANDLE_VALUE\n";
        return false;
    }
    const QVector<HidDeviceInfo> interfaces = m_hid->enumerate(0);
    bool opened = false;
    for (const HidDeviceInfo &info : interfaces) {
        const QString &path = info.path;
        qInfo().noquote() << "Function EnmuTabeltDevice:" << path;
        int result = 0;
        if (IsUsbTabletPath(path)) {
            result = OpenUsb(path, Source::Enumeration);
        } else if (IsBleTabletPath(path)) {
            result = OpenBle(path, Source::Enumeration);
        } else {
            qInfo().noquote() << "Function EnmuTabeltDevice other:" << path;
        }
        if (result < 0)
            Wait(path); // all five slots are taken: it opens when one frees
        opened = opened || result > 0;
    }
    for (int i = 0; i < TabletTable::kSlotCount; ++i) {
        if (CTablet *t = TabletTable::At(i))
            AddToDeviceList(t);
    }
    return opened;
}

void TabletDiscovery::AddToDeviceList(CTablet *t)
{
    const QString name = QString::fromLocal8Bit(t->m_DeviceAttributes.DisplayName);
    m_deviceList.insert(name, t); // an entry of the same name is replaced
    qInfo().noquote() << "EnmuTabeltDevice:" << name << "--" << QString::fromLatin1(t->m_DeviceAttributes.ModelKey);
}

int TabletDiscovery::OpenUsb(const QString &path, Source source)
{
    const UsbModelEntry *entry = MatchUsbModel(path);
    if (!entry)
        return 0;
    if (SlotOfPath(path) >= 0)
        return 0; // a repeated notice for an interface we hold already
    const int slot = TabletTable::GetEmptyTabletArray(false);
    if (slot < 0)
        return -1;
    auto *tablet = new CUSBTablet(slot, m_hid, m_nameTable);
    if (m_TabletSetup)
        m_TabletSetup(*tablet);
    tablet->m_DeviceAttributes.DeviceKind = entry->kind;
    if (!tablet->OpenUsbDevice(path.toLocal8Bit(), entry)) {
        // Not stored in a slot: release the device and the object now.
        tablet->CloseDevice();
        delete tablet;
        return 0;
    }
    TabletTable::Set(slot, tablet);
    emit TabletConnected(tablet, slot);
    emit UsageRecord(QStringLiteral("UsbTabletConnect"), ConnectFields(*tablet));
    if (source == Source::Arrival) {
        qInfo().noquote() << "Function nativeEvent:" << path << " connected";
        AddToDeviceList(tablet);
    }
    return 1;
}

int TabletDiscovery::OpenBle(const QString &path, Source source)
{
    const BleModelEntry *entry = MatchBleModel(path);
    if (!entry)
        return 0;
    if (SlotOfPath(path) >= 0)
        return 0; // a repeated notice for the tablet we hold already
    const int slot = TabletTable::GetEmptyTabletArray(true);
    if (slot < 0) {
        // One Bluetooth tablet at a time. A second one is refused, but the interfaces
        // after it (USB tablets) are still examined; only five taken slots end the scan.
        return tabletCount() >= TabletTable::kSlotCount ? -1 : 0;
    }
    if (source == Source::Arrival)
        qInfo().noquote() << "BLE BLE BLE:" << path;
    auto *tablet = new CBleTablet(slot, m_nameTable, m_bleLibrary);
    if (m_TabletSetup)
        m_TabletSetup(*tablet);
    tablet->m_DeviceAttributes.DeviceKind = entry->kind;
    if (!tablet->OpenBleDevice(path.toLocal8Bit(), entry)) {
        qInfo().noquote() << "delete 0228bd_pid:" << path;
        delete tablet; // closes the library's connection
        return 0;
    }
    TabletTable::Set(slot, tablet);
    emit TabletConnected(tablet, slot);
    emit UsageRecord(QStringLiteral("BleTabletConnect"), ConnectFields(*tablet));
    if (source == Source::Arrival)
        AddToDeviceList(tablet);
    return 1;
}

void TabletDiscovery::DeviceArrived(const QString &path)
{
    int result = 0;
    if (IsUsbTabletPath(path))
        result = OpenUsb(path, Source::Arrival);
    else if (IsBleTabletPath(path))
        result = OpenBle(path, Source::Arrival);
    if (result < 0)
        Wait(path);
}

void TabletDiscovery::Wait(const QString &path)
{
    for (const QString &waiting : m_waiting) {
        if (waiting.compare(path, Qt::CaseInsensitive) == 0)
            return;
    }
    qWarning().noquote() << QStringLiteral("No free tablet slot (%1 tablets are open), waiting for one to leave:")
                                .arg(TabletTable::kSlotCount)
                         << path;
    m_waiting << path;
    emit TabletWaiting(path);
}

void TabletDiscovery::OpenWaiting()
{
    // In the order they came; one that finds no slot again keeps its place.
    const QStringList waiting = m_waiting;
    m_waiting.clear();
    for (int i = 0; i < waiting.size(); ++i) {
        const QString &path = waiting.at(i);
        int result = 0;
        if (IsUsbTabletPath(path))
            result = OpenUsb(path, Source::Arrival);
        else
            result = OpenBle(path, Source::Arrival);
        if (result < 0) {
            m_waiting = waiting.mid(i);
            return;
        }
        if (result > 0)
            qInfo().noquote() << "A tablet slot freed: opened the waiting tablet" << path;
    }
}

void TabletDiscovery::DeviceRemoved(const QString &path)
{
    const bool usb = IsUsbTabletPath(path);
    if (!usb && !IsBleTabletPath(path))
        return;
    const int slot = SlotOfPath(path);
    if (slot < 0) {
        // A waiting tablet that leaves before it got a slot is forgotten.
        for (int i = m_waiting.size() - 1; i >= 0; --i) {
            if (m_waiting.at(i).compare(path, Qt::CaseInsensitive) == 0)
                m_waiting.removeAt(i);
        }
        return;
    }
    CTablet *t = TabletTable::At(slot);
    emit UsageRecord(usb ? QStringLiteral("UsbTabletDisconnect") : QStringLiteral("BleTabletDisconnect"),
                     ConnectFields(*t));
    if (usb)
        qInfo().noquote() << "Function nativeEvent:" << path << " disconnected";
    else
        qInfo().noquote() << "BLE disconnected" << path;
    CloseSlot(slot); // also takes it out of the device list
    OpenWaiting();
    if (tabletCount() == 0)
        emit NoTabletLeft();
}

void TabletDiscovery::CloseSlot(int slot)
{
    CTablet *t = TabletTable::At(slot);
    if (!t)
        return;
    emit TabletDisconnecting(t, slot);
    // Closed (reading thread stopped) before the slot empties: no packet handler runs
    // for a tablet that has left the table.
    t->CloseDevice();
    // A tablet that left mid-stroke must not leave the pen in range or a button down.
    if (CVMultiDriver *output = DriverLink::VMultiDriver())
        output->ReleaseAll();
    TabletTable::Clear(slot);
    for (auto it = m_deviceList.begin(); it != m_deviceList.end();) {
        it = it.value() == t ? m_deviceList.erase(it) : std::next(it);
    }
    delete t;
}

void TabletDiscovery::Resume()
{
    qInfo() << "PowerMessage WM_POWERBROADCAST\n";
    qInfo() << "--------------PowerMessage PBT_APMRESUMEAUTOMATIC-AWAKE UP--------\n";
    for (int i = 0; i < TabletTable::kSlotCount; ++i) {
        CTablet *t = TabletTable::At(i);
        if (!t)
            continue;
        // Only USB tablets have a row of the USB table (a Bluetooth tablet gets nothing).
        if (const UsbModelEntry *entry = MatchUsbModel(QString::fromLocal8Bit(t->m_DeviceAttributes.DevicePath)))
            t->SentCmd(CmdSetMode, entry->mode, 0);
    }
}

void TabletDiscovery::Suspend()
{
    qInfo() << "PowerMessage WM_POWERBROADCAST\n";
    qInfo() << "--------------PowerMessage PBT_APMQUERYSUSPEND-Sleep----------\n";
}
