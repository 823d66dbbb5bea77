#include "platform/vhid/recordingvhid.h"

#include "platform/vhid/vhidreport.h"

#include <libevdev/libevdev.h>

#include <QStringList>

#include <cerrno>

class RecordingVhidDevice : public VhidDevice {
public:
    RecordingVhidDevice(RecordingVhidBackend &backend, bool bridged) : m_backend(backend)
    {
        if (bridged)
            m_bridge = std::make_unique<VhidBridge>(m_sink);
    }

    bool write(const uint8_t *report, int length, int *error) override
    {
        return m_backend.record(m_bridge.get(), &m_sink, report, length, false, error);
    }
    bool setOutputReport(const uint8_t *report, int length, int *error) override
    {
        return m_backend.record(m_bridge.get(), &m_sink, report, length, true, error);
    }
    void releaseAll() override { m_backend.recordRelease(); }

private:
    RecordingVhidBackend &m_backend;
    // Used under the backend's lock only.
    RecordingEventSink m_sink;
    std::unique_ptr<VhidBridge> m_bridge;
};

RecordingVhidBackend::RecordingVhidBackend()
    : RecordingVhidBackend({{QString::fromLatin1(kVhidHardwareId), QStringLiteral("recording")}})
{
}

RecordingVhidBackend::RecordingVhidBackend(const QVector<VhidDeviceInfo> &devices) : m_devices(devices)
{
}

RecordingVhidBackend::~RecordingVhidBackend() = default;

bool RecordingVhidBackend::enumerate(QVector<VhidDeviceInfo> *devices)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_enumerateFails)
        return false;
    *devices = m_devices;
    return true;
}

std::unique_ptr<VhidDevice> RecordingVhidBackend::open(const QString &path, int *error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_openError != 0) {
        if (error)
            *error = m_openError;
        return nullptr;
    }
    m_openedPath = path;
    if (error)
        *error = 0;
    return std::make_unique<RecordingVhidDevice>(*this, m_bridged);
}

void RecordingVhidBackend::setReportHandler(ReportHandler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

void RecordingVhidBackend::setBridged(bool bridged)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bridged = bridged;
}

void RecordingVhidBackend::setEnumerateFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_enumerateFails = fails;
}

void RecordingVhidBackend::setOpenError(int error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openError = error;
}

void RecordingVhidBackend::setWriteError(int error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeError = error;
}

QVector<QByteArray> RecordingVhidBackend::reports() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reports;
}

QVector<bool> RecordingVhidBackend::setOutputReportFlags() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_setOutput;
}

QString RecordingVhidBackend::openedPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openedPath;
}

bool RecordingVhidBackend::record(VhidBridge *bridge, RecordingEventSink *sink, const uint8_t *report, int length,
                                  bool setOutputReport, int *error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_writeError != 0) {
        if (error)
            *error = m_writeError;
        return false;
    }
    const QByteArray bytes(reinterpret_cast<const char *>(report), length);
    m_reports.append(bytes);
    m_setOutput.append(setOutputReport);
    const bool taken = !bridge || bridge->handleReport(report, length);
    const QVector<VhidEvent> events = sink->take();
    if (m_handler)
        m_handler(bytes, setOutputReport, events);
    if (error)
        *error = taken ? 0 : EINVAL;
    return taken;
}

void RecordingVhidBackend::recordRelease()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_releases;
}

bool RecordingEventSink::emitEvent(VhidNode node, uint16_t type, uint16_t code, int32_t value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fails)
        return false;
    m_events.append({node, type, code, value});
    return true;
}

QVector<VhidEvent> RecordingEventSink::events() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

QVector<VhidEvent> RecordingEventSink::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QVector<VhidEvent> out;
    out.swap(m_events);
    return out;
}

void RecordingEventSink::setFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fails = fails;
}

QString vhidEventsText(const QVector<VhidEvent> &events)
{
    QStringList parts;
    for (const VhidEvent &e : events) {
        const char *node = e.node == VhidNode::Pen ? "pen" : e.node == VhidNode::AbsoluteMouse ? "abs" : "rel";
        const char *code = libevdev_event_code_get_name(e.type, e.code);
        parts.append(QStringLiteral("%1 %2 %3")
                         .arg(QLatin1String(node),
                              code ? QLatin1String(code) : QStringLiteral("%1/%2").arg(e.type).arg(e.code))
                         .arg(e.value));
    }
    return parts.join(QStringLiteral(", "));
}
