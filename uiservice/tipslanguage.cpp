#include "uiservice/tipslanguage.h"

#include "base/language.h"

#include <QSettings>

namespace TipsLanguage {

const char FileName[] = "Tipslanguage.ini";

QString groupForLanguageId(int languageId)
{
    // The program's groups, less Turkish: the captions have no Turkish group.
    const QString group = Language::groupForLanguageId(languageId);
    return group == QLatin1String("Turkish") ? QStringLiteral("English") : group;
}

QString EnglishText(const QString &key)
{
    static const struct {
        const char *key;
        const char *text;
    } kEnglish[] = {
        {"Device.ScreenHelpInfo1", "Click the first corner of the area, or drag from it to the opposite corner (Esc cancels)"},
        {"Device.ScreenHelpInfo2", "Now click the opposite corner of the area (Esc cancels)"},
        {"Device.CalibrateHelpInfo", "Touch the centre of the red cross with the pen (%1 of %2). Esc cancels."},
    };
    for (const auto &e : kEnglish) {
        if (key == QLatin1String(e.key))
            return QString::fromUtf8(e.text);
    }
    return QString();
}

} // namespace TipsLanguage

QString CaptionFile::Text(const QString &key) const
{
    QSettings file(path, QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    const QString text = file.value(group + QLatin1Char('/') + key).toString();
    return text.isEmpty() ? TipsLanguage::EnglishText(key) : text;
}
