// ach's command-line parsing: commands, options anywhere, operand counts and
// the errors a user gets for a wrong line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/ach/ach_options.h"

namespace {

using ach::Command;
using ach::Options;
using ach::ParseCommandLine;
using ach::ReplacePolicy;
using plat::String16;

std::vector<String16> Args(std::initializer_list<const char*> items) {
  std::vector<String16> out;
  for (const char* item : items) out.push_back(plat::U16(item));
  return out;
}

bool Parse(std::initializer_list<const char*> items, Options* options, std::string* error = nullptr) {
  std::string ignored;
  return ParseCommandLine(Args(items), options, error ? error : &ignored);
}

TEST(AchOptions, OptionsMayStandBeforeBetweenAndAfterOperands) {
  Options o;
  ASSERT_TRUE(Parse({"create", "out.ach", "-r", "-9", "data", "more"}, &o));
  EXPECT_EQ(o.command, Command::Create);
  EXPECT_EQ(o.archive, u"out.ach");
  EXPECT_EQ(o.operands, Args({"data", "more"}));
  EXPECT_TRUE(o.recurse);
  EXPECT_EQ(o.level, 9);
  EXPECT_FALSE(o.store);

  ASSERT_TRUE(Parse({"extract", "-o", "dest", "a.ach", "--flat", "*.txt"}, &o));
  EXPECT_EQ(o.archive, u"a.ach");
  EXPECT_EQ(o.outputFolder, u"dest");
  EXPECT_TRUE(o.flat);
  EXPECT_EQ(o.operands, Args({"*.txt"}));
}

TEST(AchOptions, DefaultsAreLevelSixAskAndCurrentFolder) {
  Options o;
  ASSERT_TRUE(Parse({"create", "a.ach", "x"}, &o));
  EXPECT_EQ(o.level, 6);
  EXPECT_EQ(o.replace, ReplacePolicy::Ask);
  EXPECT_EQ(o.threads, 0) << "one thread per processor";
  ASSERT_TRUE(Parse({"add", "a.ach", "x", "-j", "12"}, &o));
  EXPECT_EQ(o.threads, 12);
  ASSERT_TRUE(Parse({"extract", "a.ach"}, &o));
  EXPECT_TRUE(o.outputFolder.empty());
  EXPECT_TRUE(o.operands.empty());
}

TEST(AchOptions, DoubleDashEndsOptionsSoOperandsMayStartWithADash) {
  Options o;
  ASSERT_TRUE(Parse({"comment", "a.ach", "--", "-r is a comment"}, &o));
  EXPECT_TRUE(o.setComment);
  EXPECT_EQ(o.commentText, u"-r is a comment");
  ASSERT_TRUE(Parse({"delete", "a.ach", "--", "--help"}, &o));
  EXPECT_FALSE(o.help);
  EXPECT_EQ(o.operands, Args({"--help"}));
}

TEST(AchOptions, CommentWithoutTextShowsAndWithEmptyTextClears) {
  Options o;
  ASSERT_TRUE(Parse({"comment", "a.ach"}, &o));
  EXPECT_FALSE(o.setComment);
  ASSERT_TRUE(Parse({"comment", "a.ach", ""}, &o));
  EXPECT_TRUE(o.setComment);
  EXPECT_TRUE(o.commentText.empty());
}

TEST(AchOptions, HelpWinsOverAnyOtherProblem) {
  Options o;
  ASSERT_TRUE(Parse({"--help"}, &o));
  EXPECT_TRUE(o.help);
  EXPECT_EQ(o.command, Command::None);
  ASSERT_TRUE(Parse({"create", "--help"}, &o));  // operands missing, still help
  EXPECT_TRUE(o.help);
  EXPECT_EQ(o.command, Command::Create);
}

TEST(AchOptions, SplitSizeIsParsedWithUnits) {
  Options o;
  ASSERT_TRUE(Parse({"split", "a.ach", "64K"}, &o));
  EXPECT_EQ(o.volumeSize, 65536);
}

struct BadLine {
  std::vector<const char*> args;
  const char* why;  // a word the message must contain
};

TEST(AchOptions, WrongLinesAreRefusedWithAReason) {
  const BadLine cases[] = {
      {{}, "no command"},
      {{"frobnicate", "a.ach"}, "unknown command"},
      {{"list"}, "missing"},
      {{"list", "a.ach", "b.ach"}, "too many"},
      {{"list", "--flat", "a.ach"}, "not an option"},
      {{"extract", "a.ach", "-o"}, "needs a value"},
      {{"extract", "a.ach", "--overwrite", "--skip-existing"}, "exclude"},
      {{"create", "a.ach"}, "missing"},
      {{"create", "a.ach", "--store", "-5", "x"}, "exclude"},
      {{"create", "a.ach", "-12", "x"}, "not an option"},
      {{"add", "a.ach", "--overwrite", "x"}, "not an option"},
      {{"create", "a.ach", "-j", "0", "x"}, "thread count"},
      {{"create", "a.ach", "-j", "65", "x"}, "thread count"},
      {{"add", "a.ach", "x", "-j", "2x"}, "thread count"},
      {{"add", "a.ach", "x", "-j"}, "needs a value"},
      {{"extract", "a.ach", "-j", "2"}, "not an option"},
      {{"sfx", "a.ach", "stub"}, "missing"},
      {{"split", "a.ach", "0"}, "not a size"},
      {{"split", "a.ach", "12Q"}, "not a size"},
      {{"merge", ""}, "empty"},
      {{"package", "out"}, "missing"},
      {{"package", "out", "--settings", "s.ini", "--lcid", "9", "x"}, "excludes"},
      {{"package", "out", "--lcid", "-1", "x"}, "decimal language"},
      {{"package", "out", "--lcid", "4294967296", "x"}, "decimal language"},
      {{"package", "out", "--extract-to-temp", "yes", "x"}, "0 or 1"},
      {{"package", "out", "--stub", "", "x"}, "needs a file"},
      {{"package", "out", "--name"}, "needs a value"},
      {{"package", "out", "-r", "x"}, "not an option"},
  };
  for (const BadLine& bad : cases) {
    std::vector<String16> args;
    for (const char* a : bad.args) args.push_back(plat::U16(a));
    Options o;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(args, &o, &error)) << "accepted: " << (bad.args.empty() ? "" : bad.args[0]);
    EXPECT_NE(error.find(bad.why), std::string::npos) << "message was: " << error;
  }
}

