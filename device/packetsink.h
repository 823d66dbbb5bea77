#pragma once
// Where a tablet hands its decoded packets: the tablet decodes, its owner decides what a
// packet does (the program wires the action engine in; a test or tool may wire another).

#include "config/appconfigmap.h"
#include "device/tabletpacket.h"

struct TabletXMLData;

class PacketSink {
public:
    virtual ~PacketSink() = default;

    // Every decoded packet goes through both steps, in order, on the tablet's reading
    // thread.
    //
    // Step 1, with the tablet's profile lock held: read what the packet needs from the
    // profile and the application list (and make the profile writes the packet causes)
    // into values of the sink's own, and fill out, the record the tablet passes on to
    // the window. No waits, no signals, and no pointer into the profile kept: once the
    // lock is let go the settings window may free any node.
    virtual void ResolvePacket(const TabletPacket &packet, const DeviceAttributes &attributes, TabletXMLData &profile,
                               const AppConfigMap &apps, MultiData &out) = 0;
    // Step 2, without the lock: inject, wait and signal from those values and out only.
    virtual void RunPacket(const TabletPacket &packet, const MultiData &out) = 0;

    // Both steps at once, for a caller that is the only one using the profile (tests,
    // tools, benchmarks).
    MultiData ProcessPacket(const TabletPacket &packet, const DeviceAttributes &attributes, TabletXMLData &profile,
                            const AppConfigMap &apps)
    {
        MultiData out; // ResolvePacket fills every field
        ResolvePacket(packet, attributes, profile, apps, out);
        RunPacket(packet, out);
        return out;
    }
};
