// What the running system and processor are: the operating system's version
// record, the processor's class and CPUID feature words, the floating-point
// control of the calling thread, and the version a system module reports.
//
// POSIX mapping: the version record carries kPlatformPosix, the kernel's name
// and release from uname(2) ("Linux", "6.1.0-13-amd64" -> 6.1.0) and an empty
// service string; there are no system modules with a version entry point, so
// GetSystemModuleVersion is always false.
#pragma once
#include <cstdint>
#include "platform/types.h"

namespace plat {

// Platform identifiers of the version record. The first three are the Windows
// values (dwPlatformId); kPlatformPosix is none of them.
inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows = 1;  // Windows 95, 98 and Me
inline constexpr uint32_t kPlatformNT = 2;       // the NT family (2000, XP and later)
inline constexpr uint32_t kPlatformPosix = 0x100;

struct VersionRecord {
  uint32_t platformId = kPlatformWin32s;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  ZoChar servicePack[128] = {};  // Windows: szCSDVersion ("Service Pack 3", " A "); POSIX: ""
  ZoChar systemName[64] = {};    // POSIX: the kernel's name ("Linux"); Windows: ""
};

// The running system's record. Windows: the true version (RtlGetVersion, which
// no compatibility manifest changes; GetVersionExW where it is missing).
// False only when the system cannot tell (the record is then all zero).
bool QueryVersionRecord(VersionRecord* out);

struct ProcessorInfo {
  // 486, 586 (a Pentium-class processor or later, x86-64 included), or 0 for
  // anything else (an older processor, another architecture, unknown).
  uint32_t processorClass = 0;
  bool hasCpuid = false;  // the CPUID instruction exists
  // CPUID leaf 1 (both 0 when CPUID is missing or its highest leaf is 0).
  uint32_t leaf1Ecx = 0;
  uint32_t leaf1Edx = 0;
  // The system saves and restores the SSE registers across task switches, so
  // SSE, SSE2 and SSE3 instructions execute when the processor has them (they
  // raise an illegal-instruction fault otherwise). Always true on x86-64, whose
  // ABI requires SSE2; on 32-bit Windows the system's own processor-feature
  // answer; on 32-bit POSIX x86 the FXSR bit, which the kernel enables.
  bool systemSavesSseState = false;
};

// Fills `out`; never fails (an unknown processor has every field 0/false).
void QueryProcessor(ProcessorInfo* out);

// The processors this process may run on: on POSIX those of its affinity mask
// (a container or taskset limits it), else the online ones; on Windows those of
// the system (GetSystemInfo). At least 1.
uint32_t ProcessorCount();

// Sets the flush-to-zero bit (0x8000) of the calling thread's SSE control
// register (MXCSR) and the denormals-are-zero bit (0x0040) when the processor
// implements it (some early SSE2 processors fault on it; their MXCSR mask says
// so). Only for callers that found SSE2 usable; a no-op on other architectures.
void EnableFlushDenormalsToZero();

// The version a module in the system folder reports through its exported
// DllGetVersion: `name` is a bare file name ("shell32.dll"), loaded from the
// system folder only (never the program's folder, the current folder or PATH)
// and released again. False when the name holds a path, the module is missing,
// has no DllGetVersion or that call fails; always false on POSIX.
bool GetSystemModuleVersion(const ZoChar* name, uint32_t* major, uint32_t* minor);

}  // namespace plat
