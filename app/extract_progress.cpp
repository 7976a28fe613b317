// The installer's progress object and the extraction worker (see extract_progress.h).
#include "app/extract_progress.h"

#include "app/installer_state.h"
#include "app/run_log.h"
#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/text.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_path.h"
#include "runtime/zo_printf.h"

namespace {

constexpr int kMessageCapacity = 260;
constexpr uint32_t kStringExtracting = 154;
constexpr uint32_t kStringErrorCaption = 500;
constexpr uint32_t kStringAborting = 501;
constexpr uint32_t kStringCancelQuestion = 516;
constexpr uint32_t kStringWizardCaption = 515;
constexpr uint32_t kFlagsYesNoQuestion = 0x24;
constexpr uint32_t kFlagsExclamation = 0x30;
constexpr uint64_t kBarLimit = 0x7FFFFFFFu;  // the bar's range is a signed 32-bit number

}  // namespace

ExtractProgress::ExtractProgress(ProgressView* view)
    : CZoArchiveProgress(reinterpret_cast<intptr_t>(view ? view->Owner() : nullptr)), view_(view) {
  ZoLoadString(g_installer.language, kStringExtracting, extractingFormat, ZO_MAX_PATH);
}

ExtractProgress::~ExtractProgress() = default;

void ExtractProgress::SetTotal(uint64_t totalBytes) {
  uint64_t units = totalBytes / 1024;
  barShift_ = 0;
  while (units > kBarLimit) {
    units >>= 1;
    ++barShift_;
  }
  if (view_) view_->SetRange(static_cast<uint32_t>(units));
}

int32_t ExtractProgress::BeginItem(const ZoChar* text, uint32_t, int32_t) {
  SetItemName(text);
  ReportStatus(ARC_EVENT_BEGIN_ITEM);
  return 0;
}

int32_t ExtractProgress::AddProgress(uint32_t countLow, int32_t countHigh) {
  done += (static_cast<uint64_t>(static_cast<uint32_t>(countHigh)) << 32) | countLow;
  const uint64_t kb = (done / 1024) >> barShift_;
  if (kb > reportedKB) {
    // The step never exceeds the range, which fits 31 bits.
    if (view_) view_->Advance(static_cast<uint32_t>(kb - reportedKB));
    reportedKB = kb;
  }
  return 0;
}

int32_t ExtractProgress::ReportStatus(int32_t code) {
  switch (code) {
    case ARC_EVENT_EXTRACT_START: {
      ZoChar line[ZO_MAX_PATH];
      ZoPrintFEx(line, ZO_MAX_PATH, extractingFormat, itemName);
      ++filesStarted;
      RunLog_Write(u"%s", line);
      if (view_) view_->SetStatusText(line);
      break;
    }
    case ARC_EVENT_SKIPPED:
      ++filesSkipped;
      RunLog_Write(u"kept the existing file %s", itemName);
      break;
    case ARC_EVENT_ASK_REPLACE:
    case ARC_EVENT_ASK_REPLACE_READONLY:
      // Nobody is asked in an unattended run: existing files are replaced, as
      // with ExtractToTemp.
      if (g_installer.extractToTemp || IsUnattendedRun(g_installer))
        Answer(ARC_ANSWER_REPLACE_ALL);
      else
        AskFileExists(code == ARC_EVENT_ASK_REPLACE_READONLY ? 1 : 0);
      break;
    case ARC_EVENT_DONE:
      finishReported_.store(true);
      if (view_) view_->EndPage(WIZARD_FINISHED);
      break;
    default:
      break;
  }
  return 0;
}

void ExtractProgress::Answer(int32_t value) {
  int32_t current = status.load();
  do {
    if (current == ARC_STATUS_PAUSED) {
      // The Cancel button holds the engine: the answer waits for its resume.
      pendingAnswer_.store(value);
      return;
    }
  } while (!status.compare_exchange_weak(current, value));
}

void ExtractProgress::AskFileExists(int32_t readOnly) {
  plat::LockGuard guard(questionLock_);
  FileExistsRequest request;
  plat::CopyTruncated(request.path, ZO_MAX_PATH, itemName);
  request.readOnly = readOnly ? 1 : 0;
  const int32_t answer = view_ ? view_->AskFileExists(request) : FILE_EXISTS_CANCEL;
  switch (answer) {
    case FILE_EXISTS_YES: Answer(ARC_ANSWER_REPLACE); break;
    case FILE_EXISTS_YES_TO_ALL: Answer(ARC_ANSWER_REPLACE_ALL); break;
    case FILE_EXISTS_NO: Answer(ARC_ANSWER_SKIP); break;
    case FILE_EXISTS_NO_TO_ALL: Answer(ARC_ANSWER_SKIP_ALL); break;
    case FILE_EXISTS_CANCEL: Answer(ARC_E_CANCELLED); break;
    default: break;
  }
}

