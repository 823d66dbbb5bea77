#include "platform/locale/linux/systemlocalebackend.h"

namespace {

struct LanguageRow {
    QLocale::Language language;
    QLocale::Country country;
    int id;
};

// Windows ids by language and country. The first row of a language is its default, used
// for a country that is not listed. Windows' Spanish "traditional sort" (1034) has no
// locale of its own; Spain maps to the modern sort, 3082, which selects the same group.
const LanguageRow kLanguageRows[] = {
    {QLocale::English, QLocale::UnitedStates, 1033},
    {QLocale::English, QLocale::UnitedKingdom, 2057},
    {QLocale::English, QLocale::Australia, 3081},
    {QLocale::English, QLocale::Canada, 4105},
    {QLocale::English, QLocale::NewZealand, 5129},
    {QLocale::English, QLocale::Ireland, 6153},
    {QLocale::English, QLocale::SouthAfrica, 7177},
    {QLocale::English, QLocale::India, 16393},
    {QLocale::English, QLocale::Singapore, 18441},
    {QLocale::Chinese, QLocale::China, 2052},
    {QLocale::Chinese, QLocale::Taiwan, 1028},
    {QLocale::Chinese, QLocale::HongKong, 3076},
    {QLocale::Chinese, QLocale::Singapore, 4100},
    {QLocale::Chinese, QLocale::Macau, 5124},
    {QLocale::German, QLocale::Germany, 1031},
    {QLocale::German, QLocale::Switzerland, 2055},
    {QLocale::German, QLocale::Austria, 3079},
    {QLocale::German, QLocale::Luxembourg, 4103},
    {QLocale::German, QLocale::Liechtenstein, 5127},
    {QLocale::French, QLocale::France, 1036},
    {QLocale::French, QLocale::Belgium, 2060},
    {QLocale::French, QLocale::Canada, 3084},
    {QLocale::French, QLocale::Switzerland, 4108},
    {QLocale::French, QLocale::Luxembourg, 5132},
    {QLocale::French, QLocale::Monaco, 6156},
    {QLocale::Japanese, QLocale::Japan, 1041},
    {QLocale::Korean, QLocale::SouthKorea, 1042},
    {QLocale::Russian, QLocale::Russia, 1049},
    {QLocale::Spanish, QLocale::Spain, 3082},
    {QLocale::Spanish, QLocale::Mexico, 2058},
    {QLocale::Spanish, QLocale::Guatemala, 4106},
    {QLocale::Spanish, QLocale::CostaRica, 5130},
    {QLocale::Spanish, QLocale::Panama, 6154},
    {QLocale::Spanish, QLocale::DominicanRepublic, 7178},
    {QLocale::Spanish, QLocale::Venezuela, 8202},
    {QLocale::Spanish, QLocale::Colombia, 9226},
    {QLocale::Spanish, QLocale::Peru, 10250},
    {QLocale::Spanish, QLocale::Argentina, 11274},
    {QLocale::Spanish, QLocale::Ecuador, 12298},
    {QLocale::Spanish, QLocale::Chile, 13322},
    {QLocale::Spanish, QLocale::Uruguay, 14346},
    {QLocale::Spanish, QLocale::Paraguay, 15370},
    {QLocale::Spanish, QLocale::Bolivia, 16394},
    {QLocale::Spanish, QLocale::ElSalvador, 17418},
    {QLocale::Spanish, QLocale::Honduras, 18442},
    {QLocale::Spanish, QLocale::Nicaragua, 19466},
    {QLocale::Spanish, QLocale::PuertoRico, 20490},
    {QLocale::Italian, QLocale::Italy, 1040},
    {QLocale::Italian, QLocale::Switzerland, 2064},
    {QLocale::Thai, QLocale::Thailand, 1054},
    {QLocale::Portuguese, QLocale::Portugal, 2070},
    {QLocale::Portuguese, QLocale::Brazil, 1046},
    {QLocale::Vietnamese, QLocale::Vietnam, 1066},
    {QLocale::Polish, QLocale::Poland, 1045},
    {QLocale::Turkish, QLocale::Turkey, 1055},
};

} // namespace

int windowsLanguageId(QLocale::Language language, QLocale::Country country, QLocale::Script script)
{
    // Chinese: the script decides the written form, the country only the variant.
    if (language == QLocale::Chinese && script == QLocale::SimplifiedChineseScript)
        return country == QLocale::Singapore ? 4100 : 2052;
    if (language == QLocale::Chinese && script == QLocale::TraditionalChineseScript) {
        if (country == QLocale::HongKong)
            return 3076;
        return country == QLocale::Macau ? 5124 : 1028;
    }
    int languageDefault = 0;
    for (const LanguageRow &row : kLanguageRows) {
        if (row.language != language)
            continue;
        if (row.country == country)
            return row.id;
        if (languageDefault == 0)
            languageDefault = row.id;
    }
    return languageDefault != 0 ? languageDefault : 1033;
}

int SystemLocaleBackend::userDefaultUiLanguage() const
{
    const QLocale locale = QLocale::system();
    return windowsLanguageId(locale.language(), locale.country(), locale.script());
}

QStringList SystemLocaleBackend::uiLocaleNames() const
{
    return {qEnvironmentVariable("LANGUAGE"), qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_MESSAGES"),
            qEnvironmentVariable("LANG")};
}