TEST(AchOptions, PackageSettingsOptionsAreKeptOnlyWhenGiven) {
  Options o;
  ASSERT_TRUE(Parse({"package", "out.run", "--name", "", "--setup-params", "-q x", "--lcid", "4294967295",
                     "--extract-to-temp", "0", "--banner", "b.png", "-3", "dir", "file"},
                    &o));
  EXPECT_EQ(o.archive, u"out.run");
  EXPECT_EQ(o.operands, Args({"dir", "file"}));
  EXPECT_EQ(o.packageName, String16());  // given, and empty
  EXPECT_EQ(o.packageSetupParams, String16(u"-q x"));
  EXPECT_FALSE(o.packageTitle || o.packageTarget || o.packageSetup);
  EXPECT_EQ(o.packageLcid, 4294967295u);
  EXPECT_EQ(o.packageExtractToTemp, 0);
  EXPECT_EQ(o.banner, u"b.png");
  EXPECT_TRUE(o.stub.empty());
  EXPECT_EQ(o.level, 3);
  ASSERT_TRUE(Parse({"package", "out.run", "--settings", "s.ini", "--banner", "b.png", "--stub", "st", "x"}, &o));
  EXPECT_EQ(o.settingsFile, u"s.ini");
  EXPECT_EQ(o.stub, u"st");
}

TEST(AchOptions, ByteSizes) {
  struct Case {
    const char* text;
    bool ok;
    int64_t bytes;
  } cases[] = {
      {"1", true, 1},          {"4096", true, 4096},        {"10k", true, 10240},
      {"10KB", true, 10240},   {"3M", true, 3 << 20},       {"2g", true, int64_t{2} << 30},
      {"", false, 0},          {"0", false, 0},             {"K", false, 0},
      {"1.5M", false, 0},      {"-4", false, 0},            {"10MiB", false, 0},
      {"99999999999999999999", false, 0},                   {"8589934592G", false, 0},
  };
  for (const Case& c : cases) {
    int64_t bytes = -1;
    EXPECT_EQ(ach::ParseByteSize(plat::U16(c.text), &bytes), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(bytes, c.bytes) << c.text;
    }
  }
}

TEST(AchOptions, EveryCommandHasUsage) {
  for (Command c : {Command::List, Command::Extract, Command::Test, Command::Create, Command::Add, Command::Delete,
                    Command::Comment, Command::Sfx, Command::Unsfx, Command::Split, Command::Merge,
                    Command::Package}) {
    std::string usage = ach::CommandUsage(c);
    EXPECT_EQ(usage.rfind(std::string("usage: ach ") + ach::CommandName(c), 0), 0u) << usage;
  }
}

}  // namespace
