// Operating-system and processor queries: which system runs (name, family,
// minimum versions), what the processor supports, and the version a system
// module reports.
//
// The system queries read one version record (plat::VersionRecord), the
// system's own unless a test has set one with ZoOS_SetVersionRecord.
//
// On POSIX: ZoIsWin95 is false; ZoGetOS writes the kernel's name ("Linux") and
// is true (false with "Unknown" when the system gives no name); ZoOSVersionOK is
// false for every level, since each level names a Windows platform and a POSIX
// system is neither (callers that only need "not Windows 9x" ask ZoIsWin95);
// ZoGetDllVersion is 0. ZoGetCPUSupport is the same on every system.
#pragma once
#include <cstdint>

#include "platform/system_info.h"
#include "platform/types.h"

// True on the Windows 95/98/Me platform. Computed once and cached.
bool ZoIsWin95();

// The running system's name:
//   Windows 9x: major below 4 or 4.0 "Windows 95"; minor 1..89 "Windows 98 SE"
//     when the service string's second character is 'A', else "Windows 98";
//     minor 90 or more "Windows Me"; major above 4 with minor 0: nothing is
//     written (the result is still true).
//   NT: major below 5 "Windows NT"; 5 or more with minor 0 "Windows 2000",
//     with any other minor "Windows XP".
//   POSIX: the kernel's name. Anything else: "Unknown", and the result is false.
// The name is cut to cch - 1 units and terminated; nothing is written when cch
// is 0 or less.
bool ZoGetOS(ZoChar* out, int cch);

// Whether the system meets a minimum: level 0 Windows 9x 4.0, 1 9x 4.1, 2 9x 4.1
// with service pack 1, 4 NT 4.0, 5 NT 5.0, 6 NT 5.1; 3 and levels above 6 any
// 9x. False on any other platform than the level's. True when the major version
// is greater, or equal with a greater minor; when both are equal, the service
// pack read from the service string as "Service Pack %d" (0 when it does not
// match) must be at least the level's.
bool ZoOSVersionOK(uint32_t level);

// Processor support mask bits.
inline constexpr uint32_t ZO_CPU_LEVEL_MASK = 0x0F;  // 1 486, 2 Pentium, 3 CMOV+FPU, 4 +MMX, 5 SSE, 6 SSE2
inline constexpr uint32_t ZO_CPU_MMX = 0x10;
inline constexpr uint32_t ZO_CPU_SSE = 0x20;
inline constexpr uint32_t ZO_CPU_SSE2 = 0x40;
inline constexpr uint32_t ZO_CPU_CMOV = 0x100;
inline constexpr uint32_t ZO_CPU_CMOV_FPU = 0x200;
inline constexpr uint32_t ZO_CPU_TSC = 0x400;
inline constexpr uint32_t ZO_CPU_SSE3 = 0x1000;

// The processor support mask, or the mask ANDed with `mask` when `mask` is not 0.
// Detected once per process (ZoKernel_Startup does it first). When SSE2 is
// usable, detection also sets flush-to-zero and denormals-are-zero in the SSE
// control register of the thread that detects (the start-up thread): that
// thread then computes with tiny numbers flushed to zero (and so do threads it
// starts later on systems where a new thread inherits the register, as on Linux;
// a new Windows thread starts with the default).
uint32_t ZoGetCPUSupport(uint32_t mask);

// The mask for a processor description: the bit table above. SSE, SSE2 and SSE3
// count only when the system saves the SSE registers (otherwise they fault).
// Exposed for tests; ZoGetCPUSupport applies it to the running processor.
uint32_t ZoCpuSupportFromProcessor(const plat::ProcessorInfo& processor);

// The version of the system module `dll` ("shell32.dll", loaded from the system
// folder only and released again) as (major << 16 | minor) << 32; 0 when it
// cannot be loaded, has no DllGetVersion or that call fails, or when `dll`
// holds a path.
uint64_t ZoGetDllVersion(const ZoChar* dll);

// Tests: makes the system queries read `record` (copied) instead of the
// system's own; null restores the system's. Forgets the cached 9x flag.
void ZoOS_SetVersionRecord(const plat::VersionRecord* record);
