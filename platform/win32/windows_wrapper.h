// The one way into <windows.h>: lean, without the min/max macros, and without
// the A/W name macros that collide with the platform layer's own function
// names (plat::CreateDirectory must stay plat::CreateDirectory in every file,
// or callers that never see <windows.h> would not link). Code here calls the
// W functions by their full names. Include this first, before platform/results.h,
// so that the E_* and S_* values come from <windows.h>.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateDirectory
#undef RemoveDirectory
#undef DeleteFile
#undef MoveFile
#undef CreateSymbolicLink
#undef GetTempPath
#undef GetModuleFileName
#undef GetCurrentDirectory
#undef SetCurrentDirectory
#undef CreateEvent
#undef CreateSemaphore
