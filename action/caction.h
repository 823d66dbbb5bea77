#pragma once
// The per-tablet action engine. Runs on the tablet's reading thread: for each decoded
// packet it produces the MultiData record the main window shows, and (as the engine
// grows) the pointer output and the key, pen-button and ring actions.

#include "action/penpath.h"
#include "config/profilerecords.h"
#include "device/appconfigmap.h"
#include "device/tabletpacket.h"

#include <QObject>
#include <QString>

#include <cstdint>

class CAction : public QObject
{
    Q_OBJECT

public:
    explicit CAction(int tabletIndex, QObject *parent = nullptr);

    // Entry for every decoded packet. Fills MultiData from the packet:
    //  - flags; penButtonNo/penButtonDown on a pen button event;
    //  - pen sample: pressure scaled linearly to 0..8191 from MaxPressure, position scaled
    //    to 0..44800 x 0..29600 and 0..32767 x 0..32767 from MaxX/MaxY (clamped to the
    //    logical area), tilt (zero when the profile disables it);
    //  - key event: keyId = index of the last key whose state changed, keyDown its state;
    //  - ring step: ringIndex/ringDelta.
    // The application map will select the profile of the foreground application.
    MultiData ProcessPacket(const TabletPacket &packet, const DeviceAttributes &attributes,
                            const TabletXMLData &profile, const AppConfigMap &apps);

    int TabletIndex() const { return m_TabletIndex; }

    // Packets processed so far; read on the reading thread (the replay tool counts
    // engine runs with it).
    uint64_t ProcessedPackets() const { return m_ProcessedPackets; }

    // The pen path: mapping and pointer output of pen samples, and its pen state.
    PenPath &Pen() { return m_PenPath; }

signals:
    // (tablet index, message id, data) to the main window through the tablet.
    void PostActionMsg(int tabletId, int msgId, QString appPath);
    void PostActionMsg(int tabletId, int msgId, int msgData);

private:
    void MapPen(const TabletPacket &packet, const DeviceAttributes &attributes,
                const TabletXMLData &profile, MultiData &out);

    const int m_TabletIndex;
    uint64_t m_ProcessedPackets = 0;
    PenPath m_PenPath;
};
