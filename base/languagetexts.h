#pragma once
// The texts of one group of a language file, read once and kept as a small immutable
// table. A settings object of the whole file would parse and keep every language's
// texts for the run; the program needs only the group in force.

#include <QHash>
#include <QString>

class LanguageTexts {
public:
    // No file: every lookup gives its fallback.
    LanguageTexts() = default;

    // Reads group of the INI file at path ("key=value" lines under "[Group]" headers,
    // values with commas or semicolons quoted). The file is checked as Language::openGroup
    // checks it, with the same log lines: unreadable, not UTF-8, or without the group.
    static LanguageTexts load(const QString &path, const QString &group);

    // The text of key, as Language::text gives it from a settings object opened on the
    // same group: fallback when the file has no usable text for it.
    QString text(const QString &key, const QString &fallback) const;

    // Whether the file has keys in group, read quietly (a file that cannot be read has none).
    static bool hasGroup(const QString &path, const QString &group);

    QString fileName() const { return m_strPath; }
    QString group() const { return m_strGroup; }
    int size() const { return m_Texts.size(); }

private:
    QString m_strPath;
    QString m_strGroup;
    // Only usable texts (lists already joined), so a lookup is one find. Implicitly
    // shared: copies for other threads share the data and only read it.
    QHash<QString, QString> m_Texts;
};
