// Parsing of ach's command line. Options may stand anywhere after the command
// (before, between or after the operands); "--" ends the options, so that an
// operand may begin with a dash.
#include "tools/ach/ach_options.h"

#include <cstring>
#include <new>

namespace ach {

namespace {

using plat::String16;
using plat::StringView16;

struct CommandInfo {
  Command command;
  const char* name;
  int minOperands;  // the archive included
  int maxOperands;  // -1: no limit
  const char* usage;
};

const CommandInfo kCommands[] = {
    {Command::List, "list", 1, 1,
     "usage: ach list [--json] ARCHIVE\n"
     "\n"
     "Shows the entries of ARCHIVE: name, size, packed size, ratio, method,\n"
     "CRC-32, time and attributes, with totals and the archive comment.\n"
     "\n"
     "  --json   one JSON object instead of the table\n"},
    {Command::Extract, "extract", 1, -1,
     "usage: ach extract ARCHIVE [-o DIR] [--flat] [--overwrite | --skip-existing] [PATTERN...]\n"
     "\n"
     "Unpacks every entry, or the entries matching the patterns (an exact name or\n"
     "file name, *SUFFIX, PREFIX* or *.*), into DIR (default: the current folder).\n"
     "\n"
     "  -o DIR           destination folder (created when missing)\n"
     "  --flat           put every file directly into DIR, without its folders\n"
     "  --overwrite      replace existing files without asking\n"
     "  --skip-existing  keep existing files without asking\n"
     "Without either flag an existing file is asked about on a terminal and kept\n"
     "(and reported) otherwise.\n"},
    {Command::Test, "test", 1, -1,
     "usage: ach test ARCHIVE [PATTERN...]\n"
     "\n"
     "Verifies every entry (or the matching ones) completely: the stored bytes,\n"
     "the unpacked bytes and their size, following the volumes of a split archive.\n"},
    {Command::Create, "create", 2, -1,
     "usage: ach create ARCHIVE [-0..-9 | --store] [-r] [--folder NAME] [--strict] [-j N] PATH...\n"
     "\n"
     "Creates ARCHIVE (replacing it) from files, folders and wildcard patterns.\n"
     "Skipped with a warning (exit status 1): names an archive cannot hold on\n"
     "Windows (a colon, * ? < > | \", a device name such as CON or NUL, a\n"
     "trailing dot or space, a backslash or control character, bytes that are\n"
     "not UTF-8, a path of more than 259 characters), FIFOs, sockets, devices,\n"
     "broken links and links to folders; a link to a file stores the file.\n"
     "\n"
     "  -0 .. -9       deflate level (default 6)\n"
     "  --store        store the files without compression\n"
     "  -r             with a pattern: also add whole folders whose names match\n"
     "  --folder NAME  store each file PATH as NAME\\file name\n"
     "  --strict       a name an archive cannot hold fails the command\n"
     "  -j N           read and compress on N threads (default: one per processor;\n"
     "                 1: no threads); the archive is the same for every N\n"},
    {Command::Add, "add", 2, -1,
     "usage: ach add ARCHIVE [-0..-9 | --store] [-r] [--folder NAME] [--replace] [--strict] [-j N] PATH...\n"
     "\n"
     "Adds files, folders and wildcard matches to an existing ARCHIVE. An entry\n"
     "of the same name is replaced after a question on a terminal; elsewhere it\n"
     "is kept unless --replace is given. Files are skipped as for create.\n"
     "\n"
     "  -0 .. -9, --store, -r, --folder NAME, --strict, -j N   as for create\n"
     "  --replace      replace entries of the same name without asking\n"},
    {Command::Delete, "delete", 2, -1,
     "usage: ach delete ARCHIVE PATTERN...\n"
     "\n"
     "Removes the entries matching the patterns and rewrites ARCHIVE.\n"},
    {Command::Comment, "comment", 1, 2,
     "usage: ach comment ARCHIVE [TEXT]\n"
     "\n"
     "Shows the archive comment, or sets it to TEXT (at most 1023 characters;\n"
     "an empty TEXT removes it).\n"},
    {Command::Sfx, "sfx", 3, 3,
     "usage: ach sfx ARCHIVE STUB OUTPUT\n"
     "\n"
     "Writes OUTPUT: the executable STUB followed by ARCHIVE, a self-extracting\n"
     "package. The volumes of a split ARCHIVE are copied beside OUTPUT.\n"},
    {Command::Unsfx, "unsfx", 2, 2,
     "usage: ach unsfx FILE DIR [--overwrite | --skip-existing]\n"
     "\n"
     "Takes a self-extracting FILE apart into DIR: the stub as Seastub.exe and\n"
     "the plain archive under its stored name.\n"},
    {Command::Split, "split", 2, 2,
     "usage: ach split ARCHIVE SIZE\n"
     "\n"
     "Cuts ARCHIVE into a main file and numbered volumes of SIZE bytes each\n"
     "(a number with an optional K, M or G). A SIZE that would make more than\n"
     "10,000 files is refused.\n"},
    {Command::Package, "package", 2, -1,
     "usage: ach package OUTPUT [--settings FILE | --name N --title T --target DIR --setup PROGRAM\n"
     "                   --setup-params P --lcid N --extract-to-temp 0|1] [--banner PNG] [--stub STUB]\n"
     "                   [-0..-9] PATH...\n"
     "\n"
     "Builds the installer package OUTPUT in one step: the settings file sfxinst.ini,\n"
     "the control archive sfxctrl.ach holding it (and the banner), an archive of\n"
     "sfxctrl.ach and the product files PATH... (added as by create, folders with\n"
     "everything in them), and the installer stub in front. OUTPUT is replaced only\n"
     "when it is complete.\n"
     "\n"
     "  --settings FILE        the settings from FILE (section [Quilletage]); a banner\n"
     "                         it names is taken from FILE's folder\n"
     "  --name N               product name, the token $(AppName)\n"
     "  --title T              product title, the token $(AppName.Title)\n"
     "  --target DIR           proposed target folder (default\n"
     "                         $(ProgramFiles)/Orvande Setup/$(AppName))\n"
     "  --setup PROGRAM        setup program in the target folder (default msisetup.exe)\n"
     "  --setup-params P       its parameters (default -r \"$(Quilletage)\" --sfx)\n"
     "  --lcid N               language: 1033 English (the default 9 is English too),\n"
     "                         1041 Japanese\n"
     "  --extract-to-temp 0|1  1 (default): no question, unpack into the target at once\n"
     "  --banner PNG           the wizard's banner picture\n"
     "  --stub STUB            the installer stub (default: sfxstub beside ach)\n"
     "  -0 .. -9               deflate level (default 6)\n"},
    {Command::Merge, "merge", 1, 1,
     "usage: ach merge ARCHIVE\n"
     "\n"
     "Joins the volumes of a split ARCHIVE back into one file.\n"},
};

const char kGeneralUsage[] =
    "usage: ach COMMAND [OPTIONS] ARCHIVE [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  list [--json] ARCHIVE              show the entries of an archive\n"
    "  extract ARCHIVE [-o DIR] [PATTERN...]  unpack entries\n"
    "  test ARCHIVE [PATTERN...]          verify entries completely\n"
    "  create ARCHIVE [-0..-9|--store] [-r] PATH...  make a new archive\n"
    "  add ARCHIVE [options] PATH...      add files to an archive\n"
    "  delete ARCHIVE PATTERN...          remove entries\n"
    "  comment ARCHIVE [TEXT]             show or set the archive comment\n"
    "  sfx ARCHIVE STUB OUTPUT            make a self-extracting package\n"
    "  unsfx FILE DIR                     take a self-extracting package apart\n"
    "  split ARCHIVE SIZE                 cut an archive into volumes\n"
    "  merge ARCHIVE                      join the volumes of an archive\n"
    "  package OUTPUT [options] PATH...   build an installer package in one step\n"
    "\n"
    "ach COMMAND --help shows the options of a command.\n"
    "Exit status: 0 success, 1 nothing matched or files skipped, 2 usage error,\n"
    "3 failure of the archive or the files (also after Ctrl-C).\n";

const CommandInfo* FindCommand(StringView16 name) {
  for (const CommandInfo& info : kCommands) {
    if (name == plat::U16(info.name)) return &info;
  }
  return nullptr;
}

bool IsOption(StringView16 argument) { return argument.size() >= 2 && argument[0] == u'-'; }

// Which options each command accepts.
bool Accepts(Command command, StringView16 option) {
  auto is = [&](const char* name) { return option == plat::U16(name); };
  bool isLevel = option.size() == 2 && option[0] == u'-' && option[1] >= u'0' && option[1] <= u'9';
  switch (command) {
    case Command::List: return is("--json");
    case Command::Extract:
      return is("-o") || is("--flat") || is("--overwrite") || is("--skip-existing");
    case Command::Create:
      return isLevel || is("--store") || is("-r") || is("--folder") || is("--strict") || is("-j");
    case Command::Add:
      return isLevel || is("--store") || is("-r") || is("--folder") || is("--replace") || is("--strict") ||
             is("-j");
    case Command::Unsfx: return is("--overwrite") || is("--skip-existing");
    case Command::Package:
      return isLevel || is("--settings") || is("--name") || is("--title") || is("--target") || is("--setup") ||
             is("--setup-params") || is("--lcid") || is("--extract-to-temp") || is("--banner") || is("--stub") ||
             is("-j");
    default: return false;
  }
}

bool ParseInto(const std::vector<String16>& arguments, Options* options, std::string* error) {
  *options = Options();
  if (arguments.empty()) {
    *error = "no command given";
    return false;
  }
  for (const String16& argument : arguments) {
    if (argument == u"--") break;
    if (argument == u"--help" || argument == u"-h") options->help = true;
  }
  const String16& first = arguments[0];
  if (first == u"--help" || first == u"-h") {
    options->help = true;
    return true;
  }
  const CommandInfo* info = FindCommand(first);
  if (!info) {
    *error = "unknown command '" + plat::ToUtf8(first) + "'";
    return false;
  }
  options->command = info->command;
  if (options->help) return true;

  std::vector<String16> operands;
  bool levelGiven = false;
  bool optionsEnded = false;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const String16& argument = arguments[i];
    if (optionsEnded || !IsOption(argument)) {
      operands.push_back(argument);
      continue;
    }
    if (argument == u"--") {
      optionsEnded = true;
      continue;
    }
    if (!Accepts(info->command, argument)) {
      *error = "'" + plat::ToUtf8(argument) + "' is not an option of " + info->name;
      return false;
    }
    auto takeValue = [&](String16* out) {
      if (i + 1 >= arguments.size()) {
        *error = "'" + plat::ToUtf8(argument) + "' needs a value";
        return false;
      }
      *out = arguments[++i];
      return true;
    };
    if (argument == u"--json") {
      options->json = true;
    } else if (argument == u"-o") {
      if (!takeValue(&options->outputFolder)) return false;
      if (options->outputFolder.empty()) {
        *error = "'-o' needs a folder";
        return false;
      }
    } else if (argument == u"--flat") {
      options->flat = true;
    } else if (argument == u"--overwrite" || argument == u"--skip-existing") {
      ReplacePolicy wanted = argument == u"--overwrite" ? ReplacePolicy::Overwrite : ReplacePolicy::Skip;
      if (options->replace != ReplacePolicy::Ask && options->replace != wanted) {
        *error = "--overwrite and --skip-existing exclude each other";
        return false;
      }
      options->replace = wanted;
    } else if (argument == u"--store") {
      if (levelGiven) {
        *error = "--store and a level -0..-9 exclude each other";
        return false;
      }
      options->store = true;
    } else if (argument == u"-r") {
      options->recurse = true;
    } else if (argument == u"--folder") {
      if (!takeValue(&options->folder)) return false;
      options->hasFolder = true;
    } else if (argument == u"--replace") {
      options->replaceEntries = true;
    } else if (argument == u"--strict") {
      options->strict = true;
    } else if (argument == u"--settings" || argument == u"--banner" || argument == u"--stub") {
      String16* target = argument == u"--settings" ? &options->settingsFile
                         : argument == u"--banner" ? &options->banner
                                                   : &options->stub;
      if (!takeValue(target)) return false;
      if (target->empty()) {
        *error = "'" + plat::ToUtf8(argument) + "' needs a file";
        return false;
      }
    } else if (argument == u"--name" || argument == u"--title" || argument == u"--target" ||
               argument == u"--setup" || argument == u"--setup-params") {
      std::optional<String16>* target = argument == u"--name"     ? &options->packageName
                                        : argument == u"--title"  ? &options->packageTitle
                                        : argument == u"--target" ? &options->packageTarget
                                        : argument == u"--setup"  ? &options->packageSetup
                                                                  : &options->packageSetupParams;
      String16 value;
      if (!takeValue(&value)) return false;
      *target = value;
    } else if (argument == u"--lcid") {
      String16 value;
      if (!takeValue(&value)) return false;
      uint64_t number = 0;
      bool digits = !value.empty() && value.size() <= 10;
      for (ZoChar c : value) {
        digits = digits && c >= u'0' && c <= u'9';
        if (digits) number = number * 10 + static_cast<uint64_t>(c - u'0');
      }
      if (!digits || number > 0xFFFFFFFFu) {
        *error = "'--lcid' takes a decimal language identifier such as 1033 or 1041";
        return false;
      }
      options->packageLcid = static_cast<uint32_t>(number);
    } else if (argument == u"--extract-to-temp") {
      String16 value;
      if (!takeValue(&value)) return false;
      if (value != u"0" && value != u"1") {
        *error = "'--extract-to-temp' takes 0 or 1";
        return false;
      }
      options->packageExtractToTemp = value == u"1" ? 1 : 0;
    } else if (argument == u"-j") {
      String16 count;
      if (!takeValue(&count)) return false;
      int n = count.empty() || count.size() > 2 ? -1 : 0;
      for (ZoChar c : count) {
        if (c < u'0' || c > u'9') n = -1;
        if (n >= 0) n = n * 10 + (c - u'0');
      }
      if (n < 1 || n > 64) {
        *error = "'-j' needs a thread count from 1 to 64";
        return false;
      }
      options->threads = n;
    } else {  // a level -0..-9, the only option left that Accepts lets through
      if (options->store) {
        *error = "--store and a level -0..-9 exclude each other";
        return false;
      }
      options->level = argument[1] - u'0';
      levelGiven = true;
    }
  }

