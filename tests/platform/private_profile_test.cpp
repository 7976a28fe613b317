// Private profile files: reading by the profile rules in every encoding a
// package may carry, writing that keeps the other lines and reads back what was
// written, and hostile files that must neither overrun a buffer nor hang.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile.h"
#include "platform/text.h"
#include "tests/platform/scratch_folder.h"

namespace {

using testing_support::HasWindowsRules;
using testing_support::ScratchFolder;

std::string Utf16Le(const std::string& utf8) {
  std::string bytes("\xFF\xFE", 2);
  for (ZoChar c : plat::FromUtf8(utf8)) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

class PrivateProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.IsValid());
    file_ = scratch_ / "settings.ini";
  }

  // The key's text read into a buffer of `capacity` units followed by guard units.
  std::string Text(const char* section, const char* key, uint32_t capacity = 64, const ZoChar* fallback = u"<d>") {
    ZoChar out[80];
    for (ZoChar& u : out) u = u'#';
    const uint32_t n = plat::GetPrivateProfileText(plat::U16(section).c_str(), plat::U16(key).c_str(), fallback,
                                                   out, capacity, file_.c_str());
    EXPECT_EQ(out[capacity], u'#') << "wrote past the capacity";
    EXPECT_EQ(n, plat::BoundedLength(out, capacity));
    return plat::ToUtf8(plat::StringView16(out, plat::BoundedLength(out, capacity)));
  }
  int32_t Number(const char* key, int32_t fallback = 7) {
    return plat::GetPrivateProfileInteger(u"Main", plat::U16(key).c_str(), fallback, file_.c_str());
  }
  bool Write(const char* section, const char* key, const char* value) {
    const plat::String16 k = key ? plat::U16(key) : plat::String16(), v = value ? plat::U16(value) : plat::String16();
    return plat::WritePrivateProfileText(plat::U16(section).c_str(), key ? k.c_str() : nullptr,
                                         value ? v.c_str() : nullptr, file_.c_str());
  }

  ScratchFolder scratch_;
  plat::String16 file_;
};

const char kSample[] =
    "; settings\r\n"
    "[other]\r\n"
    "Name=wrong section\r\n"
    "[ Main ]\r\n"
    "  Name  =  Tool é 日本  \r\n"
    "Quoted=\"  kept  \"\r\n"
    "Empty=\r\n"
    "Count= -42 apples\r\n"
    "Huge=99999999999\r\n"
    "Word=abc\r\n"
    "name=second\r\n";

TEST_F(PrivateProfile, ReadsByTheProfileRulesInEveryEncoding) {
  // Windows reads an 8-bit file without a mark in the ANSI code page.
  const std::string encodings[] = {Utf16Le(kSample), "\xEF\xBB\xBF" + std::string(kSample), kSample};
  for (const std::string& bytes : encodings) {
    if (HasWindowsRules() && bytes == kSample) break;
    ASSERT_TRUE(ScratchFolder::WriteFile(file_, bytes));
    EXPECT_EQ(Text("main", "NAME"), "Tool é 日本");
    EXPECT_EQ(Text("Main", "Quoted"), "  kept  ");
    EXPECT_EQ(Text("Main", "Empty"), "");
    EXPECT_EQ(Text("Main", "Missing"), "<d>");
    EXPECT_EQ(Text("Main", "Missing", 64, u"spaced  "), "spaced");
    EXPECT_EQ(Text("Nowhere", "Name"), "<d>");
    EXPECT_EQ(Text("Main", "Name", 5), "Tool");
    EXPECT_EQ(Number("Count"), -42);
    EXPECT_EQ(Number("Word"), 0);
    EXPECT_EQ(Number("Empty"), 7);
    EXPECT_EQ(Number("Missing"), 7);
  }
  file_ = scratch_ / "missing.ini";
  EXPECT_EQ(Text("Main", "Name"), "<d>");
  EXPECT_EQ(Number("Count"), 7);
}

TEST_F(PrivateProfile, ReadsAnEightBitFileThatIsNotUtf8AsLatin1) {
  if (HasWindowsRules()) GTEST_SKIP() << "Windows reads 8-bit files in the ANSI code page";
  ASSERT_TRUE(ScratchFolder::WriteFile(file_, "[Main]\nName=Caf\xE9\n"));
  EXPECT_EQ(Text("Main", "Name"), "Café");
}

