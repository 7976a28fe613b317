// The tool's progress object: it turns the engine's error events into messages
// on standard error, answers the replace questions (by policy, by asking on a
// terminal, or by refusing when there is no terminal), counts what was done and
// skipped, draws a progress line on a terminal, and passes Ctrl-C to the engine
// as a cancel through the status word.
#pragma once
#include <cstdint>
#include <string>

#include "archive/archive_progress.h"
#include "platform/text.h"
#include "tools/ach/ach_options.h"

namespace ach {

// What the replace question is about: a file on disk (extract, unsfx) or an
// entry of the archive (add).
enum class QuestionSubject { File, Entry };

class ToolProgress : public CZoArchiveProgress {
 public:
  // `interactive`: questions may be asked (standard input and error are
  // terminals). `showBar`: a progress line may be drawn on standard error.
  ToolProgress(ReplacePolicy policy, QuestionSubject subject, bool interactive, bool showBar);
  ~ToolProgress() override;

  int32_t BeginItem(const ZoChar* text, uint32_t totalLow, int32_t totalHigh) override;
  int32_t ReportError(int32_t code) override;
  int32_t ReportStatus(int32_t code) override;
  int32_t AddProgress(uint32_t countLow, int32_t countHigh) override;

  // Error events other than "nothing matched" (those count as no-match).
  int Errors() const { return errors_; }
  int NoMatches() const { return noMatches_; }
  int Skipped() const { return skipped_; }
  // Files and folders the engine left out of the archive (a name it cannot hold,
  // a FIFO, socket or device, a link to a folder); each was reported.
  int LeftOut() const { return leftOut_; }
  // Files whose extraction, storing or verification started.
  int Started() const { return started_; }
  // The entry name of the last file phase that started; empty before any.
  const plat::String16& LastStarted() const { return lastStarted_; }
  // True once the user cancelled (Ctrl-C or the Cancel answer).
  bool Cancelled() const;
  // Removes the progress line; call before printing a result.
  void ClearLine();

  // Messages of the non-interactive refusal are printed at most this many
  // times, then summarised.
  static constexpr int kRefusalMessages = 10;

 private:
  int32_t Answer(int32_t question);
  int32_t AskOnTerminal(bool readOnly);
  void Draw(bool force);

  ReplacePolicy policy_;
  QuestionSubject subject_;
  bool interactive_;
  bool showBar_;
  bool userCancelled_ = false;
  int errors_ = 0;
  int noMatches_ = 0;
  int skipped_ = 0;
  int leftOut_ = 0;
  int refusals_ = 0;
  int started_ = 0;
  plat::String16 lastStarted_;
  plat::String16 currentName_;  // shown on the progress line
  uint64_t startTick_ = 0;
  uint64_t lastDrawTick_ = 0;
  bool lineShown_ = false;
};

// Watches Ctrl-C for the whole run; the progress object registered here (at
// most one at a time) receives ARC_E_CANCELLED in its status word when it comes.
void StartInterruptWatch();
void SetActiveProgress(CZoArchiveProgress* progress);

// The text of one progress line for `columns` columns: percentage, bar, counts
// and as much of `name` as fits (its end, after "..."). Exposed for tests.
std::string RenderProgressLine(uint64_t done, uint64_t total, plat::StringView16 name, int columns);

}  // namespace ach
