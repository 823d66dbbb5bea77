// UI language: the language group of a Windows language id, and the ids the Linux
// locale backend derives from the process locale.

#include "base/language.h"
#include "base/languagetexts.h"
#include "platform/locale/linux/systemlocalebackend.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>

namespace {

TEST(LanguageGroup, ListedAndUnlistedIds)
{
    const struct {
        int id;
        const char *group;
    } rows[] = {
        {2052, "ChineseSimplified"}, {1028, "ChineseTraditional"}, {5124, "ChineseTraditional"},
        {2055, "German"}, {6156, "French"}, {1041, "Japanese"}, {1042, "Korean"},
        {1049, "Russian"}, {1034, "Spanish"}, {3082, "Spanish"}, {20490, "Spanish"},
        {2064, "Italian"}, {1054, "Thai"}, {1046, "Portuguese"}, {2070, "Portuguese"},
        {1066, "Vietnamese"}, {1045, "Polish"}, {1055, "Turkish"},
        // English and anything unlisted, neighbours of listed ids included.
        {1033, "English"}, {2057, "English"}, {0, "English"}, {-1, "English"},
        {2053, "English"}, {21514, "English"}, {1035, "English"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Language::groupForLanguageId(row.id), QLatin1String(row.group)) << row.id;
}

TEST(LanguageText, FallsBackToBuiltInEnglish)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("language.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setIniCodec("UTF-8");
        settings.setValue(QStringLiteral("German/Tray.exit"), QStringLiteral("Beenden"));
        settings.setValue(QStringLiteral("German/Tray.show"), QString());
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(QStringLiteral("German"));
    EXPECT_EQ(Language::text(settings, QStringLiteral("Tray.exit"), QStringLiteral("Exit")), QStringLiteral("Beenden"));
    EXPECT_EQ(Language::text(settings, QStringLiteral("Tray.show"), QStringLiteral("Show")), QStringLiteral("Show"));
    EXPECT_EQ(Language::text(settings, QStringLiteral("Tray.none"), QStringLiteral("None")), QStringLiteral("None"));
}

// Every language key in the program's code shows a text: the call carries its English
// text as the next argument, or the shipped language file has the key in its English
// group ("%1" in a key stands for any part). A key with neither would be shown raw.
TEST(LanguageText, EveryKeyInTheCodeHasAFallbackOrAnEntry)
{
    const QString top = qEnvironmentVariable("INKORA_SOURCE_DIR");
    ASSERT_FALSE(top.isEmpty());
    QSettings file(top + QStringLiteral("/resources/config/language.ini"), QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    file.beginGroup(QStringLiteral("English"));
    const QStringList entries = file.childKeys();
    ASSERT_GT(entries.size(), 100);
    // The UI service looks its help texts up in a file of its own.
    QSettings tips(top + QStringLiteral("/uiservice/Tipslanguage.ini"), QSettings::IniFormat);
    tips.setIniCodec("UTF-8");
    tips.beginGroup(QStringLiteral("English"));
    const QStringList tipEntries = tips.childKeys();

    // A key: "Group.Name" and more parts; file names are no keys.
    const QRegularExpression key(QStringLiteral(R"re("([A-Z][A-Za-z0-9]*(?:\.[A-Za-z0-9_%]+)+)")re"));
    const QRegularExpression fileName(QStringLiteral(R"re(\.(ini|txt|png|xml|json)$)re"));
    // After the key's closing quote: ")" and ".arg(...)" calls, then a non-empty literal.
    const QRegularExpression fallback(
        QStringLiteral(R"re(^"\)?(?:\.arg\((?:[^()]|\([^()]*\))*\))*\s*,\s*(?:[A-Za-z_:]+\()?\s*"[^"]+")re"));
    const auto inFile = [&](const QString &k) {
        if (!k.contains(QLatin1Char('%')))
            return entries.contains(k);
        const QRegularExpression any(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(k).replace(QStringLiteral("\\%1"), QStringLiteral(".+")).replace(QStringLiteral("%1"), QStringLiteral(".+"))));
        return !entries.filter(any).isEmpty();
    };
    int looked = 0;
    QStringList raw;
    for (const char *folder : {"app", "action", "mapping", "device", "monitor", "online", "uiservice", "firmware",
                               "config", "driverlink", "blelib", "tools", "sim"}) {
        QDirIterator it(top + QLatin1Char('/') + QLatin1String(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile source(it.next());
            ASSERT_TRUE(source.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(source.readAll());
            for (auto m = key.globalMatch(text); m.hasNext();) {
                const QRegularExpressionMatch match = m.next();
                const QString k = match.captured(1);
                if (fileName.match(k).hasMatch())
                    continue;
                ++looked;
                const QStringRef after = text.midRef(match.capturedEnd() - 1, 200);
                const bool tip = QLatin1String(folder) == QLatin1String("uiservice") && tipEntries.contains(k);
                if (!fallback.match(after).hasMatch() && !inFile(k) && !tip)
                    raw << it.fileName() + QStringLiteral(": ") + k;
            }
        }
    }
    EXPECT_GT(looked, 150);
    EXPECT_TRUE(raw.isEmpty()) << qPrintable(raw.join(QLatin1Char('\n')));
}

// Both shipped language files: every group has every key of the English group and no
// other, with the English text's placeholders; the captions' file has no Turkish group.
TEST(LanguageFiles, EveryGroupHasEveryKeyWithTheEnglishPlaceholders)
{
    const QString top = qEnvironmentVariable("INKORA_SOURCE_DIR");
    ASSERT_FALSE(top.isEmpty());
    const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    const auto placeholders = [&](const QString &text) {
        QStringList found;
        for (auto m = placeholder.globalMatch(text); m.hasNext();)
            found << m.next().captured();
        found.sort();
        return found;
    };
    QStringList captionGroups = Language::groups();
    captionGroups.removeAll(QStringLiteral("Turkish"));
    const struct {
        QString path;
        QStringList groups;
    } files[] = {{top + QStringLiteral("/resources/config/language.ini"), Language::groups()},
                 {top + QStringLiteral("/uiservice/Tipslanguage.ini"), captionGroups}};
    for (const auto &f : files) {
        QSettings file(f.path, QSettings::IniFormat);
        file.setIniCodec("UTF-8");
        QStringList inFile = file.childGroups();
        inFile.sort();
        QStringList expected = f.groups;
        expected.sort();
        EXPECT_EQ(inFile, expected) << qPrintable(f.path);
        file.beginGroup(QStringLiteral("English"));
        const QStringList keys = file.childKeys();
        QHash<QString, QStringList> english;
        for (const QString &key : keys)
            english.insert(key, placeholders(Language::text(file, key, QString())));
        file.endGroup();
        for (const QString &group : f.groups) {
            file.beginGroup(group);
            const QStringList got = file.childKeys();
            // The one-group table reads every text as the settings object does.
            const LanguageTexts table = LanguageTexts::load(f.path, group);
            EXPECT_EQ(table.size(), got.size()) << qPrintable(group);
            for (const QString &key : got)
                EXPECT_EQ(table.text(key, QStringLiteral("-")), Language::text(file, key, QStringLiteral("-")))
                    << qPrintable(group + QLatin1Char('/') + key);
            for (const QString &key : keys) {
                const QString text = Language::text(file, key, QString());
                EXPECT_FALSE(text.isEmpty()) << qPrintable(group + QLatin1Char('/') + key + QStringLiteral(" missing"));
                EXPECT_EQ(placeholders(text), english.value(key)) << qPrintable(group + QLatin1Char('/') + key);
            }
            for (const QString &key : got)
                EXPECT_TRUE(english.contains(key))
                    << qPrintable(group + QLatin1Char('/') + key + QStringLiteral(" unknown"));
            file.endGroup();
        }
    }
}

// A damaged language file: the group missing, a key missing, a broken line, a value in
// another encoding, a huge value. The English text shows for each, one log line tells
// of the file, nothing breaks.
TEST(LanguageText, DamagedFileFallsBackToEnglishWithOneLogLine)
{
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &m) {
            if (type == QtWarningMsg)
                warnings << m;
        });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("language.ini"));
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
    // Besides the damage, lines a hand-edited file may have: blanks around the '=', a
    // comment after a value, quotes around blanks, an escaped key, a repeated key.
    raw.write("[German]\nTray.exit=Beenden\nthis line is broken\n=no key\nTray.show=Anzeigen, jetzt\n"
              "Common.ok=OK\xe4\xfc\n  Tray.about \t=  \u00dcber ; note\n# Tray.help=x\nTray.pen=\" Stift, \" x \n"
              "Tray.m%41p=Karte\nTray.dup=eins\n[German]\nTray.dup=zwei,drei\nTray.at=@@1\n");
    raw.write("Common.cancel=" + QByteArray(100000, 'x') + "\n[Russian\nCommon.close=x\n");
    raw.close();
    const QStringList keys = {
        QStringLiteral("Tray.exit"),     QStringLiteral("Tray.show"),    QStringLiteral("Common.ok"),
        QStringLiteral("Common.cancel"), QStringLiteral("Common.retry"), QStringLiteral("Tray.about"),
        QStringLiteral("# Tray.help"),   QStringLiteral("Tray.pen"),     QStringLiteral("Tray.mAp"),
        QStringLiteral("Tray.dup"),      QStringLiteral("Tray.at"),      QStringLiteral("")};

