// The installer's user interface, behind one narrow interface.
//
// The flow (app/) decides what happens; a back end (app/ui/console, and the
// Windows dialogs) only shows the pages and the questions and reports what the
// user did. The page logic every back end shares (validation of the folder, the
// cancel confirmation, starting the worker, cancelling it) lives in
// app/wizard.h; a back end calls it from its page handlers.
//
// Threads: the pages run on the main thread. The ProgressView of the progress
// page is driven by the extraction worker: its operations must be safe to call
// from that thread (the Windows back end posts window messages; the console back
// end writes under a lock).
#pragma once
#include <cstdint>

#include "platform/types.h"
#include "platform/window.h"
#include "runtime/zo_dib.h"

// Dialog results of the pages (the page loop's vocabulary).
inline constexpr intptr_t WIZARD_FINISHED = 1;
inline constexpr intptr_t WIZARD_CANCELLED = 2;
inline constexpr intptr_t WIZARD_NEXT = 2000;
inline constexpr intptr_t WIZARD_BACK = 2001;

// Answers of the File Exists question: the ids of its buttons.
inline constexpr int32_t FILE_EXISTS_YES = 2002;
inline constexpr int32_t FILE_EXISTS_YES_TO_ALL = 2003;
inline constexpr int32_t FILE_EXISTS_NO = 2004;
inline constexpr int32_t FILE_EXISTS_NO_TO_ALL = 2005;
inline constexpr int32_t FILE_EXISTS_CANCEL = 2;

// The parameter of the File Exists question.
struct FileExistsRequest {
  ZoChar path[ZO_MAX_PATH] = {};  // the target that exists, cut to 259 units
  int32_t readOnly = 0;           // 1: the read-only wording (string 513)
};

// What the extraction worker moves on the progress page. Called on the worker thread.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  // The bar's range is 0..upper in KiB (32 bits: right for any payload size).
  virtual void SetRange(uint32_t upperKiB) = 0;
  virtual void Advance(uint32_t deltaKiB) = 0;
  virtual void SetStatusText(const ZoChar* text) = 0;
  // Ends the progress page with WIZARD_FINISHED or WIZARD_CANCELLED. Idempotent:
  // the first call decides.
  virtual void EndPage(intptr_t result) = 0;
  // Asks the File Exists question; returns a FILE_EXISTS_* id (or another value,
  // which leaves the engine's status unchanged).
  virtual int32_t AskFileExists(const FileExistsRequest& request) = 0;
  // Shows a message box owned by the page (ZoMessageBox's arguments and result).
  virtual int32_t ShowMessage(const ZoChar* text, const ZoChar* caption, uint32_t flags) = 0;
  // The page's window (null where there are no windows).
  virtual plat::WindowHandle Owner() = 0;
};

class InstallerUi {
 public:
  virtual ~InstallerUi() = default;
  // The destination page: WIZARD_NEXT, WIZARD_BACK or WIZARD_CANCELLED.
  virtual intptr_t RunDestinationPage() = 0;
  // The progress page: WIZARD_FINISHED or WIZARD_CANCELLED.
  virtual intptr_t RunProgressPage() = 0;
  // Takes the decoded banner (owned by the caller, still freed by it) and returns
  // what the back end paints from (null when it paints nothing), with its size.
  virtual void* AdoptBanner(const ZoBitmapInfoHeader* dib, int32_t* width, int32_t* height) = 0;
  virtual void ReleaseBanner(void* banner) = 0;
  // The text of a box that a passive run answers without showing it: a back end
  // that can show text without making anyone wait (the console) writes it; the
  // others leave it to the log. Any thread.
  virtual void ShowUnattendedMessage(const ZoChar* text) { (void)text; }
};

// The back end of this run (chosen by the entry point; the console one on POSIX).
InstallerUi& ActiveInstallerUi();
void SetActiveInstallerUi(InstallerUi* ui);
