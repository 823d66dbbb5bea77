#include "base/language.h"

#include <QSettings>

namespace Language {

QString groupForLanguageId(int languageId)
{
    switch (languageId) {
    case 2052:
        return QStringLiteral("ChineseSimplified");
    case 1028: case 3076: case 4100: case 5124:
        return QStringLiteral("ChineseTraditional");
    case 1031: case 2055: case 3079: case 4103: case 5127:
        return QStringLiteral("German");
    case 1036: case 2060: case 3084: case 4108: case 5132: case 6156:
        return QStringLiteral("French");
    case 1041:
        return QStringLiteral("Japanese");
    case 1042:
        return QStringLiteral("Korean");
    case 1049:
        return QStringLiteral("Russian");
    case 1034: case 2058: case 3082: case 4106: case 5130: case 6154: case 7178:
    case 8202: case 9226: case 10250: case 11274: case 12298: case 13322: case 14346:
    case 15370: case 16394: case 17418: case 18442: case 19466: case 20490:
        return QStringLiteral("Spanish");
    case 1040: case 2064:
        return QStringLiteral("Italian");
    case 1054:
        return QStringLiteral("Thai");
    case 1046: case 2070:
        return QStringLiteral("Portuguese");
    case 1066:
        return QStringLiteral("Vietnamese");
    case 1045:
        return QStringLiteral("Polish");
    case 1055:
        return QStringLiteral("Turkish");
    default:
        return QStringLiteral("English");
    }
}

QString text(const QSettings &settings, const QString &key, const QString &fallback)
{
    const QString value = settings.value(key).toString();
    return value.isEmpty() ? fallback : value;
}

} // namespace Language
