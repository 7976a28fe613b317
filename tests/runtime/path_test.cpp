// Lexical path rules in both path styles, and the native Zo* text functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "runtime/path_lexical.h"
#include "runtime/zo_path.h"

namespace {

using plat::String16;
using plat::U16;
using zo::PathStyle;
namespace lex = zo::lexical;

constexpr PathStyle kWin = PathStyle::Windows;
constexpr PathStyle kPosix = PathStyle::Posix;

const char* StyleName(PathStyle s) { return s == kWin ? "windows" : "posix"; }

// A buffer of `capacity` units holding `text`, followed by guard units that no
// function may touch.
struct Buffer {
  static constexpr ZoChar kGuard = 0xBEEF;
  std::vector<ZoChar> units;
  int capacity;
  Buffer(const std::string& text, int cap) : units(static_cast<size_t>(cap) + 4, kGuard), capacity(cap) {
    String16 t = U16(text);
    for (size_t i = 0; i < t.size() && i < static_cast<size_t>(cap); ++i) units[i] = t[i];
    if (t.size() < static_cast<size_t>(cap)) units[t.size()] = 0;
  }
  ZoChar* data() { return units.data(); }
  std::string Text() const { return plat::ToUtf8(String16(units.data(), plat::BoundedLength(units.data(), capacity))); }
  bool GuardsIntact() const {
    for (size_t i = static_cast<size_t>(capacity); i < units.size(); ++i) {
      if (units[i] != kGuard) return false;
    }
    return true;
  }
};

TEST(PathLexical, FileNameOffsetFollowsEachStylesSeparators) {
  struct Case { PathStyle style; const char* path; const char* file; };
  const Case cases[] = {
      {kWin, R"(C:\dir\file.txt)", "file.txt"}, {kWin, "C:name", "name"},       {kWin, "file", "file"},
      {kWin, R"(dir\)", ""},                    {kWin, "a/b", "a/b"},           {kWin, R"(\\srv\share\x)", "x"},
      {kPosix, "/dir/file.txt", "file.txt"},    {kPosix, "C:name", "C:name"},   {kPosix, R"(a\b)", R"(a\b)"},
      {kPosix, "dir/", ""},                     {kPosix, "", ""},
  };
  for (const Case& c : cases) {
    String16 path = U16(c.path);
    EXPECT_EQ(plat::ToUtf8(path.substr(lex::FileNameOffset(path, c.style))), c.file) << StyleName(c.style) << " " << c.path;
    std::string utf8 = c.path;
    EXPECT_EQ(utf8.substr(lex::FileNameOffset(std::string_view(utf8), c.style)), c.file) << c.path;
  }
}

TEST(PathLexical, Utf8FileNameStepsByWholeCharactersEvenWhenMalformed) {
  EXPECT_EQ(lex::FileNameOffset(std::string_view("/d\xC3\xA9/f\xE6\x97\xA5.txt"), kPosix), 5u);
  // A lead byte announcing three bytes followed by a separator: the separator counts.
  EXPECT_EQ(lex::FileNameOffset(std::string_view("x\xE6\\y"), kWin), 3u);
  EXPECT_EQ(lex::FileNameOffset(std::string_view("\xF0\x9F\x98\x80:z"), kWin), 5u);
}

// A double-byte code page in the manner of Shift-JIS: 0x81-0x9F and 0xE0-0xFC
// lead a two-byte character whose trail byte may be 0x5C, the backslash.
size_t ShiftJisCharLength(const char* text, size_t available) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
  return available >= 2 && isLead ? 2 : (available ? 1 : 0);
}

TEST(PathLexical, EightBitFileNameStepsByTheCodePagesCharacters) {
  // "C:\dir\<0x95 0x5C>.txt": the 0x5C inside the character is no separator.
  const std::string_view sjis("C:\\dir\\\x95\\.txt");
  EXPECT_EQ(lex::FileNameOffset(sjis, kWin, ShiftJisCharLength), 7u);
  EXPECT_EQ(lex::FileNameOffset(std::string_view("\x95\\"), kWin, ShiftJisCharLength), 0u);
  // A lead byte at the very end stands alone.
  EXPECT_EQ(lex::FileNameOffset(std::string_view("a\\\x95"), kWin, ShiftJisCharLength), 2u);
  // UTF-8 (the 8-bit text of POSIX) steps by whole sequences, never over an ASCII byte.
  EXPECT_EQ(plat::Utf8CharLength("\xE6\x97\xA5", 3), 3u);
  EXPECT_EQ(plat::Utf8CharLength("\xE6\x97", 2), 2u);
  EXPECT_EQ(plat::Utf8CharLength("\xE6\\", 2), 1u);
  EXPECT_EQ(plat::Utf8CharLength("", 0), 0u);
}