    QSettings german(path, QSettings::IniFormat);
    german.setIniCodec("UTF-8");
    Language::openGroup(german, QStringLiteral("German"));
    EXPECT_EQ(warnings.size(), 1) << qPrintable(warnings.join(QLatin1Char('\n')));
    EXPECT_EQ(Language::text(german, QStringLiteral("Tray.exit"), QStringLiteral("Exit")), QStringLiteral("Beenden"));
    EXPECT_EQ(Language::text(german, QStringLiteral("Tray.show"), QStringLiteral("Show")),
              QStringLiteral("Anzeigen, jetzt"));
    EXPECT_EQ(Language::text(german, QStringLiteral("Common.ok"), QStringLiteral("OK")), QStringLiteral("OK"));
    EXPECT_EQ(Language::text(german, QStringLiteral("Common.cancel"), QStringLiteral("Cancel")),
              QStringLiteral("Cancel"));
    EXPECT_EQ(Language::text(german, QStringLiteral("Common.retry"), QStringLiteral("Retry")), QStringLiteral("Retry"));
    // The one-group table: the same log line and the same texts.
    warnings.clear();
    const LanguageTexts table = LanguageTexts::load(path, QStringLiteral("German"));
    EXPECT_EQ(warnings,
              QStringList{QStringLiteral("Language file %1 is not UTF-8: its texts with broken characters show "
                                         "in English")
                              .arg(path)});
    for (const QString &key : keys)
        EXPECT_EQ(table.text(key, QStringLiteral("-")), Language::text(german, key, QStringLiteral("-")))
            << qPrintable(key);

