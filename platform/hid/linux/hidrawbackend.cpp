#include "platform/hid/linux/hidrawbackend.h"

#include "platform/hid/linux/hidrawdevice.h"
#include "platform/hid/linux/hidrawmonitor.h"
#include "platform/hid/linux/linuxhidrawsystem.h"

#include <QDebug>

#include <cerrno>
#include <cstring>

HidrawBackend::HidrawBackend()
    : HidrawBackend(std::make_shared<LinuxHidrawSystem>(), std::make_shared<EvdevGrabber>())
{
}

HidrawBackend::HidrawBackend(std::shared_ptr<HidrawSystem> system, std::shared_ptr<InputGrabber> grabber)
    : m_system(std::move(system)), m_grabber(std::move(grabber))
{
}

bool HidrawBackend::init()
{
    // udev and libusb need nothing up front (libusb starts on the first string read).
    return m_system != nullptr;
}

QVector<HidDeviceInfo> HidrawBackend::enumerate(uint16_t vendorId)
{
    QVector<HidDeviceInfo> list;
    for (const HidrawTree &tree : m_system->hidrawNodes()) {
        HidrawFacts facts;
        QString why;
        if (!ParseHidrawTree(tree, &facts, &why)) {
            qDebug().noquote() << "hidraw:" << why;
            continue;
        }
        if (vendorId != 0 && facts.vendorId != vendorId)
            continue;
        list += BuildInterfaceTexts(facts);
    }
    return list;
}

std::unique_ptr<HidDevice> HidrawBackend::open(const QString &path)
{
    const QString node = HidrawNodeOfPath(path);
    if (node.isEmpty()) {
        qWarning().noquote() << "hidraw: not an interface text of this system:" << path;
        return nullptr;
    }
    HidrawTree tree;
    HidrawFacts facts;
    QString why;
    if (!m_system->hidrawNode(node, &tree) || !ParseHidrawTree(tree, &facts, &why)) {
        qWarning().noquote() << "hidraw:" << node << "is not present";
        return nullptr;
    }
    bool same = false;
    for (const HidDeviceInfo &info : BuildInterfaceTexts(facts))
        same = same || info.path.compare(path, Qt::CaseInsensitive) == 0;
    if (!same) {
        qWarning().noquote() << "hidraw:" << node << "now belongs to another interface than" << path;
        return nullptr;
    }

    // A model-specific kernel driver may switch the tablet into a mode of its own, so the
    // reports read here are not the ones the decoder knows.
    if (!facts.driver.isEmpty() && facts.driver != QLatin1String("hid-generic"))
        qWarning().noquote() << "hidraw:" << node << "is bound to the kernel driver" << facts.driver
                             << "which may change its reports (inkora-hidtool doctor says how to unbind it)";

    errno = 0;
    std::unique_ptr<HidrawHandle> reader = m_system->openHandle(facts.devnode);
    std::unique_ptr<HidrawHandle> writer = reader ? m_system->openHandle(facts.devnode) : nullptr;
    const int error = errno; // the failed open's
    if (!reader || !writer) {
        qWarning().noquote() << "hidraw: cannot open" << facts.devnode << ":"
                             << (error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("failed"))
                             << "(the udev rules of the package give the logged-in user access)";
        return nullptr;
    }
    auto device = std::make_unique<HidrawDevice>(facts, std::move(reader), std::move(writer),
                                                 m_system, m_grabber);
    device->grabKernelInput();
    return device;
}

std::unique_ptr<HidMonitor> HidrawBackend::createMonitor(uint16_t vendorId)
{
    return std::make_unique<UdevHidMonitor>(m_system, vendorId);
}
