// Shared by the runtime text tests: locales set through the internationals
// record (never the machine's), and a scratch folder made and removed per test.
#pragma once
#include <string>

#include "platform/directory.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/time.h"
#include "runtime/zo_inat.h"
#include "runtime/zo_path.h"

namespace orv_test {

inline ZoLocaleTexts BaseLocale() {
  ZoLocaleTexts t;
  t.languageId = u"0409";
  t.languageName = u"English (United States)";
  t.englishLanguageName = u"English";
  t.countryCode = u"1";
  t.countryName = u"United States";
  t.englishCountryName = u"United States";
  t.negativeSign = u"-";
  t.thousandSeparator = u",";
  t.decimalSeparator = u".";
  t.grouping = u"3;0";
  t.fractionDigits = u"2";
  t.leadingZero = u"1";
  t.timeSeparator = u":";
  t.listSeparator = u",";
  t.measurement = u"1";
  return t;
}

inline void UseEnglishUs() {
  const ZoLocaleTexts t = BaseLocale();
  ZoLang_LoadInternationals(&t);
}

inline void UseGerman() {
  ZoLocaleTexts t = BaseLocale();
  t.languageId = u"0407";
  t.thousandSeparator = u".";
  t.decimalSeparator = u",";
  t.listSeparator = u";";
  t.measurement = u"0";
  ZoLang_LoadInternationals(&t);
}

// A locale whose thousands and decimal separators are both ".".
inline void UseDotDot() {
  ZoLocaleTexts t = BaseLocale();
  t.thousandSeparator = u".";
  t.decimalSeparator = u".";
  ZoLang_LoadInternationals(&t);
}

// A fresh, empty folder under the system temp folder; removed with everything
// in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder() {
    ZoChar temp[ZO_MAX_PATH];
    plat::GetTempPath(temp, ZO_MAX_PATH);
    const std::string stamp = std::to_string(plat::TickCount());
    for (int n = 0; n < 1000 && path_.empty(); ++n) {
      plat::String16 candidate = plat::String16(temp) + plat::U16("orv_text_test_" + stamp + "_" + std::to_string(n));
      if (plat::CreateDirectory(candidate.c_str())) path_ = candidate;
    }
  }
  ~ScratchFolder() {
    if (!path_.empty()) ZoDeleteDirectory(path_.c_str(), nullptr, true);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const plat::String16& Path() const { return path_; }
  // The folder with its final separator.
  plat::String16 WithSlash() const { return path_ + plat::kSeparator; }

 private:
  plat::String16 path_;
};

}  // namespace orv_test
