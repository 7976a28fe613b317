// The entry point of the Windows installer stub: a GUI program (no console
// window), the dialogs as its user interface, the command line as the system
// gives it, and the run is the main flow's. The POSIX stub's entry is
// app/sfxstub_main.cpp.
#include "platform/win32/windows_wrapper.h"

#include "app/installer_state.h"
#include "app/main_flow.h"
#include "app/ui/win32/win32_ui.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  SetActiveInstallerUi(&Win32InstallerUi());
  SetInstallerCommandLine(reinterpret_cast<const ZoChar*>(GetCommandLineW()));
  return InstallerMain(instance);
}
