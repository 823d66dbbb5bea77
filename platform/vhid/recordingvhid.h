#pragma once
// Test backends of the vhid facility: a virtual device that records the reports written
// to it, and an event sink that records what the bridge sends.

#include "platform/vhid/vhidbackend.h"
#include "platform/vhid/vhidbridge.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>
#include <mutex>

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

// Names of the events, for people: "pen BTN_TOOL_PEN 1, pen ABS_X 1000, pen SYN_REPORT 0".
QString vhidEventsText(const QVector<VhidEvent> &events);

// Lists the devices it was given; opening one gives a device that records every report.
// Safe to use from several threads; the handler runs under the recording's lock, in
// the order the reports were written.
class RecordingVhidBackend : public VhidBackend {
public:
    // events: what the device's bridge made of the report (empty unless bridged).
    using ReportHandler =
        std::function<void(const QByteArray &report, bool setOutputReport, const QVector<VhidEvent> &events)>;

    // By default one device with the bridge's own hardware id.
    RecordingVhidBackend();
    explicit RecordingVhidBackend(const QVector<VhidDeviceInfo> &devices);
    ~RecordingVhidBackend() override;

    bool enumerate(QVector<VhidDeviceInfo> *devices) override;
    std::unique_ptr<VhidDevice> open(const QString &path, int *error) override;

    // Called for each report written to an opened device (set before writing).
    void setReportHandler(ReportHandler handler);
    // Devices opened from now on also run each report through a bridge of their own, as
    // the system's device does: a report the bridge refuses fails the write (EINVAL)
    // and the handler gets the events the bridge made.
    void setBridged(bool bridged);
    // Failures to play: the device list cannot be had; open fails with this errno;
    // writes fail with this errno.
    void setEnumerateFails(bool fails);
    void setOpenError(int error);
    void setWriteError(int error);

    QVector<QByteArray> reports() const;
    QVector<bool> setOutputReportFlags() const;
    QString openedPath() const;

private:
    friend class RecordingVhidDevice;
    bool record(VhidBridge *bridge, RecordingEventSink *sink, const uint8_t *report, int length,
                bool setOutputReport, int *error);
    void recordRelease();

    mutable std::mutex m_mutex; // guards everything below
    QVector<VhidDeviceInfo> m_devices;
    ReportHandler m_handler;
    bool m_enumerateFails = false;
    bool m_bridged = false;
    int m_openError = 0;
    int m_writeError = 0;
    QVector<QByteArray> m_reports;
    QVector<bool> m_setOutput;
    int m_releases = 0;
    QString m_openedPath;
};

