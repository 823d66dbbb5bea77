#pragma once
// Test backends of the vhid facility: a virtual device that records the reports written
// to it, and an event sink that records what the bridge sends.

#include "platform/vhid/vhidbackend.h"
#include "platform/vhid/vhidbridge.h"

#include <QByteArray>
#include <QVector>

#include <functional>
#include <mutex>

// Lists the devices it was given; opening one gives a device that records every report.
// Safe to use from several threads; the handler runs under the recording's lock, in
// the order the reports were written.
class RecordingVhidBackend : public VhidBackend {
public:
    using ReportHandler = std::function<void(const QByteArray &report, bool setOutputReport)>;

    // By default one device with the bridge's own hardware id.
    RecordingVhidBackend();
    explicit RecordingVhidBackend(const QVector<VhidDeviceInfo> &devices);
    ~RecordingVhidBackend() override;

    bool enumerate(QVector<VhidDeviceInfo> *devices) override;
    std::unique_ptr<VhidDevice> open(const QString &path, int *error) override;

    // Called for each report written to an opened device (set before writing).
    void setReportHandler(ReportHandler handler);
    // Failures to play: the device list cannot be had; open fails with this errno;
    // writes fail with this errno.
    void setEnumerateFails(bool fails);
    void setOpenError(int error);
    void setWriteError(int error);

    QVector<QByteArray> reports() const;
    QVector<bool> setOutputReportFlags() const;
    int releaseCount() const;
    QString openedPath() const;

private:
    friend class RecordingVhidDevice;
    bool record(const uint8_t *report, int length, bool setOutputReport, int *error);
    void recordRelease();

    mutable std::mutex m_mutex; // guards everything below
    QVector<VhidDeviceInfo> m_devices;
    ReportHandler m_handler;
    bool m_enumerateFails = false;
    int m_openError = 0;
    int m_writeError = 0;
    QVector<QByteArray> m_reports;
    QVector<bool> m_setOutput;
    int m_releases = 0;
    QString m_openedPath;
};

struct VhidEvent {
    VhidNode node;
    uint16_t type;
    uint16_t code;
    int32_t value;
};

inline bool operator==(const VhidEvent &a, const VhidEvent &b)
{
    return a.node == b.node && a.type == b.type && a.code == b.code && a.value == b.value;
}

class RecordingEventSink : public VhidEventSink {
public:
    bool emitEvent(VhidNode node, uint16_t type, uint16_t code, int32_t value) override;
    // Every event so far; take() also forgets them.
    QVector<VhidEvent> events() const;
    QVector<VhidEvent> take();
    void setFails(bool fails);

private:
    mutable std::mutex m_mutex; // guards m_events, m_fails
    QVector<VhidEvent> m_events;
    bool m_fails = false;
};
