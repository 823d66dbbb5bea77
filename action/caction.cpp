#include "action/caction.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kPressureOut = 8191; // pressure range of MultiData
constexpr int32_t kPhysicalX = 44800;  // physical position units
constexpr int32_t kPhysicalY = 29600;
constexpr int32_t kHidRange = 32767;   // HID position units

// value in 0..maxIn scaled to 0..maxOut; a device that reported no range gives 0.
int32_t Scale(int32_t value, int32_t maxIn, int32_t maxOut)
{
    if (maxIn <= 0)
        return 0;
    const int64_t clamped = std::clamp<int64_t>(value, 0, maxIn);
    return static_cast<int32_t>(clamped * maxOut / maxIn);
}

} // namespace

CAction::CAction(int tabletIndex, QObject *parent)
    : QObject(parent)
    , m_TabletIndex(tabletIndex)
{
}

void CAction::MapPen(const TabletPacket &packet, const DeviceAttributes &attributes,
                     const TabletXMLData &profile, MultiData &out) const
{
    // Linear until the pressure curve is applied here.
    if (packet.pressure != 0)
        out.pressure = Scale(packet.pressure, attributes.MaxPressure, kPressureOut);

    out.x44800 = Scale(packet.x, attributes.MaxX, kPhysicalX);
    out.y29600 = Scale(packet.y, attributes.MaxY, kPhysicalY);
    out.x7FFF = Scale(packet.x, attributes.MaxX, kHidRange);
    out.y7FFF = Scale(packet.y, attributes.MaxY, kHidRange);

    if (!profile.DisableSlope) {
        out.tiltX = static_cast<uint8_t>(packet.tiltX);
        out.tiltY = static_cast<uint8_t>(packet.tiltY);
    }
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
