#include "platform/hid/linux/hidrawmonitor.h"

#include "platform/hid/linux/linuxhidrawsystem.h"

#include <QDebug>
#include <QSocketNotifier>

#include <libudev.h>

void HidrawPresence::reset(const QVector<HidrawFacts> &present)
{
    m_bySyspath.clear();
    for (const HidrawFacts &f : present)
        add(f);
}

QVector<HidDeviceInfo> HidrawPresence::add(const HidrawFacts &facts)
{
    if (m_vendorId != 0 && facts.vendorId != m_vendorId)
        return {};
    const QVector<HidDeviceInfo> interfaces = BuildInterfaceTexts(facts);
    const QVector<HidDeviceInfo> known = m_bySyspath.value(facts.syspath);
    m_bySyspath.insert(facts.syspath, interfaces);
    QVector<HidDeviceInfo> arrived;
    for (const HidDeviceInfo &info : interfaces) {
        bool seen = false;
        for (const HidDeviceInfo &k : known)
            seen = seen || k.path == info.path;
        if (!seen)
            arrived.append(info);
    }
    return arrived;
}

QVector<HidDeviceInfo> HidrawPresence::remove(const QString &syspath)
{
    return m_bySyspath.take(syspath);
}

UdevHidMonitor::UdevHidMonitor(std::shared_ptr<HidrawSystem> system, uint16_t vendorId, QObject *parent)
    : HidMonitor(parent), m_system(std::move(system)), m_presence(vendorId)
{
}

UdevHidMonitor::~UdevHidMonitor()
{
    delete m_notifier; // before the socket it watches closes
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

bool UdevHidMonitor::start()
{
    if (m_monitor)
        return true;
    m_udev = udev_new();
    if (!m_udev) {
        qWarning() << "hidraw monitor: udev_new failed";
        return false;
    }
    // "udev" notices come after the rules ran, so the node's permissions are set.
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor
        || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0) {
        qWarning() << "hidraw monitor: cannot watch udev notices";
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return false;
    }

    // Nodes already present get their texts kept now, so their removal is reported too.
    QVector<HidrawFacts> present;
    for (const HidrawTree &tree : m_system->hidrawNodes()) {
        HidrawFacts facts;
        QString why;
        if (ParseHidrawTree(tree, &facts, &why))
            present.append(facts);
    }
    m_presence.reset(present);

    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdevHidMonitor::onReadable);
    return true;
}

void UdevHidMonitor::onReadable()
{
    // One notice per wake-up; the notifier fires again while more are queued.
    udev_device *dev = udev_monitor_receive_device(m_monitor);
    if (!dev)
        return;
    const QString action = QString::fromUtf8(udev_device_get_action(dev) ? udev_device_get_action(dev) : "");
    const QString syspath = QString::fromUtf8(udev_device_get_syspath(dev));
    if (action == QLatin1String("add")) {
        HidrawTree tree;
        LinuxHidrawSystem::ReadTree(m_udev, dev, &tree);
        HidrawFacts facts;
        QString why;
        if (ParseHidrawTree(tree, &facts, &why)) {
            for (const HidDeviceInfo &info : m_presence.add(facts))
                emit interfaceArrived(info);
        } else {
            qDebug().noquote() << "hidraw monitor:" << why;
        }
    } else if (action == QLatin1String("remove")) {
        for (const HidDeviceInfo &info : m_presence.remove(syspath))
            emit interfaceRemoved(info);
    }
    udev_device_unref(dev);
}
