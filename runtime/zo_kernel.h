// Library start-up and shut-down: the process-wide state the runtime library
// needs before any other call (the clock, the system and processor facts, the
// UI colour table, the formatter's token table, the kernel language handle, the
// internationals record). Run on the main thread while no other library user is
// active.
#pragma once
#include "platform/paths.h"
#include "runtime/zo_lang.h"

// In this order: starts the library clock, caches the Windows 9x flag, records
// `module`, detects the processor (ZoGetCPUSupport; this sets the calling
// thread's SSE control register, see there), records the process module and
// clears the splash window, resets the UI colour table, creates the token
// table and, when that worked, opens the kernel language handle and reads the
// internationals record; last, marks the clock fully initialised.
// True when the library is ready (token table and kernel language handle made).
// Calls nest: every successful start-up is matched by one shut-down, and only the
// last shut-down releases the state (tests and hosts may both start the library).
bool ZoKernel_Startup(plat::ModuleHandle module);
// Closes the kernel language handle, destroys the token table and clears the
// module instance. Returns 1.
int ZoKernel_Shutdown(plat::ModuleHandle module);

// The kernel language handle (null before start-up): the library's own texts.
HZOLANG ZoKernel_GetLangHandle();
// The module instance given to ZoKernel_Startup.
plat::ModuleHandle ZoKernel_GetModule();
// The process module (the running executable) recorded at start-up; null before.
plat::ModuleHandle ZoKernel_GetProcessModule();
// The splash window (an opaque window handle; null unless a host has set one).
// Start-up clears it.
void ZoKernel_SetSplash(void* window);
void* ZoKernel_GetSplash();
