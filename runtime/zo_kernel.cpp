// Library start-up and shut-down.
#include "runtime/zo_kernel.h"

#include <atomic>

#include "platform/resources.h"
#include "runtime/zo_inat.h"
#include "runtime/zo_os.h"
#include "runtime/zo_printf.h"
#include "runtime/zo_timer.h"
#include "runtime/zo_ui_colors.h"
#include "runtime/zo_window.h"

namespace {

struct KernelState {
  int startCount = 0;
  plat::ModuleHandle module = nullptr;
  plat::ModuleHandle processModule = nullptr;
  HZOLANG language = nullptr;
};
KernelState gKernel;
// A host may set the splash window from a thread of its own.
std::atomic<void*> gSplash{nullptr};

}  // namespace

HZOLANG ZoKernel_GetLangHandle() { return gKernel.language; }
plat::ModuleHandle ZoKernel_GetModule() { return gKernel.module; }
plat::ModuleHandle ZoKernel_GetProcessModule() { return gKernel.processModule; }
void ZoKernel_SetSplash(void* window) { gSplash.store(window); }
void* ZoKernel_GetSplash() { return gSplash.load(); }

bool ZoKernel_Startup(plat::ModuleHandle module) {
  if (gKernel.startCount > 0) {
    ++gKernel.startCount;
    return true;
  }
  ZoTimer_Initialize();
  ZoIsWin95();
  gKernel.module = module;
  ZoGetCPUSupport(0);
  gKernel.processModule = plat::ExecutableModule();
  gSplash.store(nullptr);
  ZoWindow_BindMonitorEntryPoints();
  ZoUIColor_ResetDefaults();
  bool ready = false;
  if (ZoSucceeded(ZoPrintF_CreateTokenTable())) {
    HZOLANG lang = nullptr;
    if (ZoSucceeded(ZoLang_Open(&lang, module, 0, 0))) {
      gKernel.language = lang;
      // The record and the separator tokens, whose labels come from the kernel handle.
      ZoLang_GetInternationals(nullptr, 0);
      ready = true;
    }
  }
  ZoTimer_LateInitialize();
  if (ready) ++gKernel.startCount;
  return ready;
}

// The library keeps no brushes, pens, fonts or cursors of its own (those belong
// to UI routines outside it), so there are no caches to release here.
int ZoKernel_Shutdown(plat::ModuleHandle) {
  if (gKernel.startCount > 1) {
    --gKernel.startCount;
    return 1;
  }
  gKernel.startCount = 0;
  HZOLANG lang = gKernel.language;
  gKernel.language = nullptr;
  ZoLang_Close(lang);
  ZoPrintF_DestroyTokenTable();
  gKernel.module = nullptr;
  return 1;
}
