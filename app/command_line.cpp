// The installer's command line: the word splitter, the option table, building
// the items from words, applying them to g_installer, response files, and the
// help, "Invalid Argument" and error boxes.
//
// Response files are bounded: they may nest kMaxResponseFileDepth deep and one
// parse reads at most kMaxResponseFiles of them, so a file naming itself
// (directly or through others) ends as an unreadable response file would,
// instead of recursing without end.
#include "app/command_line.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "app/installer_state.h"
#include "platform/paths.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/locale.h"
#include "runtime/path_lexical.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_list.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_printf.h"

const CommandOptionName kCommandOptionTable[kCommandOptionCount] = {
    {u"RUN", OPT_RUN, 1, nullptr},
    {u"NOSETUP", OPT_NOSETUP, 1, nullptr},
    {u"POST_INSTALL", OPT_POST_INSTALL, 1, nullptr},
    {u"LOG", OPT_LOG, 1, nullptr},
    {u"DEBUG", OPT_DEBUG, 1, nullptr},
    {u"TRACE", OPT_TRACE, 1, nullptr},
    {u"HELP", OPT_HELP, 0, nullptr},
    {u"?", OPT_HELP, 0, nullptr},
    {u"QUIET", OPT_QUIET, 0, nullptr},
    {u"PASSIVE", OPT_PASSIVE, 0, nullptr},
    {u"TARGET", OPT_TARGET, 1, nullptr},
    {u"LIST", OPT_LIST, 0, nullptr},
    {u"TEST", OPT_TEST, 0, nullptr},
    {u"EXTRACT", OPT_EXTRACT, 1, nullptr},
};

namespace {

constexpr uint32_t kStringHelpCaption = 600;
constexpr uint32_t kStringHelpText = 601;
constexpr int kHelpCaptionCapacity = 1024;
constexpr int kHelpTextCapacity = 4096;
constexpr uint32_t kExclamation = 0x30;
// A response file is read whole into memory; beyond this it counts as not
// allocatable (the conversion's lengths are 32-bit).
constexpr uint64_t kMaxResponseFileBytes = 0x7FFFFFF0u;

bool IsSwitchStart(ZoChar c) { return c == u'-' || c == u'/'; }

struct ListDestroy {
  void operator()(ZoList* list) const { ZoList_Destroy(list); }
};
using ListHolder = std::unique_ptr<ZoList, ListDestroy>;

struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};

// What one parse shares across its response files.
struct ParseContext {
  int depth = 0;       // response files open around the words being applied
  int filesRead = 0;   // response files this parse has tried to read
  bool abandoned = false;  // a nesting limit was hit: apply nothing more
};

ZoResult BuildAndApply(ParseContext& context, ZoChar* const* words, int first, int last);

const CommandOptionName* FindOption(plat::StringView16 name) {
  for (const CommandOptionName& row : kCommandOptionTable) {
    if (plat::EqualsNoCase(name, row.name)) return &row;
  }
  return nullptr;
}

// A switch word taken apart: its name (cut to kMaxSwitchName units when a ":"
// ends it) and the text after the ":" (null without one).
struct SwitchWord {
  ZoChar cutName[kMaxSwitchName + 1] = {};
  plat::StringView16 name;
  const ZoChar* inlineValue = nullptr;
};

// False for a bare "-", "/" or "--". `word` begins with "-" or "/".
bool SplitSwitch(const ZoChar* word, SwitchWord* out) {
  const ZoChar* name = word + 1;
  if (*name == u'-') ++name;  // -run, /run and --run are one switch
  if (*name == 0) return false;
  // A ":" ends the name from its second character on, so "-:" is named ":".
  const ZoChar* colon = nullptr;
  for (const ZoChar* p = name + 1; *p; ++p) {
    if (*p == u':') {
      colon = p;
      break;
    }
  }
  out->name = plat::StringView16(name);
  out->inlineValue = nullptr;
  if (colon) {
    plat::CopyTruncated(out->cutName, kMaxSwitchName + 1, plat::StringView16(name, static_cast<size_t>(colon - name)));
    out->name = out->cutName;
    out->inlineValue = colon + 1;
  }
  return true;
}

// Whether a word in a value's place is a switch instead. Where "/" starts every
// absolute path (POSIX), a word beginning with it is taken as the value, so that
// "-run /opt/tool" works; "-" still marks a switch there, and on Windows both do.
bool EndsValues(ZoChar c) { return c == u'-' || (c == u'/' && plat::kSeparator != u'/'); }

