#pragma once
// A tablet paired over Bluetooth LE. It reaches the device only through libInkBLE,
// loaded by name at run time from the program's folder, so the program starts and
// drives USB tablets without it. Notifications come on the library's event thread and
// go straight into ReceiveTabletPackets there.
//
// Threads: construction, open, commands and close run on the GUI thread; the library's
// event thread runs the data callback and may send commands (a re-announce). The
// resolved functions and the current object are atomics for that reason.

#include "device/ctablet.h"

#include <QLibrary>
#include <QString>

#include <atomic>
#include <cstdint>

class QSettings;

class CBleTablet : public CTablet {
    Q_OBJECT

public:
    using SendFn = int32_t (*)(const uint8_t *data, int32_t length);
    using OpenFn = int32_t (*)(const char *name);
    using DataCallbackFn = int32_t (*)(const uint8_t *data, int32_t length);
    using RegisterFn = void (*)(DataCallbackFn callback);
    using CloseFn = void (*)();

    // nameTable ("Common/PID_xxxx") may be null. libraryPath names the library without
    // its suffix; empty: "libInkBLE" in the program's folder.
    CBleTablet(int tabletIndex, QSettings *nameTable, const QString &libraryPath = QString(),
               QObject *parent = nullptr);
    ~CBleTablet() override;

    bool OpenBleDevice(const QByteArray &path, const BleModelEntry *entry) override;
    void SentCmd(int type, int a, int b) override;
    void CloseDevice() override;

    bool isOpen() const { return opened != 0; }
    bool libraryLoaded() const { return loaded != 0; }

    // Command lengths of the Bluetooth forms.
    static constexpr int kCommandLength = 10;
    static constexpr int kLightCommandLength = 12;
    // Tries of the attribute and mode requests at open, each waiting this long.
    static constexpr int kReplyTries = 30;
    static constexpr int kReplyWaitMs = 100;
    // TabletType byte 1 of a Bluetooth tablet.
    static constexpr uint8_t kBluetoothMarker = 0x81;

private:
    static int32_t DataCallback(const uint8_t *data, int32_t length);
    // Sends one command; returns the library's result (0 when it is missing).
    int32_t Send(const uint8_t *data, int length);

    QSettings *m_nameTable;
    QLibrary library;
    uint8_t loaded = 0;
    uint8_t opened = 0; // GUI thread

    // Process-wide, resolved by every construction that loads the library.
    static std::atomic<SendFn> s_send;
    static std::atomic<OpenFn> s_open;
    static std::atomic<RegisterFn> s_register;
    static std::atomic<CloseFn> s_close;
    // The Bluetooth tablet the data callback feeds: the last one constructed.
    static std::atomic<CBleTablet *> s_current;
};
