#include "platform/vhid/recordingvhid.h"

#include "platform/vhid/vhidreport.h"

#include <cerrno>

class RecordingVhidDevice : public VhidDevice {
public:
    explicit RecordingVhidDevice(RecordingVhidBackend &backend) : m_backend(backend) {}

    bool write(const uint8_t *report, int length, int *error) override
    {
        return m_backend.record(report, length, false, error);
    }
    bool setOutputReport(const uint8_t *report, int length, int *error) override
    {
        return m_backend.record(report, length, true, error);
    }
    void releaseAll() override { m_backend.recordRelease(); }

private:
    RecordingVhidBackend &m_backend;
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
    return std::make_unique<RecordingVhidDevice>(*this);
}

void RecordingVhidBackend::setReportHandler(ReportHandler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
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

int RecordingVhidBackend::releaseCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_releases;
}

QString RecordingVhidBackend::openedPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openedPath;
}

bool RecordingVhidBackend::record(const uint8_t *report, int length, bool setOutputReport, int *error)
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
    if (m_handler)
        m_handler(bytes, setOutputReport);
    if (error)
        *error = 0;
    return true;
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