TEST(PathLexical, ExtensionIsLastDotOfWholeTextUnlessWhiteSpaceFollows) {
  struct Case { const char* text; const char* extension; };
  const Case cases[] = {
      {R"(C:\x.y\name)", R"(.y\name)"}, {"a.b c", ""}, {"name.", "."}, {"noext", ""},
      {"a.tar.gz", ".gz"},              {"x.\xE3\x80\x80y", ""},  // ideographic space after the dot
      {"x.\xC3\xA9", ".\xC3\xA9"},      {"", ""},
  };
  for (const Case& c : cases) {
    String16 text = U16(c.text);
    EXPECT_EQ(plat::ToUtf8(text.substr(lex::ExtensionOffset(text))), c.extension) << c.text;
    std::string utf8 = c.text;
    EXPECT_EQ(utf8.substr(lex::ExtensionOffset(std::string_view(utf8))), c.extension) << c.text;
  }
}

TEST(PathLexical, RootOfDrivesNetworkSharesAndRelativePaths) {
  struct Case { PathStyle style; const char* path; const char* root; };
  const Case cases[] = {
      {kWin, R"(C:\x)", R"(C:\)"},
      {kWin, R"(dir\x)", R"(dir\)"},
      {kWin, R"(\x)", R"(\)"},
      {kWin, R"(\\srv\share\dir\f.txt)", R"(\\srv\share\)"},
      {kWin, R"(\\srv)", ""},
      {kWin, R"(\\srv\share)", ""},
      {kWin, "C:", ""},
      {kWin, "C:/x", ""},
      {kWin, "", ""},
      {kPosix, "/x/y", "/"},
      {kPosix, "dir/x", "dir/"},
      {kPosix, "//srv/share/x", "/"},
      {kPosix, R"(\\srv\share\x)", ""},
      {kPosix, "x", ""},
  };
  for (const Case& c : cases) {
    Buffer out("garbage", 40);
    int n = lex::GetRootPathFromFilePath(U16(c.path).c_str(), out.data(), out.capacity, c.style);
    EXPECT_EQ(n, static_cast<int>(std::string(c.root).size())) << StyleName(c.style) << " " << c.path;
    EXPECT_EQ(out.Text(), c.root) << c.path;
  }
}

// The volume queries and folder creation rest on these three rules; natively
// only the POSIX style runs, so the Windows style is pinned down here.
TEST(PathLexical, VolumeFolderCreatableRootAndNetworkPath) {
  struct Case { PathStyle style; const char* path; const char* queryFolder; bool creatableRoot; bool network; };
  const Case cases[] = {
      {kWin, R"(C:\a\b)", R"(C:\a\)", true, false},  // the last component counts as a file name
      {kWin, R"(C:\a\b\)", R"(C:\a\b\)", true, false},
      {kWin, R"(C:\)", R"(C:\)", true, false},
      {kWin, "C:file", "C:", false, false},             // no root: never measured or created
      {kWin, R"(\\srv\share\x)", R"(\\srv\share\)", true, true},
      {kWin, R"(\\srv)", R"(\\)", false, true},     // no root, so never measured
      {kWin, R"(a\b)", R"(a\)", false, false},          // a root of two units is too short
      {kWin, R"(ab\c)", R"(ab\)", true, false},
      {kWin, R"(\x)", R"(\)", false, false},
      {kWin, "C:/a/b", "C:/a/", false, false},          // the C runtime splits at '/', the root rule does not
      {kPosix, "/a/b", "/a/", true, false},
      {kPosix, "/", "/", true, false},
      {kPosix, R"(a\b)", "", false, false},
      {kPosix, "a/b", "a/", false, false},
      {kPosix, "//srv/share/x", "//srv/share/", true, false},
  };
  for (const Case& c : cases) {
    String16 path = U16(c.path);
    EXPECT_EQ(plat::ToUtf8(path.substr(0, lex::DiskQueryFolderLength(path, c.style))), c.queryFolder)
        << StyleName(c.style) << " " << c.path;
    String16 root = path.substr(0, lex::RootLength(path, c.style));
    EXPECT_EQ(!root.empty() && lex::IsCreatableRoot(root, c.style), c.creatableRoot) << c.path;
    EXPECT_EQ(lex::IsNetworkPath(path, c.style), c.network) << c.path;
  }
}

