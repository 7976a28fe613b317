// ach's text forms: JSON strings, the progress line, sizes, attributes and
// ratios, and the names the tool derives for temporary and volume files.
#include <gtest/gtest.h>

#include <string>

#include "platform/paths.h"
#include "tools/ach/ach_files.h"
#include "tools/ach/ach_json.h"
#include "tools/ach/ach_output.h"
#include "tools/ach/ach_progress.h"

namespace {

using plat::String16;

TEST(AchJson, QuotesEscapeControlsQuotesAndBackslashesAndKeepUnicode) {
  EXPECT_EQ(ach::JsonQuote(u"docs\\a \"b\""), "\"docs\\\\a \\\"b\\\"\"");
  EXPECT_EQ(ach::JsonQuote(u"tab\there\nnl\x01"), "\"tab\\there\\nnl\\u0001\"");
  EXPECT_EQ(ach::JsonQuote(u"\u00e9\u65e5"), "\"\xc3\xa9\xe6\x97\xa5\"");
  // An unpaired surrogate cannot be UTF-8: it becomes U+FFFD, never raw bytes.
  const char16_t lone[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(ach::JsonQuote(lone), "\"a\xef\xbf\xbd" "b\"");
}

TEST(AchJson, WriterSeparatesMembersAndNestsArrays) {
  ach::JsonWriter json;
  json.BeginObject();
  json.Key("n");
  json.Number(18446744073709551615ull);
  json.Key("list");
  json.BeginArray();
  json.BeginObject();
  json.Key("a");
  json.Boolean(true);
  json.EndObject();
  json.BeginObject();
  json.EndObject();
  json.NumberSigned(-1);
  json.EndArray();
  json.Key("s");
  json.String(u"x");
  json.EndObject();
  EXPECT_EQ(json.Text(), "{\"n\":18446744073709551615,\"list\":[{\"a\":true},{},-1],\"s\":\"x\"}");
}

TEST(AchProgressLine, FitsTheWidthAndKeepsTheEndOfLongNames) {
  String16 name = u"folder\\deeper\\a-rather-long-file-name-that-goes-on.txt";
  for (int columns : {20, 40, 60, 80, 200}) {
    std::string line = ach::RenderProgressLine(512, 1024, name, columns);
    EXPECT_LT(line.size(), static_cast<size_t>(columns)) << line;
    EXPECT_EQ(line.rfind(" 50%", 0), 0u) << line;
  }
  std::string narrow = ach::RenderProgressLine(1, 3, name, 70);
  EXPECT_NE(narrow.find("...") , std::string::npos);
  EXPECT_NE(narrow.find("goes-on.txt"), std::string::npos);
}

TEST(AchProgressLine, ClampsDoneAboveTotalAndHandlesZeroTotal) {
  EXPECT_EQ(ach::RenderProgressLine(5000, 1000, u"", 80).rfind("100%", 0), 0u);
  EXPECT_EQ(ach::RenderProgressLine(0, 0, u"", 80).rfind("  0%", 0), 0u);
}

TEST(AchFormat, SizesAttributesRatiosAndResults) {
  EXPECT_EQ(ach::FormatByteCount(1023), "1023 B");
  EXPECT_EQ(ach::FormatByteCount(1536), "1.5 KiB");
  EXPECT_EQ(ach::FormatByteCount(uint64_t{5} << 30), "5.0 GiB");
  EXPECT_EQ(ach::FormatAttributes(0x20), "----A");
  EXPECT_EQ(ach::FormatAttributes(0x10 | 0x01 | 0x02 | 0x04), "DRHS-");
  EXPECT_EQ(ach::FormatRatio(50, 200), "25%");
  EXPECT_EQ(ach::FormatRatio(0, 0), "-");
  EXPECT_EQ(ach::FormatHex32(0xCBF43926u), "CBF43926");
  EXPECT_EQ(ach::FormatResult(ZO_RESULT(0x8004E00B)).rfind("0x8004E00B (", 0), 0u);
  EXPECT_STREQ(ach::DescribeErrorEvent(0xAAAAAAAFu), "CRC mismatch");
  EXPECT_EQ(ach::FormatFileTime(0), "-");
}

String16 Native(const char* path) {
  String16 text = plat::U16(path);
  for (auto& c : text) {
    if (c == u'/') c = plat::kSeparator;
  }
  return text;
}

TEST(AchNames, RewriteTempAndVolumeNamesFollowTheArchiveFormat) {
  EXPECT_EQ(ach::RewriteTempPath(Native("/data/pack.ach")), Native("/data/~pack.ach"));
  // Volumes: the main file's folder, the stored name's stem, k, its extension;
  // a Windows path stored by another system contributes its file name only.
  EXPECT_EQ(ach::VolumePath(Native("/dl/setup.exe"), u"C:\\build\\pack.ach", 2), Native("/dl/pack2.ach"));
  EXPECT_EQ(ach::VolumePath(Native("/dl/pack"), Native("/dl/pack"), 12), Native("/dl/pack12"));
}

TEST(AchNames, TargetPathsUseNativeSeparatorsAndFlatKeepsTheFileName) {
  EXPECT_EQ(ach::TargetPathOf(Native("/out"), u"docs\\a.txt", false), Native("/out/docs/a.txt"));
  EXPECT_EQ(ach::TargetPathOf(Native("/out/"), u"docs\\a.txt", true), Native("/out/a.txt"));
}

TEST(AchNames, TrailingSeparatorsGoButARootStays) {
  EXPECT_EQ(ach::WithoutTrailingSeparators(Native("/data/sample//")), Native("/data/sample"));
  String16 root = plat::kSeparator == u'/' ? String16(u"/") : String16(u"C:\\");
  EXPECT_EQ(ach::WithoutTrailingSeparators(root), root);
}

}  // namespace

namespace {

TEST(AchTerminal, ControlCharactersFromArchivesCannotReachTheTerminal) {
  // ESC [ 2 J clears a screen; U+009B is the one-character form of ESC [.
  EXPECT_EQ(ach::TerminalSafe("a\x1b[2Jb\x7f", false), "a?[2Jb?");
  EXPECT_EQ(ach::TerminalSafe("x\xc2\x9b" "31m", false), "x?31m");
  EXPECT_EQ(ach::TerminalSafe("line\none\tend\r", true), "line\none\tend?");
  EXPECT_EQ(ach::TerminalSafe("line\n", false), "line?");
  // Ordinary non-ASCII text passes: U+00E9 and U+00A0 share the lead byte C2/C3.
  EXPECT_EQ(ach::TerminalSafe("caf\xc3\xa9\xc2\xa0", false), "caf\xc3\xa9\xc2\xa0");
  std::string line = ach::RenderProgressLine(1, 2, u"evil\x1b]0;title\x07.txt", 80);
  EXPECT_EQ(line.find('\x1b'), std::string::npos);
  EXPECT_EQ(line.find('\x07'), std::string::npos);
}

}  // namespace
