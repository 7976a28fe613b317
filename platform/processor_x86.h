// The x86 instructions behind QueryProcessor and EnableFlushDenormalsToZero,
// shared by both back ends (the instructions are the processor's, not the
// system's). Internal to the platform layer. On other architectures CPUID is
// reported missing and the control-register calls do nothing.
#pragma once
#include <cstdint>

namespace plat::x86 {

struct CpuidLeaf1 {
  bool hasCpuid = false;
  uint32_t eax = 0, ecx = 0, edx = 0;  // 0 when the highest leaf is below 1
};

// CPUID's presence (on 32-bit x86: the ID bit of EFLAGS can be toggled; always on
// x86-64) and leaf 1.
CpuidLeaf1 ReadCpuidLeaf1();

// The processor family of leaf 1's EAX (bits 8-11), 0 without CPUID.
inline uint32_t Family(const CpuidLeaf1& leaf) { return leaf.hasCpuid ? (leaf.eax >> 8) & 0xFu : 0; }

// Sets `bits` in MXCSR, leaving out any bit the processor's MXCSR mask (from
// FXSAVE) does not implement, since loading such a bit faults.
void SetMxcsrBits(uint32_t bits);

}  // namespace plat::x86
