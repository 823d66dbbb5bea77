#include "firmware/firmwareimage.h"

#include "base/language.h"

#include <cstring>

namespace FirmwareImage {

uint16_t Crc16(const QByteArray &data)
{
    // CRC of each nibble value 0..15 shifted through the 0x1021 polynomial.
    static const uint16_t kNibbleTable[16] = {
        0x0000, 0x1021, 0x2042, 0x3063, 0x4084, 0x50A5, 0x60C6, 0x70E7,
        0x8108, 0x9129, 0xA14A, 0xB16B, 0xC18C, 0xD1AD, 0xE1CE, 0xF1EF,
    };
    uint16_t crc = 0;
    for (const char c : data) {
        const uint8_t byte = uint8_t(c);
        crc = uint16_t((crc << 4) ^ kNibbleTable[(crc >> 12) ^ (byte >> 4)]);
        crc = uint16_t((crc << 4) ^ kNibbleTable[(crc >> 12) ^ (byte & 0x0F)]);
    }
    return crc;
}

QByteArray StartPacket(uint32_t imageSize, uint16_t crc)
{
    QByteArray p(kPacketSize, '\0');
    p[0] = char(0x02);
    p[1] = char(0xB2);
    p[2] = char(0x02);
    for (int i = 0; i < 4; ++i)
        p[3 + i] = char((imageSize >> (8 * i)) & 0xFF);
    p[7] = char(crc & 0xFF);
    p[8] = char(crc >> 8);
    return p;
}

QByteArray DataPacket(const QByteArray &image, int offset)
{
    QByteArray p(kPacketSize, '\0');
    p[0] = char(0x02);
    p[1] = char(0xB2);
    p[2] = char(0x03);
    p[3] = char(0xFF);
    if (offset >= 0 && offset < image.size()) {
        const int n = qMin(kDataBytesPerPacket, image.size() - offset);
        std::memcpy(p.data() + 4, image.constData() + offset, size_t(n));
    }
    return p;
}

int FirmwareDate(const QString &dateText)
{
    bool ok = false;
    const int date = dateText.left(8).toInt(&ok, 10);
    return ok ? date : 0;
}

bool NeedsUpdate(const QString &version, int date)
{
    return version == QLatin1String(kFirmwareVersion) && date <= kLastOutdatedDate;
}

ImageCheck CheckImage(const QByteArray &image, bool simulatedLoader)
{
    if (image.isEmpty())
        return ImageCheck::Empty;
    if (image.size() > kMaxImageBytes)
        return ImageCheck::TooLarge;
    if (!simulatedLoader && image.startsWith(kPlaceholderMarker))
        return ImageCheck::Placeholder;
    return ImageCheck::Ok;
}

QString ImageCheckText(ImageCheck check)
{
    switch (check) {
    case ImageCheck::Ok: return QStringLiteral("image ok");
    case ImageCheck::Empty: return QStringLiteral("image file is empty");
    case ImageCheck::TooLarge:
        return QStringLiteral("image is larger than the loader takes (%1 bytes)").arg(kMaxImageBytes);
    case ImageCheck::Placeholder:
        return QStringLiteral("image is the generated placeholder, which only a simulated tablet takes");
    }
    return QString();
}

bool ProgressCounter::Advance(int *percent)
{
    if (m_size <= 0)
        return false;
    m_sent += 5600;
    const int value = int(m_sent / m_size);
    if (value == m_last)
        return false;
    m_last = value;
    *percent = value;
    return true;
}

QString LanguageGroup(int languageId)
{
    // The updater's table ends with Polish; Turkish readers get English.
    const QString group = Language::groupForLanguageId(languageId);
    return group == QLatin1String("Turkish") ? QStringLiteral("English") : group;
}

} // namespace FirmwareImage
