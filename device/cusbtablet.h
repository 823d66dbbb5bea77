#pragma once
// A tablet on USB, directly or through the maker's wireless receiver: opens the HID
// interface discovery chose, reads identity and geometry, takes its profile, sets the
// report mode, runs the reading thread and sends the device commands.
//
// Threads: open, close and commands run on the GUI thread; the reading thread decodes
// and may send the mode command again (re-announce), so writes go through m_writeMutex.
// The HID device takes a read and a write on two threads at once (the backend keeps a
// handle for each), so one device object serves both.

#include "device/ctablet.h"

#include <memory>
#include <mutex>

class DeviceThread;
class HidBackend;
class HidDevice;
class QSettings;

class CUSBTablet : public CTablet {
    Q_OBJECT

public:
    // hid opens the device; nameTable ("Common/PID_xxxx", "Dongle/PID_xxxx") may be null.
    CUSBTablet(int tabletIndex, HidBackend *hid, QSettings *nameTable, QObject *parent = nullptr);
    ~CUSBTablet() override;

    bool OpenUsbDevice(const QByteArray &path, const UsbModelEntry *entry) override;
    void SentCmd(int type, int a, int b) override;
    void SendProfileChunk(int type, const quint8 *data, int length) override;
    void ProfileTransferControl(int type, int value) override;
    void UploadProfile(const QString &text, int count) override;
    void CloseDevice() override;

    bool isOpen() const { return m_device != nullptr; }
    DeviceThread *readingThread() const { return m_thread; }

    // Output report lengths (the HID library pads to the device's report length).
    static constexpr int kCommandLength = 10;
    static constexpr int kLightCommandLength = 12;
    static constexpr int kTransferLength = 32;
    // Data bytes per transfer data packet sent to the device.
    static constexpr int kTransferChunk = 29;

private:
    // Writes the first `length` bytes of a zero-padded 64-byte report. False when the
    // device did not take it (gone, or closed).
    bool Write(const quint8 *report, int length);
    bool TakeProfile();
    bool SendMode(int mode);

    HidBackend *m_hid;
    QSettings *m_nameTable;
    std::unique_ptr<HidDevice> m_device;
    std::mutex m_writeMutex; // serialises writes from the GUI and reading threads
    DeviceThread *m_thread = nullptr;
    bool m_keypadModeForm = false; // the keypad takes the mode with report id 0x03
};
