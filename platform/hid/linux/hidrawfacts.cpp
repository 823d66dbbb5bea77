#include "platform/hid/linux/hidrawfacts.h"

#include "platform/hid/linux/reportdescriptor.h"

#include <QRegularExpression>

namespace {

// Device interface class GUID of HID interfaces: ends every interface text.
const char kHidClassSuffix[] = "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
// Service UUIDs Windows puts in front of Bluetooth HID hardware ids.
const char kHogService[] = "{00001812-0000-1000-8000-00805f9b34fb}";   // HID over GATT
const char kClassicService[] = "{00001124-0000-1000-8000-00805f9b34fb}"; // Bluetooth classic HID

QString Hex4(unsigned value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

bool ParseHex(const QString &text, uint32_t *value)
{
    bool ok = false;
    const qulonglong v = text.trimmed().toULongLong(&ok, 16);
    if (!ok || v > 0xFFFFFFFFull)
        return false;
    *value = uint32_t(v);
    return true;
}

int ParseDecimal(const QString &text, int fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok && v >= 0 ? v : fallback;
}

// "a1:b2:c3:d4:e5:f6" -> "a1b2c3d4e5f6"; Windows prints the address as 12 hex digits.
QString AddressDigits(const QString &uniq)
{
    QString digits;
    for (const QChar c : uniq) {
        if (c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            digits += c.toLower();
    }
    if (digits.size() != 12)
        return QStringLiteral("000000000000");
    return digits;
}

} // namespace

bool ParseHidrawTree(const HidrawTree &tree, HidrawFacts *facts, QString *why)
{
    if (tree.hidSyspath.isEmpty()) {
        *why = QStringLiteral("%1 has no hid parent").arg(tree.sysname);
        return false;
    }
    const QStringList id = tree.hidId.split(QLatin1Char(':'));
    uint32_t bus = 0, vendor = 0, product = 0;
    if (id.size() != 3 || !ParseHex(id[0], &bus) || !ParseHex(id[1], &vendor)
        || !ParseHex(id[2], &product) || vendor > 0xFFFF || product > 0xFFFF) {
        *why = QStringLiteral("%1: unreadable HID_ID \"%2\"").arg(tree.sysname, tree.hidId);
        return false;
    }
    HidrawFacts f;
    f.sysname = tree.sysname;
    f.syspath = tree.syspath;
    f.devnode = tree.devnode.isEmpty() ? QStringLiteral("/dev/") + tree.sysname : tree.devnode;
    f.hidSyspath = tree.hidSyspath;
    f.driver = tree.driver;
    f.bus = int(bus);
    f.vendorId = uint16_t(vendor);
    f.productId = uint16_t(product);
    f.name = tree.hidName;
    f.uniq = tree.hidUniq;
    f.collections = CountApplicationCollections(
        reinterpret_cast<const uint8_t *>(tree.reportDescriptor.constData()),
        tree.reportDescriptor.size());
    f.outputLengths = OutputReportLengths(
        reinterpret_cast<const uint8_t *>(tree.reportDescriptor.constData()),
        tree.reportDescriptor.size());
    f.eventNodes = tree.eventNodes;
    uint32_t version = 0;
    if (ParseHex(tree.inputVersion, &version) && version <= 0xFFFF)
        f.version = uint16_t(version);

    if (f.bus == kBusUsb) {
        uint32_t number = 0;
        // sysfs prints bInterfaceNumber as two hex digits ("0a" is interface 10).
        if (ParseHex(tree.interfaceNumber, &number) && number <= 0xFF)
            f.interfaceNumber = int(number);
        f.usbBusnum = ParseDecimal(tree.busnum, -1);
        f.usbDevnum = ParseDecimal(tree.devnum, -1);
        f.manufacturer = tree.manufacturer;
        f.product = tree.product.isEmpty() ? tree.hidName : tree.product;
        f.serial = tree.serial;
    } else {
        f.product = tree.hidName;
        f.serial = tree.hidUniq;
    }
    // BlueZ creates LE (HID over GATT) devices through uhid; classic ones through hidp.
    f.lowEnergy = f.bus == kBusBluetooth && tree.hidSyspath.contains(QLatin1String("/uhid/"));
    *facts = f;
    return true;
}

QVector<HidDeviceInfo> BuildInterfaceTexts(const HidrawFacts &f)
{
    QString hardwareId;
    if (f.bus == kBusUsb) {
        hardwareId = QStringLiteral("vid_%1&pid_%2").arg(Hex4(f.vendorId), Hex4(f.productId));
        // Interface and collection in two decimal digits, as the model-table match
        // builds them.
        if (f.interfaceNumber >= 0)
            hardwareId += QStringLiteral("&mi_%1").arg(f.interfaceNumber, 2, 10, QLatin1Char('0'));
    } else if (f.bus == kBusBluetooth && f.lowEnergy) {
        // Vendor id source 02: a USB-IF vendor id.
        hardwareId = QStringLiteral("%1_dev_vid&02%2_pid&%3_rev&%4_%5")
                         .arg(QLatin1String(kHogService), Hex4(f.vendorId), Hex4(f.productId),
                              Hex4(f.version), AddressDigits(f.uniq));
    } else if (f.bus == kBusBluetooth) {
        hardwareId = QStringLiteral("%1_vid&0002%2_pid&%3")
                         .arg(QLatin1String(kClassicService), Hex4(f.vendorId), Hex4(f.productId));
    } else {
        hardwareId = QStringLiteral("vid_%1&pid_%2").arg(Hex4(f.vendorId), Hex4(f.productId));
    }

    // A descriptor without an application collection still makes one interface.
    const int count = f.collections > 1 ? f.collections : 1;
    QVector<HidDeviceInfo> list;
    for (int c = 1; c <= count; ++c) {
        HidDeviceInfo info;
        info.path = QStringLiteral("\\\\?\\hid#") + hardwareId;
        if (count > 1)
            info.path += QStringLiteral("&col%1").arg(c, 2, 10, QLatin1Char('0'));
        info.path += QLatin1Char('#') + f.sysname + QLatin1String(kHidClassSuffix);
        info.vendorId = f.vendorId;
        info.productId = f.productId;
        info.interfaceNumber = f.interfaceNumber;
        info.collection = count > 1 ? c : 0;
        info.bus = f.bus;
        info.manufacturer = f.manufacturer;
        info.product = f.product;
        info.serial = f.serial;
        list.append(info);
    }
    return list;
}

QString HidrawNodeOfPath(const QString &path)
{
    // Interface texts compare without regard to case; node names are lower case.
    static const QRegularExpression node(QStringLiteral("^hidraw[0-9]{1,5}$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QStringList fields = path.split(QLatin1Char('#'));
    if (fields.size() != 4 || !node.match(fields[2]).hasMatch())
        return QString();
    return fields[2].toLower();
}
