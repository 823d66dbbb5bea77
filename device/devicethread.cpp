#include "device/devicethread.h"

#include "platform/hid/hidbackend.h"
#include "platform/sched/realtime.h"

#include <QDebug>

DeviceThread::DeviceThread(HidDevice *device, QObject *parent)
    : QThread(parent), m_device(device)
{
}

void DeviceThread::Stop()
{
    requestInterruption();
    m_stop.stop();
}

[[gnu::hot]] void DeviceThread::run()
{
    const std::lock_guard<std::mutex> running(m_runMutex);
    // A report waits for this thread only as long as the scheduler makes it.
    MakeReadingThreadRealtime();
    quint8 buffer[kReportSize];
    while (!isInterruptionRequested() && !m_stop.stopped()) {
        const int n = m_device->readWait(buffer, kReportSize, m_stop);
        if (n > 0) {
            emit MySentTabletPackets(buffer, n);
        } else if (n < 0) {
            // The device is gone (unplugged, or the node failed). Reading again would
            // only spin on the same error; the removal notice closes the tablet.
            m_deviceGone = true;
            qWarning() << "DeviceThread read failed, the device is gone";
            break;
        }
    }
    qDebug() << "DeviceThread Thread exit";
}
