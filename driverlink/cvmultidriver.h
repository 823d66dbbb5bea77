#pragma once
// The driver's virtual HID device as the program writes to it: pen, absolute mouse and
// relative mouse reports of 65 bytes (layout in platform/vhid/vhidreport.h).
//
// One object for the whole process; Init runs once at start-up on the GUI thread,
// before any tablet reads. The reports come from the tablets' reading threads. They
// share one report buffer, in which each report writes only its own bytes, so the
// bytes after them keep what an earlier report of another kind left there; the buffer
// lock keeps each report whole from its first byte to the write, so two tablets'
// reports never mix.

#include "platform/sched/adaptivemutex.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class VhidBackend;
class VhidDevice;

class CVMultiDriver {
public:
    explicit CVMultiDriver(VhidBackend &backend);
    ~CVMultiDriver();

    CVMultiDriver(const CVMultiDriver &) = delete;
    CVMultiDriver &operator=(const CVMultiDriver &) = delete;

    // Finds and opens the virtual device. False when there is none: every report then
    // fails and the program uses the pointer paths that need no device.
    bool Init();

    // status: VhidPenStatus bits; x, y 0..32767 over the virtual desktop; pressure
    // 0..8191; tilt x/y signed degrees in a byte.
    bool PenReport(uint8_t status, uint16_t x, uint16_t y, uint16_t pressure, uint8_t tiltX, uint8_t tiltY);
    // buttons: VhidMouseButton bits.
    bool AbsoluteMouseReport(uint8_t buttons, uint16_t x, uint16_t y, uint16_t pressure);
    // dx, dy in counts and wheel in notches, each sent as a signed byte: values past
    // -127..127 are limited to it rather than wrapping into the other direction.
    bool RelativeMouseReport(uint8_t buttons, int dx, int dy, int wheel);

    // Sends length bytes of buffer to device, as an HID output report when
    // useSetOutputReport, else as a write. False (logged at debug level) on failure,
    // a missing device included.
    bool Output(bool useSetOutputReport, VhidDevice *device, const uint8_t *buffer, int length);

    // Pen out of range and every button up: a tablet closed or vanished while the pen
    // was in range or a button down.
    void ReleaseAll();

    bool IsFound() const { return m_bFound.load() != 0; }

    // A copy of the report buffer as it stands (all 65 bytes).
    QByteArray ReportBuffer() const;

    // A first hardware id of the virtual device: "HID\\Inkora&COL05" or "HID\\HID&COL05",
    // whatever the case.
    static bool IsVirtualDeviceId(const QString &hardwareId);

private:
    bool EnmuVisualHidDevice();
    bool WriteReport(); // m_ReportMutex held

    VhidBackend &m_Backend;
    std::atomic<uint8_t> m_bFound{0};
    // Set by Init before the reading threads start; only used after that.
    std::unique_ptr<VhidDevice> m_hDevice;
    // Guards m_Report and the writes to m_hDevice. Five tablets' reports meet here each
    // millisecond: it spins before it sleeps.
    mutable AdaptiveMutex m_ReportMutex;
    uint8_t m_Report[65] = {};
};
