// The quiet user interface (the QUIET switch): no window, no console, nothing
// read from standard input. Every page and question takes its answer without
// anyone: the destination page validates the target it was given, the File
// Exists question replaces, and every box goes through ZoMessageBox, where the
// quiet run's hook gives it its default answer and the log records it. The
// interrupt watch (Ctrl-C, SIGTERM on POSIX) is the Cancel button.
// Portable: nothing here touches the system beyond the platform layer.
#include "app/ui/quiet/quiet_ui.h"

#include <atomic>

#include "app/installer_state.h"
#include "app/wizard.h"
#include "platform/terminal.h"
#include "platform/thread.h"
#include "runtime/zo_msgbox.h"

namespace {

constexpr uint32_t kPollMilliseconds = 50;

class QuietProgressView final : public ProgressView {
 public:
  void SetRange(uint32_t) override {}
  void Advance(uint32_t) override {}
  void SetStatusText(const ZoChar*) override {}
  void EndPage(intptr_t result) override {
    intptr_t none = 0;
    if (result_.compare_exchange_strong(none, result)) ended_.Set();
  }
  int32_t AskFileExists(const FileExistsRequest&) override { return FILE_EXISTS_YES_TO_ALL; }
  int32_t ShowMessage(const ZoChar* text, const ZoChar* caption, uint32_t flags) override {
    return ZoMessageBox(ZO_MSGBOX_NO_OWNER, text, caption, flags);
  }
  plat::WindowHandle Owner() override { return nullptr; }

  // Waits for the end of the page; an interrupt is the Cancel button.
  intptr_t Run() {
    while (!ended_.Wait(kPollMilliseconds)) {
      if (plat::InterruptRequested() && !cancelled_) {
        cancelled_ = true;
        CancelExtraction();
      }
    }
    return result_.load();
  }

 private:
  std::atomic<intptr_t> result_{0};
  plat::Event ended_{true, false};
  bool cancelled_ = false;
};

class QuietInstallerUiImpl final : public InstallerUi {
 public:
  intptr_t RunDestinationPage() override {
    return ValidateDestination(g_installer.targetFolder, true, nullptr) ? WIZARD_NEXT : WIZARD_CANCELLED;
  }

  intptr_t RunProgressPage() override {
    QuietProgressView view;
    if (!StartExtraction(&view)) return WIZARD_CANCELLED;
    const intptr_t result = view.Run();
    // The view lives on this stack: the worker is done with it before it goes.
    if (g_installer.archiveEndEvent) g_installer.archiveEndEvent->Wait();
    FinishExtractionWorker();
    return result == WIZARD_FINISHED ? WIZARD_FINISHED : WIZARD_CANCELLED;
  }

  void* AdoptBanner(const ZoBitmapInfoHeader*, int32_t* width, int32_t* height) override {
    *width = 0;
    *height = 0;
    return nullptr;
  }
  void ReleaseBanner(void*) override {}
};

}  // namespace

InstallerUi& QuietInstallerUi() {
  static QuietInstallerUiImpl ui;
  return ui;
}
