// The tool's progress object. Every callback runs on the engine's thread (the
// main thread: the tool has no other); only the interrupt callback runs in
// signal or system-thread context and touches nothing but the status word.
#include "tools/ach/ach_progress.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "platform/terminal.h"
#include "platform/time.h"
#include "tools/ach/ach_output.h"

namespace ach {

namespace {

constexpr uint64_t kFirstDrawDelayMs = 300;  // quick operations draw nothing
constexpr uint64_t kRedrawIntervalMs = 100;
constexpr int kDefaultColumns = 80;

std::atomic<CZoArchiveProgress*> gActiveProgress{nullptr};
// The progress object whose line ErrorLine clears before a message.
ToolProgress* gLineOwner = nullptr;

void CancelActive() {
  CZoArchiveProgress* progress = gActiveProgress.load();
  if (progress) progress->status.store(ARC_E_CANCELLED);
}

void ClearOwnerLine() {
  if (gLineOwner) gLineOwner->ClearLine();
}

// The column count of UTF-16 text, taking every code point as one column.
size_t CountColumns(plat::StringView16 text) {
  size_t count = 0;
  for (ZoChar unit : text) {
    if (unit < 0xDC00 || unit > 0xDFFF) ++count;  // low surrogates continue a code point
  }
  return count;
}

// The last `columns` code points of `text`.
plat::StringView16 TailColumns(plat::StringView16 text, size_t columns) {
  size_t start = text.size();
  size_t taken = 0;
  while (start > 0 && taken < columns) {
    --start;
    if (text[start] >= 0xDC00 && text[start] <= 0xDFFF && start > 0) --start;
    ++taken;
  }
  return text.substr(start);
}

// Columns of UTF-8 text: one per code point (continuation bytes do not count).
size_t CountUtf8Columns(std::string_view utf8) {
  size_t count = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

void StartInterruptWatch() { plat::WatchInterrupts(CancelActive); }

void SetActiveProgress(CZoArchiveProgress* progress) {
  gActiveProgress.store(progress);
  if (progress && plat::InterruptRequested()) progress->status.store(ARC_E_CANCELLED);
}

std::string RenderProgressLine(uint64_t done, uint64_t total, plat::StringView16 name, int columns) {
  if (columns <= 0) columns = kDefaultColumns;
  if (done > total) done = total;
  int percent = total == 0 ? 0 : static_cast<int>((static_cast<long double>(done) * 100.0L) / total);
  char head[16];
  std::snprintf(head, sizeof(head), "%3d%% ", percent);
  std::string counts = " " + FormatByteCount(done) + " / " + FormatByteCount(total);
  // Room: the head, a bar of 10 to 30 cells with brackets, the counts, a space
  // and the name; one column stays free so the cursor never wraps.
  int usable = columns - 1;
  int fixed = static_cast<int>(std::string(head).size() + counts.size()) + 2;
  int barCells = std::clamp(usable - fixed - 20, 10, 30);
  std::string line = head;
  if (fixed + barCells <= usable) {
    int filled = total == 0 ? 0 : static_cast<int>((static_cast<long double>(done) * barCells) / total);
    line += "[" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(barCells - filled), '.') + "]";
    line += counts;
  }
  int room = usable - static_cast<int>(line.size()) - 1;
  if (room > 3 && !name.empty()) {
    line.push_back(' ');
    if (CountColumns(name) <= static_cast<size_t>(room)) {
      line += TerminalSafe(plat::ToUtf8(name), false);
    } else {
      line += "..." + TerminalSafe(plat::ToUtf8(TailColumns(name, static_cast<size_t>(room - 3))), false);
    }
  }
  return line;
}

ToolProgress::ToolProgress(ReplacePolicy policy, QuestionSubject subject, bool interactive, bool showBar)
    : policy_(policy), subject_(subject), interactive_(interactive), showBar_(showBar) {
  startTick_ = plat::TickCount();
  gLineOwner = this;
  SetClearLineHook(ClearOwnerLine);
  SetActiveProgress(this);
}

ToolProgress::~ToolProgress() {
  ClearLine();
  if (gActiveProgress.load() == this) SetActiveProgress(nullptr);
  if (gLineOwner == this) {
    gLineOwner = nullptr;
    SetClearLineHook(nullptr);
  }
}

bool ToolProgress::Cancelled() const { return userCancelled_ || plat::InterruptRequested(); }

void ToolProgress::ClearLine() {
  if (!lineShown_) return;
  lineShown_ = false;
  int columns = plat::TerminalWidth(plat::StandardStream::Error);
  if (columns <= 0) columns = kDefaultColumns;
  std::string blank = "\r" + std::string(static_cast<size_t>(columns - 1), ' ') + "\r";
  plat::WriteText(plat::StandardStream::Error, blank);
}

void ToolProgress::Draw(bool force) {
  if (!showBar_) return;
  uint64_t now = plat::TickCount();
  if (now - startTick_ < kFirstDrawDelayMs) return;
  if (!force && lineShown_ && now - lastDrawTick_ < kRedrawIntervalMs) return;
  lastDrawTick_ = now;
  int columns = plat::TerminalWidth(plat::StandardStream::Error);
  std::string line = "\r" + RenderProgressLine(done, total, currentName_, columns);
  // Pad over what a longer previous line left behind.
  if (columns > 0) {
    size_t shown = CountUtf8Columns(line) - 1;  // the carriage return takes no column
    if (shown + 1 < static_cast<size_t>(columns)) line.append(static_cast<size_t>(columns) - 1 - shown, ' ');
  }
  plat::WriteText(plat::StandardStream::Error, line);
  lineShown_ = true;
}

int32_t ToolProgress::BeginItem(const ZoChar* text, uint32_t totalLow, int32_t totalHigh) {
  int32_t result = CZoArchiveProgress::BeginItem(text, totalLow, totalHigh);
  if (text) currentName_ = text;
  Draw(false);
  return result;
}

int32_t ToolProgress::ReportError(int32_t code) {
  // itemName holds "step" or "step|detail".
  plat::StringView16 item(itemName, plat::BoundedLength(itemName, sizeof(itemName) / sizeof(itemName[0])));
  plat::StringView16 step = item;
  plat::StringView16 detail;
  size_t bar = item.find(u'|');
  if (bar != plat::StringView16::npos) {
    step = item.substr(0, bar);
    detail = item.substr(bar + 1);
  }
  uint32_t event = static_cast<uint32_t>(code);
  if (event == static_cast<uint32_t>(ARC_ERROR_NO_MATCH)) {
    ++noMatches_;
  } else {
    ++errors_;
  }
  // After an interrupt a call it cut short fails; the command reports the cancel.
  if (plat::InterruptRequested()) return 0;
  std::string message = plat::ToUtf8(step) + ": " + DescribeErrorEvent(event);
  if (!detail.empty()) {
    message += ": " + plat::ToUtf8(detail);
  } else if (!currentName_.empty()) {
    // Steps that name no file still happened to one: the file in progress.
    message += " (" + plat::ToUtf8(currentName_) + ")";
  }
  ErrorLine(message);
  return 0;
}

int32_t ToolProgress::ReportStatus(int32_t code) {
  switch (code) {
    case ARC_EVENT_EXTRACT_START:
    case ARC_EVENT_ADD_START:
    case ARC_EVENT_VERIFY_START:
      ++started_;
      lastStarted_.assign(itemName, plat::BoundedLength(itemName, sizeof(itemName) / sizeof(itemName[0])));
      currentName_ = lastStarted_;
      Draw(false);
      break;
    case ARC_EVENT_ASK_REPLACE:
    case ARC_EVENT_ASK_REPLACE_READONLY:
      // The answer must be in status before this returns; a pending Ctrl-C wins.
      if (plat::InterruptRequested()) {
        status.store(ARC_E_CANCELLED);
      } else {
        status.store(Answer(code));
      }
      break;
    case ARC_EVENT_SKIPPED:
      ++skipped_;
      break;
    case ARC_EVENT_SKIPPED_NAME:
    case ARC_EVENT_SKIPPED_SPECIAL:
    case ARC_EVENT_SKIPPED_FOLDER_LINK: {
      ++leftOut_;
      const char* why = code == ARC_EVENT_SKIPPED_NAME ? "a name an archive cannot hold (see --strict)"
                        : code == ARC_EVENT_SKIPPED_SPECIAL
                            ? "not a regular file or folder (a FIFO, socket, device or broken link)"
                            : "a link to a folder, not followed";
      ErrorLine("skipped " + plat::ToUtf8(plat::StringView16(itemName, plat::BoundedLength(itemName, 260))) + ": " +
                why);
      break;
    }
    default:
      break;
  }
  if (plat::InterruptRequested()) status.store(ARC_E_CANCELLED);
  return 0;
}

int32_t ToolProgress::AddProgress(uint32_t countLow, int32_t countHigh) {
  CZoArchiveProgress::AddProgress(countLow, countHigh);
  if (Cancelled()) {
    status.store(ARC_E_CANCELLED);
    return ARC_E_CANCELLED;
  }
  Draw(false);
  return 0;
}

int32_t ToolProgress::Answer(int32_t question) {
  bool readOnly = question == ARC_EVENT_ASK_REPLACE_READONLY;
  switch (policy_) {
    case ReplacePolicy::Overwrite: return ARC_ANSWER_REPLACE_ALL;
    case ReplacePolicy::Skip: return ARC_ANSWER_SKIP_ALL;
    case ReplacePolicy::Ask: break;
  }
  if (interactive_) return AskOnTerminal(readOnly);
  // Nobody to ask: keep what exists, and say so.
  ++refusals_;
  std::string what = plat::ToUtf8(plat::StringView16(itemName, plat::BoundedLength(itemName, 260)));
  if (refusals_ <= kRefusalMessages) {
    if (subject_ == QuestionSubject::Entry) {
      ErrorLine("entry " + what + " exists in the archive; kept (not a terminal: use --replace to replace it)");
    } else {
      ErrorLine(what + " exists; not replaced (not a terminal: use --overwrite or --skip-existing)");
    }
  } else if (refusals_ == kRefusalMessages + 1) {
    ErrorLine("more existing items kept; not reporting each");
  }
  return ARC_ANSWER_SKIP;
}

int32_t ToolProgress::AskOnTerminal(bool readOnly) {
  ClearLine();
  std::string what = TerminalSafe(plat::ToUtf8(plat::StringView16(itemName, plat::BoundedLength(itemName, 260))), false);
  std::string question;
  if (subject_ == QuestionSubject::Entry) {
    question = "entry " + what + " exists in the archive. Replace it?";
  } else {
    question = what + (readOnly ? " exists and is read-only. Replace it?" : " exists. Replace it?");
  }
  question += " [y]es, [A]ll, [n]o, [N]one, [c]ancel: ";
  FlushOut();
  plat::WriteText(plat::StandardStream::Error, question);
  for (;;) {
    int key = plat::ReadKey();
    const char* echo = nullptr;
    int32_t answer = 0;
    switch (key) {
      case 'y': echo = "yes"; answer = ARC_ANSWER_REPLACE; break;
      case 'A': echo = "all"; answer = ARC_ANSWER_REPLACE_ALL; break;
      case 'n': echo = "no"; answer = ARC_ANSWER_SKIP; break;
      case 'N': echo = "none"; answer = ARC_ANSWER_SKIP_ALL; break;
      case 'c': case 'C': case 0x1B:
        echo = "cancel";
        answer = ARC_E_CANCELLED;
        break;
      case plat::kKeyEndOfInput:
      case plat::kKeyInterrupted:
      case plat::kKeyNotTerminal:
        echo = "cancel";
        answer = ARC_E_CANCELLED;
        break;
      default:
        continue;  // any other key: wait for a valid one
    }
    plat::WriteText(plat::StandardStream::Error, std::string(echo) + "\n");
    if (answer == ARC_E_CANCELLED) userCancelled_ = true;
    return answer;
  }
}

}  // namespace ach
