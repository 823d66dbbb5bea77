// The Wintab map: its byte layout as another process reads it, the ring, and creation.
#include "driverlink/cwintabmap.h"
#include "platform/ipc/linux/posixipcbackend.h"
#include "tests/device/logcapture.h"

#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

class WintabMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(map.Create());
        // The driver side's view: an open of the same name, as another process makes it.
        peer = ipc.openSharedMemory(QLatin1String(kWintabMapName), kWintabMapSize, false, nullptr);
        ASSERT_TRUE(peer);
    }

    int32_t I32(int offset) const { return qFromLittleEndian<qint32>(peer->constData() + offset); }
    uint16_t U16(int offset) const { return qFromLittleEndian<quint16>(peer->constData() + offset); }
    void PutI32(int offset, int32_t v) { qToLittleEndian<qint32>(v, peer->data() + offset); }

    static WintabPacket Packet(int n)
    {
        WintabPacket p;
        p.context = 1; p.status = 2; p.time = 3u + uint32_t(n); p.changed = 0x14; p.serial = n;
        p.cursor = 1; p.buttons = 1; p.x = 100 + n; p.y = 200; p.pressure = 4000;
        p.azimuth = 900; p.altitude = 450; p.twist = 0;
        return p;
    }

    QTemporaryDir dir;
    PosixIpcBackend ipc{dir.path()};
    CWintabMap map{ipc};
    std::unique_ptr<SharedMemory> peer;
};

} // namespace

TEST_F(WintabMap, CreatedMapHoldsOnlyTheExtentsAndTheMutexExists)
{
    EXPECT_EQ(I32(88820), 44800);
    EXPECT_EQ(I32(88824), 29600);
    EXPECT_EQ(I32(88828), 8191);
    for (int i = 0; i < 88820; ++i)
        ASSERT_EQ(peer->constData()[i], 0) << "byte " << i;
    EXPECT_EQ(map.YExtent(), 29600);
    EXPECT_TRUE(ipc.openMutex(QLatin1String(kWintabMutexName), nullptr));

    // Made anew over an old map: zeroed again, the peer's mapping sees it.
    std::memset(peer->data(), 0xAB, 88800);
    LogCapture log;
    ASSERT_TRUE(map.Create());
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("wintable Map OK\n")}));
    EXPECT_EQ(I32(20800), 0);
    EXPECT_EQ(I32(0), 0);
}

TEST_F(WintabMap, PacketLandsAtTheFixedOffsetsOfItsRingEntry)
{
    PutI32(88800, 7); // seven packets were written before
    EXPECT_EQ(map.WritePacket(Packet(9)), 8);
    const int e = 20800 + 7 * 68;
    EXPECT_EQ(U16(e), 1);                  // valid
    EXPECT_EQ(I32(e + 4), 1);              // context
    EXPECT_EQ(I32(e + 8), 2);              // status
    EXPECT_EQ(I32(e + 12), 12);            // time
    EXPECT_EQ(I32(e + 16), 0x14);          // changed mask
    EXPECT_EQ(I32(e + 20), 9);             // serial
    EXPECT_EQ(I32(e + 24), 1);             // cursor
    EXPECT_EQ(I32(e + 28), 1);             // buttons
    EXPECT_EQ(I32(e + 32), 109);           // x
    EXPECT_EQ(I32(e + 36), 200);           // y
    EXPECT_EQ(I32(e + 40), 4000);          // normal pressure
    EXPECT_EQ(I32(e + 44), 900);           // azimuth
    EXPECT_EQ(I32(e + 48), 450);           // altitude
    EXPECT_EQ(I32(e + 52), 0);             // twist
    for (int i = e + 56; i < e + 68; ++i)
        EXPECT_EQ(peer->constData()[i], 0);
    EXPECT_EQ(I32(88800), 8);

    WintabPacket read;
    ASSERT_TRUE(WintabLayout::ReadPacket(peer->constData(), 7, &read));
    EXPECT_EQ(read.x, 109);
    EXPECT_FALSE(WintabLayout::ReadPacket(peer->constData(), 8, &read));
}

TEST_F(WintabMap, ThousandAndFirstPacketOverwritesEntryZeroWhileTheCounterCountsOn)
{
    for (int n = 0; n < 1000; ++n)
        map.WritePacket(Packet(n));
    EXPECT_EQ(I32(20800 + 32), 100); // entry 0: packet 0
    EXPECT_EQ(map.WritePacket(Packet(1000)), 1001);
    EXPECT_EQ(I32(88800), 1001);
    EXPECT_EQ(I32(20800 + 32), 1100);            // entry 0 now packet 1000
    EXPECT_EQ(I32(20800 + 68 + 32), 101);        // entry 1 still packet 1
    EXPECT_EQ(WintabLayout::EntryOf(1001), 1);
}

