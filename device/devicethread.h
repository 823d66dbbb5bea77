#pragma once
// The reading thread of a USB tablet: waits for one report at a time, without a time-out
// (an idle tablet costs no wake-ups), and hands it on, on this thread, to whatever is connected directly to
// MySentTabletPackets (the tablet's ReceiveTabletPackets). The buffer is the thread's
// own, reused for every report and valid only during the signal.

#include "platform/hid/readstop.h"

#include <QThread>

#include <atomic>
#include <cstdint>
#include <mutex>

class HidDevice;

class DeviceThread : public QThread {
    Q_OBJECT

public:
    // device: the reading handle; it must outlive the thread.
    explicit DeviceThread(HidDevice *device, QObject *parent = nullptr);

    // Ends the thread at once, also in the middle of a wait. Any thread; then wait().
    void Stop();
    // The longest input report.
    static constexpr int kReportSize = 64;

    // True once the device went away under the thread (the thread then ended).
    bool deviceGone() const { return m_deviceGone.load(); }

    // Called after wait(): orders everything the thread did before whatever the caller
    // does next (closing the device, freeing what the thread read) in a way race checkers
    // see too; QThread::wait() orders it inside Qt, where they do not look.
    void JoinEnd() { std::lock_guard<std::mutex> lock(m_runMutex); }

signals:
    void MySentTabletPackets(quint8 *packets, int length);

protected:
    void run() override;

private:
    HidDevice *m_device;
    ReadStop m_stop;
    std::atomic<bool> m_deviceGone{false};
    std::mutex m_runMutex; // held by run() from its start to its end
};
