#pragma once
// Where a tablet hands its decoded packets: the tablet decodes, its owner decides what a
// packet does (the program wires the action engine in; a test or tool may wire another).

#include "config/appconfigmap.h"
#include "device/tabletpacket.h"

struct TabletXMLData;

class PacketSink {
public:
    virtual ~PacketSink() = default;
    // Every decoded packet, on the tablet's reading thread with its appsMutex held, so the
    // profile and the application list stay linked for the call. Returns the record the
    // tablet passes on to the window.
    virtual MultiData ProcessPacket(const TabletPacket &packet, const DeviceAttributes &attributes,
                                    const TabletXMLData &profile, const AppConfigMap &apps) = 0;
};
