// Library start-up and shut-down.
#include "runtime/zo_kernel.h"

#include "runtime/zo_inat.h"
#include "runtime/zo_printf.h"

namespace {

struct KernelState {
  int startCount = 0;
  plat::ModuleHandle module = nullptr;
  HZOLANG language = nullptr;
};
KernelState gKernel;

}  // namespace

HZOLANG ZoKernel_GetLangHandle() { return gKernel.language; }
plat::ModuleHandle ZoKernel_GetModule() { return gKernel.module; }

bool ZoKernel_Startup(plat::ModuleHandle module) {
  if (gKernel.startCount > 0) {
    ++gKernel.startCount;
    return true;
  }
  gKernel.module = module;
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
  if (ready) ++gKernel.startCount;
  return ready;
}

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