    warnings.clear();
    QSettings polish(path, QSettings::IniFormat);
    polish.setIniCodec("UTF-8");
    Language::openGroup(polish, QStringLiteral("Polish"));
    EXPECT_EQ(warnings.size(), 1);
    EXPECT_EQ(Language::text(polish, QStringLiteral("Tray.exit"), QStringLiteral("Exit")), QStringLiteral("Exit"));
    // A UTF-8 file without the group, and no file: each reader says so in the same line.
    ASSERT_TRUE(raw.open(QIODevice::WriteOnly | QIODevice::Truncate));
    raw.write("[German]\nTray.exit=Beenden\n");
    raw.close();
    for (const QString &file : {path, dir.filePath(QStringLiteral("none.ini"))}) {
        warnings.clear();
        QSettings settings(file, QSettings::IniFormat);
        Language::openGroup(settings, QStringLiteral("Polish"));
        const LanguageTexts none = LanguageTexts::load(file, QStringLiteral("Polish"));
        ASSERT_EQ(warnings.size(), 2) << qPrintable(file);
        EXPECT_EQ(warnings.at(0), warnings.at(1));
        EXPECT_EQ(none.text(QStringLiteral("Tray.exit"), QStringLiteral("Exit")), QStringLiteral("Exit"));
    }
    qInstallMessageHandler(previous);
}

