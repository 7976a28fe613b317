// Library start-up and shut-down: the process-wide state the runtime library
// needs before any other call (the formatter's token table, the kernel language
// handle, the internationals record). Run on the main thread while no other
// library user is active.
#pragma once
#include "platform/paths.h"
#include "runtime/zo_lang.h"

// True when the library is ready (token table and kernel language handle made).
// Calls nest: every successful start-up is matched by one shut-down, and only the
// last shut-down releases the state (tests and hosts may both start the library).
bool ZoKernel_Startup(plat::ModuleHandle module);
// Closes the kernel language handle and destroys the token table. Returns 1.
int ZoKernel_Shutdown(plat::ModuleHandle module);

// The kernel language handle (null before start-up): the library's own texts.
HZOLANG ZoKernel_GetLangHandle();
// The module instance given to ZoKernel_Startup.
plat::ModuleHandle ZoKernel_GetModule();
