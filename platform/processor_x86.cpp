// CPUID and MXCSR for both back ends: portable across systems, specific to x86.
#include "platform/processor_x86.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace plat::x86 {

#if defined(__i386__) || defined(__x86_64__)

CpuidLeaf1 ReadCpuidLeaf1() {
  CpuidLeaf1 leaf;
  // __get_cpuid_max performs the EFLAGS.ID toggle test on 32-bit x86 and returns
  // 0 when CPUID is missing; on x86-64 CPUID always exists. (A 32-bit processor
  // whose highest leaf is 0 is counted as having none: it has no leaf 1 either.)
  const unsigned highest = __get_cpuid_max(0, nullptr);
#if defined(__x86_64__)
  leaf.hasCpuid = true;
#else
  leaf.hasCpuid = highest != 0;
#endif
  if (highest >= 1) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid(1, a, b, c, d);
    leaf.eax = a;
    leaf.ecx = c;
    leaf.edx = d;
  }
  return leaf;
}

// Callers have found SSE usable, which implies FXSAVE (CPUID.1:EDX bit 24).
void SetMxcsrBits(uint32_t bits) {
  // FXSAVE's 512-byte area holds MXCSR_MASK at offset 28; 0 there means the
  // default mask 0xFFBF (no denormals-are-zero).
  alignas(16) unsigned char area[512] = {};
  __asm__ volatile("fxsave %0" : "=m"(area));
  uint32_t mask = static_cast<uint32_t>(area[28]) | static_cast<uint32_t>(area[29]) << 8 |
                  static_cast<uint32_t>(area[30]) << 16 | static_cast<uint32_t>(area[31]) << 24;
  if (mask == 0) mask = 0xFFBFu;
  uint32_t csr = 0;
  __asm__ volatile("stmxcsr %0" : "=m"(csr));
  csr |= bits & mask;
  __asm__ volatile("ldmxcsr %0" : : "m"(csr));
}

#else

CpuidLeaf1 ReadCpuidLeaf1() { return CpuidLeaf1(); }
void SetMxcsrBits(uint32_t) {}

#endif

}  // namespace plat::x86
