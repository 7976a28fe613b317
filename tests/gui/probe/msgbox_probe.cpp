// Shows one real box for the window tests and prints what it answered:
//   msgbox_probe box | custom | folder [--japanese]
//                                          a box owned by the window "Probe Owner"
//                                          (on POSIX a console box without owner)
//   msgbox_probe shot CAPTION FILE.bmp      saves what the screen shows of a window
// Output on standard output: "result=N" (and "check=N", "path=...").
#include <cstdio>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "platform/window.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_window.h"

namespace {

// Owner rectangle: off-centre on the screen, so a box centred on the screen
// would not pass for one centred on its owner.
constexpr plat::Rect kOwnerRect{60, 40, 760, 540};

void Print(const std::string& line) { std::printf("%s\n", line.c_str()); std::fflush(stdout); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string mode = argv[1];
  if (mode == "shot") {
    // The UTF-16 arguments, so that a caption outside the ANSI code page (a
    // Japanese one) reaches the search whole.
    const std::vector<plat::String16> arguments = plat::GetCommandLineArguments(argc, argv);
    if (arguments.size() < 4) return 2;
    plat::WindowHandle window = plat::FindTopLevelWindow(arguments[2].c_str());
    return window && plat::SaveWindowImage(window, arguments[3].c_str()) ? 0 : 1;
  }
  if (!ZoKernel_Startup(nullptr)) return 3;
  ZoWindow_BindMonitorEntryPoints();
  ZoMsgBoxSetAppData(nullptr, nullptr, u"Probe App");
  // Japanese labels: the executable's own 1041 strings through an application handle.
  HZOLANG app = nullptr;
  const bool japanese = argc > 2 && std::string(argv[2]) == "--japanese";
  if (japanese && ZoSucceeded(ZoLang_Open(&app, nullptr, 0, 0))) {
    ZoLang_ChangeLangInst(app, plat::ExecutableModule());
    ZoLang_UpdateKernelLCID(app, 1041);
  }
  // Null on POSIX, where the boxes are console conversations.
  plat::WindowHandle owner = plat::CreateOwnerWindow(u"Probe Owner", kOwnerRect);
  int status = 0;
  if (mode == "box") {
    Print("result=" + std::to_string(ZoMessageBox(owner, u"A standard box, centred on its owner.", u"Probe Box", 0x31)));
  } else if (mode == "custom") {
    int32_t check = 0;
    const int32_t r = ZoMsgBox_CustomEx(owner, 0xC000 | 0x1000 | 0x30 | 3, u"First line of the details\nSecond line",
                                        nullptr, &check, u"A custom box with %d buttons,\nits details and a check box.", 3);
    Print("result=" + std::to_string(r));
    Print("check=" + std::to_string(check));
  } else if (mode == "folder") {
    ZoChar path[ZO_MAX_PATH] = u"C:\\windows\\";
    const ZoResult r = ZoSelectDirectoryDlgEx(owner, u"Pick a folder", path, ZO_MAX_PATH, true, true);
    char hex[16];
    std::snprintf(hex, sizeof(hex), "%08X", static_cast<unsigned>(r));
    Print(std::string("result=") + hex);
    Print("path=" + plat::ToUtf8(path));
  } else {
    status = 2;
  }
  plat::DestroyOwnerWindow(owner);
  ZoLang_Close(app);
  ZoKernel_Shutdown(nullptr);
  return status;
}
