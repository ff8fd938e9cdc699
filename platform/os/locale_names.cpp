#include "platform/os/locale_id.h"

#include <array>

namespace varnel::platform {
namespace {

struct LocaleEntry {
    std::string_view name; // language_TERRITORY, or a language alone
    std::int32_t lcid;
};

// Common locales and their Windows ids. A language alone names the country
// that Windows treats as the language's main one.
constexpr std::array kLocales{
    // Chinese
    LocaleEntry{"zh_TW", 1028},
    LocaleEntry{"zh_CN", 2052},
    LocaleEntry{"zh_HK", 3076},
    LocaleEntry{"zh_SG", 4100},
    LocaleEntry{"zh_MO", 5124},
    LocaleEntry{"zh", 2052},
    LocaleEntry{"zh_Hans", 2052},
    LocaleEntry{"zh_Hant", 1028},
    // English
    LocaleEntry{"en_US", 1033},
    LocaleEntry{"en_GB", 2057},
    LocaleEntry{"en_AU", 3081},
    LocaleEntry{"en_CA", 4105},
    LocaleEntry{"en_NZ", 5129},
    LocaleEntry{"en_IE", 6153},
    LocaleEntry{"en_ZA", 7177},
    LocaleEntry{"en_JM", 8201},
    LocaleEntry{"en_BZ", 10249},
    LocaleEntry{"en_TT", 11273},
    LocaleEntry{"en_ZW", 12297},
    LocaleEntry{"en_PH", 13321},
    LocaleEntry{"en_IN", 16393},
    LocaleEntry{"en_MY", 17417},
    LocaleEntry{"en_SG", 18441},
    LocaleEntry{"en", 1033},
    // Other languages, main country first
    LocaleEntry{"ar_SA", 1025},
    LocaleEntry{"ar_EG", 3073},
    LocaleEntry{"ar_AE", 14337},
    LocaleEntry{"ar", 1025},
    LocaleEntry{"bg_BG", 1026},
    LocaleEntry{"bg", 1026},
    LocaleEntry{"ca_ES", 1027},
    LocaleEntry{"ca", 1027},
    LocaleEntry{"cs_CZ", 1029},
    LocaleEntry{"cs", 1029},
    LocaleEntry{"da_DK", 1030},
    LocaleEntry{"da", 1030},
    LocaleEntry{"de_DE", 1031},
    LocaleEntry{"de_CH", 2055},
    LocaleEntry{"de_AT", 3079},
    LocaleEntry{"de_LU", 4103},
    LocaleEntry{"de_LI", 5127},
    LocaleEntry{"de", 1031},
    LocaleEntry{"el_GR", 1032},
    LocaleEntry{"el", 1032},
    LocaleEntry{"es_ES", 3082},
    LocaleEntry{"es_MX", 2058},
    LocaleEntry{"es_AR", 11274},
    LocaleEntry{"es_CO", 9226},
    LocaleEntry{"es_CL", 13322},
    LocaleEntry{"es_PE", 10250},
    LocaleEntry{"es_VE", 8202},
    LocaleEntry{"es_US", 21514},
    LocaleEntry{"es", 3082},
    LocaleEntry{"fi_FI", 1035},
    LocaleEntry{"fi", 1035},
    LocaleEntry{"fr_FR", 1036},
    LocaleEntry{"fr_BE", 2060},
    LocaleEntry{"fr_CA", 3084},
    LocaleEntry{"fr_CH", 4108},
    LocaleEntry{"fr_LU", 5132},
    LocaleEntry{"fr", 1036},
    LocaleEntry{"he_IL", 1037},
    LocaleEntry{"he", 1037},
    LocaleEntry{"hu_HU", 1038},
    LocaleEntry{"hu", 1038},
    LocaleEntry{"is_IS", 1039},
    LocaleEntry{"is", 1039},
    LocaleEntry{"it_IT", 1040},
    LocaleEntry{"it_CH", 2064},
    LocaleEntry{"it", 1040},
    LocaleEntry{"ja_JP", 1041},
    LocaleEntry{"ja", 1041},
    LocaleEntry{"ko_KR", 1042},
    LocaleEntry{"ko", 1042},
    LocaleEntry{"nl_NL", 1043},
    LocaleEntry{"nl_BE", 2067},
    LocaleEntry{"nl", 1043},
    LocaleEntry{"nb_NO", 1044},
    LocaleEntry{"nb", 1044},
    LocaleEntry{"no_NO", 1044},
    LocaleEntry{"no", 1044},
    LocaleEntry{"nn_NO", 2068},
    LocaleEntry{"nn", 2068},
    LocaleEntry{"pl_PL", 1045},
    LocaleEntry{"pl", 1045},
    LocaleEntry{"pt_BR", 1046},
    LocaleEntry{"pt_PT", 2070},
    LocaleEntry{"pt", 2070},
    LocaleEntry{"ro_RO", 1048},
    LocaleEntry{"ro", 1048},
    LocaleEntry{"ru_RU", 1049},
    LocaleEntry{"ru", 1049},
    LocaleEntry{"hr_HR", 1050},
    LocaleEntry{"hr", 1050},
    LocaleEntry{"sr_RS", 10266},
    LocaleEntry{"sr", 10266},
    LocaleEntry{"bs_BA", 5146},
    LocaleEntry{"bs", 5146},
    LocaleEntry{"sk_SK", 1051},
    LocaleEntry{"sk", 1051},
    LocaleEntry{"sq_AL", 1052},
    LocaleEntry{"sq", 1052},
    LocaleEntry{"sv_SE", 1053},
    LocaleEntry{"sv_FI", 2077},
    LocaleEntry{"sv", 1053},
    LocaleEntry{"th_TH", 1054},
    LocaleEntry{"th", 1054},
    LocaleEntry{"tr_TR", 1055},
    LocaleEntry{"tr", 1055},
    LocaleEntry{"ur_PK", 1056},
    LocaleEntry{"ur", 1056},
    LocaleEntry{"id_ID", 1057},
    LocaleEntry{"id", 1057},
    LocaleEntry{"uk_UA", 1058},
    LocaleEntry{"uk", 1058},
    LocaleEntry{"be_BY", 1059},
    LocaleEntry{"be", 1059},
    LocaleEntry{"sl_SI", 1060},
    LocaleEntry{"sl", 1060},
    LocaleEntry{"et_EE", 1061},
    LocaleEntry{"et", 1061},
    LocaleEntry{"lv_LV", 1062},
    LocaleEntry{"lv", 1062},
    LocaleEntry{"lt_LT", 1063},
    LocaleEntry{"lt", 1063},
    LocaleEntry{"fa_IR", 1065},
    LocaleEntry{"fa", 1065},
    LocaleEntry{"vi_VN", 1066},
    LocaleEntry{"vi", 1066},
    LocaleEntry{"hy_AM", 1067},
    LocaleEntry{"hy", 1067},
    LocaleEntry{"az_AZ", 1068},
    LocaleEntry{"az", 1068},
    LocaleEntry{"eu_ES", 1069},
    LocaleEntry{"eu", 1069},
    LocaleEntry{"mk_MK", 1071},
    LocaleEntry{"mk", 1071},
    LocaleEntry{"af_ZA", 1078},
    LocaleEntry{"af", 1078},
    LocaleEntry{"ka_GE", 1079},
    LocaleEntry{"ka", 1079},
    LocaleEntry{"hi_IN", 1081},
    LocaleEntry{"hi", 1081},
    LocaleEntry{"ms_MY", 1086},
    LocaleEntry{"ms", 1086},
    LocaleEntry{"kk_KZ", 1087},
    LocaleEntry{"kk", 1087},
    LocaleEntry{"sw_KE", 1089},
    LocaleEntry{"sw", 1089},
    LocaleEntry{"uz_UZ", 1091},
    LocaleEntry{"uz", 1091},
    LocaleEntry{"bn_IN", 1093},
    LocaleEntry{"bn_BD", 2117},
    LocaleEntry{"bn", 1093},
    LocaleEntry{"ta_IN", 1097},
    LocaleEntry{"ta", 1097},
    LocaleEntry{"te_IN", 1098},
    LocaleEntry{"te", 1098},
    LocaleEntry{"mr_IN", 1102},
    LocaleEntry{"mr", 1102},
    LocaleEntry{"gl_ES", 1110},
    LocaleEntry{"gl", 1110},
    LocaleEntry{"fil_PH", 1124},
    LocaleEntry{"fil", 1124},
    LocaleEntry{"ga_IE", 2108},
    LocaleEntry{"ga", 2108},
    LocaleEntry{"cy_GB", 1106},
    LocaleEntry{"cy", 1106},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::int32_t Lookup(std::string_view key) {
    for (const auto& entry : kLocales) {
        if (EqualNoCase(entry.name, key)) {
            return entry.lcid;
        }
    }
    return kLocaleUnknown;
}

} // namespace

std::int32_t LocaleIdForName(std::string_view name) {
    // language[_territory][.codeset][@modifier]
    name = name.substr(0, name.find_first_of(".@"));
    if (name == "C" || name == "POSIX") {
        return kLocaleInvariant;
    }
    const auto sep = name.find_first_of("_-");
    const std::string_view language = name.substr(0, sep);
    if (language.empty() || language.size() > 3) {
        return kLocaleUnknown;
    }
    if (sep == std::string_view::npos) {
        return Lookup(language);
    }
    std::string_view rest = name.substr(sep + 1);
    // A BCP 47 script tag between language and territory ("zh-Hant-TW"): the
    // territory decides when there is one, the script otherwise.
    const auto next = rest.find_first_of("_-");
    if (next != std::string_view::npos) {
        rest = rest.substr(next + 1);
    }
    if (rest.empty()) {
        return kLocaleUnknown;
    }
    std::string key(language);
    key += '_';
    key += rest;
    return Lookup(key);
}

int AnsiCodePageForLocaleId(std::int32_t lcid) {
    const std::int32_t primary = lcid & 0x3FF;
    const std::int32_t sublanguage = (lcid >> 10) & 0x3F;
    switch (primary) {
    case 0x04: // Chinese: Taiwan, Hong Kong and Macau write Traditional
        return sublanguage == 0x01 || sublanguage == 0x03 || sublanguage == 0x05 ? 950 : 936;
    case 0x11:
        return 932; // Japanese
    case 0x12:
        return 949; // Korean
    case 0x1E:
        return 874; // Thai
    case 0x2A:
        return 1258; // Vietnamese
    case 0x05:       // Czech
    case 0x0E:       // Hungarian
    case 0x15:       // Polish
    case 0x18:       // Romanian
    case 0x1B:       // Slovak
    case 0x1C:       // Albanian
    case 0x24:       // Slovenian
        return 1250;
    case 0x1A: // Croatian, Bosnian (Latin) and Serbian: Cyrillic in Serbia
        return lcid == 10266 ? 1251 : 1250;
    case 0x02: // Bulgarian
    case 0x19: // Russian
    case 0x22: // Ukrainian
    case 0x23: // Belarusian
    case 0x2F: // Macedonian
    case 0x3F: // Kazakh
        return 1251;
    case 0x08:
        return 1253; // Greek
    case 0x1F:       // Turkish
    case 0x2C:       // Azerbaijani (Latin)
    case 0x43:       // Uzbek (Latin)
        return 1254;
    case 0x0D:
        return 1255; // Hebrew
    case 0x01:       // Arabic
    case 0x20:       // Urdu
    case 0x29:       // Persian
        return 1256;
    case 0x25: // Estonian
    case 0x26: // Latvian
    case 0x27: // Lithuanian
        return 1257;
    case 0x2B:    // Armenian
    case 0x37:    // Georgian
    case 0x39:    // Hindi
    case 0x45:    // Bengali
    case 0x49:    // Tamil
    case 0x4A:    // Telugu
    case 0x4E:    // Marathi
        return 0; // Unicode only
    default:
        return 1252;
    }
}

int SystemAnsiCodePage() {
    return AnsiCodePageForLocaleId(SystemLocaleId());
}

} // namespace varnel::platform