  int count = static_cast<int>(operands.size());
  if (count < info->minOperands || (info->maxOperands >= 0 && count > info->maxOperands)) {
    *error = count < info->minOperands ? std::string("missing operands for ") + info->name
                                       : std::string("too many operands for ") + info->name;
    return false;
  }
  if (operands[0].empty()) {
    *error = "the archive name is empty";
    return false;
  }
  options->archive = operands[0];
  options->operands.assign(operands.begin() + 1, operands.end());
  if (!options->settingsFile.empty() &&
      (options->packageName || options->packageTitle || options->packageTarget || options->packageSetup ||
       options->packageSetupParams || options->packageLcid || options->packageExtractToTemp)) {
    *error = "--settings excludes --name, --title, --target, --setup, --setup-params, --lcid and --extract-to-temp";
    return false;
  }

  switch (info->command) {
    case Command::Comment:
      if (!options->operands.empty()) {
        options->setComment = true;
        options->commentText = options->operands[0];
      }
      break;
    case Command::Split:
      if (!ParseByteSize(options->operands[0], &options->volumeSize)) {
        *error = "'" + plat::ToUtf8(options->operands[0]) + "' is not a size (bytes, or a number with K, M or G)";
        return false;
      }
      break;
    default:
      break;
  }
  for (const String16& operand : options->operands) {
    if (operand.empty() && info->command != Command::Comment) {
      *error = "an empty operand was given";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<String16>& arguments, Options* options, std::string* error) {
  try {
    return ParseInto(arguments, options, error);
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    return false;
  }
}

bool ParseByteSize(StringView16 text, int64_t* bytes) {
  constexpr uint64_t kLimit = uint64_t{1} << 62;
  size_t i = 0;
  uint64_t value = 0;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
    uint64_t digit = static_cast<uint64_t>(text[i] - u'0');
    if (value > (kLimit - digit) / 10) return false;  // checked before it could wrap
    value = value * 10 + digit;
    ++i;
  }
  if (i == 0) return false;
  uint64_t multiplier = 1;
  if (i < text.size()) {
    switch (plat::FoldAscii(text[i])) {
      case u'k': multiplier = uint64_t{1} << 10; break;
      case u'm': multiplier = uint64_t{1} << 20; break;
      case u'g': multiplier = uint64_t{1} << 30; break;
      default: return false;
    }
    ++i;
    if (i < text.size() && plat::FoldAscii(text[i]) == u'b') ++i;
  }
  if (i != text.size() || value == 0 || value > kLimit / multiplier) return false;
  *bytes = static_cast<int64_t>(value * multiplier);
  return true;
}

const char* GeneralUsage() { return kGeneralUsage; }

const char* CommandUsage(Command command) {
  for (const CommandInfo& info : kCommands) {
    if (info.command == command) return info.usage;
  }
  return kGeneralUsage;
}

const char* CommandName(Command command) {
  for (const CommandInfo& info : kCommands) {
    if (info.command == command) return info.name;
  }
  return "ach";
}

}  // namespace ach
