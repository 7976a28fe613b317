// The console user interface of the installer: the wizard's pages and questions
// as a conversation on standard error and standard input, answered by a person at
// a terminal or by a script through a pipe, the same way.
//
// - Destination page: the caption, the title, the explanation and the proposed
//   folder; one line is read: empty accepts the folder, anything else replaces
//   it. A refused folder shows its message (a box, answered by a line) and asks
//   again. Ctrl-C, or the end of input after a refusal, is the Cancel button.
// - Progress page: on a terminal one line redrawn in place (bar, percentage,
//   status); otherwise each status as a plain line. Ctrl-C is the Cancel button.
// - File Exists: a box with the five answers.
// The end of input always leads to an end: every box then takes its default.
#include "app/ui/console/console_ui.h"

#include <mutex>
#include <string>

#include "app/installer_state.h"
#include "app/wizard.h"
#include "platform/console_box.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_printf.h"

namespace {

constexpr int kTextCapacity = 1024;
constexpr uint32_t kPollMilliseconds = 50;
constexpr int kBarWidth = 30;

void Write(const plat::String16& text) { plat::WriteText(plat::StandardStream::Error, plat::ToUtf8(text)); }

plat::String16 LoadText(uint32_t id) {
  ZoChar text[kTextCapacity];
  ZoLoadString(g_installer.language, id, text, kTextCapacity);
  return text;
}

plat::String16 ExpandText(uint32_t id) {
  ZoChar text[kTextCapacity];
  ExpandString(id, text, kTextCapacity);
  return text;
}

// The heading both pages start with: the caption underlined, then the title.
void WritePageHeading(uint32_t titleId) {
  const plat::String16 caption = g_installer.caption;
  Write(u"\n" + caption + u"\n" + plat::String16(caption.size(), u'=') + u"\n" + LoadText(titleId) + u"\n\n");
}

// The progress page as the worker moves it. Every write happens under one lock,
// and a question first ends an open progress line, so their lines never mix.
class ConsoleProgressView final : public ProgressView {
 public:
  ConsoleProgressView() : terminal_(plat::IsTerminal(plat::StandardStream::Error)), ended_(true, false) {}

  void SetRange(uint32_t upperKiB) override {
    std::lock_guard<std::mutex> guard(lock_);
    upper_ = upperKiB;
  }
  void Advance(uint32_t deltaKiB) override {
    std::lock_guard<std::mutex> guard(lock_);
    position_ += deltaKiB;
    if (terminal_) DrawLine();
  }
  void SetStatusText(const ZoChar* text) override {
    std::lock_guard<std::mutex> guard(lock_);
    status_ = text ? text : u"";
    if (terminal_) {
      DrawLine();
    } else {
      Write(status_ + u"\n");
    }
  }
  void EndPage(intptr_t result) override {
    std::lock_guard<std::mutex> guard(lock_);
    if (result_ != 0) return;
    result_ = result;
    finished_ = result == WIZARD_FINISHED;
    if (terminal_ && lineOpen_) DrawLine();
    CloseLine();
    ended_.Set();
  }
  int32_t AskFileExists(const FileExistsRequest& request) override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      CloseLine();
    }
    ZoChar text[kTextCapacity];
    ZoChar format[kTextCapacity];
    ZoLoadString(g_installer.language, request.readOnly ? 513 : 512, format, kTextCapacity);
    ZoPrintFEx(text, kTextCapacity, format, request.path);
    const plat::String16 question = plat::String16(text) + u"\n\n" + LoadText(514);
    const plat::String16 caption = LoadText(511);
    const plat::String16 labels[5] = {LoadText(304), LoadText(305), LoadText(306), LoadText(307), LoadText(302)};
    const plat::BoxButton buttons[5] = {{FILE_EXISTS_YES, labels[0].c_str()},
                                        {FILE_EXISTS_YES_TO_ALL, labels[1].c_str()},
                                        {FILE_EXISTS_NO, labels[2].c_str()},
                                        {FILE_EXISTS_NO_TO_ALL, labels[3].c_str()},
                                        {FILE_EXISTS_CANCEL, labels[4].c_str()}};
    plat::MessageBoxRequest box;
    box.text = question.c_str();
    box.caption = caption.c_str();
    box.flags = 0x20;
    box.buttons = buttons;
    box.buttonCount = 5;
    // An empty line or the end of input cancels: a script that runs out of
    // answers never replaces a file nobody agreed to.
    box.defaultIndex = 4;
    return plat::RunConsoleMessageBox(box, plat::StandardConsole());
  }
  int32_t ShowMessage(const ZoChar* text, const ZoChar* caption, uint32_t flags) override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      CloseLine();
    }
    return ZoMessageBox(nullptr, text, caption, flags);
  }
  plat::WindowHandle Owner() override { return nullptr; }

  // Waits for the end of the page, turning Ctrl-C into the Cancel button.
  intptr_t Run() {
    while (!ended_.Wait(kPollMilliseconds)) {
      if (plat::InterruptRequested()) {
        plat::ClearInterrupt();
        CancelExtraction();
      }
    }
    return result_;
  }

 private:
  void DrawLine() {
    const uint64_t percent =
        finished_ ? 100 : upper_ ? (static_cast<uint64_t>(position_ > upper_ ? upper_ : position_) * 100) / upper_ : 0;
    const int filled = static_cast<int>(percent * kBarWidth / 100);
    plat::String16 line = u"\r[" + plat::String16(static_cast<size_t>(filled), u'#') +
                          plat::String16(static_cast<size_t>(kBarWidth - filled), u' ') + u"] ";
    ZoChar number[16];
    ZoPrintFEx(number, 16, u"%3d%%  ", static_cast<int>(percent));
    line += number;
    // The status is cut to the terminal's width so that the line stays one line.
    const int width = plat::TerminalWidth(plat::StandardStream::Error);
    plat::String16 status = status_;
    const size_t room = width > 0 && static_cast<size_t>(width) > line.size() ? static_cast<size_t>(width) - line.size()
                                                                              : 0;
    if (width > 0 && status.size() > room) status.resize(room);
    line += status + u"\x1b[K";
    Write(line);
    lineOpen_ = true;
  }
  void CloseLine() {
    if (lineOpen_) Write(u"\n");
    lineOpen_ = false;
  }

  const bool terminal_;
  std::mutex lock_;
  uint32_t upper_ = 0;
  uint32_t position_ = 0;
  plat::String16 status_;
  bool lineOpen_ = false;
  bool finished_ = false;
  intptr_t result_ = 0;
  plat::Event ended_;
};

