// The internationals record: filling it from the locale, the separator tokens
// it registers, and the inat-code queries.
#include "runtime/zo_inat.h"

#include <cstring>

#include "platform/locale.h"
#include "platform/text.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_printf.h"

namespace {

ZoInternationals gRecord;

// Reads decimal digits up to the first other unit ("0409" -> 409, "3;0" -> 3).
uint32_t LeadingDecimal(const ZoChar* text) {
  uint32_t value = 0;
  for (const ZoChar* p = text; *p >= u'0' && *p <= u'9'; ++p) value = value * 10 + static_cast<uint32_t>(*p - u'0');
  return value;
}

// Stores a locale answer into a fixed text field as the platform call would: a
// text that does not fit the field (terminator included) fails, and a failure
// leaves "" with length -1.
template <size_t N>
void StoreText(ZoChar (&field)[N], int32_t* length, const ZoChar* text) {
  const size_t n = text ? plat::Length(text) : 0;
  if (!text || n + 1 > N) {
    field[0] = 0;
    *length = -1;
    return;
  }
  plat::CopyTruncated(field, N, text);
  *length = static_cast<int32_t>(n);
}

// Fixed separators: at most 8 units copied, the last slot forced to NUL.
template <size_t N>
void StoreFixed(ZoChar (&field)[N], int32_t* length, const ZoChar* text) {
  plat::CopyTruncated(field, N, text);
  field[N - 1] = 0;
  *length = static_cast<int32_t>(plat::Length(field));
}

// The user default locale's answer for one field, kept alive in `storage`.
const ZoChar* QueryLocale(plat::LocaleField field, ZoChar (&storage)[64]) {
  return plat::GetLocaleText(plat::kLocaleUserDefault, field, storage, 64) > 0 ? storage : nullptr;
}

void RegisterLabel(const ZoChar* name, uint32_t stringId, const ZoChar* a, const ZoChar* b, const ZoChar* c) {
  ZoChar label[64];
  label[0] = 0;
  const ZoChar* format = ZoGetString(ZoKernel_GetLangHandle(), stringId);
  if (*format) ZoPrintFEx(label, 64, format, a, b, c);
  ZoPrintF_AddToken(name, label);
}

void RegisterTokens() {
  const ZoInternationals& r = gRecord;
  ZoPrintF_AddToken(u"SMPTE.Whole", r.timeCodeWholeSeparator);
  ZoPrintF_AddToken(u"SMPTE.NonDrop", r.timeCodeNonDropSeparator);
  ZoPrintF_AddToken(u"SMPTE.Drop", r.timeCodeDropSeparator);
  RegisterLabel(u"SMPTE.Label.NonDrop", 48379, r.timeCodeWholeSeparator, r.timeCodeWholeSeparator,
                r.timeCodeNonDropSeparator);
  RegisterLabel(u"SMPTE.Label.Drop", 48379, r.timeCodeWholeSeparator, r.timeCodeWholeSeparator,
                r.timeCodeDropSeparator);
  RegisterLabel(u"SMPTE.Label.NonDrop.Full", 48380, r.timeCodeWholeSeparator, r.timeCodeWholeSeparator,
                r.timeCodeNonDropSeparator);
  RegisterLabel(u"SMPTE.Label.Drop.Full", 48380, r.timeCodeWholeSeparator, r.timeCodeWholeSeparator,
                r.timeCodeDropSeparator);
  ZoPrintF_AddToken(u"m.b", r.measureBeatSeparator);
  ZoPrintF_AddToken(u"b.t", r.beatTickSeparator);
  RegisterLabel(u"MusicTime.Label", 48381, r.measureBeatSeparator, r.beatTickSeparator, u"");
  RegisterLabel(u"MusicTime.Label.Full", 48382, r.measureBeatSeparator, r.beatTickSeparator, u"");
}

}  // namespace

const ZoInternationals* ZoGetInternationals() { return &gRecord; }

