/* A DLL planted beside a package by tests/gui/planted: built under each name
 * the installer could load (version.dll, uxtheme.dll, ...), and as a language
 * module. When any process runs its code it leaves the file CANARY_NAME.loaded
 * in the folder that ORV_CANARY_DIR names, so the test sees that it was loaded.
 * It exports the function the proof program imports from version.dll. */
#include <stdio.h>
#include <stdlib.h>

#ifndef CANARY_NAME
#error "CANARY_NAME names the DLL"
#endif

__declspec(dllexport) unsigned long __stdcall GetFileVersionInfoSizeW(const unsigned short* file, unsigned long* handle) {
  (void)file;
  if (handle) *handle = 0;
  return 0;
}

int __stdcall DllMain(void* module, unsigned long reason, void* reserved) {
  (void)module;
  (void)reserved;
  if (reason == 1) { /* DLL_PROCESS_ATTACH */
    const char* dir = getenv("ORV_CANARY_DIR");
    char path[1024];
    if (dir && snprintf(path, sizeof path, "%s\\%s.loaded", dir, CANARY_NAME) < (int)sizeof path) {
      FILE* f = fopen(path, "w");
      if (f) {
        fputs("loaded\n", f);
        fclose(f);
      }
    }
  }
  return 1;
}
