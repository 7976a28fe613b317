// The installer's progress object and the extraction worker.
//
// ExtractProgress turns the engine's callbacks (on the worker thread) into
// movement of the progress page: the bar, the status line, the File Exists
// question, error messages and the end of the page. The main thread reaches it
// only through Cancel (the page's Cancel button).
#pragma once
#include <atomic>
#include <cstdint>

#include "app/installer_ui.h"
#include "archive/archive_progress.h"
#include "platform/thread.h"

class ExtractProgress : public CZoArchiveProgress {
 public:
  // `view` is the progress page; it outlives this object's use by the worker.
  explicit ExtractProgress(ProgressView* view);
  ~ExtractProgress() override;

  int32_t BeginItem(const ZoChar* text, uint32_t totalLow, int32_t totalHigh) override;
  int32_t ReportError(int32_t code) override;
  int32_t ReportStatus(int32_t code) override;
  int32_t AddProgress(uint32_t countLow, int32_t countHigh) override;

  // The File Exists question for the current item; the answer goes to `status`.
  void AskFileExists(int32_t readOnly);
  // The Cancel button (main thread): pauses the engine, asks, resumes or cancels.
  void Cancel();
  // Sets the bar's range for a payload of `totalBytes`. The bar counts KiB, and
  // beyond 2^31 KiB (2 TiB) it counts larger steps, so its 32-bit range always holds.
  void SetTotal(uint64_t totalBytes);
  // True once the engine has reported the end of its operation.
  bool FinishReported() const { return finishReported_.load(); }
  // True once the user confirmed the cancel question (the run was cancelled,
  // not failed), and once an engine error was reported (the run failed).
  bool UserCancelled() const { return userCancelled_.load(); }
  bool ErrorReported() const { return errorReported_.load(); }
  // Files begun and files kept by a No answer, counted on the worker thread and
  // read after it ended.
  uint32_t filesStarted = 0;
  uint32_t filesSkipped = 0;
  ProgressView* View() const { return view_; }

  uint64_t reportedKB = 0;                   // the part of `done` shown on the bar, in KiB
  ZoChar extractingFormat[ZO_MAX_PATH] = {}; // "Extracting: %s"

 private:
  // Stores a host answer in `status`, or keeps it aside while the engine is paused.
  void Answer(int32_t value);

  ProgressView* view_;
  std::atomic<int32_t> pendingAnswer_{0};
  uint32_t barShift_ = 0;  // bar units are KiB << barShift_
  std::atomic<bool> finishReported_{false};
  std::atomic<bool> userCancelled_{false};
  std::atomic<bool> errorReported_{false};
  // One question at a time: the cancel question and a File Exists question never
  // overlap, so neither answer can overwrite the other in `status`.
  plat::Mutex questionLock_;
};

// The message id of an engine error event (502..509, 510 for any other).
uint32_t ErrorMessageId(int32_t code);

// The worker thread's routine: opens the package, checks the room, extracts
// everything into g_installer.targetFolder, ends the page, sets the end event.
int ExtractionWorker(ExtractProgress* progress);
