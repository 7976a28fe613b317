// Locale: the user's and the system's locale settings as text, with the
// GetLocaleInfoW contract, and the locale identifiers (LCIDs) they come from.
//
// POSIX mapping: the user default locale is the one the environment selects
// (LC_ALL, then LC_NUMERIC for numbers and LC_MESSAGES for names, then LANG),
// read through the C library's locale data; a "C" or "POSIX" locale answers as
// English (United States). Names and LCIDs come from a small built-in table of
// languages and countries, which also holds each one's decimal and thousands
// separators for a locale the system has not installed; a language missing
// from it is reported as English.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include "platform/text.h"
#include "platform/types.h"

namespace plat {

inline constexpr uint32_t kLocaleUserDefault = 0x400;
inline constexpr uint32_t kLocaleSystemDefault = 0x800;

// The Windows LOCALE_* numbers.
enum class LocaleField : uint32_t {
  LanguageId = 0x01,            // ILANGUAGE: LANGID as 4 hexadecimal digits ("0409")
  LanguageName = 0x02,          // SLANGUAGE
  LanguageAbbreviation = 0x03,  // SABBREVLANGNAME ("ENU")
  CountryCode = 0x05,           // ICOUNTRY (telephone code, "1")
  CountryName = 0x06,           // SCOUNTRY
  ListSeparator = 0x0C,         // SLIST
  Measurement = 0x0D,           // IMEASURE: "0" metric, "1" U.S.
  DecimalSeparator = 0x0E,      // SDECIMAL
  ThousandSeparator = 0x0F,     // STHOUSAND
  Grouping = 0x10,              // SGROUPING ("3;0")
  FractionDigits = 0x11,        // IDIGITS
  LeadingZero = 0x12,           // ILZERO
  TimeSeparator = 0x1E,         // STIME
  NegativeSign = 0x51,          // SNEGATIVESIGN
  EnglishLanguageName = 0x1001, // SENGLANGUAGE
  EnglishCountryName = 0x1002,  // SENGCOUNTRY
};

// GetLocaleInfoW: writes the field's text, terminated, and returns the units
// written including the terminator; 0 on failure (unknown locale or field, or
// kErrorInsufficientBuffer when the text does not fit; `out` is then "" when
// capacity > 0). `lcid` may be kLocaleUserDefault or kLocaleSystemDefault.
int GetLocaleText(uint32_t lcid, LocaleField field, ZoChar* out, int capacity);

uint32_t GetSystemDefaultLcid();

// Bytes of the character that starts at `text` in the system's 8-bit code page,
// at least 1 and at most `available` (0 only when available is 0). Windows: the
// ANSI code page, where the lead byte of a double-byte character set such as
// Shift-JIS takes the next byte with it, even when that byte is a backslash.
// POSIX: the 8-bit text is UTF-8 (Utf8CharLength).
size_t SystemCharLength(const char* text, size_t available);
uint32_t GetUserDefaultLcid();

// UTF-16 text in the system's 8-bit code page. Windows: the ANSI code page, a
// character it cannot show becoming the code page's default character. POSIX:
// UTF-8 (ToUtf8). Never fails; an empty text gives an empty string.
std::string ToSystemCodePage(StringView16 text);
// The reverse: 8-bit text of the system's code page to UTF-16. Windows: the ANSI
// code page (MultiByteToWideChar with CP_ACP and MB_PRECOMPOSED); POSIX: UTF-8
// (FromUtf8, a bad sequence becoming U+FFFD). The whole view is converted, zero
// bytes included; a text Windows cannot convert gives an empty string.
String16 FromSystemCodePage(std::string_view text);

}  // namespace plat
