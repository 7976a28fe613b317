// The entry point of the POSIX installer stub: the console watches Ctrl-C (the
// Cancel button of the console pages), the command line is taken as one text,
// and the run is the main flow's. The Windows stub is a GUI program with its own
// entry point beside its dialogs (app/ui/win32/win32_main.cpp).
#include <string>

#include "app/installer_state.h"
#include "app/main_flow.h"
#include "platform/terminal.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  plat::WatchInterrupts();
  SetInstallerCommandLine(plat::GetProcessCommandLine(argc, argv).c_str());
  return InstallerMain(nullptr);
}
