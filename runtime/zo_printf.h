// The token formatter: the one text formatter of the system.
//
// A printf-like format with two extensions: named tokens written "$(name)",
// replaced by values registered process-wide (names compared without regard to
// ASCII case; a value is never expanded again), and the introducer "$", which
// works like "%" but gives numbers in the user's style (grouping, local decimal
// separator). "$(1234.5)" formats a literal number in the user's style. Further
// conversions insert locale separators: "%*" decimal, "%," list, "%:" time,
// "%!:" "%!." "%!," time-code, "%&:" "%&." music-time separators; "%.2z" prints
// an integer scaled by 10^-2. Floating-point conversions print a point with "%"
// and the local separator with "$".
//
// Arguments: 32-bit int for d i u o x X c z (a character as ZoChar promoted to
// int), 64-bit for "I64" integers, double for e E f g G, const ZoChar* for s
// (const char* UTF-8 for "hs"). A conversion specification that is not a valid
// printf specification is copied to the output as written and takes no argument.
//
// Thread safety: the token table is guarded by its lock; formatting uses only the
// caller's buffers.
#pragma once
#include <cstdarg>
#include <cstddef>

#include "platform/results.h"
#include "platform/types.h"

// Bounded forms, used by the system's own code: `out` holds `capacity` units and
// is always terminated (when capacity > 0); text beyond capacity - 1 units is
// cut. Return the units written without the terminator.
int ZoPrintFEx(ZoChar* out, size_t capacity, const ZoChar* format, ...);
int ZoVPrintFEx(ZoChar* out, size_t capacity, const ZoChar* format, va_list args);

// The exported unbounded forms: the caller's buffer must be large enough.
int ZoPrintF(ZoChar* out, const ZoChar* format, ...);
int ZoVPrintF(ZoChar* out, const ZoChar* format, va_list args);

// Registers `name` = `value` (null value: empty text), replacing a token of the
// same name. 1 on success, 0 when the record cannot be allocated (no token of
// that name is left then) or when the table does not exist.
int ZoPrintF_AddToken(const ZoChar* name, const ZoChar* value);
// 1 when a token of that name existed and was removed, else 0.
int ZoPrintF_DeleteToken(const ZoChar* name);

// The token table's life, run by ZoKernel_Startup and ZoKernel_Shutdown.
ZoResult ZoPrintF_CreateTokenTable();
void ZoPrintF_DestroyTokenTable();