TEST_F(WintabMap, CounterPastTheSignedRangeStillIndexesTheRing)
{
    PutI32(88800, INT_MAX);
    EXPECT_EQ(map.WritePacket(Packet(1)), INT_MIN);
    EXPECT_EQ(U16(20800 + (INT_MAX % 1000) * 68), 1);
    EXPECT_EQ(map.WritePacket(Packet(2)), INT_MIN + 1);
    EXPECT_EQ(U16(20800 + int(2147483648u % 1000u) * 68), 1);
}

TEST_F(WintabMap, RectangleAndContextRecordsAtTheirOffsets)
{
    map.SetRect(-1920, 0, 2560, 1440);
    EXPECT_EQ(I32(88804), -1920);
    EXPECT_EQ(I32(88808), 0);
    EXPECT_EQ(I32(88812), 2560);
    EXPECT_EQ(I32(88816), 1440);

    // Context 3 as the driver side fills it: 8-bit description, then a wide one.
    uint8_t *c = peer->data() + 3 * 416;
    c[4] = 1; c[5] = 1; c[6] = 0;
    qToLittleEndian<quint32>(0x112, c + 48);
    qToLittleEndian<quint32>(0x999, c + 260);
    qToLittleEndian<quint64>(0x1234567890ULL, c + 392);
    qToLittleEndian<qint32>(4242, c + 400);
    WintabContext ctx;
    ASSERT_TRUE(map.Context(3, &ctx));
    EXPECT_TRUE(ctx.open && ctx.enabled && !ctx.wide);
    EXPECT_EQ(ctx.options, 0x112u);
    EXPECT_EQ(ctx.window, 0x1234567890ULL);
    EXPECT_EQ(ctx.ownerPid, 4242);
    c[6] = 1;
    ASSERT_TRUE(map.Context(3, &ctx));
    EXPECT_EQ(ctx.options, 0x999u);

    EXPECT_EQ(map.NextSerial(3), 1);
    EXPECT_EQ(map.NextSerial(3), 2);
    EXPECT_EQ(I32(3 * 416 + 404), 2);
    EXPECT_FALSE(map.Context(50, &ctx));
    EXPECT_FALSE(map.Context(-1, &ctx));

    // The search for the foreground process's context: open, enabled and its own.
    uint8_t *disabled = peer->data() + 1 * 416;
    disabled[4] = 1;
    qToLittleEndian<qint32>(4242, disabled + 400);
    uint8_t *other = peer->data() + 2 * 416;
    other[4] = 1;
    other[5] = 1;
    qToLittleEndian<qint32>(7, other + 400);
    EXPECT_EQ(map.FindContext(4242, &ctx), 3);
    EXPECT_EQ(ctx.window, 0x1234567890ULL);
    EXPECT_EQ(map.FindContext(7, &ctx), 2);
    EXPECT_EQ(map.FindContext(0, &ctx), -1);
    c[4] = 0; // closed
    EXPECT_EQ(map.FindContext(4242, &ctx), -1);
}

namespace {

// Fails the map in one of two ways and remembers whether the mutex was asked for.
class FailingIpc : public PosixIpcBackend {
public:
    FailingIpc(const QString &folder, IpcError failure) : PosixIpcBackend(folder), m_failure(failure) {}
    std::unique_ptr<SharedMemory> createSharedMemory(const QString &, int, IpcError *error) override
    {
        *error = m_failure;
        return nullptr;
    }
    std::unique_ptr<NamedMutex> createMutex(const QString &name, IpcError *error) override
    {
        mutexAsked = true;
        return PosixIpcBackend::createMutex(name, error);
    }
    bool mutexAsked = false;

private:
    IpcError m_failure;
};

} // namespace

TEST(WintabMapFailure, UnmappableMapMakesNoMutexWhileAnUncreatableOneStillDoes)
{
    QTemporaryDir dir;
    {
        FailingIpc ipc(dir.path(), IpcError::MapFailed);
        CWintabMap map(ipc);
        LogCapture log;
        EXPECT_FALSE(map.Create());
        EXPECT_EQ(log.lines(), QStringList({QStringLiteral("wintable Map Error; \n")}));
        EXPECT_FALSE(ipc.mutexAsked);
    }
    {
        FailingIpc ipc(dir.path(), IpcError::CreateFailed);
        CWintabMap map(ipc);
        EXPECT_FALSE(map.Create());
        EXPECT_TRUE(ipc.mutexAsked);
        EXPECT_FALSE(map.IsCreated());
        // Without a map every access is refused, none crashes.
        EXPECT_EQ(map.WritePacket(WintabPacket()), -1);
        map.SetRect(0, 0, 1, 1);
        EXPECT_EQ(map.NextSerial(0), 0);
        EXPECT_EQ(map.Counter(), 0);
    }
}