// The desktop's locale variables, by gettext's precedence, and the Chinese scripts.
TEST(LocaleGroup, VariablesAndScripts)
{
    const struct {
        const char *language, *lcAll, *lcMessages, *lang, *group;
    } rows[] = {
        {"", "", "", "de_DE.UTF-8", "German"},
        {"", "", "fr_CA.UTF-8", "de_DE.UTF-8", "French"},
        {"", "ja_JP.UTF-8", "fr_FR.UTF-8", "de_DE.UTF-8", "Japanese"},
        {"sr_RS:ko:en", "", "", "de_DE.UTF-8", "Korean"},   // LANGUAGE first, unknown entries skipped
        {"pl_PL", "C.UTF-8", "", "de_DE.UTF-8", "English"}, // the C locale ignores LANGUAGE
        {"", "", "", "zh_TW.UTF-8", "ChineseTraditional"},
        {"", "", "", "zh_HK", "ChineseTraditional"},
        {"", "", "", "zh_CN.GB18030", "ChineseSimplified"},
        {"", "", "", "zh_SG", "ChineseSimplified"},
        {"zh-Hant", "", "", "en_US.UTF-8", "ChineseTraditional"},
        {"", "", "", "pt_BR.UTF-8", "Portuguese"},
        {"", "", "", "pt_PT@euro", "Portuguese"},
        {"", "", "", "sr_RS@latin", "English"},
        {"sr_Latn", "", "", "sr_RS.UTF-8@latin", "English"},
        {"", "", "", "tr_TR.UTF-8", "Turkish"},
        {"", "", "", "", "English"},
        {"", "", "", "POSIX", "English"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(Language::groupForEnvironment(QLatin1String(r.language), QLatin1String(r.lcAll),
                                                QLatin1String(r.lcMessages), QLatin1String(r.lang)),
                  QLatin1String(r.group))
            << r.language << "|" << r.lcAll << "|" << r.lcMessages << "|" << r.lang;
}

// Percentages follow the language in force where their style differs.
TEST(LocaleGroup, PercentInTheGroupsStyle)
{
    const QLocale saved;
    Language::applyNumberLocale(QStringLiteral("German"));
    EXPECT_EQ(Language::percent(50), QStringLiteral("50\u00a0%"));
    Language::applyNumberLocale(QStringLiteral("Turkish"));
    EXPECT_EQ(Language::percent(7), QStringLiteral("%7"));
    Language::applyNumberLocale(QStringLiteral("Japanese"));
    EXPECT_EQ(Language::percent(100), QStringLiteral("100%"));
    QLocale::setDefault(saved);
}

TEST(LocaleBackend, CountryVariantsAndDefaults)
{
    EXPECT_EQ(windowsLanguageId(QLocale::English, QLocale::UnitedStates), 1033);
    EXPECT_EQ(windowsLanguageId(QLocale::English, QLocale::UnitedKingdom), 2057);
    EXPECT_EQ(windowsLanguageId(QLocale::Chinese, QLocale::China), 2052);
    EXPECT_EQ(windowsLanguageId(QLocale::Chinese, QLocale::Taiwan), 1028);
    EXPECT_EQ(windowsLanguageId(QLocale::Portuguese, QLocale::Brazil), 1046);
    EXPECT_EQ(windowsLanguageId(QLocale::Spanish, QLocale::Spain), 3082);
    // A country the language has no id for: the language's default.
    EXPECT_EQ(windowsLanguageId(QLocale::German, QLocale::Belgium), 1031);
    EXPECT_EQ(windowsLanguageId(QLocale::Spanish, QLocale::UnitedStates), 3082);
    EXPECT_EQ(windowsLanguageId(QLocale::Chinese, QLocale::AnyCountry, QLocale::TraditionalChineseScript), 1028);
    // Languages without a group, and the C locale, read as English US.
    EXPECT_EQ(windowsLanguageId(QLocale::Swahili, QLocale::Kenya), 1033);
    EXPECT_EQ(windowsLanguageId(QLocale::C, QLocale::AnyCountry), 1033);
}

// Every id of the language table except Spain's traditional sort (1034, no locale of
// its own) is reached by some real locale, and every real locale of a translated
// language lands in that language's group.
TEST(LocaleBackend, EveryRealLocaleReachesItsGroup)
{
    const QHash<QLocale::Language, QString> groups = {
        {QLocale::German, QStringLiteral("German")}, {QLocale::French, QStringLiteral("French")},
        {QLocale::Japanese, QStringLiteral("Japanese")}, {QLocale::Korean, QStringLiteral("Korean")},
        {QLocale::Russian, QStringLiteral("Russian")}, {QLocale::Spanish, QStringLiteral("Spanish")},
        {QLocale::Italian, QStringLiteral("Italian")}, {QLocale::Thai, QStringLiteral("Thai")},
        {QLocale::Portuguese, QStringLiteral("Portuguese")}, {QLocale::Vietnamese, QStringLiteral("Vietnamese")},
        {QLocale::Polish, QStringLiteral("Polish")}, {QLocale::Turkish, QStringLiteral("Turkish")},
        {QLocale::English, QStringLiteral("English")},
    };
    QSet<int> reached;
    const QList<QLocale> all = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyCountry);
    for (const QLocale &locale : all) {
        const int id = windowsLanguageId(locale.language(), locale.country(), locale.script());
        reached.insert(id);
        const QString group = Language::groupForLanguageId(id);
        if (locale.language() == QLocale::Chinese) {
            // The table files Singapore's id (4100) with the traditional group.
            const bool traditional = locale.script() == QLocale::TraditionalChineseScript
                                     || locale.country() == QLocale::Singapore;
            EXPECT_EQ(group, traditional ? QStringLiteral("ChineseTraditional") : QStringLiteral("ChineseSimplified"))
                << locale.name().toStdString();
        } else {
            EXPECT_EQ(group, groups.value(locale.language(), QStringLiteral("English"))) << locale.name().toStdString();
        }
    }
    const int listed[] = {2052, 1028, 3076, 4100, 5124, 1031, 2055, 3079, 4103, 5127, 1036, 2060,
                          3084, 4108, 5132, 6156, 1041, 1042, 1049, 2058, 3082, 4106, 5130, 6154,
                          7178, 8202, 9226, 10250, 11274, 12298, 13322, 14346, 15370, 16394, 17418,
                          18442, 19466, 20490, 1040, 2064, 1054, 1046, 2070, 1066, 1045, 1055, 1033, 2057};
    for (int id : listed)
        EXPECT_TRUE(reached.contains(id)) << id;
}

} // namespace
