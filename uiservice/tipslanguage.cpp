#include "uiservice/tipslanguage.h"

#include "base/language.h"

#include <QSettings>

namespace TipsLanguage {

const char FileName[] = "Tipslanguage.ini";

QString groupForLanguageId(int languageId)
{
    return groupForGroup(Language::groupForLanguageId(languageId));
}

QString groupForGroup(const QString &group)
{
    // The program's groups, less Turkish: the captions have no Turkish group.
    return group == QLatin1String("Turkish") ? QStringLiteral("English") : group;
}

QString EnglishText(const QString &key)
{
    static const struct {
        const char *key;
        const char *text;
    } kEnglish[] = {
        {"Device.ScreenHelpInfo1",
         "Click the first corner of the area, or drag from it to the opposite corner (Esc cancels)"},
        {"Device.ScreenHelpInfo2", "Now click the opposite corner of the area (Esc cancels)"},
        {"Device.CalibrateHelpInfo", "Touch the centre of the red cross with the pen (%1 of %2). Esc cancels."},
        {"Common.hide", "Hide"},
    };
    for (const auto &e : kEnglish) {
        if (key == QLatin1String(e.key))
            return QString::fromUtf8(e.text);
    }
    return QString();
}

} // namespace TipsLanguage

QString CaptionFile::Group() const
{
    if (choiceFolder.isEmpty())
        return group;
    const QString chosen = Language::chosenGroup(choiceFolder);
    return chosen.isEmpty() ? group : TipsLanguage::groupForGroup(chosen);
}

QString CaptionFile::Text(const QString &key) const
{
    QSettings file(path, QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    file.beginGroup(Group());
    return Language::text(file, key, TipsLanguage::EnglishText(key));
}