// The next word as a value: there is one within the range and it is not a switch.
const ZoChar* NextValue(ZoChar* const* words, int index, int last) {
  if (index + 1 > last) return nullptr;
  const ZoChar* next = words[index + 1];
  if (!next || EndsValues(next[0])) return nullptr;
  return next;
}

// Builds the items of words first .. last (stopping at a null word) into
// *out (null when no item was built). E_INVALIDARG for a word that cannot
// become an item; a list error as the list returned it.
ZoResult BuildItems(ZoChar* const* words, int first, int last, ListHolder* out) {
  out->reset();
  ZoList* created = nullptr;
  ZoResult result = ZoList_CreateExZ(&created, sizeof(CommandOption), 0, 0, ZO_LIST_IN_PLACE);
  if (ZoFailed(result)) return result;
  ListHolder list(created);

  for (int i = first; i <= last && words[i]; ++i) {
    const ZoChar* word = words[i];
    CommandOption item{OPT_PLAIN, 1, nullptr};
    if (word[0] == u'@') {
      item.kind = OPT_RESPONSE_FILE;
      if (word[1] != 0) {
        item.value = word + 1;
      } else if ((item.value = NextValue(words, i, last)) != nullptr) {
        ++i;
      } else {
        return E_INVALIDARG;
      }
    } else if (IsSwitchStart(word[0])) {
      SwitchWord parts;
      if (!SplitSwitch(word, &parts)) return E_INVALIDARG;
      const ZoChar* inlineValue = parts.inlineValue;
      const CommandOptionName* option = FindOption(parts.name);
      if (!option) return E_INVALIDARG;
      item.kind = option->kind;
      item.takesValue = option->takesValue;
      if (inlineValue && *inlineValue) {
        if (!item.takesValue) return E_INVALIDARG;
        item.value = inlineValue;
      } else if (item.takesValue) {
        if ((item.value = NextValue(words, i, last)) == nullptr) return E_INVALIDARG;
        ++i;
      }
    } else {
      item.value = word;
    }
    result = ZoList_InsertList(list.get(), -1, &item, 1);
    if (ZoFailed(result)) return result;
  }
  if (ZoList_Count(list.get()) > 0) *out = std::move(list);
  return S_OK;
}

void ShowHelp() {
  ZoChar format[kHelpTextCapacity] = {};
  ZoChar caption[kHelpCaptionCapacity] = {};
  ZoChar text[kHelpTextCapacity] = {};
  ZoLoadString(g_installer.language, kStringHelpCaption, format, kHelpCaptionCapacity);
  ZoPrintFEx(caption, kHelpCaptionCapacity, format);
  ZoLoadString(g_installer.language, kStringHelpText, format, kHelpTextCapacity);
  ZoPrintFEx(text, kHelpTextCapacity, format);
  ZoMessageBox(ZO_MSGBOX_NO_OWNER, text, caption, 0);
}

