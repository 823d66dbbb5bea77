// Recordings are user-supplied text: the parser must reject anything malformed with
// an error, never crash or accept a report that breaks its own length rule.
#include "tools/hidrecording.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HidRecording rec;
    QString error;
    const bool ok = ParseHidRecording(QByteArray(reinterpret_cast<const char *>(data), int(size)), &rec, &error);
    if (ok) {
        for (const RecordedReport &r : rec.reports) {
            if (r.bytes.isEmpty() || r.bytes.size() > kMaxReportLength)
                std::abort();
        }
    } else if (error.isEmpty()) {
        std::abort();
    }
    return 0;
}
