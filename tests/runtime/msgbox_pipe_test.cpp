// Console boxes of a real program answered through pipes: standard input holds
// the answers, standard error the conversation (POSIX; on Windows the boxes are
// windows, driven by tests/gui/run).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/paths.h"
#include "platform/text.h"

#if !GTEST_OS_WINDOWS && defined(ORV_MSGBOX_PROBE)

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Conversation {
  std::string out;
  std::string err;
};

// Runs the probe with `input` on standard input (printf format; null: end of
// input at once).
Conversation RunProbe(const char* args, const char* input) {
  ZoChar temp[ZO_MAX_PATH];
  plat::GetTempPath(temp, ZO_MAX_PATH);
  const std::string base = plat::ToUtf8(temp) + "orv-msgbox-pipe-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::string command = input ? std::string("printf '") + input + "' | " : std::string();
  command += std::string("'") + ORV_MSGBOX_PROBE + "' " + args + " >'" + base + ".out' 2>'" + base + ".err'";
  if (!input) command += " </dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  Conversation c{ReadFile(base + ".out"), ReadFile(base + ".err")};
  std::remove((base + ".out").c_str());
  std::remove((base + ".err").c_str());
  return c;
}

TEST(MsgBoxPipe, StandardBoxAnswersFromStandardInput) {
  struct Case {
    const char* input;
    const char* result;
    const char* said;
  } cases[] = {
      {"\\n", "result=1\n", "Probe Box\nA standard box, centred on its owner.\n<[OK]>  [Cancel] > "},
      {"cancel\\n", "result=2\n", "[Cancel] > "},
      {"what\\nOK\\n", "result=1\n", "[Cancel] > <[OK]>"},
      {nullptr, "result=1\n", "end of input: OK\n"},
  };
  for (const Case& c : cases) {
    const Conversation got = RunProbe("box", c.input);
    EXPECT_EQ(got.out, c.result) << (c.input ? c.input : "(end of input)");
    EXPECT_NE(got.err.find(c.said), std::string::npos) << got.err;
  }
}

TEST(MsgBoxPipe, CustomBoxDetailsCheckBoxAndJapaneseLabels) {
  // Yes/No/Cancel: a wrong answer, then No by its mnemonic, then the check box.
  Conversation got = RunProbe("custom", "x\\nn\\ny\\n");
  EXPECT_EQ(got.out, "result=7\ncheck=1\n");
  EXPECT_NE(got.err.find("A custom box with 3 buttons,\nits details and a check box.\n\nFirst line of the details\n"
                         "Second line\n"),
            std::string::npos)
      << got.err;
  EXPECT_NE(got.err.find("<[Y]es>  [N]o  [Cancel] > "), std::string::npos) << got.err;
  EXPECT_NE(got.err.find("Do not show this message again\n[Y]es  <[N]o> > "), std::string::npos) << got.err;
  // End of input after the first answer keeps the check box as it was.
  got = RunProbe("custom", "yes\\n");
  EXPECT_EQ(got.out, "result=6\ncheck=0\n");
  // Japanese labels: the whole label without its mnemonic, then the default.
  got = RunProbe("custom --japanese", "いいえ\\n\\n");
  EXPECT_EQ(got.out, "result=7\ncheck=0\n");
  EXPECT_NE(got.err.find("<はい([Y])>  いいえ([N])  [キャンセル] > "), std::string::npos) << got.err;
}

TEST(MsgBoxPipe, FolderPromptGivesTheFolderWithASeparator) {
  Conversation got = RunProbe("folder", "/\\n");
  EXPECT_EQ(got.out, "result=00000000\npath=/\n");
  got = RunProbe("folder", nullptr);
  EXPECT_EQ(got.out.substr(0, 16), "result=8004E00C\n");
}

}  // namespace

#endif
