#include "device/usbidentity.h"

#include "config/profiletext.h"

#include "platform/hid/hidbackend.h"

#include <QDebug>
#include <QSettings>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kReportSize = 64;
constexpr int kDefaultResolution = 5080; // lines per inch when the device does not say
constexpr int kMaxStringChars = 64;      // wide characters of a text string descriptor

// String descriptor indexes.
constexpr int kStrManufacturer = 1;
constexpr int kStrProduct = 2;
constexpr int kStrSerial = 3;
constexpr int kStrFirmwareVersion = 4;
constexpr int kStrFirmwareData = 5;
constexpr int kStrGeometry = 100;
constexpr int kStrCapabilities = 110;
constexpr int kStrSerialCode = 131;

} // namespace

void FinishGeometry(DeviceAttributes &a)
{
    if (a.Resolution <= 0)
        a.Resolution = kDefaultResolution;
    a.WidthInch100 = a.MaxX * 100 / a.Resolution;
    a.HeightInch100 = a.MaxY * 100 / a.Resolution;
}

// A text string descriptor, at most 64 wide characters as the open reads them.
static bool ReadText(HidDevice &dev, int index, QString *text)
{
    if (!dev.indexedString(index, text))
        return false;
    text->truncate(kMaxStringChars);
    return true;
}

void ReadUsbIdentity(HidDevice &dev, QSettings *nameTable, DeviceAttributes &a)
{
    QString text;
    if (ReadText(dev, kStrManufacturer, &text))
        SetProfileText(a.Manufacturer, sizeof a.Manufacturer, text);
    if (ReadText(dev, kStrProduct, &text))
        SetProfileText(a.ProductName, sizeof a.ProductName, text);
    if (ReadText(dev, kStrSerial, &text))
        SetProfileText(a.SerialNumber, sizeof a.SerialNumber, text);

    // Geometry: [0-1] max x, [2-3] max y, [6-7] max pressure, [8-9] resolution,
    // [10] max x bits 16-23, [11] max y bits 16-23.
    uint8_t g[kReportSize] = {};
    if (dev.indexedStringRaw(kStrGeometry, g, kReportSize) < 0) {
        std::memset(g, 0, sizeof g);
        qWarning() << "Unable to read indexed string 100\n";
    }
    a.MaxX = g[0] | g[1] << 8 | g[10] << 16;
    a.MaxY = g[2] | g[3] << 8 | g[11] << 16;
    a.MaxPressure = g[6] | g[7] << 8;
    a.Resolution = g[8] | g[9] << 8;
    FinishGeometry(a);
    qInfo().noquote() << QString::asprintf("manufacturer:%s product:%s Get Max X:0x%x Y:0x%x  Press:0x%x\n",
                                           a.Manufacturer, a.ProductName, unsigned(a.MaxX),
                                           unsigned(a.MaxY), unsigned(a.MaxPressure));

    if (ReadText(dev, kStrFirmwareVersion, &text))
        SetProfileText(a.ICVersion, sizeof a.ICVersion, text);
    if (ReadText(dev, kStrFirmwareData, &text))
        SetProfileText(a.ICData, sizeof a.ICData, text);
    // The capability block string is 64 bytes; the record keeps the first 56, which
    // hold every capability bit the program reads (bytes 1, 3 and 7).
    uint8_t block[kReportSize] = {};
    if (dev.indexedStringRaw(kStrCapabilities, block, kReportSize) > 0)
        std::memcpy(a.TabletType, block, sizeof a.TabletType);
    uint8_t code[sizeof a.SerialCode] = {};
    if (dev.indexedStringRaw(kStrSerialCode, code, int(sizeof code)) > 0)
        std::memcpy(a.SerialCode, code, sizeof a.SerialCode);

    // Name shown to the user: the name table's entry for the product, receivers under
    // "Dongle/", others under "Common/"; else the product string.
    const QString key = QStringLiteral("%1/%2")
                            .arg(a.TabletType[1] == 0x40 ? QStringLiteral("Dongle") : QStringLiteral("Common"),
                                 QString::fromLatin1(a.PidText));
    const QString name = nameTable ? nameTable->value(key).toString() : QString();
    SetProfileText(a.DisplayName, sizeof a.DisplayName, name.isEmpty() ? QString::fromLocal8Bit(a.ProductName) : name);
}