void ZoLang_LoadInternationals(const ZoLocaleTexts* texts) {
  ZoLocaleTexts fromLocale;
  ZoChar storage[15][64];
  if (!texts) {
    using F = plat::LocaleField;
    fromLocale.systemLcid = plat::GetSystemDefaultLcid();
    fromLocale.languageId = QueryLocale(F::LanguageId, storage[0]);
    fromLocale.languageName = QueryLocale(F::LanguageName, storage[1]);
    fromLocale.englishLanguageName = QueryLocale(F::EnglishLanguageName, storage[2]);
    fromLocale.countryCode = QueryLocale(F::CountryCode, storage[3]);
    fromLocale.countryName = QueryLocale(F::CountryName, storage[4]);
    fromLocale.englishCountryName = QueryLocale(F::EnglishCountryName, storage[5]);
    fromLocale.negativeSign = QueryLocale(F::NegativeSign, storage[6]);
    fromLocale.thousandSeparator = QueryLocale(F::ThousandSeparator, storage[7]);
    fromLocale.decimalSeparator = QueryLocale(F::DecimalSeparator, storage[8]);
    fromLocale.grouping = QueryLocale(F::Grouping, storage[9]);
    fromLocale.fractionDigits = QueryLocale(F::FractionDigits, storage[10]);
    fromLocale.leadingZero = QueryLocale(F::LeadingZero, storage[11]);
    fromLocale.timeSeparator = QueryLocale(F::TimeSeparator, storage[12]);
    fromLocale.listSeparator = QueryLocale(F::ListSeparator, storage[13]);
    fromLocale.measurement = QueryLocale(F::Measurement, storage[14]);
    texts = &fromLocale;
  }
  const ZoLocaleTexts& t = *texts;
  ZoInternationals& r = gRecord;
  std::memset(&r, 0, sizeof r);
  r.size = sizeof r;
  r.systemLcid = t.systemLcid;
  r.languageNumber = t.languageId ? LeadingDecimal(t.languageId) : 0;
  StoreText(r.languageName, &r.languageNameLength, t.languageName);
  StoreText(r.englishLanguageName, &r.englishLanguageNameLength, t.englishLanguageName);
  r.countryNumber = t.countryCode ? LeadingDecimal(t.countryCode) : 0;
  StoreText(r.countryName, &r.countryNameLength, t.countryName);
  StoreText(r.englishCountryName, &r.englishCountryNameLength, t.englishCountryName);
  StoreText(r.negativeSign, &r.negativeSignLength, t.negativeSign);
  StoreFixed(r.minusSign, &r.minusSignLength, u"-");
  StoreText(r.thousandSeparator, &r.thousandSeparatorLength, t.thousandSeparator);
  StoreText(r.decimalSeparator, &r.decimalSeparatorLength, t.decimalSeparator);
  r.grouping = t.grouping ? LeadingDecimal(t.grouping) : 0;
  r.fractionDigits = t.fractionDigits ? LeadingDecimal(t.fractionDigits) : 0;
  r.leadingZero = t.leadingZero ? LeadingDecimal(t.leadingZero) : 0;
  StoreText(r.timeSeparator, &r.timeSeparatorLength, t.timeSeparator);
  StoreText(r.listSeparator, &r.listSeparatorLength, t.listSeparator);
  r.measurement = t.measurement ? LeadingDecimal(t.measurement) : 0;

  // A decimal separator that begins with the thousands separator could not be
  // told apart from it when numbers are read back: use the other common one.
  const int32_t thousandLength = r.thousandSeparatorLength;
  // An empty thousands separator (a locale without grouping) never collides.
  if (thousandLength > 0 && r.decimalSeparatorLength >= thousandLength &&
      std::memcmp(r.decimalSeparator, r.thousandSeparator, sizeof(ZoChar) * static_cast<size_t>(thousandLength)) == 0) {
    StoreFixed(r.decimalSeparator, &r.decimalSeparatorLength, r.thousandSeparator[0] == u'.' ? u"," : u".");
  }

  StoreFixed(r.timeCodeWholeSeparator, &r.timeCodeWholeSeparatorLength, u":");
  StoreFixed(r.timeCodeNonDropSeparator, &r.timeCodeNonDropSeparatorLength, u".");
  StoreFixed(r.timeCodeDropSeparator, &r.timeCodeDropSeparatorLength, u",");
  StoreFixed(r.measureBeatSeparator, &r.measureBeatSeparatorLength, u".");
  StoreFixed(r.beatTickSeparator, &r.beatTickSeparatorLength, u".");
  RegisterTokens();
}

ZoResult ZoLang_GetInternationals(void* dst, uint32_t size) {
  if (!dst) {
    ZoLang_LoadInternationals(nullptr);
    return S_OK;
  }
  const uint32_t n = size < sizeof gRecord ? size : static_cast<uint32_t>(sizeof gRecord);
  std::memcpy(dst, &gRecord, n);
  if (n >= sizeof(uint32_t)) std::memcpy(dst, &n, sizeof n);
  return S_OK;
}

uint32_t ZoGetInat(uint32_t code, ZoChar* out) {
  if (out) out[0] = 0;
  const ZoInternationals& r = gRecord;
  auto text = [out](const ZoChar* field, size_t capacity, int32_t length) -> uint32_t {
    if (out) plat::CopyTruncated(out, capacity, field);
    return static_cast<uint32_t>(length);
  };
  switch (code) {
    case ZO_INAT_SYSTEM_LCID: return r.systemLcid;
    case ZO_INAT_LANGUAGE: return r.languageNumber;
    case ZO_INAT_LANGUAGE_NAME: return text(r.languageName, 64, r.languageNameLength);
    case ZO_INAT_ENGLISH_LANGUAGE_NAME: return text(r.englishLanguageName, 64, r.englishLanguageNameLength);
    case ZO_INAT_COUNTRY: return r.countryNumber;
    case ZO_INAT_DECIMAL: return text(r.decimalSeparator, 8, r.decimalSeparatorLength);
    case ZO_INAT_LIST: return text(r.listSeparator, 8, r.listSeparatorLength);
    case ZO_INAT_TIME: return text(r.timeSeparator, 8, r.timeSeparatorLength);
    case ZO_INAT_TIMECODE_WHOLE: return text(r.timeCodeWholeSeparator, 8, r.timeCodeWholeSeparatorLength);
    case ZO_INAT_TIMECODE_NONDROP: return text(r.timeCodeNonDropSeparator, 8, r.timeCodeNonDropSeparatorLength);
    case ZO_INAT_TIMECODE_DROP: return text(r.timeCodeDropSeparator, 8, r.timeCodeDropSeparatorLength);
    case ZO_INAT_MEASURE_BEAT: return text(r.measureBeatSeparator, 8, r.measureBeatSeparatorLength);
    case ZO_INAT_BEAT_TICK: return text(r.beatTickSeparator, 8, r.beatTickSeparatorLength);
    default: return 0;
  }
}
