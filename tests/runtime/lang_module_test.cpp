// Resources beyond the string tables: the built-in banner, language modules read
// from a file, and the stored language preference.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lang_test_support.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "platform/resources.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_lang.h"

namespace {

// The POSIX back end reads language modules in the generator's format and keeps
// settings in a file; Windows uses PE modules and the registry.
bool IsPosix() { return plat::kSeparator == u'/'; }

bool WriteFile(const plat::String16& path, const std::vector<uint8_t>& bytes) {
  plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
  return f && f.Write(bytes.data(), bytes.size()) && f.Close();
}

// A resource file holding one Japanese string-table block with string `id`.
std::vector<uint8_t> JapaneseStringModule(uint32_t id, const plat::String16& text) {
  std::vector<uint8_t> block;
  for (uint32_t i = 0; i < 16; ++i) {
    const plat::String16 entry = i == id % 16 ? text : plat::String16();
    block.push_back(static_cast<uint8_t>(entry.size()));
    block.push_back(static_cast<uint8_t>(entry.size() >> 8));
    for (ZoChar c : entry) {
      block.push_back(static_cast<uint8_t>(c));
      block.push_back(static_cast<uint8_t>(c >> 8));
    }
  }
  std::vector<uint8_t> image(plat::kResourceFileHeaderSize + plat::kResourceFileEntrySize, 0);
  std::memcpy(image.data(), plat::kResourceFileMagic, 8);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(8, 1);
  put32(12, plat::kResourceTypeString);
  put32(16, id / 16 + 1);
  put32(20, plat::kLanguageJapanese);
  put32(24, static_cast<uint32_t>(image.size()));
  put32(28, static_cast<uint32_t>(block.size()));
  for (uint8_t b : block) image.push_back(b);
  return image;
}

TEST(LangResources, BuiltInBannerIsPngResource107OfType32) {
  uint32_t size = 0;
  const void* data = ZoLoadResourceCustom(ZoKernel_GetLangHandle(), plat::ResourceId(107), plat::ResourceId(32), &size);
  ASSERT_NE(data, nullptr);
  ASSERT_GT(size, 8u);
  EXPECT_EQ(std::memcmp(data, "\x89PNG\r\n\x1a\n", 8), 0);
}

TEST(LangResources, WizardDialogTemplatesExistInBothLanguagesOnWindows) {
  for (uint32_t id : {1000u, 1100u, 1200u}) {
    for (uint16_t language : {plat::kLanguageEnglishUs, plat::kLanguageJapanese}) {
      plat::ResourceData data;
      const bool found = plat::FindResourceForLanguage(plat::ExecutableModule(), plat::ResourceId(plat::kResourceTypeDialog),
                                                       plat::ResourceId(id), language, &data);
      // POSIX programs carry no dialogs: their generator leaves them out.
      EXPECT_EQ(found, !IsPosix()) << id << " " << language;
    }
  }
  EXPECT_EQ(ZoDialogBoxParam(nullptr, plat::ResourceId(9999), nullptr, nullptr, 0), -1);
}

TEST(LangResources, LanguageModuleFileServesItsLanguageFirst) {
  orv_test::ScratchFolder scratch;
  const plat::String16 garbage = scratch.WithSlash() + u"garbage.LNG";
  ASSERT_TRUE(WriteFile(garbage, {'M', 'Z', 1, 2, 3}));
  EXPECT_EQ(plat::LoadResourceModule(garbage.c_str()), nullptr);
  EXPECT_EQ(plat::LoadResourceModule((scratch.WithSlash() + u"absent.LNG").c_str()), nullptr);
  if (!IsPosix()) GTEST_SKIP() << "Windows language modules are PE files";

  const plat::String16 path = scratch.WithSlash() + u"app.LNG";
  ASSERT_TRUE(WriteFile(path, JapaneseStringModule(60000, u"From the module")));
  plat::ModuleHandle module = plat::LoadResourceModule(path.c_str());
  ASSERT_NE(module, nullptr);
  HZOLANG lang = nullptr;
  ASSERT_EQ(ZoLang_Open(&lang, plat::ExecutableModule(), 0, 0), S_OK);
  ASSERT_TRUE(ZoLang_ChangeLangInst(lang, module));
  ZoChar out[64];
  ZoLoadString(lang, 60000, out, 64);
  EXPECT_EQ(plat::String16(out), u"Both languages") << "English ignores the language module";
  ASSERT_TRUE(ZoLang_UpdateKernelLCID(lang, 1041));
  EXPECT_EQ(ZoLang_InstFromLang(lang), module);
  ZoLoadString(lang, 60000, out, 64);
  EXPECT_EQ(plat::String16(out), u"From the module");
  ZoLoadString(lang, 60003, out, 64);
  EXPECT_EQ(plat::String16(out), u"0123456789") << "missing in the module: the main module's";
  ZoLang_UpdateKernelLCID(lang, 1033);
  ZoLang_ChangeLangInst(lang, plat::ExecutableModule());
  ZoLang_Close(lang);
  plat::FreeResourceModule(module);
}

TEST(LangResources, StoredLanguagePreferenceRoundTrips) {
  if (!IsPosix()) GTEST_SKIP() << "the Windows store is the machine's registry";
  orv_test::ScratchFolder scratch;
  plat::SetSettingsFolder(scratch.Path().c_str());
  uint32_t langId = 0;
  EXPECT_FALSE(ZoLang_LoadUserLCIDMetric(u"Tool", 0x01020000, &langId));
  ASSERT_TRUE(ZoLang_SaveUserLCIDMetric(u"Tool", 0x01020000, 0x0809));
  ASSERT_TRUE(ZoLang_SaveUserLCIDMetric(u"Other", 0x01020000, 0x0411));
  ASSERT_TRUE(ZoLang_LoadUserLCIDMetric(u"Tool", 0x01020000, &langId));
  EXPECT_EQ(langId, 0x0409u) << "primary language with the default sublanguage";
  ASSERT_TRUE(ZoLang_LoadUserLCIDMetric(u"Other", 0x01020000, &langId));
  EXPECT_EQ(langId, 0x0411u);
  EXPECT_FALSE(ZoLang_LoadUserLCIDMetric(u"Tool", 0x02000000, &langId)) << "another version";
  ASSERT_TRUE(ZoLang_SaveUserLCIDMetric(u"Tool", 0x01020000, 0x0407));
  ASSERT_TRUE(ZoLang_LoadUserLCIDMetric(u"Tool", 0x01020000, &langId));
  EXPECT_EQ(langId, 0x0407u);
  plat::SetSettingsFolder(nullptr);
}

TEST(LangResources, LanguageAbbreviationAndHelpLanguage) {
  HZOLANG lang = nullptr;
  ASSERT_EQ(ZoLang_Open(&lang, plat::ExecutableModule(), 1041, 0), S_OK);
  ZoChar out[8];
  ASSERT_TRUE(ZoLang_GetLangAbbrev(lang, out, 8));
  EXPECT_EQ(plat::String16(out), u"JPN");
  EXPECT_TRUE(ZoLang_IsNameOrderReversed(lang));
  ZoLang_Close(lang);
  EXPECT_EQ(ZoSetLangID(u"DEUTSCH"), 3);
  EXPECT_EQ(plat::String16(ZoGetLangID()), u"DEU");
  EXPECT_EQ(ZoSetLangID(nullptr), 3);
  EXPECT_EQ(plat::String16(ZoGetLangID()), u"ENU");
}

}  // namespace
