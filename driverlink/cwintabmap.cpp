#include "driverlink/cwintabmap.h"

#include "platform/ipc/ipcbackend.h"

#include <QDebug>
#include <QtEndian>

#include <cstring>

namespace {

// Context record fields.
constexpr int kCtxOpen = 4;
constexpr int kCtxEnabled = 5;
constexpr int kCtxWide = 6;
constexpr int kCtxOptionsNarrow = 48;
constexpr int kCtxOptionsWide = 260;
constexpr int kCtxWindow = 392;
constexpr int kCtxOwnerPid = 400;
constexpr int kCtxSerial = 404;

// Ring entry fields.
constexpr int kEntryValid = 0;
constexpr int kEntryPacket = 4;
constexpr int kPacketFields = 13;

static_assert(kWintabRingOffset == kWintabContextCount * kWintabContextSize, "ring follows the contexts");
static_assert(kWintabCounterOffset == kWintabRingOffset + kWintabRingEntries * kWintabRingEntrySize,
              "counter follows the ring");
static_assert(kEntryPacket + kPacketFields * 4 + 12 == kWintabRingEntrySize, "64-byte packet");
static_assert(kWintabPressureMaxOffset + 4 == kWintabMapSize, "pressure maximum is the last field");

void PutI32(uint8_t *p, int32_t v)
{
    qToLittleEndian<qint32>(v, p);
}

int32_t GetI32(const uint8_t *p)
{
    return qFromLittleEndian<qint32>(p);
}

// The counter is read by other processes without a lock: it moves on only after the
// packet it counts is in place.
int32_t *CounterWord(uint8_t *map)
{
    return reinterpret_cast<int32_t *>(map + kWintabCounterOffset);
}

} // namespace

namespace WintabLayout {

int32_t ReadI32(const uint8_t *map, int offset)
{
    return GetI32(map + offset);
}

int32_t ReadCounter(const uint8_t *map)
{
    return qFromLittleEndian(__atomic_load_n(reinterpret_cast<const int32_t *>(map + kWintabCounterOffset),
                                             __ATOMIC_ACQUIRE));
}

int EntryOf(int32_t counter)
{
    // Unsigned: a counter past 2^31 (some months of drawing) stays a valid index.
    return int(uint32_t(counter) % uint32_t(kWintabRingEntries));
}

WintabContext ReadContext(const uint8_t *map, int index)
{
    const uint8_t *c = map + index * kWintabContextSize;
    WintabContext out;
    out.open = c[kCtxOpen] != 0;
    out.enabled = c[kCtxEnabled] != 0;
    out.wide = c[kCtxWide] != 0;
    out.options = qFromLittleEndian<quint32>(c + (out.wide ? kCtxOptionsWide : kCtxOptionsNarrow));
    out.window = qFromLittleEndian<quint64>(c + kCtxWindow);
    out.ownerPid = GetI32(c + kCtxOwnerPid);
    out.serial = GetI32(c + kCtxSerial);
    return out;
}

bool ReadPacket(const uint8_t *map, int entry, WintabPacket *packet)
{
    const uint8_t *e = map + kWintabRingOffset + entry * kWintabRingEntrySize;
    if (qFromLittleEndian<quint16>(e + kEntryValid) != 1)
        return false;
    const uint8_t *p = e + kEntryPacket;
    packet->context = GetI32(p + 0);
    packet->status = GetI32(p + 4);
    packet->time = qFromLittleEndian<quint32>(p + 8);
    packet->changed = qFromLittleEndian<quint32>(p + 12);
    packet->serial = GetI32(p + 16);
    packet->cursor = GetI32(p + 20);
    packet->buttons = GetI32(p + 24);
    packet->x = GetI32(p + 28);
    packet->y = GetI32(p + 32);
    packet->pressure = GetI32(p + 36);
    packet->azimuth = GetI32(p + 40);
    packet->altitude = GetI32(p + 44);
    packet->twist = GetI32(p + 48);
    return true;
}

} // namespace WintabLayout

CWintabMap::CWintabMap(IpcBackend &ipc) : m_Ipc(ipc)
{
}

CWintabMap::~CWintabMap() = default;

