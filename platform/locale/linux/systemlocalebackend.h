#pragma once
// Linux backend of the locale facility: the process locale (LC_ALL / LC_MESSAGES / LANG,
// as QLocale::system() reads them) mapped to the matching Windows language id.

#include "platform/locale/localebackend.h"

#include <QLocale>

class SystemLocaleBackend : public LocaleBackend {
public:
    int userDefaultUiLanguage() const override;
    QStringList uiLocaleNames() const override;
};

// Windows language id of a language and country. An unknown country gives the
// language's default id; an unknown language (and the C locale) gives 1033, English US.
int windowsLanguageId(QLocale::Language language, QLocale::Country country,
                      QLocale::Script script = QLocale::AnyScript);