class ConsoleInstallerUiImpl final : public InstallerUi {
 public:
  intptr_t RunDestinationPage() override {
    WritePageHeading(160);
    Write(LoadText(1103) + u"\n");
    bool refused = false;
    for (;;) {
      const plat::String16 current = g_installer.targetFolder;
      Write(u"\n" + plat::PlainLabel(LoadText(1102).c_str()) + u"\n[" + current + u"] > ");
      plat::String16 line;
      const plat::InputLine read = plat::ReadInputLine(&line);
      if (read == plat::InputLine::Interrupted) {
        plat::ClearInterrupt();
        Write(u"\n");
        if (ConfirmCancel(nullptr)) return WIZARD_CANCELLED;
        continue;
      }
      if (read == plat::InputLine::EndOfInput) {
        Write(u"\n");
        // Nothing more will come: the proposal is taken once; after a refusal
        // the only way on is the Cancel button.
        if (refused) return CancelAtEndOfInput();
        line.clear();
      }
      // Only an empty line takes the proposal: a line of blanks is a (refused) folder text.
      plat::String16 text = line.empty() ? current : line;
      // The folder field takes no more than its limit, as the dialog's edit does.
      if (text.size() > DestinationTextLimit()) text.resize(DestinationTextLimit());
      if (ValidateDestination(text.c_str(), true, nullptr)) return WIZARD_NEXT;
      refused = true;
      if (read == plat::InputLine::EndOfInput) return CancelAtEndOfInput();
    }
  }

  intptr_t RunProgressPage() override {
    WritePageHeading(150);
    Write(ExpandText(152) + u"\n\n");
    ConsoleProgressView view;
    if (!StartExtraction(&view)) return WIZARD_CANCELLED;
    const intptr_t result = view.Run();
    // The view lives on this stack: the worker is done with it before it goes.
    if (g_installer.archiveEndEvent) g_installer.archiveEndEvent->Wait();
    FinishExtractionWorker();
    return result;
  }

  void* AdoptBanner(const ZoBitmapInfoHeader* dib, int32_t* width, int32_t* height) override {
    // Nothing is painted on a console; the size is kept for whoever asks.
    *width = dib ? dib->biWidth : 0;
    *height = dib ? (dib->biHeight < 0 ? -dib->biHeight : dib->biHeight) : 0;
    return nullptr;
  }
  void ReleaseBanner(void*) override {}
  void ShowUnattendedMessage(const ZoChar* text) override {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    Write(plat::String16(text ? text : u"") + u"\n");
  }

 private:
  // The end of input after a refused folder is the Cancel button. Its
  // confirmation is asked (and, with no input left, takes its default); the page
  // ends either way, since nothing could ever be typed again.
  static intptr_t CancelAtEndOfInput() {
    ConfirmCancel(nullptr);
    return WIZARD_CANCELLED;
  }
};

}  // namespace

InstallerUi& ConsoleInstallerUi() {
  static ConsoleInstallerUiImpl ui;
  return ui;
}