bool CWintabMap::Create()
{
    m_pView = nullptr;
    m_pMap.reset();
    m_pMutex.reset();

    IpcError error = IpcError::None;
    bool result = false;
    m_pMap = m_Ipc.createSharedMemory(QLatin1String(kWintabMapName), kWintabMapSize, &error);
    if (!m_pMap && error == IpcError::MapFailed) {
        // The object is there but cannot be mapped: no map and no mutex.
        qWarning() << "wintable Map Error; \n";
        return false;
    }
    if (m_pMap) {
        m_pView = m_pMap->data();
        std::memset(m_pView, 0, size_t(kWintabMapSize));
        PutI32(m_pView + kWintabXExtentOffset, kWintabXExtent);
        PutI32(m_pView + kWintabYExtentOffset, kWintabYExtent);
        PutI32(m_pView + kWintabPressureMaxOffset, kWintabPressureMax);
        qInfo() << "wintable Map OK\n";
        result = true;
    } else {
        qWarning() << "Wintab map" << kWintabMapName << "not created:" << ipcErrorText(error);
    }

    m_pMutex = m_Ipc.createMutex(QLatin1String(kWintabMutexName), &error);
    if (!m_pMutex)
        qWarning() << "Wintab mutex" << kWintabMutexName << "not created:" << ipcErrorText(error);
    return result;
}

void CWintabMap::SetRect(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    if (!m_pView)
        return;
    std::lock_guard<std::mutex> lock(m_WriteMutex);
    PutI32(m_pView + kWintabRectOffset, left);
    PutI32(m_pView + kWintabRectOffset + 4, top);
    PutI32(m_pView + kWintabRectOffset + 8, right);
    PutI32(m_pView + kWintabRectOffset + 12, bottom);
}

bool CWintabMap::Context(int index, WintabContext *context) const
{
    if (!m_pView || index < 0 || index >= kWintabContextCount)
        return false;
    *context = WintabLayout::ReadContext(m_pView, index);
    return true;
}

[[gnu::hot]] int CWintabMap::FindContext(int64_t ownerPid, WintabContext *context) const
{
    if (!m_pView || ownerPid <= 0)
        return -1;
    for (int i = 0; i < kWintabContextCount; ++i) {
        const uint8_t *c = m_pView + i * kWintabContextSize;
        if (!c[kCtxOpen] || !c[kCtxEnabled] || GetI32(c + kCtxOwnerPid) != ownerPid)
            continue;
        // Other processes write the map: the whole read must still be the one looked for.
        const WintabContext whole = WintabLayout::ReadContext(m_pView, i);
        if (whole.open && whole.enabled && whole.ownerPid == ownerPid) {
            *context = whole;
            return i;
        }
    }
    return -1;
}

int32_t CWintabMap::NextSerial(int index)
{
    if (!m_pView || index < 0 || index >= kWintabContextCount)
        return 0;
    std::lock_guard<std::mutex> lock(m_WriteMutex);
    uint8_t *p = m_pView + index * kWintabContextSize + kCtxSerial;
    const int32_t serial = int32_t(uint32_t(GetI32(p)) + 1u);
    PutI32(p, serial);
    return serial;
}

int32_t CWintabMap::WritePacket(const WintabPacket &packet)
{
    if (!m_pView)
        return -1;
    std::lock_guard<std::mutex> lock(m_WriteMutex);
    const int32_t counter = WintabLayout::ReadCounter(m_pView);
    uint8_t *e = m_pView + kWintabRingOffset + WintabLayout::EntryOf(counter) * kWintabRingEntrySize;
    // Everything but the valid word first: an entry being reused stays marked valid.
    std::memset(e + 2, 0, 2);
    std::memset(e + kEntryPacket + kPacketFields * 4, 0, size_t(kWintabRingEntrySize - kEntryPacket - kPacketFields * 4));
    uint8_t *p = e + kEntryPacket;
    PutI32(p + 0, packet.context);
    PutI32(p + 4, packet.status);
    qToLittleEndian<quint32>(packet.time, p + 8);
    qToLittleEndian<quint32>(packet.changed, p + 12);
    PutI32(p + 16, packet.serial);
    PutI32(p + 20, packet.cursor);
    PutI32(p + 24, packet.buttons);
    PutI32(p + 28, packet.x);
    PutI32(p + 32, packet.y);
    PutI32(p + 36, packet.pressure);
    PutI32(p + 40, packet.azimuth);
    PutI32(p + 44, packet.altitude);
    PutI32(p + 48, packet.twist);
    qToLittleEndian<quint16>(1, e + kEntryValid);
    const int32_t next = int32_t(uint32_t(counter) + 1u);
    __atomic_store_n(CounterWord(m_pView), qToLittleEndian(next), __ATOMIC_RELEASE);
    return next;
}

int32_t CWintabMap::Counter() const
{
    return m_pView ? WintabLayout::ReadCounter(m_pView) : 0;
}

int32_t CWintabMap::YExtent() const
{
    return m_pView ? GetI32(m_pView + kWintabYExtentOffset) : kWintabYExtent;
}
