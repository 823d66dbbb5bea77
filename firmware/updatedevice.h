#pragma once
// The updater's handle on one device of its device interface: opens it, turns its data
// callback into the tabletData signal (emitted on the device's reading thread) and
// carries the progress signal of the image stream. Destroying it closes the device.

#include "firmware/deviceinterface.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class UpdateDevice : public QObject {
    Q_OBJECT

public:
    explicit UpdateDevice(const QString &path, QObject *parent = nullptr);
    ~UpdateDevice() override;

    // Opens the device and starts its data callback. False when it cannot be opened.
    bool Open();
    QString Path() const { return m_strPath; }
    FwDeviceAttribute Attribute() const;
    // One loader packet or command, within the interface's 300 ms bound.
    bool SendCmd(const QByteArray &packet);
    // Indexed string as text; empty when the device gives none.
    QString StringID(int id);

signals:
    // Emitted on the reading thread; the buffer is valid only during the call.
    void tabletData(quint8 *data, int length);
    void updateProgress(int percent);

private:
    static void OnData(const uint8_t *data, int32_t length, void *user);

    const QString m_strPath;
    FwDevice *m_pHandle = nullptr;
};
