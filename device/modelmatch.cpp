#include "device/modelmatch.h"

#include <QDebug>

namespace {

QString Hex4Upper(int value)
{
    return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

QString Dec2(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString UsbMatchText(const UsbModelEntry &e)
{
    QString text = QStringLiteral("vid_%1&pid_%2&mi_%3")
                       .arg(Hex4Upper(e.vendorId), Hex4Upper(e.productId), Dec2(e.interface));
    if (e.collection > 0)
        text += QStringLiteral("&col") + Dec2(e.collection);
    return text;
}

QString BleMatchText(const BleModelEntry &e)
{
    return QStringLiteral("Dev_VID&02%1_PID&%2_REV").arg(Hex4Upper(e.vendorId), Hex4Upper(e.productId));
}

QString BleCollectionText(const BleModelEntry &e)
{
    return QStringLiteral("&col") + Dec2(e.collection);
}

const UsbModelEntry *MatchUsbModel(const QString &path)
{
    for (const UsbModelEntry &e : kUsbModels) {
        if (path.contains(UsbMatchText(e), Qt::CaseInsensitive))
            return &e;
    }
    return nullptr;
}

const BleModelEntry *MatchBleModel(const QString &path)
{
    for (const BleModelEntry &e : kBleModels) {
        const QString device = BleMatchText(e);
        const QString collection = BleCollectionText(e);
        qInfo().noquote() << "getBLEDeviceListIndex" << device << collection;
        if (path.contains(device, Qt::CaseInsensitive) && path.contains(collection, Qt::CaseInsensitive))
            return &e;
    }
    return nullptr;
}

bool IsMakerUsbPath(const QString &path)
{
    return path.contains(QLatin1String("vid_28bd"), Qt::CaseInsensitive);
}

bool IsMakerBlePath(const QString &path)
{
    return path.contains(QLatin1String("0228bd_pid"), Qt::CaseInsensitive);
}
