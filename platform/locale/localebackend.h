#pragma once

#include <QStringList>

// The locale facility: the user's default UI language, given as a Windows language id
// (primary language in bits 0-9, sub-language in bits 10-15: 1033 English US, 2057
// English UK, 2052 Chinese PRC). The language file and its groups are keyed by these ids
// on every platform.

class LocaleBackend {
public:
    virtual ~LocaleBackend() = default;
    virtual int userDefaultUiLanguage() const = 0;
    // The desktop's message locale variables LANGUAGE, LC_ALL, LC_MESSAGES and LANG, in
    // that order (empty entries for unset ones); an empty list where there are none, and
    // the language id decides.
    virtual QStringList uiLocaleNames() const { return {}; }
};

// Test backend: always answers the id it was given.
class FixedLocaleBackend : public LocaleBackend {
public:
    explicit FixedLocaleBackend(int languageId) : m_languageId(languageId) {}
    int userDefaultUiLanguage() const override { return m_languageId; }

private:
    int m_languageId;
};
