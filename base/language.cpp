#include "base/language.h"
#include "base/languagetexts.h"

#include "platform/locale/localebackend.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QTextCodec>

namespace Language {

namespace {

struct GroupRow {
    const char *group;
    const char *code;   // ISO 639-1
    const char *native; // the menu's name
    const char *locale; // the locale of its main country
};

const GroupRow kGroups[] = {
    {"English", "en", "English", "en_US"},
    {"ChineseSimplified", nullptr, "简体中文", "zh_CN"},
    {"ChineseTraditional", nullptr, "繁體中文", "zh_TW"},
    {"German", "de", "Deutsch", "de_DE"},
    {"French", "fr", "Français", "fr_FR"},
    {"Japanese", "ja", "日本語", "ja_JP"},
    {"Korean", "ko", "한국어", "ko_KR"},
    {"Russian", "ru", "Русский", "ru_RU"},
    {"Spanish", "es", "Español", "es_ES"},
    {"Italian", "it", "Italiano", "it_IT"},
    {"Thai", "th", "ไทย", "th_TH"},
    {"Portuguese", "pt", "Português", "pt_BR"},
    {"Vietnamese", "vi", "Tiếng Việt", "vi_VN"},
    {"Polish", "pl", "Polski", "pl_PL"},
    {"Turkish", "tr", "Türkçe", "tr_TR"},
};

const char kChoiceFile[] = "/uilanguage.ini";
const char kChoiceKey[] = "Language/group";
// A text longer than this is no UI text: the file is damaged.
constexpr int kMaxTextLength = 4096;

bool isCLocale(const QString &name)
{
    return name.isEmpty() || name == QLatin1String("C") || name.startsWith(QLatin1String("C."))
        || name == QLatin1String("POSIX");
}

} // namespace

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

QStringList groups()
{
    QStringList all;
    for (const GroupRow &row : kGroups)
        all << QLatin1String(row.group);
    return all;
}

QString nativeName(const QString &group)
{
    for (const GroupRow &row : kGroups) {
        if (group == QLatin1String(row.group))
            return QString::fromUtf8(row.native);
    }
    return group;
}

QString groupForLocaleName(const QString &name)
{
    // language[_territory][.codeset][@modifier], or BCP 47 with "-" and a script part.
    QString base = name.section(QLatin1Char('@'), 0, 0).section(QLatin1Char('.'), 0, 0);
    base.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QStringList parts = base.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    const QString language = parts.first().toLower();
    if (language == QLatin1String("zh")) {
        for (const QString &part : parts.mid(1)) {
            const QString p = part.toLower();
            if (p == QLatin1String("hant") || p == QLatin1String("tw") || p == QLatin1String("hk")
                || p == QLatin1String("mo"))
                return QStringLiteral("ChineseTraditional");
            if (p == QLatin1String("hans"))
                break;
        }
        return QStringLiteral("ChineseSimplified");
    }
    for (const GroupRow &row : kGroups) {
        if (row.code && language == QLatin1String(row.code))
            return QLatin1String(row.group);
    }
    return QString();
}

QString groupForEnvironment(const QString &language, const QString &lcAll, const QString &lcMessages,
                            const QString &lang)
{
    QString locale = lcAll;
    if (locale.isEmpty())
        locale = lcMessages;
    if (locale.isEmpty())
        locale = lang;
    if (!isCLocale(locale)) {
        for (const QString &entry : language.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            const QString group = groupForLocaleName(entry);
            if (!group.isEmpty())
                return group;
        }
    }
    const QString group = groupForLocaleName(locale);
    return group.isEmpty() ? QStringLiteral("English") : group;
}

QString systemGroup(const LocaleBackend &locale)
{
    const QStringList names = locale.uiLocaleNames();
    if (names.isEmpty())
        return groupForLanguageId(locale.userDefaultUiLanguage());
    return groupForEnvironment(names.value(0), names.value(1), names.value(2), names.value(3));
}

QString chosenGroup(const QString &dataFolder)
{
    const QSettings file(dataFolder + QLatin1String(kChoiceFile), QSettings::IniFormat);
    const QString group = file.value(QLatin1String(kChoiceKey)).toString();
    return groups().contains(group) ? group : QString();
}

bool saveChoice(const QString &dataFolder, const QString &group)
{
    QSettings file(dataFolder + QLatin1String(kChoiceFile), QSettings::IniFormat);
    if (group.isEmpty())
        file.remove(QLatin1String(kChoiceKey));
    else
        file.setValue(QLatin1String(kChoiceKey), group);
    file.sync();
    return file.status() == QSettings::NoError;
}

QString groupInForce(const QString &dataFolder, const QString &systemGroup)
{
    const QString chosen = chosenGroup(dataFolder);
    return chosen.isEmpty() ? systemGroup : chosen;
}

QLocale localeFor(const QString &group)
{
    for (const GroupRow &row : kGroups) {
        if (group != QLatin1String(row.group))
            continue;
        const QLocale main(QLatin1String(row.locale));
        const QLocale desktop = QLocale::system();
        if (desktop.language() == main.language() && (desktop.script() == main.script() || !row.code))
            return desktop;
        return main;
    }
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

void applyNumberLocale(const QString &group)
{
    QLocale::setDefault(localeFor(group));
}

QString percent(int value)
{
    const QLocale locale;
    const QString number = locale.toString(value);
    switch (locale.language()) {
    case QLocale::Turkish: return QLatin1Char('%') + number;
    case QLocale::German:
    case QLocale::French:
    case QLocale::Russian:
    case QLocale::Spanish: return number + QChar(0x00A0) + QLatin1Char('%'); // a space that does not break
    default: return number + QLatin1Char('%');
    }
}

QString text(const QSettings &settings, const QString &key, const QString &fallback)
{
    const QVariant value = settings.value(key);
    // An unquoted comma makes a list of the value: the text is its parts joined again.
    const QString text =
        value.type() == QVariant::StringList ? value.toStringList().join(QStringLiteral(", ")) : value.toString();
    // A text from a file that is not UTF-8 carries replacement characters.
    if (text.isEmpty() || text.size() > kMaxTextLength || text.contains(QChar::ReplacementCharacter))
        return fallback;
    return text;
}

bool refreshFileForGroup(const QString &userFile, const QString &defaultFile, const QString &group)
{
    // Not a settings object: Qt keeps the parse of every file one read, all groups of it.
    const auto hasGroup = [&group](const QString &path) { return LanguageTexts::hasGroup(path, group); };
    if (hasGroup(userFile) || !QFile::exists(defaultFile) || !hasGroup(defaultFile))
        return false;
    // The copy goes beside the file first, so a failed copy leaves the old file.
    const QString fresh = userFile + QStringLiteral(".new");
    QFile::remove(fresh);
    if (!QFile::copy(defaultFile, fresh) || (QFile::exists(userFile) && !QFile::remove(userFile))
        || !QFile::rename(fresh, userFile)) {
        QFile::remove(fresh);
        qWarning().noquote() << "Language file" << userFile << "lacks the group" << group << "and could not be renewed";
        return false;
    }
    qInfo().noquote() << "Language file" << userFile << "lacked the group" << group << ": renewed from" << defaultFile;
    return true;
}

bool readFile(const QString &path, QByteArray *content, bool *isUtf8)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "Language file" << path << "cannot be read: the English texts show";
        return false;
    }
    *content = file.readAll();
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(content->constData(), content->size(), &state);
    *isUtf8 = state.invalidChars == 0;
    if (!*isUtf8)
        qWarning().noquote() << "Language file" << path
                             << "is not UTF-8: its texts with broken characters show in English";
    return true;
}

void reportMissingGroup(const QString &path, const QString &group)
{
    qWarning().noquote() << "Language file" << path << "has no group" << group << ": the English texts show";
}

void openGroup(QSettings &settings, const QString &group)
{
    settings.beginGroup(group);
    QByteArray content;
    bool utf8 = false;
    if (readFile(settings.fileName(), &content, &utf8) && utf8 && settings.childKeys().isEmpty())
        reportMissingGroup(settings.fileName(), group);
}

} // namespace Language
