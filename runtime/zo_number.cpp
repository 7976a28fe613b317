// Number text: conversions between integers, plain decimal text and the user's
// notation (internationals record). The GetNumberFormatW step is done here, the
// same on every OS, from the settings the record supplies.
#include "runtime/zo_number.h"

#include <cstring>
#include <new>

#include "platform/text.h"
#include "runtime/zo_inat.h"

namespace {

bool IsDigit(ZoChar c) { return c >= u'0' && c <= u'9'; }

// A field of the record as usable text: "" when the locale failed to supply it.
const ZoChar* FieldText(const ZoChar* field, int32_t length) { return length > 0 ? field : u""; }

bool StartsWith(const ZoChar* text, const ZoChar* prefix, size_t prefixLength) {
  return prefixLength > 0 && std::memcmp(text, prefix, prefixLength * sizeof(ZoChar)) == 0 &&
         plat::BoundedLength(text, prefixLength) == prefixLength;
}

// Bounded output: never writes past capacity - 1 units plus the terminator.
struct Writer {
  ZoChar* out;
  size_t capacity;
  size_t length = 0;
  bool overflow = false;
  void Put(ZoChar c) {
    if (length + 1 < capacity) {
      out[length++] = c;
    } else {
      overflow = true;
    }
  }
  void Put(const ZoChar* text) {
    for (; *text; ++text) Put(*text);
  }
  void Terminate() {
    if (capacity > 0) out[length] = 0;
  }
};

// Decimal digits of a magnitude, most significant first, into `digits` (>= 21 units).
size_t MagnitudeDigits(uint64_t magnitude, ZoChar* digits) {
  ZoChar reversed[24];
  size_t n = 0;
  do {
    reversed[n++] = static_cast<ZoChar>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  for (size_t i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
  return n;
}

int IntegerToText(bool negative, uint64_t magnitude, ZoChar* out, bool group) {
  ZoChar text[ZO_NUMBER_TEXT_CAPACITY];
  size_t n = 0;
  if (negative) text[n++] = u'-';
  n += MagnitudeDigits(magnitude, text + n);
  text[n] = 0;
  if (group) return ZoFormatNumber(text, out, ZO_NUMBER_TEXT_CAPACITY);
  plat::CopyTruncated(out, ZO_NUMBER_TEXT_CAPACITY, text);
  return static_cast<int>(n);
}

enum class FormatMode { Grouped, Decimal, GroupDecimal };

// `value` in the notation "[-]digits[.digits]" as `format` lays it out; -1 when
// it is not such a number or does not fit `capacity`.
int FormatNumberView(plat::StringView16 value, const ZoNumberFormat& format, ZoChar* out, int capacity);

int FormatInLocale(const ZoChar* in, ZoChar* out, int capacity, FormatMode mode, int digits) {
  if (!out || capacity <= 0) return 0;
  Writer w{out, static_cast<size_t>(capacity)};
  if (!in) {
    w.Terminate();
    return 0;
  }
  // Text before the number (and leading zeros not followed by a point) stays as it is.
  const ZoChar* p = in;
  auto startsNumber = [](const ZoChar* q) {
    return *q == 0 || *q == u'-' || *q == u'.' || (IsDigit(*q) && *q != u'0') || (q[0] == u'0' && q[1] == u'.');
  };
  while (!startsNumber(p)) w.Put(*p++);
  if (*p == 0) {
    w.Terminate();
    return static_cast<int>(w.length);
  }
  // Spaces after the number (a left-justified "$-8d" pads on the right) are not
  // part of it: the number is formatted and the spaces follow it unchanged.
  const size_t restLength = plat::Length(p);
  size_t numberLength = restLength;
  while (numberLength > 0 && p[numberLength - 1] == u' ') --numberLength;
  const plat::StringView16 number(p, numberLength);
  const ZoInternationals* r = ZoGetInternationals();
  ZoNumberFormat format;
  format.leadingZero = r->leadingZero;
  format.thousandSeparator = FieldText(r->thousandSeparator, r->thousandSeparatorLength);
  // Fraction digits without a separator would read as a ten-, hundred-fold
  // number: a locale that supplied none gets a point.
  format.decimalSeparator = r->decimalSeparatorLength > 0 ? r->decimalSeparator : u".";
  format.grouping = r->grouping;
  const ZoChar* lastPoint = nullptr;
  for (const ZoChar* q = p; q < p + numberLength; ++q) {
    if (*q == u'.') lastPoint = q;
  }
  const uint32_t counted = lastPoint ? static_cast<uint32_t>(p + numberLength - (lastPoint + 1)) : 0;
  switch (mode) {
    case FormatMode::Grouped:
      format.fractionDigits = 0;
      format.decimalSeparator = u"";
      break;
    case FormatMode::Decimal:
      format.fractionDigits = counted;
      format.grouping = 0;
      break;
    case FormatMode::GroupDecimal:
      format.fractionDigits = digits < 0 ? counted : static_cast<uint32_t>(digits);
      break;
  }
  const size_t room = w.capacity - w.length;
  const int n = FormatNumberView(number, format, out + w.length, static_cast<int>(room));
  if (n < 0) {
    // Not a number after all, or no room: keep the rest as it was rather than lose it.
    w.Put(p);
    w.Terminate();
    return static_cast<int>(w.length);
  }
  w.length += static_cast<size_t>(n);
  for (size_t k = numberLength; k < restLength; ++k) w.Put(u' ');
  w.Terminate();
  return static_cast<int>(w.length);
}

// The reader's first step: the user's notation normalised to "[-]digits[.digits]"
// in a 64-unit buffer (units beyond 63 are read but not kept).
const ZoChar* NormaliseNumber(const ZoChar* text, ZoChar (&buffer)[64]) {
  size_t n = 0;
  auto keep = [&](ZoChar c) {
    if (n < 63) buffer[n++] = c;
  };
  buffer[0] = 0;
  if (!text) return text;
  const ZoChar* p = text;
  while (ZoIsWhiteSpace(*p)) ++p;
  const ZoInternationals* r = ZoGetInternationals();
  const size_t negativeLength = r->negativeSignLength > 0 ? static_cast<size_t>(r->negativeSignLength) : 0;
  const size_t thousandLength = r->thousandSeparatorLength > 0 ? static_cast<size_t>(r->thousandSeparatorLength) : 0;
  const size_t decimalLength = r->decimalSeparatorLength > 0 ? static_cast<size_t>(r->decimalSeparatorLength) : 0;
  if (StartsWith(p, r->negativeSign, negativeLength)) {
    keep(u'-');
    p += negativeLength;
  } else if (*p == u'-') {
    keep(u'-');
    ++p;
  }
  for (;;) {
    if (StartsWith(p, r->thousandSeparator, thousandLength)) {
      p += thousandLength;
    } else if (StartsWith(p, r->decimalSeparator, decimalLength)) {
      keep(u'.');
      p += decimalLength;
    } else if (IsDigit(*p)) {
      keep(*p++);
    } else {
      break;
    }
  }
  buffer[n] = 0;
  return p;
}

uint64_t AccumulateDigits(const ZoChar* p) {
  uint64_t value = 0;
  for (; IsDigit(*p); ++p) value = value * 10 + static_cast<uint64_t>(*p - u'0');
  return value;
}

// Sign and digits up to the first other unit, saturated to the type's range
// (the C library's conversion has no defined result on overflow).
int64_t SignedValue(const ZoChar* p, int64_t minimum, int64_t maximum) {
  bool negative = false;
  if (*p == u'-' || *p == u'+') negative = *p++ == u'-';
  const uint64_t limit = negative ? static_cast<uint64_t>(-(minimum + 1)) + 1 : static_cast<uint64_t>(maximum);
  uint64_t value = 0;
  for (; IsDigit(*p); ++p) {
    const uint64_t digit = static_cast<uint64_t>(*p - u'0');
    if (value > (limit - digit) / 10) {
      value = limit;
      break;
    }
    value = value * 10 + digit;
  }
  if (!negative) return static_cast<int64_t>(value);
  return value == limit ? minimum : -static_cast<int64_t>(value);
}

// The Ex readers' rule: no number present (0 read and stopped at something that
// is neither the end nor white space) gives the default.
bool NoNumberPresent(uint64_t value, const ZoChar* stop) {
  return value == 0 && stop && *stop != 0 && !ZoIsWhiteSpace(*stop);
}

}  // namespace

bool ZoIsWhiteSpace(ZoChar c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

int ZoLongToText(int32_t value, ZoChar* out, bool group) {
  const uint64_t magnitude = value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
  return IntegerToText(value < 0, magnitude, out, group);
}

int ZoDWordToText(uint32_t value, ZoChar* out, bool group) { return IntegerToText(false, value, out, group); }

int ZoLongLongToText(int64_t value, ZoChar* out, bool group) {
  if ((static_cast<uint64_t>(value) >> 32) == 0) return ZoDWordToText(static_cast<uint32_t>(value), out, group);
  // The most negative value has no positive counterpart: take its magnitude unsigned.
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return IntegerToText(value < 0, magnitude, out, group);
}

namespace {

int FormatNumberText(plat::StringView16 value, const ZoNumberFormat& format, ZoChar* out, int capacity) {
  const ZoChar* p = value.data();
  const ZoChar* const end = p + value.size();
  const bool negative = p < end && *p == u'-';
  if (negative) ++p;
  const ZoChar* intStart = p;
  while (p < end && IsDigit(*p)) ++p;
  const size_t intLength = static_cast<size_t>(p - intStart);
  const ZoChar* fracStart = p;
  size_t fracLength = 0;
  if (p < end && *p == u'.') {
    fracStart = ++p;
    while (p < end && IsDigit(*p)) ++p;
    fracLength = static_cast<size_t>(p - fracStart);
  }
  if (p != end || intLength + fracLength == 0) return -1;
  const size_t digits = format.fractionDigits;
  if (digits > 4096 || intLength > 4096) return -1;

  // Integer digits (one spare place for a carry) and the fraction cut to
  // `digits`, rounded half away from zero.
  plat::String16 whole(1, u'0');
  whole.append(intStart, intLength);
  plat::String16 fraction(fracStart, fracStart + (fracLength < digits ? fracLength : digits));
  fraction.resize(digits, u'0');
  if (fracLength > digits && fracStart[digits] >= u'5') {
    size_t i = fraction.size();
    bool carry = true;
    while (carry && i > 0) {
      --i;
      if (fraction[i] == u'9') {
        fraction[i] = u'0';
      } else {
        ++fraction[i];
        carry = false;
      }
    }
    for (size_t j = whole.size(); carry && j > 0;) {
      --j;
      if (whole[j] == u'9') {
        whole[j] = u'0';
      } else {
        ++whole[j];
        carry = false;
      }
    }
  }
  const size_t firstNonZero = whole.find_first_not_of(u'0');
  whole = firstNonZero == plat::String16::npos ? plat::String16() : whole.substr(firstNonZero);
  const bool isZero = whole.empty() && fraction.find_first_not_of(u'0') == plat::String16::npos;
  if (whole.empty() && (format.leadingZero || digits == 0)) whole = u"0";

  // Group sizes from the NUMBERFMT value, least significant group first.
  uint32_t sizes[10];
  size_t sizeCount = 0;
  bool repeatLast = true;
  {
    ZoChar g[ZO_NUMBER_TEXT_CAPACITY];
    const int gl = IntegerToText(false, format.grouping, g, false);
    for (int i = 0; i < gl && sizeCount < 10; ++i) sizes[sizeCount++] = static_cast<uint32_t>(g[i] - u'0');
    if (sizeCount > 0 && sizes[sizeCount - 1] == 0) {
      repeatLast = false;
      --sizeCount;
    }
  }
  plat::String16 grouped;
  {
    // Walk from the least significant digit, inserting separators (reversed).
    plat::String16 reversedSeparator(format.thousandSeparator ? format.thousandSeparator : u"");
    reversedSeparator.assign(reversedSeparator.rbegin(), reversedSeparator.rend());
    size_t group = 0, inGroup = 0;
    for (size_t i = whole.size(); i > 0; --i) {
      const uint32_t size = sizeCount == 0 ? 0 : sizes[group < sizeCount ? group : sizeCount - 1];
      const bool grouping = sizeCount > 0 && (group < sizeCount || repeatLast) && size > 0;
      if (grouping && inGroup == size) {
        grouped += reversedSeparator;
        inGroup = 0;
        ++group;
      }
      grouped += whole[i - 1];
      ++inGroup;
    }
    grouped.assign(grouped.rbegin(), grouped.rend());
  }
  Writer w{out, static_cast<size_t>(capacity)};
  if (negative && !isZero) w.Put(u'-');
  w.Put(grouped.c_str());
  if (digits > 0) {
    w.Put(format.decimalSeparator ? format.decimalSeparator : u"");
    w.Put(fraction.c_str());
  }
  if (w.overflow) {
    out[0] = 0;
    return -1;
  }
  w.Terminate();
  return static_cast<int>(w.length);
}

int FormatNumberView(plat::StringView16 value, const ZoNumberFormat& format, ZoChar* out, int capacity) {
  if (out && capacity > 0) out[0] = 0;
  if (!out || capacity <= 0) return -1;
  try {
    return FormatNumberText(value, format, out, capacity);
  } catch (const std::bad_alloc&) {
    out[0] = 0;
    return -1;
  }
}

}  // namespace

int ZoFormatNumberText(const ZoChar* value, const ZoNumberFormat& format, ZoChar* out, int capacity) {
  if (!value) {
    if (out && capacity > 0) out[0] = 0;
    return -1;
  }
  return FormatNumberView(plat::StringView16(value), format, out, capacity);
}

int ZoFormatNumber(const ZoChar* in, ZoChar* out, int capacity) {
  return FormatInLocale(in, out, capacity, FormatMode::Grouped, 0);
}

int ZoFormatDecimalNumber(const ZoChar* in, ZoChar* out, int capacity) {
  return FormatInLocale(in, out, capacity, FormatMode::Decimal, 0);
}

int ZoFormatGroupDecimalNumber(const ZoChar* in, ZoChar* out, int capacity, int digits) {
  return FormatInLocale(in, out, capacity, FormatMode::GroupDecimal, digits);
}

uint32_t ZoTextToDWordToken(const ZoChar* text, const ZoChar** end) {
  ZoChar normal[64];
  const ZoChar* stop = NormaliseNumber(text, normal);
  if (end) *end = stop;
  return static_cast<uint32_t>(AccumulateDigits(normal));
}

int32_t ZoTextToLongToken(const ZoChar* text, const ZoChar** end) {
  ZoChar normal[64];
  const ZoChar* stop = NormaliseNumber(text, normal);
  if (end) *end = stop;
  return static_cast<int32_t>(SignedValue(normal, INT32_MIN, INT32_MAX));
}

int64_t ZoTextToLongLongToken(const ZoChar* text, const ZoChar** end) {
  ZoChar normal[64];
  const ZoChar* stop = NormaliseNumber(text, normal);
  if (end) *end = stop;
  return SignedValue(normal, INT64_MIN, INT64_MAX);
}

uint64_t ZoTextToDWordLongToken(const ZoChar* text, const ZoChar** end) {
  ZoChar normal[64];
  const ZoChar* stop = NormaliseNumber(text, normal);
  if (end) *end = stop;
  return AccumulateDigits(normal);
}

uint32_t ZoTextToDWordTokenEx(const ZoChar* text, uint32_t dflt, uint32_t min, uint32_t max, const ZoChar** end) {
  const ZoChar* stop = nullptr;
  uint32_t value = ZoTextToDWordToken(text, &stop);
  if (end) *end = stop;
  if (NoNumberPresent(value, stop)) value = dflt;
  return value < min ? min : (value > max ? max : value);
}

int32_t ZoTextToLongTokenEx(const ZoChar* text, int32_t dflt, int32_t min, int32_t max, const ZoChar** end) {
  const ZoChar* stop = nullptr;
  int32_t value = ZoTextToLongToken(text, &stop);
  if (end) *end = stop;
  if (NoNumberPresent(value == 0 ? 0 : 1, stop)) value = dflt;
  return value < min ? min : (value > max ? max : value);
}

uint64_t ZoTextToDWordLongTokenEx(const ZoChar* text, uint64_t dflt, uint64_t min, uint64_t max,
                                  const ZoChar** end) {
  const ZoChar* stop = nullptr;
  uint64_t value = ZoTextToDWordLongToken(text, &stop);
  if (end) *end = stop;
  if (NoNumberPresent(value, stop)) value = dflt;
  return value < min ? min : (value > max ? max : value);
}

uint32_t ZoHexToDWordToken(const ZoChar* text, const ZoChar** end) {
  if (!text) {
    if (end) *end = text;
    return 0;
  }
  const ZoChar* p = text;
  while (ZoIsWhiteSpace(*p)) ++p;
  if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) p += 2;
  uint32_t value = 0;
  for (;; ++p) {
    uint32_t digit;
    if (IsDigit(*p)) {
      digit = static_cast<uint32_t>(*p - u'0');
    } else if (*p >= u'a' && *p <= u'f') {
      digit = static_cast<uint32_t>(*p - u'a' + 10);
    } else if (*p >= u'A' && *p <= u'F') {
      digit = static_cast<uint32_t>(*p - u'A' + 10);
    } else {
      break;
    }
    value = (value << 4) | digit;
  }
  if (end) *end = p;
  return value;
}

int ZoStripWhiteSpace(ZoChar* text) {
  if (!text) return 0;
  const ZoChar* first = text;
  while (ZoIsWhiteSpace(*first)) ++first;
  size_t n = plat::Length(first);
  std::memmove(text, first, (n + 1) * sizeof(ZoChar));
  while (n > 0 && ZoIsWhiteSpace(text[n - 1])) --n;
  text[n] = 0;
  return static_cast<int>(n);
}
