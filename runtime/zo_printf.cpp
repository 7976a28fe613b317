// The token formatter and its process-wide token table.
//
// The table is a locked growable list of owned TokenRecord blocks, sorted by name
// without regard to ASCII case. Every read or change of it happens inside the
// list's own (recursive) lock; the formatter holds the lock only while it looks
// up one name and copies its value.
#include "runtime/zo_printf.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "platform/thread.h"
#include "runtime/zo_inat.h"
#include "runtime/zo_list.h"
#include "runtime/zo_number.h"

namespace {

// One token: a single block made by the list, the texts inside it.
struct TokenRecord {
  uint32_t reserved;     // always 0
  const ZoChar* name;    // points into this block, right after the fields
  uint32_t valueLength;  // units, without terminator
  const ZoChar* value;   // points into this block, 4-byte aligned from the name text
};

ZoList* gTokenTable = nullptr;

// The limit of one conversion specification, token name or literal number.
constexpr size_t kSpecLimit = 260;
constexpr size_t kScratch = 260;
// A scratch number in the user's notation: every third of its 259 units may gain
// a thousands separator of up to 7 units, and the point a 7-unit separator.
constexpr size_t kLocalised = 1024;
constexpr uint32_t kMaxScaledDigits = 1000;

int32_t CompareTokenName(intptr_t, const void* key, const void* item) {
  const auto* name = static_cast<const plat::StringView16*>(key);
  const auto* record = static_cast<const TokenRecord*>(item);
  const int c = plat::CompareNoCase(*name, plat::StringView16(record->name));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Bounded output: never writes past capacity - 1 units plus the terminator.
struct Writer {
  ZoChar* out;
  size_t capacity;
  size_t length = 0;
  void Put(ZoChar c) {
    if (length + 1 < capacity) out[length++] = c;
  }
  void Put(plat::StringView16 text) {
    for (ZoChar c : text) Put(c);
  }
  void PutAscii(const char* text) {
    for (; *text; ++text) Put(static_cast<ZoChar>(static_cast<unsigned char>(*text)));
  }
  void Terminate() {
    if (capacity > 0) out[length] = 0;
  }
};

bool IsDigit(ZoChar c) { return c >= u'0' && c <= u'9'; }

bool IsConversion(ZoChar c) {
  return c < 0x80 && std::strchr("!&*,:EGXcdefgiosuxz", static_cast<char>(c)) != nullptr && c != 0;
}

// A parsed printf specification: "%" flags width ["." precision] [size] conversion.
struct Spec {
  std::string flags;  // "-+ #0"
  int width = -1;
  int precision = -1;
  bool size64 = false;
  bool narrow = false;  // "h": short integers, narrow characters and strings
  bool shortShort = false;
  char conversion = 0;
};

int ReadCount(plat::StringView16 s, size_t* i) {
  long long v = 0;
  while (*i < s.size() && IsDigit(s[*i])) {
    if (v < 100000) v = v * 10 + (s[*i] - u'0');
    ++*i;
  }
  return static_cast<int>(v);
}

// False when the text is not a specification printf-style formatting accepts.
bool ParseSpec(plat::StringView16 s, Spec* spec) {
  size_t i = 1;  // after "%"
  while (i < s.size() && (s[i] == u'-' || s[i] == u'+' || s[i] == u' ' || s[i] == u'#' || s[i] == u'0')) {
    spec->flags.push_back(static_cast<char>(s[i++]));
  }
  if (i < s.size() && IsDigit(s[i])) spec->width = ReadCount(s, &i);
  if (i < s.size() && s[i] == u'.') {
    ++i;
    spec->precision = ReadCount(s, &i);
  }
  const plat::StringView16 rest = s.substr(i);
  auto take = [&](plat::StringView16 prefix) {
    if (rest.substr(0, prefix.size()) != prefix) return false;
    i += prefix.size();
    return true;
  };
  if (take(u"I64") || take(u"ll")) {
    spec->size64 = true;
  } else if (take(u"I32") || take(u"l") || take(u"w") || take(u"L")) {
    // 32-bit long, wide characters and strings, double: the defaults here.
  } else if (take(u"hh")) {
    spec->narrow = spec->shortShort = true;
  } else if (take(u"h")) {
    spec->narrow = true;
  }
  if (i + 1 != s.size()) return false;
  spec->conversion = static_cast<char>(s[i]);
  return true;
}

// The narrow printf format of a parsed specification, for integers and doubles.
std::string NarrowFormat(const Spec& spec, const char* lengthModifier, char conversion) {
  std::string f = "%" + spec.flags;
  if (spec.width >= 0) f += std::to_string(spec.width);
  if (spec.precision >= 0) f += "." + std::to_string(spec.precision);
  return f + lengthModifier + conversion;
}

// Formats with the C library into a bounded scratch buffer and makes the decimal
// point a point whatever LC_NUMERIC the process runs under.
template <typename T>
void PrintNumber(const std::string& format, T value, ZoChar (&out)[kScratch]) {
  char buffer[kScratch];
  // A failed conversion (a precision beyond what the C library accepts) gives "".
  if (std::snprintf(buffer, sizeof buffer, format.c_str(), value) < 0) buffer[0] = 0;
  // The radix may be several bytes (a UTF-8 character): each occurrence becomes one ".".
  const char* point = std::localeconv()->decimal_point;
  if (!point || !point[0]) point = ".";
  const size_t pointLength = std::strlen(point);
  size_t n = 0;
  for (size_t i = 0; buffer[i] && n + 1 < kScratch;) {
    if (std::strncmp(buffer + i, point, pointLength) == 0) {
      out[n++] = u'.';
      i += pointLength;
    } else {
      out[n++] = static_cast<ZoChar>(static_cast<unsigned char>(buffer[i++]));
    }
  }
  out[n] = 0;
}

// Writes `text` padded to the specification's width (spaces, or zeros with the
// "0" flag; "-" pads on the right).
void PutPadded(Writer& w, const Spec& spec, plat::StringView16 text) {
  const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
  const size_t pad = width > text.size() ? width - text.size() : 0;
  const bool left = spec.flags.find('-') != std::string::npos;
  const ZoChar fill = !left && spec.flags.find('0') != std::string::npos ? u'0' : u' ';
  if (!left) {
    for (size_t k = 0; k < pad; ++k) w.Put(fill);
  }
  w.Put(text);
  if (left) {
    for (size_t k = 0; k < pad; ++k) w.Put(u' ');
  }
}

void PutString(Writer& w, const Spec& spec, va_list* args) {
  plat::String16 converted;
  plat::StringView16 text;
  if (spec.conversion == 'c' || spec.conversion == 'C') {
    const int c = va_arg(*args, int);
    const ZoChar unit = spec.narrow ? static_cast<ZoChar>(static_cast<unsigned char>(c)) : static_cast<ZoChar>(c);
    if (unit == 0) return;
    converted.assign(1, unit);
    text = converted;
  } else if (spec.narrow) {
    const char* s = va_arg(*args, const char*);
    converted = s ? plat::FromUtf8(s) : plat::String16(u"(null)");
    text = converted;
  } else {
    const ZoChar* s = va_arg(*args, const ZoChar*);
    if (!s) s = u"(null)";
    // Read no further than the precision allows: the text need not be terminated then.
    text = spec.precision >= 0 ? plat::StringView16(s, plat::BoundedLength(s, static_cast<size_t>(spec.precision)))
                               : plat::StringView16(s);
  }
  if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) text = text.substr(0, spec.precision);
  PutPadded(w, spec, text);
}

void PutInat(Writer& w, uint32_t code) {
  ZoChar text[64];
  ZoGetInat(code, text);
  w.Put(plat::StringView16(text));
}

// Writes a numeric text, through one of the locale formatters when asked. The
// fraction keeps the digits the text has: a scaled "%.Nz" is printed with N
// decimals, fewer only when the scratch text had to cut them.
enum class Localise { None, Group, GroupDecimal, Decimal };
void PutNumber(Writer& w, const ZoChar* text, Localise how) {
  ZoChar formatted[kLocalised];
  switch (how) {
    case Localise::None: w.Put(plat::StringView16(text)); return;
    case Localise::Group: ZoFormatNumber(text, formatted, kLocalised); break;
    case Localise::GroupDecimal: ZoFormatGroupDecimalNumber(text, formatted, kLocalised, -1); break;
    case Localise::Decimal: ZoFormatDecimalNumber(text, formatted, kLocalised); break;
  }
  w.Put(plat::StringView16(formatted));
}

double PowerOfTen(uint32_t n) {
  static const double kExact[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  return n < 16 ? kExact[n] : std::pow(10.0, static_cast<double>(n));
}

// One conversion; `spec` begins with "%". Returns false when the specification is
// not valid (it is then written as it stands and no argument is taken).
bool Convert(Writer& w, plat::StringView16 specText, bool group, const ZoChar** cursor, va_list* args) {
  Spec spec;
  const ZoChar c = specText.back();
  const bool bare = specText.size() == 2;
  switch (c) {
    case u'*': PutInat(w, ZO_INAT_DECIMAL); return true;
    case u',': PutInat(w, ZO_INAT_LIST); return true;
    case u':': PutInat(w, ZO_INAT_TIME); return true;
    case u'!':
    case u'&': {
      uint32_t code = 0;
      const ZoChar select = **cursor;
      if (c == u'!') code = select == u':' ? ZO_INAT_TIMECODE_WHOLE : select == u'.' ? ZO_INAT_TIMECODE_NONDROP
                                            : select == u',' ? ZO_INAT_TIMECODE_DROP : 0;
      if (c == u'&') code = select == u':' ? ZO_INAT_MEASURE_BEAT : select == u'.' ? ZO_INAT_BEAT_TICK : 0;
      if (code == 0) return true;
      ZoChar text[64];
      if (ZoGetInat(code, text) > 0 && text[0] != 0) {
        w.Put(plat::StringView16(text));
        ++*cursor;  // the selecting character is consumed only when something was written
      }
      return true;
    }
    default: break;
  }
  if (!ParseSpec(specText, &spec)) return false;
  ZoChar text[kScratch];
  switch (c) {
    case u'c':
    case u's':
      PutString(w, spec, args);
      return true;
    case u'z': {
      // "%.Nz": the integer scaled by 10^-N with N decimals in the local notation.
      bool scaled = specText.size() > 3 && specText[1] == u'.';
      for (size_t k = 2; scaled && k + 1 < specText.size(); ++k) scaled = IsDigit(specText[k]);
      uint32_t n = 0;
      if (scaled) n = ZoTextToDWordToken(plat::String16(specText.substr(2)).c_str(), nullptr);
      const int32_t value = va_arg(*args, int32_t);
      if (scaled && n != 0) {
        // The scratch text holds 259 units, so more decimals than kMaxScaledDigits
        // never show; the cap keeps the printed precision within the C library's int.
        const uint32_t shown = n < kMaxScaledDigits ? n : kMaxScaledDigits;
        PrintNumber("%." + std::to_string(shown) + "f", static_cast<double>(value) / PowerOfTen(n), text);
        PutNumber(w, text, group ? Localise::GroupDecimal : Localise::Decimal);
        return true;
      }
      PrintNumber(NarrowFormat(spec, spec.shortShort ? "hh" : spec.narrow ? "h" : "", 'd'), value, text);
      PutNumber(w, text, group ? Localise::Group : Localise::None);
      return true;
    }
    case u'd':
    case u'i':
    case u'u':
    case u'o':
    case u'x':
    case u'X': {
      const bool isSigned = c == u'd' || c == u'i';
      if (bare && (c == u'd' || c == u'i')) {
        ZoLongToText(va_arg(*args, int32_t), text, group);
        w.Put(plat::StringView16(text));
        return true;
      }
      if (bare && c == u'u') {
        ZoDWordToText(va_arg(*args, uint32_t), text, group);
        w.Put(plat::StringView16(text));
        return true;
      }
      const char* length = spec.size64 ? "ll" : spec.shortShort ? "hh" : spec.narrow ? "h" : "";
      const std::string f = NarrowFormat(spec, length, static_cast<char>(c));
      if (spec.size64) {
        if (isSigned) {
          PrintNumber(f, static_cast<long long>(va_arg(*args, int64_t)), text);
        } else {
          PrintNumber(f, static_cast<unsigned long long>(va_arg(*args, uint64_t)), text);
        }
      } else if (isSigned) {
        PrintNumber(f, static_cast<int>(va_arg(*args, int32_t)), text);
      } else {
        PrintNumber(f, static_cast<unsigned>(va_arg(*args, uint32_t)), text);
      }
      const bool decimal = isSigned || c == u'u';
      PutNumber(w, text, group && decimal ? Localise::Group : Localise::None);
      return true;
    }
    case u'e':
    case u'E':
    case u'f':
    case u'g':
    case u'G': {
      PrintNumber(NarrowFormat(spec, "", static_cast<char>(c)), va_arg(*args, double), text);
      Localise how = Localise::None;
      if (group && c == u'f') how = Localise::GroupDecimal;
      if (group && (c == u'g' || c == u'G') &&
          plat::StringView16(text).find_first_of(u"eE") == plat::StringView16::npos) {
        how = Localise::Decimal;
      }
      PutNumber(w, text, how);
      return true;
    }
    default:
      return false;
  }
}

// "$(" at `p`: a literal number or a token. Returns the position to continue at.
const ZoChar* ExpandParenthesis(Writer& w, const ZoChar* p) {
  const ZoChar* q = p + 2;
  if (IsDigit(*q) || *q == u'-' || *q == u'.') {
    const ZoChar* start = q++;  // the first unit may be "-"
    while ((IsDigit(*q) || *q == u'.' || *q == u',') && static_cast<size_t>(q - start) < kSpecLimit) ++q;
    const plat::StringView16 number(start, static_cast<size_t>(q - start));
    if (*q == u')') {
      ZoChar text[kSpecLimit + 1];
      plat::CopyTruncated(text, sizeof text / sizeof text[0], number);
      ZoChar formatted[kLocalised];
      ZoFormatGroupDecimalNumber(text, formatted, kLocalised, -1);
      w.Put(plat::StringView16(formatted));
      return q + 1;
    }
    w.Put(u"$(");
    w.Put(number);
    return q;
  }
  const ZoChar* start = q;
  while (*q && *q != u')' && static_cast<size_t>(q - start) < kSpecLimit) ++q;
  const plat::StringView16 name(start, static_cast<size_t>(q - start));
  if (*q != u')') {
    w.Put(u"$(");
    w.Put(name);
    return q;
  }
  bool found = false;
  if (ZoList* table = gTokenTable) {
    plat::LockGuard guard(*table->lock);
    const int index = ZoList_FindSortedItemRange(table, &name, 0, -1, CompareTokenName);
    if (index >= 0) {
      const auto* record = static_cast<const TokenRecord*>(ZoList_ItemAt(table, index));
      w.Put(plat::StringView16(record->value, record->valueLength));
      found = true;
    }
  }
  if (!found) {
    w.Put(u"$(");
    w.Put(name);
    w.Put(u')');
  }
  return q + 1;
}

// The scan of the format, left to right, into `w`.
void Scan(Writer& w, const ZoChar* p, va_list* ap) {
  while (*p) {
    const ZoChar c = *p;
    if (c == u'$' && p[1] == u'$') {
      w.Put(u'$');
      p += 2;
    } else if (c == u'$' && p[1] == u'(') {
      p = ExpandParenthesis(w, p);
    } else if ((c == u'%' || c == u'$') && p[1] == u'%') {
      w.Put(u'%');
      p += 2;
    } else if (c == u'%' || c == u'$') {
      // Collect up to and including the conversion character; the result always
      // begins with "%".
      ZoChar spec[kSpecLimit + 1];
      size_t n = 0;
      spec[n++] = u'%';
      const ZoChar* q = p + 1;
      bool complete = false;
      while (*q && n < kSpecLimit) {
        spec[n++] = *q;
        if (IsConversion(*q++)) {
          complete = true;
          break;
        }
      }
      const plat::StringView16 specText(spec, n);
      p = q;
      if (!complete || !Convert(w, specText, c == u'$', &p, ap)) w.Put(specText);
    } else {
      w.Put(c);
      ++p;
    }
  }
}

int Format(ZoChar* out, size_t capacity, const ZoChar* format, va_list args) {
  if (!out || capacity == 0) return 0;
  Writer w{out, capacity};
  if (!format) {
    w.Terminate();
    return 0;
  }
  va_list ap;
  va_copy(ap, args);
  try {
    Scan(w, format, &ap);
  } catch (const std::bad_alloc&) {
    // Only text conversions and specification parsing allocate: the output made
    // so far stands, terminated where it ends.
  }
  va_end(ap);
  w.Terminate();
  return static_cast<int>(w.length);
}

}  // namespace

int ZoVPrintFEx(ZoChar* out, size_t capacity, const ZoChar* format, va_list args) {
  return Format(out, capacity, format, args);
}

int ZoPrintFEx(ZoChar* out, size_t capacity, const ZoChar* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = ZoVPrintFEx(out, capacity, format, args);
  va_end(args);
  return n;
}

int ZoVPrintF(ZoChar* out, const ZoChar* format, va_list args) {
  // The exported unbounded form: the caller vouches for the buffer's size.
  return ZoVPrintFEx(out, static_cast<size_t>(INT32_MAX), format, args);
}

int ZoPrintF(ZoChar* out, const ZoChar* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = ZoVPrintF(out, format, args);
  va_end(args);
  return n;
}

ZoResult ZoPrintF_CreateTokenTable() {
  if (gTokenTable) return S_OK;
  ZoList* table = nullptr;
  const ZoResult r = ZoList_CreateExZ(&table, 4, 16, 16, ZO_LIST_LOCKED | ZO_LIST_OWNED);
  if (ZoFailed(r)) return r;
  gTokenTable = table;
  return S_OK;
}

void ZoPrintF_DestroyTokenTable() {
  ZoList* table = gTokenTable;
  gTokenTable = nullptr;
  ZoList_Destroy(table);
}

int ZoPrintF_AddToken(const ZoChar* name, const ZoChar* value) {
  ZoList* table = gTokenTable;
  if (!name || !table) return 0;
  if (!value) value = u"";
  const size_t nameLength = plat::Length(name);
  const size_t valueLength = plat::Length(value);
  // The value text starts 4-byte aligned from the name text's start.
  const size_t nameBytes = (nameLength + 1) * sizeof(ZoChar);
  const size_t gap = (4 - nameBytes % 4) % 4;
  const size_t bytes = sizeof(TokenRecord) + nameBytes + gap + (valueLength + 1) * sizeof(ZoChar);
  const plat::StringView16 key(name, nameLength);

  plat::LockGuard guard(*table->lock);
  const int existing = ZoList_FindSortedItemRange(table, &key, 0, -1, CompareTokenName);
  if (existing >= 0) ZoList_DeleteList(table, existing, 1, false);
  if (bytes > static_cast<size_t>(INT32_MAX)) return 0;
  void* block = nullptr;
  if (ZoFailed(ZoList_AllocItem(table, static_cast<int>(bytes), &block)) || !block) return 0;
  auto* record = static_cast<TokenRecord*>(block);
  auto* nameText = reinterpret_cast<ZoChar*>(static_cast<unsigned char*>(block) + sizeof(TokenRecord));
  auto* valueText = reinterpret_cast<ZoChar*>(reinterpret_cast<unsigned char*>(nameText) + nameBytes + gap);
  std::memcpy(nameText, name, nameBytes);
  std::memcpy(valueText, value, (valueLength + 1) * sizeof(ZoChar));
  record->reserved = 0;
  record->name = nameText;
  record->valueLength = static_cast<uint32_t>(valueLength);
  record->value = valueText;
  const int at = ZoList_FindSortedInsertIndexRange(table, &key, 0, -1, CompareTokenName);
  if (ZoFailed(ZoList_InsertList(table, at, nullptr, -1))) {
    ZoList_DeleteList(table, -1, -1, false);  // releases the pending block
    return 0;
  }
  return 1;
}

int ZoPrintF_DeleteToken(const ZoChar* name) {
  ZoList* table = gTokenTable;
  if (!name || !table) return 0;
  const plat::StringView16 key(name);
  plat::LockGuard guard(*table->lock);
  const int index = ZoList_FindSortedItemRange(table, &key, 0, -1, CompareTokenName);
  if (index < 0) return 0;
  return ZoSucceeded(ZoList_DeleteList(table, index, 1, false)) ? 1 : 0;
}