TEST(PathLexical, RootAndFolderPartReportLengthButStayEmptyWhenTooSmall) {
  String16 path = U16(R"(C:\dir\file.txt)");
  Buffer fits("", 4), tooSmall("xyz", 3);
  EXPECT_EQ(lex::GetRootPathFromFilePath(path.c_str(), fits.data(), fits.capacity, kWin), 3);
  EXPECT_EQ(fits.Text(), R"(C:\)");
  EXPECT_EQ(lex::GetRootPathFromFilePath(path.c_str(), tooSmall.data(), tooSmall.capacity, kWin), 3);
  EXPECT_EQ(tooSmall.Text(), "");
  Buffer folder("xyz", 7);
  EXPECT_EQ(lex::GetPathNameFromFilePath(path.c_str(), folder.data(), folder.capacity, kWin), 7);
  EXPECT_EQ(folder.Text(), "");
  EXPECT_TRUE(fits.GuardsIntact() && tooSmall.GuardsIntact() && folder.GuardsIntact());
}

TEST(PathLexical, FolderPartKeepsItsFinalSeparatorOrColon) {
  struct Case { PathStyle style; const char* path; const char* folder; };
  const Case cases[] = {
      {kWin, R"(C:\dir\file.txt)", R"(C:\dir\)"}, {kWin, R"(C:\a\b\)", R"(C:\a\b\)"}, {kWin, "C:file", "C:"},
      {kWin, "file.txt", ""},                    {kWin, "", ""},                     {kPosix, "/d/f", "/d/"},
      {kPosix, "C:file", ""},                    {kPosix, "/", "/"},
  };
  for (const Case& c : cases) {
    Buffer out("garbage", 40);
    int n = lex::GetPathNameFromFilePath(U16(c.path).c_str(), out.data(), out.capacity, c.style);
    EXPECT_EQ(n, static_cast<int>(std::string(c.folder).size())) << StyleName(c.style) << " " << c.path;
    EXPECT_EQ(out.Text(), c.folder) << c.path;
  }
}

TEST(PathLexical, FolderPartCanCutAPathInPlace) {
  Buffer path(R"(C:\dir\file.txt)", 20);
  EXPECT_EQ(lex::GetPathNameFromFilePath(path.data(), path.data(), path.capacity, kWin), 7);
  EXPECT_EQ(path.Text(), R"(C:\dir\)");
  Buffer root("/usr/lib/x", 20);
  EXPECT_EQ(lex::GetRootPathFromFilePath(root.data(), root.data(), root.capacity, kPosix), 1);
  EXPECT_EQ(root.Text(), "/");
}