uint32_t ErrorMessageId(int32_t code) {
  switch (code) {
    case ARC_ERROR_MEMORY: return 502;
    case ARC_ERROR_SIGNATURE: return 503;
    case ARC_ERROR_BLOCK_MISMATCH: return 504;
    case ARC_ERROR_BUFFER: return 505;
    case ARC_ERROR_DISK_SPACE: return 506;
    case ARC_ERROR_VOLUME_MISSING: return 507;
    case ARC_ERROR_FILE_MISSING: return 508;
    case ARC_ERROR_CRC: return 509;
    default: return 510;
  }
}

int32_t ExtractProgress::ReportError(int32_t code) {
  errorReported_.store(true);
  RunLog_Write(u"engine error 0x%08x in %s", static_cast<uint32_t>(code), itemName);
  ZoChar aborting[kMessageCapacity];
  ZoChar message[kMessageCapacity];
  ZoLoadString(g_installer.language, kStringAborting, aborting, kMessageCapacity);
  ZoLoadString(g_installer.language, ErrorMessageId(code), message, kMessageCapacity);

  // The item name holds "step|detail": the detail fills the message's %s.
  ZoChar* step = itemName;
  while (*step == u'|') ++step;
  ZoChar* detail = step;
  while (*detail && *detail != u'|') ++detail;
  if (*detail == u'|') {
    *detail++ = 0;
    ZoChar* end = detail;
    while (*end && *end != u'|') ++end;
    *end = 0;
  }
  ZoChar formatted[kMessageCapacity];
  const ZoChar* shown = message;
  if (*detail) {
    ZoPrintFEx(formatted, kMessageCapacity, message, detail);
    shown = formatted;
  }
  ZoChar text[2 * kMessageCapacity + 4];
  ZoPrintFEx(text, sizeof text / sizeof text[0], u"%s\n\n%s", shown, aborting);
  ZoChar caption[kMessageCapacity];
  ZoLoadString(g_installer.language, kStringErrorCaption, caption, kMessageCapacity);
  {
    plat::LockGuard guard(questionLock_);
    if (view_) view_->ShowMessage(text, caption, kFlagsExclamation);
  }
  Answer(ARC_E_CANCELLED);
  return 0;
}

void ExtractProgress::Cancel() {
  // Pause first, so that the engine stops at its next poll while the question
  // waits; an answer it has not read yet is kept aside and given back on resume.
  int32_t current = status.load();
  while (!status.compare_exchange_weak(current, ARC_STATUS_PAUSED)) {
  }
  if (current != 0 && current != ARC_STATUS_PAUSED) pendingAnswer_.store(current);

  plat::LockGuard guard(questionLock_);
  ZoChar question[kMessageCapacity];
  ZoChar caption[kMessageCapacity];
  ZoLoadString(g_installer.language, kStringCancelQuestion, question, kMessageCapacity);
  ZoLoadString(g_installer.language, kStringWizardCaption, caption, kMessageCapacity);
  const int32_t answer = view_ ? view_->ShowMessage(question, caption, kFlagsYesNoQuestion) : 6;
  const int32_t resume = pendingAnswer_.exchange(0);
  if (answer == 6) userCancelled_.store(true);
  SetStatus(answer == 6 ? ARC_E_CANCELLED : resume);
}

int ExtractionWorker(ExtractProgress* progress) {
  g_installer.workerResult = 0;
  ProgressView* view = progress->View();
  {
    CArchive2 archive;
    ZoResult result = archive.Open(InstallerPackagePath(), ARC_OPEN_READ, progress);
    if (result >= 0) {
      const ZoChar* target = g_installer.targetFolder;
      const bool existed = plat::IsDirectory(target);
      ZoCreateDirectory(target, nullptr);
      result = archive.IsSpaceForExtractAll(target, 0);
      if (result != 0) {
        if (result > 0) {
          // No room: said once (the engine reports nothing for it), then the page ends.
          ZoChar detail[ZO_MAX_PATH] = u"IsSpaceForExtractAll|";
          const size_t used = plat::Length(detail);
          ZoGetRootPathFromFilePath(target, detail + used, static_cast<int>(ZO_MAX_PATH - used));
          progress->SetItemName(detail);
          progress->ReportError(ARC_ERROR_DISK_SPACE);
        }
        if (view) view->EndPage(WIZARD_CANCELLED);
        // Only a folder this run made, and that is still empty, is taken away again.
        if (!existed && plat::IsDirectory(target) && ZoIsDirectoryEmpty(target)) plat::RemoveDirectory(target);
        if (result > 0) result = ARC_E_CANCELLED;
      } else {
        int64_t total = 0;
        if (archive.GetSizeExtractAll(total) >= 0 && total > 0) progress->SetTotal(static_cast<uint64_t>(total));
        result = archive.ExtractAll(target, 0);
      }
      archive.Close();
    }
    g_installer.workerResult = result;
    // An Open that failed, or an extraction that stopped before its walk, sends no
    // end event: the page is ended here so that the run can finish.
    if (view && !progress->FinishReported()) view->EndPage(WIZARD_CANCELLED);
  }
  if (g_installer.archiveEndEvent) g_installer.archiveEndEvent->Set();
  return 0;
}
