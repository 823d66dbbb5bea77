#include "monitor/monitorids.h"

namespace MonitorIds {

const QStringList &Fragments()
{
    // Manufacturer "IKA" with the product codes of our pen displays.
    static const QStringList fragments = {
        QStringLiteral("IKA1560"), // 15.6" pen display (DDC/CI checked)
        QStringLiteral("IKA1561"), // 15.6" second model
        QStringLiteral("IKA1330"),
        QStringLiteral("IKA2200"),
        QStringLiteral("IKA2400"),
    };
    return fragments;
}

QString ManufacturerId(const QByteArray &edid)
{
    if (edid.size() < 128)
        return QString();
    const auto *e = reinterpret_cast<const uchar *>(edid.constData());
    const int word = (e[8] << 8) | e[9];
    QString id;
    for (int shift = 10; shift >= 0; shift -= 5) {
        const int letter = (word >> shift) & 0x1F;
        if (letter < 1 || letter > 26)
            return QString();
        id.append(QChar('A' + letter - 1));
    }
    return id;
}

int ProductCode(const QByteArray &edid)
{
    if (edid.size() < 128)
        return -1;
    const auto *e = reinterpret_cast<const uchar *>(edid.constData());
    return e[10] | (e[11] << 8);
}

QString DeviceId(const QByteArray &edid)
{
    const QString manufacturer = ManufacturerId(edid);
    if (manufacturer.isEmpty())
        return QString();
    return QStringLiteral("MONITOR\\%1%2").arg(manufacturer).arg(ProductCode(edid), 4, 16, QChar('0')).toUpper();
}

int MatchFragment(const QString &deviceId)
{
    if (deviceId.isEmpty())
        return -1;
    const QStringList &fragments = Fragments();
    for (int i = 0; i < fragments.size(); ++i) {
        if (deviceId.contains(fragments[i], Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

QByteArray MakeEdid(const QString &manufacturer, quint16 productCode, quint32 serial)
{
    uchar e[128] = {};
    static const uchar header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    for (int i = 0; i < 8; ++i)
        e[i] = header[i];
    int word = 0;
    for (int i = 0; i < 3; ++i) {
        const QChar c = i < manufacturer.size() ? manufacturer.at(i).toUpper() : QChar('A');
        word = (word << 5) | ((c.unicode() - 'A' + 1) & 0x1F);
    }
    e[8] = static_cast<uchar>(word >> 8);
    e[9] = static_cast<uchar>(word & 0xFF);
    e[10] = static_cast<uchar>(productCode & 0xFF);
    e[11] = static_cast<uchar>(productCode >> 8);
    for (int i = 0; i < 4; ++i)
        e[12 + i] = static_cast<uchar>(serial >> (8 * i));
    e[16] = 1;   // week of manufacture
    e[17] = 33;  // year - 1990
    e[18] = 1;   // EDID 1.4
    e[19] = 4;
    uchar sum = 0;
    for (int i = 0; i < 127; ++i)
        sum = static_cast<uchar>(sum + e[i]);
    e[127] = static_cast<uchar>(0x100 - sum);
    return QByteArray(reinterpret_cast<const char *>(e), sizeof e);
}

QByteArray SimulatedPenDisplayEdid()
{
    const QString fragment = Fragments().at(0);
    return MakeEdid(fragment.left(3), static_cast<quint16>(fragment.mid(3).toUInt(nullptr, 16)));
}

} // namespace MonitorIds
