#pragma once
// UI language choice. The language file "language.ini" has one INI group per language.
// The group in force is the user's choice, kept in the per-user folder, or, with no
// choice ("System"), the one of the desktop's locale. On Windows-style ids (the design's
// table) groupForLanguageId gives the group; on Linux the locale names do.

#include <QLocale>
#include <QString>
#include <QStringList>

class LocaleBackend;
class QByteArray;
class QSettings;

namespace Language {

// Group name of the language file for a Windows language id: "ChineseSimplified",
// "ChineseTraditional", "German", "French", "Japanese", "Korean", "Russian", "Spanish",
// "Italian", "Thai", "Portuguese", "Vietnamese", "Polish", "Turkish"; any other id
// (the English ones included) gives "English".
QString groupForLanguageId(int languageId);

// The fifteen groups, English first, in the order the language menu lists them.
QStringList groups();
// The language's name in its own language ("Deutsch", "日本語"), as the menu shows it.
QString nativeName(const QString &group);

// Group of one POSIX or BCP 47 locale name ("de_DE.UTF-8", "zh_TW", "zh-Hant-HK",
// "pt_BR", "sr_RS@latin"). Chinese is Traditional in Taiwan, Hong Kong and Macau or with
// the Hant script, else Simplified. Empty when the name names none of the groups'
// languages (C, POSIX, Serbian, an empty name).
QString groupForLocaleName(const QString &name);

// Group of the locale variables as gettext reads them: LANGUAGE, a ":" list tried in
// order, unless the locale is C or POSIX; then the first set of LC_ALL, LC_MESSAGES and
// LANG. "English" when none of them names a language of the groups.
QString groupForEnvironment(const QString &language, const QString &lcAll, const QString &lcMessages,
                            const QString &lang);

// Group of the desktop: the backend's locale names when it has any, else its language id.
QString systemGroup(const LocaleBackend &locale);

// The user's choice, in the per-user folder's "uilanguage.ini": a group, or empty for
// "System" (no choice, a missing or unreadable file, or an unknown group).
QString chosenGroup(const QString &dataFolder);
// Keeps group as the choice (empty: "System"). False when the file cannot be written.
bool saveChoice(const QString &dataFolder, const QString &group);
// The chosen group, or systemGroup when there is no choice.
QString groupInForce(const QString &dataFolder, const QString &systemGroup);

// Text of key in the settings' current group; fallback (the built-in English text) when
// the file has no usable text for it (none, empty, longer than 4096 characters, or with
// characters that were not UTF-8). A value the INI reader split at its commas is joined
// again.
QString text(const QSettings &settings, const QString &key, const QString &fallback);

// The locale numbers are written in for a group: the desktop's own when it speaks the
// group's language (so pt_PT keeps its formats), else the language's main country.
QLocale localeFor(const QString &group);
// Makes localeFor(group) Qt's default locale (GUI thread, when the group changes).
void applyNumberLocale(const QString &group);
// A percentage in the default locale's style: "50%", "50 %" (German, French, Russian,
// Spanish), "%50" (Turkish).
QString percent(int value);

// A per-user language file from before its group was translated: the installation's
// copy (a default the user never edits) takes its place when it has the group. True
// when the file was replaced; one log line says so or why not.
bool refreshFileForGroup(const QString &userFile, const QString &defaultFile, const QString &group);

// Opens the group of a language file and checks the file once: a file that is not
// UTF-8 or lacks the group is reported in one log line (the English fallbacks show).
void openGroup(QSettings &settings, const QString &group);

// Reads a language file whole for openGroup and LanguageTexts, with their log lines for a
// file that cannot be read (false) or is not UTF-8 (isUtf8 false).
bool readFile(const QString &path, QByteArray *content, bool *isUtf8);
// The log line for a file without the group.
void reportMissingGroup(const QString &path, const QString &group);

} // namespace Language
