#pragma once
// A simulated tablet: answers the commands the program sends (mode 0xB0, lights 0xB4,
// attributes 0x80 0x06, profile transfer 0xB6, 0xB8), keeps an on-board profile, and
// plays scripted pen, key, ring, battery and re-announce reports.
//
// Threads: the command side (write) runs on the sender's thread and the report side
// (read) on the reading thread; m_lock guards every member below it.

#include "sim/simmodel.h"
#include "sim/simreports.h"

#include "platform/hid/readstop.h"

#include <QByteArray>
#include <QQueue>
#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class SimTablet {
public:
    explicit SimTablet(const SimModel &model, int instance = 0);

    const SimModel &model() const { return m_model; }
    int instance() const { return m_instance; }
    QString serialNumber() const;

    // --- the device side, as the HID backend sees it ---
    // An output report from the host. Returns the length taken, -1 when unplugged.
    int write(const uint8_t *data, int length);
    // Next report due, 0 after timeoutMs without one, -1 once unplugged.
    int read(uint8_t *buffer, int size, int timeoutMs);
    // Next report due, waiting as long as it takes; 0 once stop is asked.
    int readWait(uint8_t *buffer, int size, ReadStop &stop);
    bool stringDescriptor(int index, QString *text) const;
    int rawStringDescriptor(int index, uint8_t *buffer, int size) const;

    // --- scripting ---
    // Queues a report to be read delayMs after the report queued before it.
    void queueReport(const QByteArray &report, int delayMs = 0);
    void queuePen(const SimPenSample &sample, int delayMs = 0);
    void queueKeys(uint64_t keyBits, uint8_t ring = 0, int delayMs = 0);
    // A straight stroke of `steps` samples with the tip down, then the tip lifted and
    // the pen leaving proximity.
    void queueStroke(int x0, int y0, int x1, int y1, int steps, int pressure, int intervalMs = 0);
    void queueBattery(int percent, bool charging);
    void unplug();
    // A device that stops answering commands (for time-out paths).
    void setAnswering(bool answering);
    // A device without the geometry string (string 100); every model has it otherwise,
    // the keypads with a zero pen area.
    void setWithoutGeometry() { m_withoutGeometry = true; }
    // Called on the reading thread for each report read() or readWait() hands out, as the
    // last step before it returns, past the tablet's own lock and the stop's clearing
    // (the latency benchmark stamps the report there, where a device's read() returns).
    // It must be quick. Empty by default.
    using ReadObserver = std::function<void(const uint8_t *report, int length)>;
    void setReadObserver(ReadObserver observer);

    // --- what tests look at ---
    int mode() const;
    int lightLevel(int light) const;      // 1 wheel light, 2 tablet light
    QVector<QByteArray> commands() const; // every output report, as written
    QByteArray onboardProfile() const;
    void setOnboardProfile(const QByteArray &profile);
    int pendingReports() const;

private:
    // read() and readWait(): timeoutMs < 0 waits for a report, an unplug or stop.
    int readLocked(std::unique_lock<std::mutex> &lock, uint8_t *buffer, int size, int timeoutMs,
                   const ReadStop *stop);
    void handedOut(const uint8_t *buffer, int n);

    struct Pending {
        QByteArray bytes;
        qint64 dueMs;
    };
    void replyLocked(const QByteArray &report);
    void setModeLocked(int mode);
    void handleTransferLocked(const uint8_t *d, int length);
    void sendOnboardProfileLocked();
    QByteArray attributePayload(uint8_t attribute) const;

    const SimModel m_model;
    const int m_instance;

    mutable std::mutex m_lock;
    std::condition_variable m_reportReady;
    QQueue<Pending> m_queue;
    qint64 m_lastDueMs = 0;
    bool m_present = true;
    bool m_answering = true;
    std::atomic<bool> m_withoutGeometry{false};
    std::mutex m_observerLock; // m_readObserver, apart from m_lock
    ReadObserver m_readObserver;
    int m_mode = 0;
    int m_tabletLight = 3;
    int m_wheelLight = 3;
    int m_batteryPercent = 80;
    QVector<QByteArray> m_commands;
    QByteArray m_onboardProfile;
    QByteArray m_upload;         // profile bytes the host is sending
    uint32_t m_uploadTotal = 0;
    bool m_uploadActive = false;
};
