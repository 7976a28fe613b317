// The internationals record: the user-locale settings (separators, digits,
// names) read once at start-up and served to the token formatter and the
// number-text routines. One process-wide record, written on the main thread
// before worker threads exist and read without locking afterwards.
#pragma once
#include <cstdint>

#include "platform/results.h"
#include "platform/types.h"

// The record, 796 bytes, in its stored order. Text fields are terminated UTF-16;
// each length counts the units before the terminator, or is -1 when the locale
// could not supply the text.
struct ZoInternationals {
  uint32_t size;  // always sizeof(ZoInternationals)
  uint32_t systemLcid;
  uint32_t languageNumber;  // LOCALE_ILANGUAGE's hexadecimal digits read as decimal: 0409 -> 409
  ZoChar languageName[64];
  int32_t languageNameLength;
  ZoChar englishLanguageName[64];
  int32_t englishLanguageNameLength;
  uint32_t countryNumber;
  ZoChar countryName[64];
  int32_t countryNameLength;
  ZoChar englishCountryName[64];
  int32_t englishCountryNameLength;
  ZoChar negativeSign[8];
  int32_t negativeSignLength;
  ZoChar minusSign[8];  // always "-"
  int32_t minusSignLength;
  ZoChar thousandSeparator[8];
  int32_t thousandSeparatorLength;
  ZoChar decimalSeparator[8];  // never equal to the thousands separator (corrected)
  int32_t decimalSeparatorLength;
  uint32_t grouping;  // "3;0" -> 3, "3;2;0" -> 3
  uint32_t fractionDigits;
  uint32_t leadingZero;
  ZoChar timeSeparator[8];
  int32_t timeSeparatorLength;
  ZoChar listSeparator[8];
  int32_t listSeparatorLength;
  uint32_t measurement;
  ZoChar timeCodeWholeSeparator[8];  // ":"
  int32_t timeCodeWholeSeparatorLength;
  ZoChar timeCodeNonDropSeparator[8];  // "."
  int32_t timeCodeNonDropSeparatorLength;
  ZoChar timeCodeDropSeparator[8];  // ","
  int32_t timeCodeDropSeparatorLength;
  uint8_t reserved[16];
  ZoChar measureBeatSeparator[8];  // "."
  int32_t measureBeatSeparatorLength;
  ZoChar beatTickSeparator[8];  // "."
  int32_t beatTickSeparatorLength;
};
static_assert(sizeof(ZoInternationals) == 796, "the internationals record is 796 bytes");

// The locale's answers as text, one per field, as the platform's locale query
// gives them (LOCALE_ILANGUAGE "0409", LOCALE_SGROUPING "3;0", ...). A null field
// counts as a failed query. Tests use it to set English, German or unusual
// separators without depending on the machine's locale.
struct ZoLocaleTexts {
  uint32_t systemLcid = 0x409;
  const ZoChar* languageId = nullptr;
  const ZoChar* languageName = nullptr;
  const ZoChar* englishLanguageName = nullptr;
  const ZoChar* countryCode = nullptr;
  const ZoChar* countryName = nullptr;
  const ZoChar* englishCountryName = nullptr;
  const ZoChar* negativeSign = nullptr;
  const ZoChar* thousandSeparator = nullptr;
  const ZoChar* decimalSeparator = nullptr;
  const ZoChar* grouping = nullptr;
  const ZoChar* fractionDigits = nullptr;
  const ZoChar* leadingZero = nullptr;
  const ZoChar* timeSeparator = nullptr;
  const ZoChar* listSeparator = nullptr;
  const ZoChar* measurement = nullptr;
};

// With dst null: (re)reads the record from the user default locale and registers
// the time-code and music-time formatter tokens. With dst: copies min(size, 796)
// bytes of the record and writes the count copied into dst's first 32 bits
// (when at least 4 bytes were asked for). Returns 0.
ZoResult ZoLang_GetInternationals(void* dst, uint32_t size);
// Fills the record from `texts` (the user default locale when null), applies the
// decimal separator correction and the fixed separators, and registers the tokens.
void ZoLang_LoadInternationals(const ZoLocaleTexts* texts);

// The record for reading (never null; zero-filled until first loaded).
const ZoInternationals* ZoGetInternationals();

// Inat codes of ZoGetInat.
inline constexpr uint32_t ZO_INAT_SYSTEM_LCID = 0;
inline constexpr uint32_t ZO_INAT_LANGUAGE = 1;
inline constexpr uint32_t ZO_INAT_LANGUAGE_NAME = 2;
inline constexpr uint32_t ZO_INAT_ENGLISH_LANGUAGE_NAME = 3;
inline constexpr uint32_t ZO_INAT_COUNTRY = 4;
inline constexpr uint32_t ZO_INAT_DECIMAL = 24;
inline constexpr uint32_t ZO_INAT_LIST = 40;
inline constexpr uint32_t ZO_INAT_TIME = 60;
inline constexpr uint32_t ZO_INAT_TIMECODE_WHOLE = 100;
inline constexpr uint32_t ZO_INAT_TIMECODE_NONDROP = 101;
inline constexpr uint32_t ZO_INAT_TIMECODE_DROP = 102;
inline constexpr uint32_t ZO_INAT_MEASURE_BEAT = 120;
inline constexpr uint32_t ZO_INAT_BEAT_TICK = 121;

// Answers one inat code. `out` (when not null) is set to "" first and, for the
// text codes, receives the text; it must hold 64 units for the names and 8 for
// the separators. Returns the number (codes 0, 1, 4), the text's length, or 0 for
// an unknown code.
uint32_t ZoGetInat(uint32_t code, ZoChar* out);
