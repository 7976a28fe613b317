// ach's progress object as the engine sees it: the answer left in the status
// word for each replace policy, the refusal without a terminal, the counts of
// errors, no-matches and skips, and the cancel after Ctrl-C.
#include <gtest/gtest.h>

#include "tools/ach/ach_progress.h"

namespace {

using ach::QuestionSubject;
using ach::ReplacePolicy;
using ach::ToolProgress;

int32_t AnswerTo(ToolProgress& progress, int32_t question) {
  progress.SetItemName(u"/dest/file.txt");
  progress.ReportStatus(question);
  return progress.PollStatus();  // what the engine reads right after the question
}

TEST(AchProgress, PoliciesAnswerBothQuestionsForTheWholeRun) {
  struct Case {
    ReplacePolicy policy;
    int32_t answer;
  } cases[] = {
      {ReplacePolicy::Overwrite, ARC_ANSWER_REPLACE_ALL},
      {ReplacePolicy::Skip, ARC_ANSWER_SKIP_ALL},
      // Asking without a terminal: keep this file (and say so), ask again next time.
      {ReplacePolicy::Ask, ARC_ANSWER_SKIP},
  };
  for (const Case& c : cases) {
    ToolProgress progress(c.policy, QuestionSubject::File, false, false);
    EXPECT_EQ(AnswerTo(progress, ARC_EVENT_ASK_REPLACE), c.answer);
    EXPECT_EQ(AnswerTo(progress, ARC_EVENT_ASK_REPLACE_READONLY), c.answer);
    EXPECT_EQ(progress.PollStatus(), 0) << "an answer must be taken once";
  }
}

TEST(AchProgress, CountsErrorsNoMatchesSkipsAndStartedFiles) {
  ToolProgress progress(ReplacePolicy::Skip, QuestionSubject::File, false, false);
  progress.SetItemName(u"ExtractCentralDirectoryFile|2");
  progress.ReportError(ARC_ERROR_VOLUME_MISSING);
  progress.SetItemName(u"AddWildcard");
  progress.ReportError(ARC_ERROR_NO_MATCH);
  progress.SetItemName(u"docs\\a.txt");
  progress.ReportStatus(ARC_EVENT_EXTRACT_START);
  progress.ReportStatus(ARC_EVENT_FILE_END);
  progress.SetItemName(u"/dest/b.txt");
  progress.ReportStatus(ARC_EVENT_SKIPPED);
  EXPECT_EQ(progress.Errors(), 1);
  EXPECT_EQ(progress.NoMatches(), 1);
  EXPECT_EQ(progress.Skipped(), 1);
  EXPECT_EQ(progress.Started(), 1);
  EXPECT_EQ(progress.LastStarted(), u"docs\\a.txt");
}

TEST(AchProgress, TotalsFollowBeginItemAndAddProgress) {
  ToolProgress progress(ReplacePolicy::Skip, QuestionSubject::File, false, false);
  progress.BeginItem64(u"archive", uint64_t{5} << 32);
  EXPECT_EQ(progress.total, uint64_t{5} << 32);
  EXPECT_EQ(progress.AddProgress64(uint64_t{3} << 32), 0);
  EXPECT_EQ(progress.done, uint64_t{3} << 32);
  EXPECT_FALSE(progress.Cancelled());
}

}  // namespace
