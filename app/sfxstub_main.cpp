// The entry point of the installer stub: the console watches Ctrl-C (the Cancel
// button of the console pages), the command line is taken as one text, and the
// run is the main flow's.
#include <string>

#include "app/installer_state.h"
#include "app/main_flow.h"
#include "platform/terminal.h"
#include "platform/text.h"

namespace {
// INTERIM until the platform gives the command line as one text.
plat::String16 JoinArguments(int argc, char** argv) {
  plat::String16 text;
  for (const plat::String16& argument : plat::GetCommandLineArguments(argc, argv)) {
    if (!text.empty()) text += u' ';
    text += u'"';
    for (ZoChar c : argument) text += c == u'"' ? plat::String16(u"\"\"") : plat::String16(1, c);
    text += u'"';
  }
  return text;
}
}  // namespace

int main(int argc, char** argv) {
  plat::WatchInterrupts();
  SetInstallerCommandLine(JoinArguments(argc, argv).c_str());
  return InstallerMain(nullptr);
}