TEST(PathLexical, AddAndRemoveSlashRespectCapacityAndTermination) {
  struct Case { PathStyle style; const char* path; int capacity; bool add; int result; const char* text; };
  const Case cases[] = {
      {kWin, R"(C:\a)", 6, true, 5, R"(C:\a\)"},
      {kWin, R"(C:\a)", 5, true, 0, R"(C:\a)"},  // the separator and terminator would not fit
      {kWin, "C:a", 5, true, 4, R"(C:a\)"},      // exactly fits: new length + 1 == capacity
      {kWin, "C:a", 4, true, 0, "C:a"},
      {kWin, R"(C:\a\)", 6, true, 5, R"(C:\a\)"},
      {kWin, "", 4, true, 0, ""},
      {kWin, "a/", 4, true, 3, R"(a/\)"},
      {kPosix, "/a", 4, true, 3, "/a/"},
      {kPosix, R"(a\)", 4, true, 3, R"(a\/)"},
      {kWin, R"(C:\a\)", 6, false, 4, R"(C:\a)"},
      {kWin, R"(C:\a)", 6, false, 4, R"(C:\a)"},
      {kWin, R"(C:\a\\)", 8, false, 5, R"(C:\a\)"},  // one separator only
      {kWin, "", 4, false, 0, ""},
      {kPosix, "/a/", 4, false, 2, "/a"},
      {kPosix, R"(a\)", 4, false, 2, R"(a\)"},
  };
  for (const Case& c : cases) {
    Buffer b(c.path, c.capacity);
    int n = c.add ? lex::AddSlashToPathName(b.data(), b.capacity, c.style)
                  : lex::RemoveSlashFromPathNameEnd(b.data(), b.capacity, c.style);
    EXPECT_EQ(n, c.result) << StyleName(c.style) << " " << c.path << " cap " << c.capacity << (c.add ? " add" : " remove");
    EXPECT_EQ(b.Text(), c.text) << c.path;
    EXPECT_TRUE(b.GuardsIntact()) << c.path;
  }
}

TEST(PathLexical, InOutFunctionsLeaveUnterminatedBuffersAlone) {
  for (PathStyle style : {kWin, kPosix}) {
    Buffer b("abcdef", 4);  // no terminator within the four units
    std::vector<ZoChar> before = b.units;
    EXPECT_EQ(lex::AddSlashToPathName(b.data(), 4, style), 0);
    EXPECT_EQ(lex::RemoveSlashFromPathNameEnd(b.data(), 4, style), 0);
    EXPECT_EQ(lex::AddExtensionToPathName(b.data(), 4, u"txt", style), 0);
    EXPECT_EQ(b.units, before) << StyleName(style);
    EXPECT_EQ(lex::AddSlashToPathName(b.data(), 0, style), 0);
    EXPECT_EQ(lex::AddSlashToPathName(b.data(), -3, style), 0);
    EXPECT_EQ(b.units, before);
  }
}

TEST(PathLexical, AddExtensionReplacesTheFilePartsExtension) {
  struct Case { PathStyle style; const char* path; int capacity; const char* extension; int result; const char* text; };
  const Case cases[] = {
      {kWin, R"(C:\d.x\name)", 40, "txt", 15, R"(C:\d.x\name.txt)"},  // the folder's dot is not an extension
      {kWin, "a.TXT", 40, ".txt", 5, "a.TXT"},                        // same extension, any case: unchanged
      {kWin, "a.doc", 40, "txt", 5, "a.txt"},
      {kWin, "a.", 40, "txt", 5, "a.txt"},
      {kWin, "abc.d", 7, "longext", 6, "abc.lo"},  // cut to the capacity
      {kWin, "abc", 4, "txt", 3, "abc"},           // no room for even the dot
      {kWin, "a.doc", 40, "", 1, "a"},
      {kWin, "a.b c", 40, "txt", 9, "a.b c.txt"},  // white space after the dot: no extension
      {kPosix, "/d.x/name", 40, "txt", 13, "/d.x/name.txt"},
      {kPosix, R"(d.x\name)", 40, "txt", 5, "d.txt"},  // backslash is a name character: ".x\name" is the extension
  };
  for (const Case& c : cases) {
    Buffer b(c.path, c.capacity);
    EXPECT_EQ(lex::AddExtensionToPathName(b.data(), b.capacity, U16(c.extension).c_str(), c.style), c.result)
        << StyleName(c.style) << " " << c.path;
    EXPECT_EQ(b.Text(), c.text) << c.path;
    EXPECT_TRUE(b.GuardsIntact()) << c.path;
  }
}

TEST(PathLexical, FileNameWithoutPathOrExtensionCutsFirstThenDropsExtension) {
  struct Case { PathStyle style; const char* path; int capacity; const char* name; };
  const Case cases[] = {
      {kWin, R"(C:\d\name.txt)", 40, "name"}, {kWin, R"(C:\d\name.txt)", 3, "na"},
      {kWin, R"(C:\d\a.b.c)", 4, "a"},        {kWin, "C:x.y", 40, "x"},
      {kPosix, "/d/archive.tar.gz", 40, "archive.tar"},
  };
  for (const Case& c : cases) {
    Buffer out("garbage", c.capacity);
    int n = lex::GetFileNameWithoutPathOrExtension(U16(c.path).c_str(), out.data(), out.capacity, c.style);
    EXPECT_EQ(out.Text(), c.name) << c.path;
    EXPECT_EQ(n, static_cast<int>(std::string(c.name).size()));
    EXPECT_TRUE(out.GuardsIntact());
  }
}

