// Number text: integers to decimal text (optionally grouped in the user's style),
// locale formatting of decimal text, locale-aware reading of numbers, and white
// space trimming. Conventions come from the internationals record (zo_inat.h).
// All routines are reentrant and only read the record.
#pragma once
#include <cstdint>

#include "platform/types.h"

// Integer to text. `out` must hold ZO_NUMBER_TEXT_CAPACITY units; returns the
// units written without the terminator.
inline constexpr int ZO_NUMBER_TEXT_CAPACITY = 64;
int ZoLongToText(int32_t value, ZoChar* out, bool group);
int ZoDWordToText(uint32_t value, ZoChar* out, bool group);
int ZoLongLongToText(int64_t value, ZoChar* out, bool group);

// Locale formatting of plain decimal text ("-1234.5") that may follow other text
// ("Size 0012": "Size 00" is copied, "12" formatted) and be followed by spaces
// ("1234  " gives "1,234  "); other text after it leaves the rest as it is. A
// locale without a decimal separator gets a point. `out` holds `capacity` units
// and is always terminated when capacity > 0; returns the units written.
// ZoFormatNumber: grouped, no fraction (rounded). ZoFormatDecimalNumber: the
// local decimal separator, as many fraction digits as `in` has, no grouping.
// ZoFormatGroupDecimalNumber: grouped with `digits` fraction digits (-1: as many
// as `in` has).
int ZoFormatNumber(const ZoChar* in, ZoChar* out, int capacity);
int ZoFormatDecimalNumber(const ZoChar* in, ZoChar* out, int capacity);
int ZoFormatGroupDecimalNumber(const ZoChar* in, ZoChar* out, int capacity, int digits);

// The number formatting of the platform's GetNumberFormatW with explicit settings,
// done here so that every OS gives the same text. `value` is "[-]digits[.digits]"
// (digits may be absent on one side of the point). Grouping as NUMBERFMT's: 3 =
// groups of three, 32 = three then twos, 30 = one group of three, 0 = none.
// Returns the units written without the terminator, or -1 when `value` is not a
// number or the text does not fit (`out` is then "" when capacity > 0).
struct ZoNumberFormat {
  uint32_t fractionDigits = 0;
  uint32_t leadingZero = 1;
  uint32_t grouping = 3;
  const ZoChar* decimalSeparator = u".";
  const ZoChar* thousandSeparator = u",";
};
int ZoFormatNumberText(const ZoChar* value, const ZoNumberFormat& format, ZoChar* out, int capacity);

// Text to integer, reading the user's notation: leading white space, a minus
// sign, digits with thousands separators skipped and the decimal separator read
// as a point. `end` (when not null) receives where reading stopped.
uint32_t ZoTextToDWordToken(const ZoChar* text, const ZoChar** end);
int32_t ZoTextToLongToken(const ZoChar* text, const ZoChar** end);
int64_t ZoTextToLongLongToken(const ZoChar* text, const ZoChar** end);
uint64_t ZoTextToDWordLongToken(const ZoChar* text, const ZoChar** end);
// With a default for text that holds no number, then limited to min .. max.
uint32_t ZoTextToDWordTokenEx(const ZoChar* text, uint32_t dflt, uint32_t min, uint32_t max, const ZoChar** end);
int32_t ZoTextToLongTokenEx(const ZoChar* text, int32_t dflt, int32_t min, int32_t max, const ZoChar** end);
uint64_t ZoTextToDWordLongTokenEx(const ZoChar* text, uint64_t dflt, uint64_t min, uint64_t max,
                                  const ZoChar** end);
// Hexadecimal, with an optional "0x" or "0X".
uint32_t ZoHexToDWordToken(const ZoChar* text, const ZoChar** end);

// Removes leading and trailing white space in place; returns the new length.
int ZoStripWhiteSpace(ZoChar* text);
// True for the white space the readers skip (ASCII space, tab, line breaks,
// vertical tab, form feed).
bool ZoIsWhiteSpace(ZoChar c);
