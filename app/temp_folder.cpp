// INTERIM: replaced by the temp-folder module.
#include "app/temp_folder.h"
#include "platform/directory.h"
#include "platform/paths.h"
#include "runtime/zo_printf.h"
ZoResult CreateTempFolder(ZoChar* buffer, int capacity) {
  ZoChar temp[260];
  plat::GetTempPath(temp, 260);
  for (int n = 1; n < 100; ++n) {
    ZoPrintFEx(buffer, capacity, u"%sZoInstall_%d", temp, n);
    if (plat::CreateDirectory(buffer)) return 0;
  }
  return E_INVALIDARG;
}