TEST(PathLexical, BasePathRelativeStripsTheSharedWholeComponents) {
  struct Case { PathStyle style; const char* base; const char* path; const char* out; };
  const Case cases[] = {
      {kWin, R"(C:\src\sub\f.txt)", R"(D:\out\sub\f.txt)", R"(D:\out\)"},
      {kWin, R"(C:\src\SUB\f)", R"(D:\out\sub\F)", R"(D:\out\)"},     // ASCII case-insensitive
      {kWin, R"(C:\src\xsub)", R"(D:\out\ysub)", R"(D:\out\ysub\)"},  // "sub" is not a whole component
      {kWin, R"(C:\a\b\)", R"(D:\x\b\)", R"(D:\x\)"},
      {kWin, R"(sub\f)", R"(D:\out\sub\f)", R"(D:\out\)"},  // base shorter than path
      {kPosix, "/src/sub/f", "/home/u/sub/f", "/home/u/"},
      {kPosix, R"(/src/a\b)", R"(/home/x\b)", R"(/home/x\b/)"},  // backslash is no separator
  };
  for (const Case& c : cases) {
    Buffer out("garbage", 40);
    EXPECT_EQ(lex::GetBasePathRelative(U16(c.base).c_str(), U16(c.path).c_str(), out.data(), 40, c.style), S_OK)
        << c.path;
    EXPECT_EQ(out.Text(), c.out) << StyleName(c.style) << " " << c.base << " | " << c.path;
  }
  Buffer small("garbage", 7);
  EXPECT_EQ(lex::GetBasePathRelative(u"C:\\s\\f", u"D:\\out\\f", small.data(), 7, kWin), E_FAIL);
  EXPECT_EQ(small.Text(), "");
  EXPECT_TRUE(small.GuardsIntact());
}

TEST(PathLexical, ReplaceBasePathRelative) {
  Buffer out("garbage", 40);
  EXPECT_EQ(lex::ReplaceBasePathRelative(u"C:\\Old\\a\\b", u"c:\\old", u"D:\\New", out.data(), 40), S_OK);
  EXPECT_EQ(out.Text(), R"(D:\New\a\b)");
  EXPECT_EQ(lex::ReplaceBasePathRelative(u"C:\\Other\\a", u"C:\\Old", u"D:\\New", out.data(), 40), E_FAIL);
  EXPECT_EQ(out.Text(), "");
  Buffer small("garbage", 10);
  EXPECT_EQ(lex::ReplaceBasePathRelative(u"C:\\Old\\a\\b", u"C:\\Old", u"D:\\New", small.data(), 10), E_FAIL);
  EXPECT_EQ(small.Text(), "");
  EXPECT_TRUE(small.GuardsIntact());
  // The result may not exceed 259 units even in a larger buffer.
  String16 longBase(255, u'n');
  std::vector<ZoChar> big(400);
  EXPECT_EQ(lex::ReplaceBasePathRelative(u"C:\\Old\\abcde", u"C:\\Old", longBase.c_str(), big.data(), 400), E_FAIL);
  EXPECT_EQ(lex::ReplaceBasePathRelative(u"C:\\Old\\abc", u"C:\\Old", longBase.c_str(), big.data(), 400), S_OK);
  EXPECT_EQ(plat::Length(big.data()), 259u);
  // In place: out is the path itself.
  Buffer inPlace(R"(C:\Old\a)", 40);
  EXPECT_EQ(lex::ReplaceBasePathRelative(inPlace.data(), u"C:\\Old", u"E:\\Much\\Longer", inPlace.data(), 40), S_OK);
  EXPECT_EQ(inPlace.Text(), R"(E:\Much\Longer\a)");
}

