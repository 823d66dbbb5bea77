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
// Group of the caption file for a group of Inkora's language file.
QString groupForGroup(const QString &group);

// The built-in English text of a key the service shows; empty for any other key.
QString EnglishText(const QString &key);

} // namespace TipsLanguage

// Where a window of the service reads its captions from.
struct CaptionFile {
    QString path;
    QString group;        // the desktop's group, used while the user chose "System"
    QString choiceFolder; // the per-user folder with Inkora's language choice, or empty

    // The caption file's group in force: the user's choice (read anew each time, so a
    // change in Inkora's Language menu shows with the next caption), else group.
    QString Group() const;

    // The text of key in the file's group, or its built-in English text when the file
    // or the entry is missing.
    QString Text(const QString &key) const;
};
