#pragma once
// The virtual device of a run without /dev/uinput (`Inkora --simulate
// --vhid-record=FILE`): each report goes through the same bridge as on the system and
// is appended to FILE as one JSON line with the events the bridge made of it; the line
// is flushed at once, so a reader sees every report as soon as it was written.
//
//   {"report":"400a05...","kind":"pen","ok":true,"events":"pen BTN_TOOL_PEN 1, pen ABS_X 13684, ..."}
//   {"release":true,"events":"pen BTN_TOUCH 0, pen BTN_TOOL_PEN 0, pen SYN_REPORT 0"}
//
// "kind" is pen, abs, rel or other; "ok" false for a report the device refuses. The
// release line is the device letting go of everything (a tablet closed or gone).

#include "platform/vhid/vhidbackend.h"

#include <QFile>
#include <QString>

#include <memory>
#include <mutex>

class VhidRecordFile : public VhidBackend {
public:
    // Null with *why when the file cannot be opened for appending.
    static std::unique_ptr<VhidRecordFile> Open(const QString &path, QString *why);
    ~VhidRecordFile() override;

    // One device, with the hardware id of the driver's virtual device.
    bool enumerate(QVector<VhidDeviceInfo> *devices) override;
    std::unique_ptr<VhidDevice> open(const QString &path, int *error) override;

    QString fileName() const { return m_file.fileName(); }

    // Appends one line (without its line end) and flushes it. Any thread.
    void AppendLine(const QByteArray &line);

private:
    explicit VhidRecordFile(const QString &path);

    std::mutex m_mutex; // guards m_file; devices write from several reading threads
    QFile m_file;
};
