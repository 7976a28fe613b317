// POSIX back end: holds only code valid on every POSIX system.
#include "platform/system_info.h"

#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstring>

#include "platform/processor_x86.h"
#include "platform/text.h"

namespace plat {

namespace {

// Reads the leading decimal number of `*text` and steps past it and one '.'.
uint32_t TakeNumber(const char** text) {
  uint32_t value = 0;
  const char* p = *text;
  while (*p >= '0' && *p <= '9') {
    const uint32_t digit = static_cast<uint32_t>(*p - '0');
    value = value > (0xFFFFFFFFu - digit) / 10 ? 0xFFFFFFFFu : value * 10 + digit;
    ++p;
  }
  if (*p == '.') ++p;
  *text = p;
  return value;
}

}  // namespace

bool QueryVersionRecord(VersionRecord* out) {
  if (!out) return false;
  *out = VersionRecord();
  struct utsname names;
  if (uname(&names) != 0) return false;
  out->platformId = kPlatformPosix;
  const char* release = names.release;
  out->major = TakeNumber(&release);
  out->minor = TakeNumber(&release);
  out->build = TakeNumber(&release);
  CopyTruncated(out->systemName, sizeof out->systemName / sizeof out->systemName[0],
                FromUtf8(std::string_view(names.sysname, strnlen(names.sysname, sizeof names.sysname))));
  return true;
}

void QueryProcessor(ProcessorInfo* out) {
  if (!out) return;
  *out = ProcessorInfo();
  const x86::CpuidLeaf1 leaf = x86::ReadCpuidLeaf1();
  out->hasCpuid = leaf.hasCpuid;
  out->leaf1Ecx = leaf.ecx;
  out->leaf1Edx = leaf.edx;
  const uint32_t family = x86::Family(leaf);
  out->processorClass = family == 4 ? 486 : (family >= 5 ? 586 : 0);
#if defined(__x86_64__)
  out->systemSavesSseState = true;
#elif defined(__i386__)
  // Every kernel of this century turns SSE state saving on when FXSAVE exists.
  out->systemSavesSseState = (leaf.edx & (1u << 24)) != 0;
#endif
}

uint32_t ProcessorCount() {
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return static_cast<uint32_t>(n);
  }
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<uint32_t>(online) : 1u;
}

void EnableFlushDenormalsToZero() { x86::SetMxcsrBits(0x8040u); }

bool GetSystemModuleVersion(const ZoChar*, uint32_t*, uint32_t*) { return false; }

}  // namespace plat
