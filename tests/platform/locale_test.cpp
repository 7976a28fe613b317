// Locale texts by identifier: the separators numbers are formatted with.
#include <gtest/gtest.h>

#include "platform/locale.h"
#include "platform/text.h"

namespace {

plat::String16 Field(uint32_t lcid, plat::LocaleField field) {
  ZoChar out[16] = {};
  return plat::GetLocaleText(lcid, field, out, 16) > 0 ? plat::String16(out) : plat::String16(u"(failed)");
}

TEST(Locale, SeparatorsFollowTheLanguageAndCountryEvenWhenNotInstalled) {
  // POSIX systems often carry only the C locale: the separators then come from
  // the built-in table rather than falling back to English.
  struct Case { uint32_t lcid; const char16_t* decimal; const char16_t* thousands; };
  const Case cases[] = {{0x0409, u".", u","}, {0x0407, u",", u"."}, {0x0410, u",", u"."}, {0x0411, u".", u","}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lcid);
    EXPECT_EQ(Field(c.lcid, plat::LocaleField::DecimalSeparator), c.decimal);
    EXPECT_EQ(Field(c.lcid, plat::LocaleField::ThousandSeparator), c.thousands);
  }
}

}  // namespace
