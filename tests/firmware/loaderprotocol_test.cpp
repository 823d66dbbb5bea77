// The loader protocol as bytes: CRC, packets, dates and the image checks.
#include "firmware/firmwareimage.h"
#include "sim/simloader.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace FirmwareImage;

TEST(LoaderProtocol, CrcOfKnownTextsAndAgreesWithTheSimulatedLoader)
{
    EXPECT_EQ(Crc16(QByteArray("abc")), 0x9DD6);
    EXPECT_EQ(Crc16(QByteArray("123456789")), 0x31C3);
    EXPECT_EQ(Crc16(QByteArray()), 0x0000);

    // The nibble table against the loader's bit-by-bit form, over bytes with every
    // high bit and nibble value: a wrong table entry shows up here.
    QRandomGenerator random(7);
    for (int size : {1, 2, 55, 56, 57, 1000}) {
        QByteArray data(size, '\0');
        for (char &c : data)
            c = char(random.bounded(256));
        EXPECT_EQ(Crc16(data), SimLoader::Crc16(data)) << size;
    }
}

TEST(LoaderProtocol, StartPacketCarriesSizeAndCrcLittleEndian)
{
    const QByteArray p = StartPacket(0x0102A3B4u, 0xC5D6);
    ASSERT_EQ(p.size(), 60);
    const uint8_t head[] = {0x02, 0xB2, 0x02, 0xB4, 0xA3, 0x02, 0x01, 0xD6, 0xC5};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(uint8_t(p[i]), head[i]) << i;
    EXPECT_EQ(p.mid(9), QByteArray(51, '\0'));
}

TEST(LoaderProtocol, DataPacketsCarry56BytesAndPadTheLast)
{
    QByteArray image(57, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(0xA0 + i); // never zero, so padding is visible
    const QByteArray first = DataPacket(image, 0);
    const QByteArray last = DataPacket(image, 56);
    ASSERT_EQ(first.size(), 60);
    ASSERT_EQ(last.size(), 60);
    EXPECT_EQ(first.left(4), QByteArray::fromHex("02b203ff"));
    EXPECT_EQ(first.mid(4), image.left(56));
    // Second packet: the one remaining byte, then 55 zeros.
    EXPECT_EQ(last.left(4), QByteArray::fromHex("02b203ff"));
    EXPECT_EQ(uint8_t(last[4]), uint8_t(image[56]));
    EXPECT_EQ(last.mid(5), QByteArray(55, '\0'));
}

TEST(LoaderProtocol, ProgressFollowsTheSentCountRule)
{
    // 112 bytes: two packets, 5600/112 = 50 then 100.
    ProgressCounter exact(112);
    int p = 0;
    ASSERT_TRUE(exact.Advance(&p));
    EXPECT_EQ(p, 50);
    ASSERT_TRUE(exact.Advance(&p));
    EXPECT_EQ(p, 100);

    // 57 bytes: 98, then 196 on the second packet.
    ProgressCounter padded(57);
    ASSERT_TRUE(padded.Advance(&p));
    EXPECT_EQ(p, 98);
    ASSERT_TRUE(padded.Advance(&p));
    EXPECT_EQ(p, 196);

    // A larger image gives the same value for several packets; it is emitted once.
    ProgressCounter large(40000); // 5600 * n / 40000: 0 for n = 1..7, 1 for n = 8
    QVector<int> values;
    for (int packet = 0; packet < 8; ++packet) {
        if (large.Advance(&p))
            values << p;
    }
    EXPECT_EQ(values, (QVector<int>{0, 1}));
}

TEST(LoaderProtocol, DateRuleAndVersion)
{
    EXPECT_EQ(FirmwareDate(QStringLiteral("20211026")), 20211026);
    EXPECT_EQ(FirmwareDate(QStringLiteral("20211026-rc2")), 20211026); // first 8 characters only
    EXPECT_EQ(FirmwareDate(QStringLiteral("V1.0.3")), 0);
    EXPECT_EQ(FirmwareDate(QString()), 0);

    const QString model = QString::fromLatin1(kFirmwareVersion);
    EXPECT_TRUE(NeedsUpdate(model, 20211026));  // the last outdated date itself
    EXPECT_FALSE(NeedsUpdate(model, 20211027)); // one day later
    EXPECT_TRUE(NeedsUpdate(model, 0));         // unreadable date: treated as old
    EXPECT_FALSE(NeedsUpdate(QStringLiteral("KPX2000A-B"), 20200101));
    EXPECT_FALSE(NeedsUpdate(QStringLiteral("kpx2000a-a"), 20200101)); // exact text only
}

TEST(LoaderProtocol, ImagesTheLoaderCannotTakeAreRefused)
{
    EXPECT_EQ(CheckImage(QByteArray(), true), ImageCheck::Empty);
    EXPECT_EQ(CheckImage(QByteArray(int(kMaxImageBytes), 'x'), false), ImageCheck::Ok);
    EXPECT_EQ(CheckImage(QByteArray(int(kMaxImageBytes) + 1, 'x'), true), ImageCheck::TooLarge);
    // The generated placeholder goes only to a simulated loader.
    const QByteArray placeholder = QByteArray(kPlaceholderMarker) + QByteArray(100, 'x');
    EXPECT_EQ(CheckImage(placeholder, false), ImageCheck::Placeholder);
    EXPECT_EQ(CheckImage(placeholder, true), ImageCheck::Ok);
}

TEST(LoaderProtocol, UpdaterLanguageTableHasNoTurkish)
{
    EXPECT_EQ(LanguageGroup(1055), QStringLiteral("English"));
    EXPECT_EQ(LanguageGroup(2052), QStringLiteral("ChineseSimplified"));
    EXPECT_EQ(LanguageGroup(20490), QStringLiteral("Spanish"));
}

TEST(SimulatedLoader, DateOfImageComesFromItsHeader)
{
    EXPECT_EQ(SimLoader::DateOfImage(QByteArray("INKORA PLACEHOLDER FIRMWARE\nModel KPX2000A-A 20220519\n")),
              QStringLiteral("20220519"));
    EXPECT_EQ(SimLoader::DateOfImage(QByteArray(300, 'x')), QString::fromLatin1(SimLoader::kDefaultImageDate));
}
