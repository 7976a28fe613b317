// POSIX back end: holds only code valid on every POSIX system.
// Separators come from the C library's locale data of the environment's locale;
// names and identifiers from a small table keyed by language and country.
#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/errors.h"
#include "platform/text.h"

namespace plat {

namespace {

struct LocaleRow {
  uint32_t lcid;
  const char* name;  // language_COUNTRY
  const char* abbreviation;
  const char* englishLanguage;
  const char* nativeLanguage;  // UTF-8
  const char* englishCountry;
  const char* nativeCountry;  // UTF-8
  const char* countryCode;
  const char* measurement;
  // Numeric conventions for when the C library does not have the locale (UTF-8).
  const char* decimal;
  const char* thousands;
};

// The first row of a language is its default country.
constexpr LocaleRow kLocales[] = {
    {0x0409, "en_US", "ENU", "English", "English", "United States", "United States", "1", "1", ".", ","},
    {0x0809, "en_GB", "ENG", "English", "English", "United Kingdom", "United Kingdom", "44", "0", ".", ","},
    {0x1009, "en_CA", "ENC", "English", "English", "Canada", "Canada", "2", "0", ".", ","},
    {0x0C09, "en_AU", "ENA", "English", "English", "Australia", "Australia", "61", "0", ".", ","},
    {0x0411, "ja_JP", "JPN", "Japanese", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "Japan", "\xE6\x97\xA5\xE6\x9C\xAC", "81", "0", ".", ","},
    {0x0407, "de_DE", "DEU", "German", "Deutsch", "Germany", "Deutschland", "49", "0", ",", "."},
    {0x0C07, "de_AT", "DEA", "German", "Deutsch", "Austria", "\xC3\x96sterreich", "43", "0", ",", "."},
    {0x0807, "de_CH", "DES", "German", "Deutsch", "Switzerland", "Schweiz", "41", "0", ".", "'"},
    {0x040C, "fr_FR", "FRA", "French", "Fran\xC3\xA7" "ais", "France", "France", "33", "0", ",", "\xE2\x80\xAF"},
    {0x0C0C, "fr_CA", "FRC", "French", "Fran\xC3\xA7" "ais", "Canada", "Canada", "2", "0", ",", "\xC2\xA0"},
    {0x100C, "fr_CH", "FRS", "French", "Fran\xC3\xA7" "ais", "Switzerland", "Suisse", "41", "0", ",", "\xE2\x80\xAF"},
    {0x0C0A, "es_ES", "ESN", "Spanish", "Espa\xC3\xB1ol", "Spain", "Espa\xC3\xB1" "a", "34", "0", ",", "."},
    {0x0410, "it_IT", "ITA", "Italian", "Italiano", "Italy", "Italia", "39", "0", ",", "."},
    {0x0413, "nl_NL", "NLD", "Dutch", "Nederlands", "Netherlands", "Nederland", "31", "0", ",", "."},
    {0x0416, "pt_BR", "PTB", "Portuguese", "Portugu\xC3\xAAs", "Brazil", "Brasil", "55", "0", ",", "."},
    {0x0816, "pt_PT", "PTG", "Portuguese", "Portugu\xC3\xAAs", "Portugal", "Portugal", "351", "0", ",", "\xC2\xA0"},
    {0x041D, "sv_SE", "SVE", "Swedish", "Svenska", "Sweden", "Sverige", "46", "0", ",", "\xC2\xA0"},
    {0x0804, "zh_CN", "CHS", "Chinese", "Chinese", "China", "China", "86", "0", ".", ","},
    {0x0404, "zh_TW", "CHT", "Chinese", "Chinese", "Taiwan", "Taiwan", "886", "0", ".", ","},
    {0x0412, "ko_KR", "KOR", "Korean", "Korean", "Korea", "Korea", "82", "0", ".", ","},
    {0x0419, "ru_RU", "RUS", "Russian", "Russian", "Russia", "Russia", "7", "0", ",", "\xC2\xA0"},
    {0x0415, "pl_PL", "PLK", "Polish", "Polski", "Poland", "Polska", "48", "0", ",", "\xC2\xA0"},
};

const LocaleRow& EnglishUs() { return kLocales[0]; }

const LocaleRow* RowByLcid(uint32_t lcid) {
  for (const auto& row : kLocales) {
    if (row.lcid == (lcid & 0xFFFF)) return &row;
  }
  return nullptr;
}

// The environment's locale name for a category, as setlocale(category, "") would pick it.
std::string EnvironmentLocale(const char* category) {
  for (const char* var : {"LC_ALL", category, "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return value;
  }
  return "C";
}

// The table row of a locale name such as "de_DE.UTF-8@euro": exact language and
// country, else the language's first row, else English (United States).
const LocaleRow& RowByName(const std::string& name) {
  const std::string base = name.substr(0, name.find_first_of(".@"));
  const std::string language = base.substr(0, base.find('_'));
  for (const auto& row : kLocales) {
    if (base == row.name) return row;
  }
  for (const auto& row : kLocales) {
    if (std::strncmp(row.name, language.c_str(), 2) == 0 && language.size() == 2) return row;
  }
  return EnglishUs();
}

// The C library's text in the locale's code set as UTF-16: UTF-8 code sets are
// decoded as such, any other byte above 0x7F is taken as Latin-1.
String16 FromLocaleBytes(const char* text, bool utf8) {
  if (!text) return String16();
  if (utf8) return FromUtf8(text);
  String16 out;
  for (const char* p = text; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
  return out;
}

struct NumericConventions {
  String16 decimal = u".";
  String16 thousands = u",";
  String16 grouping = u"3;0";
};

// The numeric conventions of a locale name; English (United States) ones for
// the C locale and for a locale the system does not have.
NumericConventions NumericOf(const std::string& name) {
  NumericConventions result;
  if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return result;
  locale_t loc = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) {
    // Not installed here (a minimal system has only C): the table's conventions
    // for the language and country, so that a German user still sees "1.234,5".
    const LocaleRow& row = RowByName(name);
    result.decimal = FromUtf8(row.decimal);
    result.thousands = FromUtf8(row.thousands);
    return result;
  }
  locale_t previous = uselocale(loc);
  const lconv* conv = localeconv();
  const char* codeset = nl_langinfo_l(CODESET, loc);
  const bool utf8 = codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
  result.decimal = FromLocaleBytes(conv->decimal_point, utf8);
  result.thousands = FromLocaleBytes(conv->thousands_sep, utf8);
  // The C library lists group sizes as bytes ("\3\3"); Windows writes "3;0"
  // for a repeated last group, "3;2;0" for 3 then 2 repeated.
  String16 grouping;
  const char* g = conv->grouping;
  for (int i = 0; g && g[i] > 0 && g[i] != CHAR_MAX && i < 8; ++i) {
    if (!grouping.empty()) grouping += u';';
    grouping += FromUtf8(std::to_string(static_cast<int>(g[i])));
    if (g[i + 1] == 0) grouping += u";0";
  }
  result.grouping = grouping.empty() ? String16(u"0") : grouping;
  uselocale(previous);
  freelocale(loc);
  if (result.decimal.empty()) result.decimal = u".";
  return result;
}

String16 LocaleNameOf(uint32_t lcid, const char* category) {
  if (lcid == kLocaleUserDefault || lcid == kLocaleSystemDefault || lcid == 0) {
    return FromUtf8(EnvironmentLocale(category));
  }
  const LocaleRow* row = RowByLcid(lcid);
  return row ? FromUtf8(std::string(row->name) + ".UTF-8") : String16();
}

bool FieldText(uint32_t lcid, LocaleField field, String16* out) {
  const String16 namesLocale = LocaleNameOf(lcid, "LC_MESSAGES");
  if (namesLocale.empty()) return false;
  const LocaleRow& row = RowByName(ToUtf8(namesLocale));
  char hex[8];
  switch (field) {
    case LocaleField::LanguageId:
      std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(row.lcid & 0xFFFF));
      *out = FromUtf8(hex);
      return true;
    case LocaleField::LanguageName:
      *out = FromUtf8(std::string(row.nativeLanguage) + " (" + row.nativeCountry + ")");
      return true;
    case LocaleField::LanguageAbbreviation: *out = FromUtf8(row.abbreviation); return true;
    case LocaleField::CountryCode: *out = FromUtf8(row.countryCode); return true;
    case LocaleField::CountryName: *out = FromUtf8(row.nativeCountry); return true;
    case LocaleField::Measurement: *out = FromUtf8(row.measurement); return true;
    case LocaleField::EnglishLanguageName: *out = FromUtf8(row.englishLanguage); return true;
    case LocaleField::EnglishCountryName: *out = FromUtf8(row.englishCountry); return true;
    case LocaleField::FractionDigits: *out = u"2"; return true;
    case LocaleField::LeadingZero: *out = u"1"; return true;
    case LocaleField::TimeSeparator: *out = u":"; return true;
    case LocaleField::NegativeSign: *out = u"-"; return true;
    default: break;
  }
  const NumericConventions numeric = NumericOf(ToUtf8(LocaleNameOf(lcid, "LC_NUMERIC")));
  switch (field) {
    case LocaleField::DecimalSeparator: *out = numeric.decimal; return true;
    case LocaleField::ThousandSeparator: *out = numeric.thousands; return true;
    case LocaleField::Grouping: *out = numeric.grouping; return true;
    // Where the decimal separator is a comma, lists are separated by semicolons.
    case LocaleField::ListSeparator: *out = numeric.decimal == u"," ? u";" : u","; return true;
    default: return false;
  }
}

}  // namespace

int GetLocaleText(uint32_t lcid, LocaleField field, ZoChar* out, int capacity) {
  if (out && capacity > 0) out[0] = 0;
  String16 text;
  if (!FieldText(lcid, field, &text)) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  if (!out || capacity <= 0 || text.size() + 1 > static_cast<size_t>(capacity)) {
    SetLastError(kErrorInsufficientBuffer);
    return 0;
  }
  CopyTruncated(out, static_cast<size_t>(capacity), text);
  return static_cast<int>(text.size() + 1);
}

uint32_t GetUserDefaultLcid() { return RowByName(EnvironmentLocale("LC_MESSAGES")).lcid; }
uint32_t GetSystemDefaultLcid() { return GetUserDefaultLcid(); }

size_t SystemCharLength(const char* text, size_t available) { return Utf8CharLength(text, available); }

std::string ToSystemCodePage(StringView16 text) { return ToUtf8(text); }
String16 FromSystemCodePage(std::string_view text) { return FromUtf8(text); }

}  // namespace plat