TEST_F(PrivateProfile, HostileFilesNeverOverrunNorHang) {
  std::string longLine = "[Main]\nName=" + std::string(1 << 20, 'x');  // no final line break
  ASSERT_TRUE(ScratchFolder::WriteFile(file_, longLine));
  EXPECT_EQ(Text("Main", "Name", 8), "xxxxxxx");
  ASSERT_TRUE(ScratchFolder::WriteFile(file_, std::string("[Main]\nName=ab\0cd\nNext=1", 24)));
  EXPECT_EQ(Text("Main", "Name"), "ab");
  EXPECT_EQ(Number("Next"), 1);
  ASSERT_TRUE(ScratchFolder::WriteFile(file_, std::string("\xFF\xFE\x5B\x00\x4D", 5)));  // cut UTF-16
  EXPECT_EQ(Text("Main", "Name"), "<d>");
  ASSERT_TRUE(ScratchFolder::WriteFile(file_, "[Main"));
  EXPECT_EQ(Text("Main", "Name"), "<d>");
}

TEST_F(PrivateProfile, WritesKeepOtherLinesAndReadBackAsWritten) {
  ASSERT_TRUE(Write("Main", "Name", "first"));  // creates the file and the section
  ASSERT_TRUE(Write("Main", "Name", "Tool é 日本"));
  ASSERT_TRUE(Write("Main", "Padded", "  two  "));
  ASSERT_TRUE(Write("Main", "Quotes", "\"q\""));
  ASSERT_TRUE(Write("Main", "Empty", ""));
  ASSERT_TRUE(Write("Later", "Key", "v"));
  ASSERT_TRUE(Write("main", "Added", "after"));  // into the first section, not a new one
  EXPECT_EQ(Text("Main", "Name"), "Tool é 日本");
  EXPECT_EQ(Text("Main", "Padded"), "  two  ");
  EXPECT_EQ(Text("Main", "Quotes"), "\"q\"");
  EXPECT_EQ(Text("Main", "Empty"), "");
  EXPECT_EQ(Text("Main", "Added"), "after");
  EXPECT_EQ(Text("Later", "Key"), "v");
  ASSERT_TRUE(Write("Main", "Padded", nullptr));  // removes the key
  EXPECT_EQ(Text("Main", "Padded"), "<d>");
  ASSERT_TRUE(Write("Later", nullptr, nullptr));  // removes the section
  EXPECT_EQ(Text("Later", "Key"), "<d>");
  EXPECT_EQ(Text("Main", "Name"), "Tool é 日本");

  // Line breaks would make other keys; they are refused and nothing changes.
  EXPECT_FALSE(Write("Main", "Name", "x\r\nSetupApp=evil"));
  EXPECT_FALSE(Write("Main", "A=B", "x"));
  EXPECT_FALSE(Write("Ma]in", "Name", "x"));
  EXPECT_EQ(Text("Main", "Name"), "Tool é 日本");
  EXPECT_EQ(Text("Main", "SetupApp"), "<d>");
}

TEST_F(PrivateProfile, RewriteKeepsTheFileEncodingAndItsComments) {
  if (HasWindowsRules()) GTEST_SKIP() << "the byte layout of a rewrite is the system's own";
  ASSERT_TRUE(ScratchFolder::WriteFile(file_, Utf16Le("; note\r\n[Main]\r\nName=old\r\n\r\n[Next]\r\nK=1\r\n")));
  ASSERT_TRUE(Write("Main", "Name", "新"));
  ASSERT_TRUE(Write("Main", "Extra", "e"));
  EXPECT_EQ(ScratchFolder::ReadFile(file_),
            Utf16Le("; note\r\n[Main]\r\nName=新\r\nExtra=e\r\n\r\n[Next]\r\nK=1\r\n"));
  ASSERT_TRUE(ScratchFolder::WriteFile(file_, "[Main]\nName=Caf\xE9\n"));  // Latin-1 comes back as UTF-8
  ASSERT_TRUE(Write("Main", "Other", "1"));
  EXPECT_EQ(ScratchFolder::ReadFile(file_), "[Main]\nName=Café\nOther=1\n");
}

}  // namespace
