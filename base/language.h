#pragma once
// UI language choice. The language file "language.ini" has one INI group per language;
// the group is chosen from the user's default UI language, given as a Windows language
// id (the locale facility supplies it on every platform).

#include <QString>

class QSettings;

namespace Language {

// Group name of the language file for a Windows language id: "ChineseSimplified",
// "ChineseTraditional", "German", "French", "Japanese", "Korean", "Russian", "Spanish",
// "Italian", "Thai", "Portuguese", "Vietnamese", "Polish", "Turkish"; any other id
// (the English ones included) gives "English".
QString groupForLanguageId(int languageId);

// Text of key in the settings' current group; fallback (the built-in English text) when
// the file has no text for it.
QString text(const QSettings &settings, const QString &key, const QString &fallback);

} // namespace Language
