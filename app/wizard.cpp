// The wizard's logic (see wizard.h).
#include "app/wizard.h"

#include <memory>
#include <new>

#include "app/extract_progress.h"
#include "app/installer_state.h"
#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/text.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_number.h"
#include "runtime/zo_path.h"
#include "runtime/zo_printf.h"

namespace {

constexpr uint32_t kFlagsExclamation = 0x30;
constexpr uint32_t kFlagsYesNoQuestion = 0x24;

void Refuse(plat::WindowHandle page, uint32_t id) { ZoMsgBoxId(g_installer.language, page, kFlagsExclamation, id); }

}  // namespace

int RunWizard(int32_t extractToTemp) {
  InstallerUi& ui = ActiveInstallerUi();
  int page = extractToTemp ? 1 : 0;
  for (;;) {
    const intptr_t result = page != 0 ? ui.RunProgressPage() : ui.RunDestinationPage();
    if (result == WIZARD_FINISHED) return 1;
    if (result == WIZARD_CANCELLED) return 0;
    if (result == WIZARD_BACK) {
      // Back is disabled on both pages; a back end that offers it cannot leave the loop's range.
      if (page > 0) --page;
    } else {
      ++page;
    }
  }
}

uint32_t DestinationTextLimit() {
  const int limit = 210 - static_cast<int>(g_installer.longestEntryName);
  return limit < 1 ? 1u : static_cast<uint32_t>(limit);
}

bool ValidateDestination(const ZoChar* input, bool next, plat::WindowHandle page) {
  ZoChar text[ZO_MAX_PATH];
  plat::CopyTruncated(text, ZO_MAX_PATH, input ? input : u"");
  ZoStripWhiteSpace(text);
  if (text[0] == 0) {
    Refuse(page, 554);
    return false;
  }
  ZoChar root[ZO_MAX_PATH] = {};
  ZoGetRootPathFromFilePath(text, root, ZO_MAX_PATH);
  if (plat::EqualsNoCase(text, root)) {
    Refuse(page, 555);
    return false;
  }
  for (const ZoChar* p = text; *p; ++p) {
    if (*p == u'"' || *p == u'*' || *p == u'<' || *p == u'>' || *p == u'?' || *p == u'|') {
      Refuse(page, 554);
      return false;
    }
  }
  plat::CopyTruncated(g_installer.targetFolder, ZO_MAX_PATH, text);
  if (!next) return true;

  if (!plat::IsDirectory(text) && !ZoCreateDirectory(text, nullptr)) {
    const uint32_t error = plat::LastError();
    Refuse(page, error == plat::kErrorInvalidDrive ? 557 : error == plat::kErrorFilenameExcedRange ? 559 : 556);
    return false;
  }
  CArchive2 archive;
  bool room = false;
  if (archive.Open(InstallerPackagePath(), ARC_OPEN_READ, nullptr) >= 0) {
    room = archive.IsSpaceForExtractAll(text, 0) == 0;
    archive.Close();
  }
  if (!room) {
    Refuse(page, 558);
    return false;
  }
  return true;
}

bool ConfirmCancel(plat::WindowHandle page) {
  ZoChar question[ZO_MAX_PATH];
  ZoChar caption[ZO_MAX_PATH];
  ZoLoadString(g_installer.language, 516, question, ZO_MAX_PATH);
  ZoLoadString(g_installer.language, 515, caption, ZO_MAX_PATH);
  return ZoMessageBox(page, question, caption, kFlagsYesNoQuestion) == ZO_IDYES;
}

bool StartExtraction(ProgressView* view) {
  std::unique_ptr<ExtractProgress> progress(new (std::nothrow) ExtractProgress(view));
  if (!progress) return false;
  auto thread = std::unique_ptr<plat::Thread>(new (std::nothrow) plat::Thread);
  if (!thread) return false;
  ExtractProgress* raw = progress.get();
  g_installer.progress = progress.release();
  if (!thread->Start([raw] { ExtractionWorker(raw); })) return false;
  g_installer.workerThread = thread.release();
  return true;
}

void CancelExtraction() {
  if (g_installer.progress) g_installer.progress->Cancel();
}

void FinishExtractionWorker() {
  if (!g_installer.workerThread) return;
  g_installer.workerThread->Join();
  delete g_installer.workerThread;
  g_installer.workerThread = nullptr;
}

void ExpandString(uint32_t id, ZoChar* out, int capacity) {
  ZoChar format[1024];
  ZoLoadString(g_installer.language, id, format, 1024);
  ZoPrintFEx(out, static_cast<size_t>(capacity), format);
}
