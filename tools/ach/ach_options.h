// ach's command line: the commands, their options and operands, parsed from the
// UTF-16 arguments into one Options record, and the usage texts.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace ach {

// The tool's exit statuses.
enum ExitCode : int {
  kExitOk = 0,
  kExitPartial = 1,   // nothing matched, or files were skipped
  kExitUsage = 2,     // the command line is wrong
  kExitFailure = 3,   // the archive or the files failed (or the user cancelled)
};

enum class Command { None, List, Extract, Test, Create, Add, Delete, Comment, Sfx, Unsfx, Split, Merge, Package };

// What happens when a file to be written (or an entry to be added) exists.
enum class ReplacePolicy { Ask, Overwrite, Skip };

struct Options {
  Command command = Command::None;
  bool help = false;  // --help given (for the command, or alone)

  plat::String16 archive;                // the first operand of every command
  std::vector<plat::String16> operands;  // patterns, paths, or the command's fixed operands

  // list
  bool json = false;
  // extract, unsfx
  plat::String16 outputFolder;  // -o DIR (extract); empty: the current folder
  bool flat = false;
  ReplacePolicy replace = ReplacePolicy::Ask;
  // create, add
  int level = 6;          // deflate level 0..9
  bool store = false;     // --store: entries are stored, not deflated
  bool recurse = false;   // -r
  bool hasFolder = false;
  plat::String16 folder;  // --folder NAME
  bool replaceEntries = false;  // add --replace
  bool strict = false;          // --strict: a name an archive cannot hold fails the command
  int threads = 0;              // -j N: compressing threads; 0: one per processor
  // comment
  bool setComment = false;
  plat::String16 commentText;
  // split
  int64_t volumeSize = 0;
  // package: the settings come from --settings FILE or from the options below
  // (each, when given, replaces the built-in default)
  plat::String16 settingsFile;
  std::optional<plat::String16> packageName, packageTitle, packageTarget, packageSetup, packageSetupParams;
  std::optional<uint32_t> packageLcid;
  std::optional<int32_t> packageExtractToTemp;
  plat::String16 banner;  // --banner PNG
  plat::String16 stub;    // --stub STUB; empty: sfxstub beside ach
};

// Parses `arguments` (argument 0, the program, excluded). On a usage error it
// returns false and puts a one-line explanation into *error. "--help" anywhere
// makes the parse succeed with help set, whatever else is wrong.
bool ParseCommandLine(const std::vector<plat::String16>& arguments, Options* options, std::string* error);

// A byte count: decimal digits with an optional unit K, M or G (binary
// multiples, either case, optionally followed by B): "4096", "10M", "2gb".
// False for anything else, for zero, and for values beyond 2^62.
bool ParseByteSize(plat::StringView16 text, int64_t* bytes);

// The general usage text, and the text of one command.
const char* GeneralUsage();
const char* CommandUsage(Command command);
const char* CommandName(Command command);

}  // namespace ach
