// The installer's command line: words, switches, response files.
//
// ParseCommandLine splits the process's command line into words (SplitWords),
// turns them into CommandOption items in command-line order, applies them to
// g_installer, and shows the help, the "Invalid Argument" boxes or the error
// box. A negative result ends the run before any file is touched.
//
// Switches begin with "-", "/" or "--" and are named without regard to case;
// a value follows after ":" in the same word or as the next word (one that
// does not itself begin with "-" or "/"):
//   -run:C:\Files   /RUN C:\Files   --run "C:\My Files"   -nosetup:1
// "@file" (or "@" and the file as the next word) reads more words from a
// response file: the system's 8-bit code page on Windows, UTF-8 on POSIX.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/results.h"
#include "platform/text.h"
#include "platform/types.h"

// Item kinds.
inline constexpr int32_t OPT_RESPONSE_FILE = 1;
inline constexpr int32_t OPT_HELP = 2;
inline constexpr int32_t OPT_PLAIN = 3;  // a word that is not a switch
inline constexpr int32_t OPT_RUN = 4;
inline constexpr int32_t OPT_NOSETUP = 5;
inline constexpr int32_t OPT_LOG = 6;
inline constexpr int32_t OPT_DEBUG = 7;
inline constexpr int32_t OPT_TRACE = 8;
inline constexpr int32_t OPT_POST_INSTALL = 9;
// The switches of unattended runs and of looking inside the package.
inline constexpr int32_t OPT_QUIET = 10;
inline constexpr int32_t OPT_PASSIVE = 11;
inline constexpr int32_t OPT_TARGET = 12;
inline constexpr int32_t OPT_LIST = 13;
inline constexpr int32_t OPT_TEST = 14;
inline constexpr int32_t OPT_EXTRACT = 15;

// One parsed item. `value` points into the word buffer the item was built
// from, so the buffer outlives the items.
struct CommandOption {
  int32_t kind;
  int32_t takesValue;  // 1 when the switch requires a value
  const ZoChar* value;  // null when none was given
};

// One row of the option table.
struct CommandOptionName {
  const ZoChar* name;
  int32_t kind;
  int32_t takesValue;
  const ZoChar* defaultValue;  // null in every row: a missing value gets none
};

// The option table in lookup order: the installer's first eight rows, then the
// switches of unattended runs (-quiet, -passive, -target DIR) and of looking
// inside the package (-list, -test, -extract DIR).
inline constexpr int kCommandOptionCount = 14;
extern const CommandOptionName kCommandOptionTable[kCommandOptionCount];

// Longest switch name kept when a ":" ends it (longer names are cut).
inline constexpr int kMaxSwitchName = 63;
// Nesting of response files naming response files, and response files read by
// one parse in all; beyond either the read fails as INST_E_RESPONSE_FILE and
// nothing more is applied (a file naming itself, directly or through others).
inline constexpr int kMaxResponseFileDepth = 16;
inline constexpr int kMaxResponseFiles = 256;

// The words of a text, cut in place in the buffer's own copy of the text. One
// allocation: a null-terminated array of word pointers (one slot per unit of
// the text, plus one) followed by the copy. Move-only; frees itself.
class WordBuffer {
 public:
  WordBuffer() = default;
  WordBuffer(WordBuffer&& other) noexcept;
  WordBuffer& operator=(WordBuffer&& other) noexcept;
  WordBuffer(const WordBuffer&) = delete;
  WordBuffer& operator=(const WordBuffer&) = delete;
  ~WordBuffer();

  int Count() const { return count_; }
  // The pointer array, ending with a null pointer; null when there is no word.
  ZoChar* const* Words() const { return words_; }

 private:
  friend ZoResult SplitWords(const ZoChar* text, WordBuffer* out);
  ZoChar** words_ = nullptr;
  int count_ = 0;
};

// Splits `text` into words. White space (Unicode's) separates words; a double
// quote is removed and switches quoting on or off, and inside quotes white
// space stays and "" is one literal quote:
//   a"b c"d => ab cd     ""  => (one empty word)     "say ""hi""" => say "hi"
// 0 with the words, 1 when the text is null, empty or only white space (no
// buffer then), E_OUTOFMEMORY when the buffer cannot be allocated.
ZoResult SplitWords(const ZoChar* text, WordBuffer* out);
// The same rules, the words copied out. False only when memory runs out.
bool SplitWordsToList(const ZoChar* text, std::vector<plat::String16>* words);

// Parses and applies the command line `text`, skipping its first word (the
// program) when `skipFirst`. 0 on success, 1 when there was nothing to parse;
// E_INVALIDARG, INST_E_HELP_SHOWN, INST_E_RESPONSE_FILE, E_OUTOFMEMORY or a
// list error on failure. Boxes go through ZoMsgBox / ZoMessageBox; the help
// texts come from g_installer.language.
ZoResult ParseCommandLine(const ZoChar* text, bool skipFirst);

// Reads the run mode and the log path from the words of `text` (the first word
// skipped) before anything is applied, so that a quiet or passive run is known
// as such before its first box, even when the rest of the line is invalid and
// nothing of it is applied. Only well-formed -quiet, -passive and -log FILE
// words count (a later one wins); nothing else is looked at, and response files
// are not read here (their switches take effect when they are applied).
void ScanUnattendedSwitches(const ZoChar* text);
