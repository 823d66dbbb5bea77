#pragma once
// The UI service's caption file: "Tipslanguage.ini" beside the program, UTF-8, one group
// per language. Its language table is the service's own: it knows fewer languages than
// Inkora's language file (no Turkish group, for one), and every id it does not list
// reads the "English" group.

#include <QString>

namespace TipsLanguage {

// "Tipslanguage.ini"
extern const char FileName[];

// Group of the caption file for a Windows language id.
QString groupForLanguageId(int languageId);

// The built-in English text of a key the service shows; empty for any other key.
QString EnglishText(const QString &key);

} // namespace TipsLanguage

// Where a window of the service reads its captions from.
struct CaptionFile {
    QString path;
    QString group;

    // The text of key in the file's group, or its built-in English text when the file
    // or the entry is missing.
    QString Text(const QString &key) const;
};