// Reads the response file `path` and applies its words. The bytes up to the
// first zero byte are text in the system's 8-bit code page.
ZoResult ReadResponseFile(ParseContext& context, const ZoChar* path) {
  if (!path || !*path) return E_INVALIDARG;
  if (context.depth >= kMaxResponseFileDepth || context.filesRead >= kMaxResponseFiles) {
    context.abandoned = true;
    return INST_E_RESPONSE_FILE;
  }
  ++context.filesRead;
  // A pipe or device could block the open or the read without end.
  const uint32_t attributes = plat::GetAttributes(path);
  if (attributes != ZO_INVALID_ATTRIBUTES && (attributes & (ZO_ATTR_DEVICE | ZO_ATTR_DIRECTORY))) {
    return INST_E_RESPONSE_FILE;
  }
  plat::String16 text;
  {
    plat::File file = plat::File::Open(path, plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
    if (!file) return INST_E_RESPONSE_FILE;
    uint64_t size = 0;
    if (!file.Size(&size)) return INST_E_RESPONSE_FILE;
    if (size > kMaxResponseFileBytes) return E_OUTOFMEMORY;
    std::unique_ptr<char, FreeBlock> bytes(static_cast<char*>(std::calloc(static_cast<size_t>(size) + 2, 1)));
    if (!bytes) return E_OUTOFMEMORY;
    size_t got = 0;
    // A read that fails is an unreadable file, not an empty one.
    if (size && !file.Read(bytes.get(), static_cast<size_t>(size), &got)) return INST_E_RESPONSE_FILE;
    const void* zero = std::memchr(bytes.get(), 0, got);
    const size_t textBytes = zero ? static_cast<size_t>(static_cast<const char*>(zero) - bytes.get()) : got;
    text = plat::FromSystemCodePage(std::string_view(bytes.get(), textBytes));
  }
  WordBuffer words;
  ZoResult result = SplitWords(text.c_str(), &words);
  if (result != S_OK) return result;
  ++context.depth;
  result = BuildAndApply(context, words.Words(), 0, words.Count() - 1);
  --context.depth;
  return result;
}

ZoResult ApplyItems(ParseContext& context, const ZoList* list) {
  ZoResult result = S_OK;
  for (int i = 0; i < ZoList_Count(list) && !context.abandoned; ++i) {
    const auto* item = static_cast<const CommandOption*>(ZoList_ItemAt(list, i));
    switch (item->kind) {
      case OPT_RESPONSE_FILE: {
        // The file's result replaces the running one, but a success never
        // hides a failure already reported (an "Invalid Argument" box).
        const ZoResult fileResult = ReadResponseFile(context, item->value);
        if (ZoFailed(fileResult) || ZoSucceeded(result)) result = fileResult;
        break;
      }
      case OPT_HELP:
        ShowHelp();
        result = INST_E_HELP_SHOWN;
        break;
      case OPT_RUN:
        g_installer.runOnly = 1;
        plat::CopyTruncated(g_installer.targetFolder, ZO_MAX_PATH, item->value ? item->value : u"");
        break;
      case OPT_NOSETUP:
        g_installer.noSetup = 1;
        break;
      case OPT_POST_INSTALL:
        g_installer.postInstall = 1;
        break;
      case OPT_LOG:
        plat::CopyTruncated(g_installer.logPath, ZO_MAX_PATH, item->value ? item->value : u"");
        break;
      case OPT_QUIET:
        g_installer.runMode = RUN_MODE_QUIET;
        break;
      case OPT_PASSIVE:
        // The quieter of the two wins, whatever their order.
        if (g_installer.runMode != RUN_MODE_QUIET) g_installer.runMode = RUN_MODE_PASSIVE;
        break;
      case OPT_TARGET:
        g_installer.targetGiven = 1;
        plat::CopyTruncated(g_installer.targetOverride, ZO_MAX_PATH, item->value ? item->value : u"");
        break;
      case OPT_LIST:
        g_installer.lookInside = LOOK_INSIDE_LIST;
        break;
      case OPT_TEST:
        g_installer.lookInside = LOOK_INSIDE_TEST;
        break;
      case OPT_EXTRACT:
        g_installer.lookInside = LOOK_INSIDE_EXTRACT;
        plat::CopyTruncated(g_installer.lookInsideFolder, ZO_MAX_PATH, item->value ? item->value : u"");
        break;
      case OPT_DEBUG:
      case OPT_TRACE:
        break;
      default:
        ZoMsgBox(ZO_MSGBOX_NO_OWNER, kExclamation, u"Invalid Argument: %s\n", item->value ? item->value : u"");
        result = E_INVALIDARG;
        break;
    }
    if (result == INST_E_HELP_SHOWN) break;
  }
  return result;
}

ZoResult BuildAndApply(ParseContext& context, ZoChar* const* words, int first, int last) {
  ListHolder list;
  const ZoResult built = BuildItems(words, first, last, &list);
  if (ZoFailed(built) || !list) return built;
  return ApplyItems(context, list.get());
}

void ShowErrorBox(ZoResult code) {
  plat::String16 text;
  try {
    text = plat::SystemMessageText(static_cast<uint32_t>(code));
  } catch (const std::bad_alloc&) {
    text.clear();
  }
  ZoMsgBox(ZO_MSGBOX_NO_OWNER, kExclamation, u"Error 0x%x: %s \r\n", static_cast<uint32_t>(code), text.c_str());
}

}  // namespace

WordBuffer::WordBuffer(WordBuffer&& other) noexcept : words_(other.words_), count_(other.count_) {
  other.words_ = nullptr;
  other.count_ = 0;
}

WordBuffer& WordBuffer::operator=(WordBuffer&& other) noexcept {
  if (this != &other) {
    std::free(words_);
    words_ = other.words_;
    count_ = other.count_;
    other.words_ = nullptr;
    other.count_ = 0;
  }
  return *this;
}

WordBuffer::~WordBuffer() { std::free(words_); }

