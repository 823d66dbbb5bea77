#pragma once
// Reads recordings of HID traffic in the hid-recorder text form:
//   # comment
//   I: <bus> <vid> <pid>           (hex; optional)
//   N: / P: / R: / D: lines        (name, physical path, descriptor, device index; taken and ignored)
//   E: <sec.usec> <len> <hex bytes>
// Anything else is an error that names its line.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>

struct RecordedReport {
    qint64 timeUs = 0;  // time stamp of the report in microseconds
    QByteArray bytes;   // the report, report id first
    int line = 0;       // line of the recording it came from
};

struct HidRecording {
    bool hasIdentity = false;
    int bus = 0;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    QVector<RecordedReport> reports;
};

// The longest report the reading thread takes.
constexpr int kMaxReportLength = 64;

// Parses a whole recording. On failure returns false and sets *error to
// "line N: what is wrong"; *out is then incomplete.
bool ParseHidRecording(const QByteArray &text, HidRecording *out, QString *error);
