#include "action/caction.h"

#include "driverlink/driverlink.h"

#include <algorithm>
#include <cstring>

CAction::CAction(int tabletIndex, QObject *parent)
    : QObject(parent)
    , m_TabletIndex(tabletIndex)
    , m_PenPath(DriverLink::Input())
{
}

void CAction::MapPen(const TabletPacket &packet, const DeviceAttributes &attributes,
                     const TabletXMLData &profile, MultiData &out)
{
    // The common profile stands for the foreground application's until that is tracked;
    // no foreground process yet (pid 0), so no Wintab context is served.
    const AppConfigNode *app = &profile.CommonAPP;
    m_PenPath.MapPen(packet, attributes, profile, app, out);
    m_PenPath.PenOutput(packet, attributes, profile, app, 0, out);
}

MultiData CAction::ProcessPacket(const TabletPacket &packet,
                                 const DeviceAttributes &attributes,
                                 const TabletXMLData &profile, const AppConfigMap &apps)
{
    Q_UNUSED(apps); // foreground application profiles come with the application tracking
    ++m_ProcessedPackets;

    MultiData out;
    std::memset(&out, 0, sizeof out);
    out.flags = packet.flags;

    if (packet.flags & PacketPen)
        MapPen(packet, attributes, profile, out);
    if (packet.flags & PacketPenButton) {
        out.penButtonNo = packet.penButtonNo;
        out.penButtonDown = packet.penButtonDown;
    }
    if (packet.flags & PacketKeys) {
        for (int k = 0; k < kTabletKeyCount; ++k) {
            if (packet.keys[k] == packet.prevKeys[k])
                continue;
            out.keyId = static_cast<uint16_t>(k);
            out.keyDown = packet.keys[k] ? 1 : 0;
        }
    }
    if (packet.flags & PacketRing) {
        out.ringIndex = packet.ringIndex;
        out.ringDelta = packet.ringDelta;
    }
    return out;
}
