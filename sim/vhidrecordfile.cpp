#include "sim/vhidrecordfile.h"

#include "platform/vhid/recordingvhid.h"
#include "platform/vhid/vhidreport.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>

namespace {

const char kRecordPath[] = "record";

// A bridge of its own, as the system's device has; its sink only collects the events
// of the report being handled. The lock keeps the reports of several tablets whole.
class RecordFileDevice : public VhidDevice {
public:
    explicit RecordFileDevice(VhidRecordFile &file) : m_file(file), m_bridge(m_sink) {}
    ~RecordFileDevice() override { releaseAll(); }

    bool write(const uint8_t *report, int length, int *error) override
    {
        return record(report, length, error);
    }
    bool setOutputReport(const uint8_t *report, int length, int *error) override
    {
        return record(report, length, error);
    }
    void releaseAll() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bridge.releaseAll();
        QJsonObject line;
        line.insert(QStringLiteral("release"), true);
        line.insert(QStringLiteral("events"), vhidEventsText(m_sink.take()));
        m_file.AppendLine(QJsonDocument(line).toJson(QJsonDocument::Compact));
    }

private:
    bool record(const uint8_t *report, int length, int *error)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const bool ok = report && length > 0 && m_bridge.handleReport(report, length);
        const char *kind = "other";
        switch (vhidReportKind(report, length)) {
        case VhidReportKind::Pen: kind = "pen"; break;
        case VhidReportKind::AbsoluteMouse: kind = "abs"; break;
        case VhidReportKind::RelativeMouse: kind = "rel"; break;
        case VhidReportKind::Unknown: break;
        }
        QJsonObject line;
        const QByteArray bytes(reinterpret_cast<const char *>(report), report ? length : 0);
        line.insert(QStringLiteral("report"), QString::fromLatin1(bytes.toHex()));
        line.insert(QStringLiteral("kind"), QString::fromLatin1(kind));
        line.insert(QStringLiteral("ok"), ok);
        line.insert(QStringLiteral("events"), vhidEventsText(m_sink.take()));
        m_file.AppendLine(QJsonDocument(line).toJson(QJsonDocument::Compact));
        if (error)
            *error = ok ? 0 : EINVAL;
        return ok;
    }

    VhidRecordFile &m_file;
    std::mutex m_mutex; // guards m_sink and m_bridge
    RecordingEventSink m_sink;
    VhidBridge m_bridge;
};

} // namespace

VhidRecordFile::VhidRecordFile(const QString &path) : m_file(path) {}

VhidRecordFile::~VhidRecordFile() = default;

std::unique_ptr<VhidRecordFile> VhidRecordFile::Open(const QString &path, QString *why)
{
    std::unique_ptr<VhidRecordFile> file(new VhidRecordFile(path));
    if (path.isEmpty() || !file->m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (why)
            *why = path.isEmpty() ? QStringLiteral("no file name") : file->m_file.errorString();
        return nullptr;
    }
    return file;
}

bool VhidRecordFile::enumerate(QVector<VhidDeviceInfo> *devices)
{
    *devices = {{QString::fromLatin1(kVhidHardwareId), QString::fromLatin1(kRecordPath)}};
    return true;
}

std::unique_ptr<VhidDevice> VhidRecordFile::open(const QString &path, int *error)
{
    if (path != QLatin1String(kRecordPath)) {
        if (error)
            *error = ENOENT;
        return nullptr;
    }
    if (error)
        *error = 0;
    return std::make_unique<RecordFileDevice>(*this);
}

void VhidRecordFile::AppendLine(const QByteArray &line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file.write(line + '\n');
    m_file.flush();
}