ZoResult SplitWords(const ZoChar* text, WordBuffer* out) {
  *out = WordBuffer();
  const size_t length = plat::Length(text);
  if (length == 0) return S_FALSE;
  // One pointer slot per unit plus the final null, then the copy with its
  // terminator; every product and sum is checked in the machine's size type.
  if (length >= static_cast<size_t>(INT32_MAX)) return E_OUTOFMEMORY;
  const size_t slots = length + 1;
  if (slots > SIZE_MAX / sizeof(ZoChar*) || slots > SIZE_MAX / sizeof(ZoChar)) return E_OUTOFMEMORY;
  const size_t pointerBytes = slots * sizeof(ZoChar*);
  const size_t copyBytes = slots * sizeof(ZoChar);
  if (pointerBytes > SIZE_MAX - copyBytes) return E_OUTOFMEMORY;
  void* block = std::calloc(pointerBytes + copyBytes, 1);
  if (!block) return E_OUTOFMEMORY;

  auto** words = static_cast<ZoChar**>(block);
  ZoChar* copy = reinterpret_cast<ZoChar*>(static_cast<unsigned char*>(block) + pointerBytes);
  std::memcpy(copy, text, length * sizeof(ZoChar));
  copy[length] = 0;

  // The word is compacted in place as it is read: `write` trails `read` by the
  // quotes removed so far, so a removed quote costs nothing more.
  int count = 0;
  size_t read = 0;
  for (;;) {
    while (read < length && zo::lexical::IsWhiteSpace(copy[read])) ++read;
    if (read >= length) break;
    words[count++] = copy + read;
    size_t write = read;
    bool quoted = false;
    while (read < length) {
      const ZoChar c = copy[read];
      if (c == u'"') {
        ++read;
        if (!quoted) {
          quoted = true;
        } else if (read < length && copy[read] == u'"') {
          copy[write++] = u'"';  // "" inside quotes: one literal quote, still quoted
          ++read;
        } else {
          quoted = false;
        }
        continue;
      }
      if (!quoted && zo::lexical::IsWhiteSpace(c)) break;
      copy[write++] = c;
      ++read;
    }
    copy[write] = 0;
    if (read < length) ++read;  // past the white space that ended the word
  }
  words[count] = nullptr;
  if (count == 0) {
    std::free(block);
    return S_FALSE;
  }
  out->words_ = words;
  out->count_ = count;
  return S_OK;
}

bool SplitWordsToList(const ZoChar* text, std::vector<plat::String16>* words) {
  try {
    words->clear();
    WordBuffer buffer;
    if (ZoFailed(SplitWords(text, &buffer))) return false;
    words->reserve(static_cast<size_t>(buffer.Count()));
    for (int i = 0; i < buffer.Count(); ++i) words->emplace_back(buffer.Words()[i]);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

ZoResult ParseCommandLine(const ZoChar* text, bool skipFirst) {
  ZoResult result = S_FALSE;
  try {
    WordBuffer words;
    result = SplitWords(text, &words);
    if (result == S_OK) {
      const int first = skipFirst ? 1 : 0;
      ParseContext context;
      result = words.Count() > first ? BuildAndApply(context, words.Words(), first, words.Count() - 1) : S_FALSE;
    }
  } catch (const std::bad_alloc&) {
    result = E_OUTOFMEMORY;
  }
  if (ZoFailed(result) && result != INST_E_HELP_SHOWN && result != E_INVALIDARG) ShowErrorBox(result);
  return result;
}

void ScanUnattendedSwitches(const ZoChar* text) {
  try {
    WordBuffer words;
    if (SplitWords(text, &words) != S_OK) return;
    const int last = words.Count() - 1;
    ZoChar* const* list = words.Words();
    for (int i = 1; i <= last; ++i) {
      const ZoChar* word = list[i];
      if (!IsSwitchStart(word[0])) continue;
      SwitchWord parts;
      if (!SplitSwitch(word, &parts)) continue;
      const CommandOptionName* option = FindOption(parts.name);
      if (!option) continue;
      const bool hasInline = parts.inlineValue && *parts.inlineValue;
      if (option->kind == OPT_QUIET && !hasInline) {
        g_installer.runMode = RUN_MODE_QUIET;
      } else if (option->kind == OPT_PASSIVE && !hasInline) {
        if (g_installer.runMode != RUN_MODE_QUIET) g_installer.runMode = RUN_MODE_PASSIVE;
      } else if (option->kind == OPT_LOG) {
        const ZoChar* value = hasInline ? parts.inlineValue : NextValue(list, i, last);
        if (value) plat::CopyTruncated(g_installer.logPath, ZO_MAX_PATH, value);
      }
    }
  } catch (const std::bad_alloc&) {
    // Without memory for the words nothing is known early; the parse says so.
  }
}
