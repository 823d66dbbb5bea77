#pragma once
// The Wintab map: named shared memory in which the driver's Wintab side keeps one
// record per open Wintab context and the program writes pen packets into a ring.
// 88832 bytes, little-endian:
//
//       0  50 context records of 416 bytes
//   20800  packet ring: 1000 entries of 68 bytes
//   88800  packet counter i32: packets written so far; the next goes to counter mod 1000
//   88804  rectangle i32 x4: left, top, right, bottom of the whole desktop
//   88820  logical x extent i32 = 44800
//   88824  logical y extent i32 = 29600
//   88828  pressure maximum i32 = 8191
//
// Context record: 4 open u8, 5 enabled u8, 6 wide u8 (opened through the wide-character
// interface), 8 description in the 8-bit layout (172 bytes), 180 the same in the wide
// layout (212 bytes), 392 window to notify (8 bytes), 400 owner process id i32, 404
// packet serial i32 (the program counts it up for each packet of the context). The
// options word is the description's, at 48 or, for a wide context, at 260.
//
// Ring entry: 0 valid u16 = 1, 4 packet: context, status, time (ms tick), changed
// mask, serial, cursor, buttons, x, y, normal pressure, azimuth, altitude, twist (all
// 32-bit), then 12 zero bytes.
//
// The map is shared with other processes, which read it without a lock: a packet is
// written whole before the counter moves on to it. Within this process the ring writes
// of several tablets' threads are serialised. The program never takes the Wintab mutex
// itself; it only creates it for the driver side.

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>

class IpcBackend;
class NamedMutex;
class SharedMemory;

constexpr char kWintabMapName[] = "Local\\WINTAB_MAP_FILENAME";
constexpr char kWintabMutexName[] = "Local\\VTTABMUTEX";
constexpr int kWintabMapSize = 88832;
constexpr int kWintabContextCount = 50;
constexpr int kWintabContextSize = 416;
constexpr int kWintabRingOffset = 20800;
constexpr int kWintabRingEntries = 1000;
constexpr int kWintabRingEntrySize = 68;
constexpr int kWintabCounterOffset = 88800;
constexpr int kWintabRectOffset = 88804;
constexpr int kWintabXExtentOffset = 88820;
constexpr int kWintabYExtentOffset = 88824;
constexpr int kWintabPressureMaxOffset = 88828;
constexpr int32_t kWintabXExtent = 44800;
constexpr int32_t kWintabYExtent = 29600;
constexpr int32_t kWintabPressureMax = 8191;

struct WintabContext {
    bool open = false;
    bool enabled = false;
    bool wide = false;
    uint32_t options = 0;
    uint64_t window = 0;
    int32_t ownerPid = 0;
    int32_t serial = 0;
};

struct WintabPacket {
    int32_t context = 0;
    int32_t status = 0;
    uint32_t time = 0;
    uint32_t changed = 0;
    int32_t serial = 0;
    int32_t cursor = 0;
    int32_t buttons = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t pressure = 0;
    int32_t azimuth = 0;
    int32_t altitude = 0;
    int32_t twist = 0;
};

// Readers of a mapped copy (this process's or a read-only open of another's).
namespace WintabLayout {
WintabContext ReadContext(const uint8_t *map, int index);
// False when the entry is not marked valid.
bool ReadPacket(const uint8_t *map, int entry, WintabPacket *packet);
int32_t ReadCounter(const uint8_t *map);
int32_t ReadI32(const uint8_t *map, int offset);
// The ring entry the packet with this counter value went to (the counter is the
// number written before it).
int EntryOf(int32_t counter);
} // namespace WintabLayout

class CWintabMap {
public:
    explicit CWintabMap(IpcBackend &ipc);
    ~CWintabMap();

    CWintabMap(const CWintabMap &) = delete;
    CWintabMap &operator=(const CWintabMap &) = delete;

    // Creates (or opens) the map, zeroes it and writes the extents; then creates the
    // Wintab mutex unowned. False when the map is not usable.
    bool Create();
    bool IsCreated() const { return m_pView != nullptr; }

    // The whole desktop's rectangle, after each display enumeration.
    void SetRect(int32_t left, int32_t top, int32_t right, int32_t bottom);

    // Context record index (0..49). False without a map or for a bad index.
    bool Context(int index, WintabContext *context) const;
    // The first context that is open, enabled and owned by ownerPid, into *context;
    // its index, or -1 when there is none (or no map). For every pen report: a closed
    // record costs the line of its flags alone, not the three lines of a whole read.
    int FindContext(int64_t ownerPid, WintabContext *context) const;
    // Counts the context's serial up and returns the new value (0 without a map).
    int32_t NextSerial(int index);
    // Writes the packet into the ring at counter mod 1000, marks it valid and counts the
    // counter up. Returns the new counter (-1 without a map).
    int32_t WritePacket(const WintabPacket &packet);

    int32_t Counter() const;
    // The logical y extent as the map holds it (the packets' y counts down from it).
    int32_t YExtent() const;

    // The mapped bytes (null without a map), for readers in this process.
    const uint8_t *Data() const { return m_pView; }

private:
    IpcBackend &m_Ipc;
    std::unique_ptr<SharedMemory> m_pMap;
    std::unique_ptr<NamedMutex> m_pMutex;
    uint8_t *m_pView = nullptr; // set by Create on the GUI thread before tablets open
    std::mutex m_WriteMutex;    // ring, counter and serial writes of this process
};
