#pragma once
// The loader protocol of the updatable model (firmware "KPX2000A-A", product 0x0935),
// as pure functions of bytes: image CRC, the 60-byte Start and Data packets, the
// firmware date rule and the image checks made before anything is sent.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>

namespace FirmwareImage {

// The model this updater serves and the last firmware date that needs the new image.
constexpr char kFirmwareVersion[] = "KPX2000A-A";
constexpr int kLastOutdatedDate = 20211026; // yyyymmdd; this date itself needs the update

// Every loader packet is one 60-byte output buffer; a Data packet carries 56 image bytes.
constexpr int kPacketSize = 60;
constexpr int kDataBytesPerPacket = 56;

// The loader's application area. The Start packet could announce up to 4 GiB, but an
// image beyond the flash would be cut short by the loader and leave the tablet without
// a working firmware, so larger files are refused before the tablet is touched.
constexpr qint64 kMaxImageBytes = 256 * 1024;

// The generated test image starts with this text. It must never reach a real tablet.
constexpr char kPlaceholderMarker[] = "INKORA PLACEHOLDER FIRMWARE";

// Loader replies: 0x02 0xB2 0x02 then 0x01 erase finished or 0x02 update finished.
constexpr uint8_t kReplyEraseFinished = 0x01;
constexpr uint8_t kReplyUpdateFinished = 0x02;

// CRC-16/XMODEM (polynomial 0x1021, initial 0, no reflection, no final XOR), computed
// a nibble at a time with a 16-entry table, high nibble of each byte first.
uint16_t Crc16(const QByteArray &data);

// Start: 0x02 0xB2 0x02, image size (u32 LE), image CRC (u16 LE), zeros to 60 bytes.
QByteArray StartPacket(uint32_t imageSize, uint16_t crc);

// Data: 0x02 0xB2 0x03 0xFF, then the 56 image bytes at offset (the last packet carries
// the remainder, zero-padded), 60 bytes.
QByteArray DataPacket(const QByteArray &image, int offset);

// The firmware date of a date text: its first 8 characters as a decimal number, 0 when
// they are not one.
int FirmwareDate(const QString &dateText);

// True for the updatable model with a date up to and including kLastOutdatedDate.
bool NeedsUpdate(const QString &version, int date);

// Why an image may not be sent, or Ok. A placeholder image is accepted only by a
// simulated loader.
enum class ImageCheck { Ok, Empty, TooLarge, Placeholder };
ImageCheck CheckImage(const QByteArray &image, bool simulatedLoader);
QString ImageCheckText(ImageCheck check);

// Progress of the image stream: after each packet the sent count grows by 5600, so the
// value is sent / size in percent (integer division); a value equal to the last one
// emitted is not emitted again. The value passes 100 on the last packet of most images.
class ProgressCounter {
public:
    explicit ProgressCounter(qint64 imageSize) : m_size(imageSize) {}
    // Counts one packet. True with *percent when the value is new.
    bool Advance(int *percent);

private:
    qint64 m_size;
    qint64 m_sent = 0;
    int m_last = -1;
};

// The language group of the updater's texts for a Windows language id. Unlike the main
// program's table it has no Turkish group.
QString LanguageGroup(int languageId);

} // namespace FirmwareImage
