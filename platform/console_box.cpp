// Console message boxes and folder prompt over a text channel; no OS dependency
// beyond the platform's own path and directory queries.
#include "platform/console_box.h"

#include <mutex>

#include "platform/directory.h"
#include "platform/paths.h"
#include "platform/terminal.h"

namespace plat {

namespace {

// One conversation at a time on the process's console.
std::mutex& ConversationLock() {
  static std::mutex lock;
  return lock;
}

// "&Yes" -> "Yes"; "&&" -> "&".
String16 StripMnemonic(const ZoChar* label) {
  String16 out;
  for (const ZoChar* p = label ? label : u""; *p; ++p) {
    if (*p == u'&') {
      if (p[1] == u'&') {
        out += u'&';
        ++p;
      }
      continue;
    }
    out += *p;
  }
  return out;
}

// The mnemonic character (0 when the label has none).
ZoChar MnemonicOf(const ZoChar* label) {
  for (const ZoChar* p = label ? label : u""; *p; ++p) {
    if (*p != u'&') continue;
    if (p[1] == u'&') {
      ++p;
      continue;
    }
    return p[1];
  }
  return 0;
}

// The label without a parenthesised mnemonic such as "(&Y)": "はい(&Y)" -> "はい".
String16 WithoutParenthesisedMnemonic(const ZoChar* label) {
  const String16 text(label ? label : u"");
  const size_t open = text.find(u"(&");
  if (open == String16::npos || open + 3 >= text.size() || text[open + 3] != u')') return String16();
  String16 out = text.substr(0, open) + text.substr(open + 4);
  while (!out.empty() && out.back() == u' ') out.pop_back();
  return StripMnemonic(out.c_str());
}

StringView16 Trim(StringView16 text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

void WriteButtons(ConsoleChannel& channel, const BoxButton* buttons, int count, int defaultIndex) {
  String16 line;
  for (int i = 0; i < count; ++i) {
    if (i > 0) line += u"  ";
    const String16 label = ConsoleButtonLabel(buttons[i].label);
    line += (i == defaultIndex && count > 1) ? u"<" + label + u">" : label;
  }
  line += u" > ";
  channel.Write(line);
}

// Asks until a button is chosen; the index chosen.
int AskButtons(ConsoleChannel& channel, const BoxButton* buttons, int count, int defaultIndex) {
  for (;;) {
    WriteButtons(channel, buttons, count, defaultIndex);
    String16 line;
    if (!channel.ReadLine(&line)) {
      channel.Write(u"\nend of input: " + StripMnemonic(buttons[defaultIndex].label) + u"\n");
      return defaultIndex;
    }
    const StringView16 answer = Trim(line);
    if (answer.empty()) return defaultIndex;
    const int chosen = MatchConsoleAnswer(answer, buttons, count);
    if (chosen >= 0) return chosen;
  }
}

void WriteHeader(ConsoleChannel& channel, const ZoChar* caption, const ZoChar* text) {
  String16 out = u"\n";
  if (caption && *caption) out += String16(caption) + u"\n";
  out += String16(text ? text : u"") + u"\n";
  channel.Write(out);
}

int ClampIndex(int index, int count) { return index < 0 ? 0 : (index >= count ? count - 1 : index); }

}  // namespace

String16 PlainLabel(const ZoChar* label) {
  String16 bare = WithoutParenthesisedMnemonic(label);
  return bare.empty() ? StripMnemonic(label) : bare;
}

String16 ConsoleButtonLabel(const ZoChar* label) {
  const ZoChar mnemonic = MnemonicOf(label);
  if (mnemonic == 0) return u"[" + StripMnemonic(label) + u"]";
  String16 out;
  bool marked = false;
  for (const ZoChar* p = label; *p; ++p) {
    if (*p == u'&') {
      if (p[1] == u'&') {
        out += u'&';
        ++p;
      } else if (!marked && p[1]) {
        out += u'[';
        out += p[1];
        out += u']';
        ++p;
        marked = true;
      }
      continue;
    }
    out += *p;
  }
  return out;
}

int MatchConsoleAnswer(StringView16 answer, const BoxButton* buttons, int count) {
  answer = Trim(answer);
  if (answer.empty()) return -1;
  for (int i = 0; i < count; ++i) {
    const ZoChar mnemonic = MnemonicOf(buttons[i].label);
    if (answer.size() == 1 && mnemonic != 0 && FoldAscii(answer[0]) == FoldAscii(mnemonic)) return i;
  }
  for (int i = 0; i < count; ++i) {
    if (EqualsNoCase(answer, StripMnemonic(buttons[i].label))) return i;
    const String16 bare = WithoutParenthesisedMnemonic(buttons[i].label);
    if (!bare.empty() && EqualsNoCase(answer, bare)) return i;
  }
  return -1;
}

int32_t RunConsoleMessageBox(const MessageBoxRequest& request, ConsoleChannel& channel) {
  if (!request.buttons || request.buttonCount <= 0) return 0;
  std::lock_guard<std::mutex> guard(ConversationLock());
  WriteHeader(channel, request.caption, request.text);
  const int chosen =
      AskButtons(channel, request.buttons, request.buttonCount, ClampIndex(request.defaultIndex, request.buttonCount));
  return request.buttons[chosen].id;
}

int32_t RunConsoleCustomBox(const CustomBoxRequest& request, ConsoleChannel& channel) {
  if (!request.buttons || request.buttonCount <= 0) return 0;
  std::lock_guard<std::mutex> guard(ConversationLock());
  WriteHeader(channel, request.caption, request.text);
  if (request.details) channel.Write(u"\n" + String16(request.details) + u"\n\n");
  const int chosen =
      AskButtons(channel, request.buttons, request.buttonCount, ClampIndex(request.defaultIndex, request.buttonCount));
  if (request.checkState) {
    const BoxButton yesNo[2] = {{1, request.yesLabel ? request.yesLabel : u"&Yes"},
                                {0, request.noLabel ? request.noLabel : u"&No"}};
    channel.Write(StripMnemonic(request.checkLabel) + u"\n");
    const int answer = AskButtons(channel, yesNo, 2, *request.checkState ? 0 : 1);
    *request.checkState = yesNo[answer].id;
  }
  return request.buttons[chosen].id;
}

ZoResult RunConsoleFolderPrompt(const FolderRequest& request, ConsoleChannel& channel) {
  if (!request.path || request.capacity < static_cast<uint32_t>(ZO_MAX_PATH)) return E_INVALIDARG;
  String16 start;
  if (request.startAtPath) {
    start.assign(request.path, BoundedLength(request.path, request.capacity));
  } else {
    ZoChar cwd[ZO_MAX_PATH * 4];
    const uint32_t n = GetCurrentDirectory(cwd, ZO_MAX_PATH * 4);
    if (n > 0 && n < ZO_MAX_PATH * 4) start.assign(cwd, n);
  }
  std::unique_lock<std::mutex> guard(ConversationLock());
  for (;;) {
    String16 prompt = u"\n";
    if (request.title && *request.title) prompt += String16(request.title) + u"\n";
    prompt += u"[" + start + u"] > ";
    channel.Write(prompt);
    String16 line;
    if (!channel.ReadLine(&line)) {
      channel.Write(u"\nend of input: cancelled\n");
      return ARC_E_CANCELLED;
    }
    const StringView16 typed = Trim(line);
    const String16 name = typed.empty() ? start : String16(typed);
    ZoChar full[ZO_MAX_PATH * 4];
    const uint32_t n = name.empty() ? 0 : GetFullPath(name.c_str(), full, ZO_MAX_PATH * 4);
    if (n > 0 && n < request.capacity && n < ZO_MAX_PATH * 4 && IsDirectory(full)) {
      // A root keeps its separator; any other folder is handed back without one.
      uint32_t length = n;
      if (length > 1 && (full[length - 1] == u'/' || full[length - 1] == u'\\') && full[length - 2] != u':') --length;
      CopyTruncated(request.path, request.capacity, StringView16(full, length));
      return S_OK;
    }
    if (request.reportInvalidName) {
      // The report may be a box of its own on this console: let it talk.
      guard.unlock();
      request.reportInvalidName(nullptr, name.c_str());
      guard.lock();
    }
  }
}

namespace {

// Standard input through the unbuffered line reader (nothing after the line is
// taken, so the next box or another reader of standard input gets it), standard
// error as UTF-8. A pending interrupt ends the box like the end of input: the
// default button answers, and the program sees the interrupt afterwards.
class StandardChannel final : public ConsoleChannel {
 public:
  bool ReadLine(String16* line) override { return ReadInputLine(line) == InputLine::Line; }
  void Write(StringView16 text) override { WriteText(StandardStream::Error, ToUtf8(text)); }
};

}  // namespace

ConsoleChannel& StandardConsole() {
  static StandardChannel channel;
  return channel;
}

}  // namespace plat
