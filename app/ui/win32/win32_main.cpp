// The entry point of the Windows installer stub: a GUI program (no console
// window), the dialogs as its user interface, the command line as the system
// gives it, and the run is the main flow's. The POSIX stub's entry is
// app/sfxstub_main.cpp.
#include "platform/win32/windows_wrapper.h"

#include "app/installer_state.h"
#include "app/main_flow.h"
#include "app/ui/win32/win32_ui.h"

namespace {

// Before anything can load a library: DLLs come from the system folder only, so
// that a DLL planted beside the package (in a downloads folder, say) is never
// loaded in its place. SetDefaultDllDirectories is looked up, since systems
// without it exist; there the current folder at least leaves the search.
void HardenLibrarySearch() {
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefault>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  HardenLibrarySearch();
  SetActiveInstallerUi(&Win32InstallerUi());
  SetInstallerCommandLine(reinterpret_cast<const ZoChar*>(GetCommandLineW()));
  return InstallerMain(instance);
}
