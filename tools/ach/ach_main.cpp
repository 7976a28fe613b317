// ach: the command-line archive and package tool. The entry point takes the
// UTF-16 arguments from the platform layer, parses them and runs one command.
#include <new>
#include <string>
#include <vector>

#include "platform/terminal.h"
#include "tools/ach/ach_commands.h"
#include "tools/ach/ach_options.h"
#include "tools/ach/ach_output.h"
#include "tools/ach/ach_progress.h"

namespace {

int Dispatch(const ach::Options& options) {
  using ach::Command;
  switch (options.command) {
    case Command::List: return ach::RunList(options);
    case Command::Extract: return ach::RunExtract(options);
    case Command::Test: return ach::RunTest(options);
    case Command::Create: return ach::RunCreate(options);
    case Command::Add: return ach::RunAdd(options);
    case Command::Delete: return ach::RunDelete(options);
    case Command::Comment: return ach::RunComment(options);
    case Command::Sfx: return ach::RunSfx(options);
    case Command::Unsfx: return ach::RunUnsfx(options);
    case Command::Split: return ach::RunSplit(options);
    case Command::Merge: return ach::RunMerge(options);
    case Command::Package: return ach::RunPackage(options);
    case Command::None: break;
  }
  return ach::kExitUsage;
}

int Run(int argc, char** argv) {
  std::vector<plat::String16> arguments = plat::GetCommandLineArguments(argc, argv);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  if (arguments.empty()) {
    plat::WriteText(plat::StandardStream::Error, ach::GeneralUsage());
    return ach::kExitUsage;
  }
  ach::Options options;
  std::string error;
  if (!ach::ParseCommandLine(arguments, &options, &error)) {
    ach::ErrorLine(error + " (try 'ach --help')");
    return ach::kExitUsage;
  }
  if (options.help) {
    ach::Out(options.command == ach::Command::None ? ach::GeneralUsage() : ach::CommandUsage(options.command));
    return ach::FlushOut() ? ach::kExitOk : ach::kExitFailure;
  }
  ach::StartInterruptWatch();
  int status = Dispatch(options);
  if (!ach::FlushOut() && status == ach::kExitOk) status = ach::kExitFailure;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    ach::ErrorLine("out of memory");
    return ach::kExitFailure;
  }
}
