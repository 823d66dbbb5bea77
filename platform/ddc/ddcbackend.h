#pragma once
// The DDC/CI facility: the monitors that answer on the display data channel, their
// capability strings and their VCP features. A monitor is named by the number the
// backend gave it in its list; the list is read once and kept for the backend's life.
//
// Reads wait for their answer. Writes are queued and carried out in the order they were
// asked for; a failed write is logged and otherwise ignored (a monitor may refuse a
// value, and the settings dialog shows what it asked for anyway).

#include <QByteArray>
#include <QString>
#include <QVector>

// VCP feature codes used by the display settings.
namespace Vcp {
constexpr quint8 RestoreFactoryDefaults = 0x04; // write 16 to restore
constexpr quint8 Brightness = 0x10;
constexpr quint8 Contrast = 0x12;
constexpr quint8 ColorPreset = 0x14;            // 03..0A = 4000..11500 K, 0B..0D user 1..3
constexpr quint8 RedGain = 0x16;
constexpr quint8 GreenGain = 0x18;
constexpr quint8 BlueGain = 0x1A;
} // namespace Vcp

struct DdcDisplay {
    int id = -1;         // the backend's number for this monitor
    QByteArray edid;     // the first 128 EDID bytes the monitor reported
    QString mfgId;       // three-letter manufacturer id from the EDID
    QString modelName;
    quint16 productCode = 0;
};

class DdcBackend {
public:
    virtual ~DdcBackend() = default;

    // Monitors found on the display data channel (those that do not speak DDC/CI are
    // left out). The first call may take seconds.
    virtual QVector<DdcDisplay> displays() = 0;
    // The monitor's capability string; false when the monitor does not answer.
    virtual bool capabilities(int display, QByteArray *caps) = 0;
    // Current and maximum value of a continuous or non-continuous feature.
    virtual bool getVcp(int display, quint8 code, int *current, int *maximum) = 0;
    // Queues a write of value (0..65535). False when it cannot even be queued (unknown
    // monitor); a write that fails later only leaves a log line.
    virtual bool setVcp(int display, quint8 code, int value) = 0;
};