TEST(PathLexical, WildCardMatchWithoutBacktracking) {
  struct Case { const char* pattern; const char* name; bool match; };
  const Case cases[] = {
      {"*.txt", "a.txt", true}, {"a*c", "abc", true},     {"a*c", "abxc", true},   {"a*c", "ab.c", false},
      {"abc", "abc.", true},    {"abc", "abc..", false},  {"*", "any.thing", true}, {"?b", "ab", true},
      {"a?", "a", false},       {"A.txt", "a.txt", false}, {"a*", "ab.txt", false}, {"a.*", "a.b", true},
      {"a*", "ab", true},       {"a*.", "ab", true},      {"", "a", false},       {"", "", true},
      {"*.*", "abc", false},    {"a*b*c", "aXbYc", true}, {"a*b", "abb", false},  // the star stops at the first b
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lex::MatchWildCard(U16(c.pattern), U16(c.name)), c.match) << c.pattern << " vs " << c.name;
    EXPECT_EQ(ZoIsMatchWildCard(U16(c.pattern).c_str(), U16(c.name).c_str()), c.match);
  }
}

TEST(ZoPathText, ValidateFileNameRejectsOrFixesReservedCharacters) {
  struct Case { const char* name; bool fix; int result; const char* after; };
  const Case cases[] = {
      {"report.txt", false, 1, "report.txt"}, {"", false, 1, ""},
      {"a:b", false, 0, "a:b"},                {"a*b?c", true, 0, "a_b_c"},
      {R"(<>|"/\)", true, 0, "______"},       {"ok name", true, 1, "ok name"},
  };
  for (const Case& c : cases) {
    String16 name = U16(c.name);
    EXPECT_EQ(ZoValidateFileName(name.data(), c.fix), c.result) << c.name;
    EXPECT_EQ(plat::ToUtf8(name), c.after);
  }
}

TEST(ZoPathText, NativeFunctionsPointIntoTheCallersText) {
  String16 path = String16(u"dir") + plat::kSeparator + u"name.ext";
  EXPECT_EQ(ZoGetFileNamePtrW(path.data()), path.data() + 4);
  EXPECT_EQ(ZoGetFileNameExtensionPtrW(path.data()), path.data() + 8);
  std::string a = plat::ToUtf8(path);
  EXPECT_EQ(ZoGetFileNamePtrA(a.data()), a.data() + 4);
  EXPECT_EQ(ZoGetFileNameExtensionPtrA(a.data()), a.data() + 8);
  EXPECT_EQ(ZoGetFileNamePtrW(static_cast<const ZoChar*>(nullptr)), nullptr);
}

int g_measureCalls = 0;
bool FailingMeasure(void*, const ZoChar*, int, int*) {
  ++g_measureCalls;
  return false;
}

TEST(ZoPathText, EllipsisKeepsTheTailAndNeverGrowsThePath) {
  struct Case { const char* path; int width; const char* result; };
  const Case cases[] = {
      {R"(C:\dir\sub\file.txt)", 40, R"(C:\dir\sub\file.txt)"},
      {R"(C:\dir\sub\file.txt)", 12, R"(...\file.txt)"},
      {R"(C:\dir\sub\file.txt)", 17, R"(C...\sub\file.txt)"},
      {R"(C:\dir\sub\file.txt)", 3, R"(...\file.txt)"},  // nothing fits: the last candidate
      {"C:/a/bcdef", 8, ".../bcdef"},
      {R"(C:\ab)", 2, R"(C:\ab)"},  // every candidate would be longer than the path
  };
  for (const Case& c : cases) {
    String16 text = U16(c.path);
    std::vector<ZoChar> exact(text.begin(), text.end());
    exact.push_back(0);  // exactly the original's size: a longer result would overrun
    EXPECT_EQ(ZoCalcPathEllipsis(nullptr, exact.data(), c.width), 1) << c.path;
    EXPECT_EQ(plat::ToUtf8(String16(exact.data())), c.result) << c.path << " width " << c.width;
  }
  String16 text = U16(R"(C:\dir\file)");
  g_measureCalls = 0;
  EXPECT_EQ(ZoCalcPathEllipsisEx(nullptr, text.data(), 1, FailingMeasure), 0);
  EXPECT_EQ(g_measureCalls, 1);
  EXPECT_EQ(plat::ToUtf8(text), R"(C:\dir\file)");
}

}  // namespace
