// Operating-system and processor queries.
#include "runtime/zo_os.h"

#include <atomic>
#include <mutex>

#include "platform/text.h"
#include "platform/thread.h"

namespace {

// The version record a test has set, under its lock.
struct VersionSeam {
  plat::Mutex lock;
  bool set = false;
  plat::VersionRecord record;
};
VersionSeam& Seam() {
  static VersionSeam seam;
  return seam;
}

plat::VersionRecord CurrentVersion() {
  VersionSeam& seam = Seam();
  {
    plat::LockGuard guard(seam.lock);
    if (seam.set) return seam.record;
  }
  plat::VersionRecord record;
  plat::QueryVersionRecord(&record);
  return record;
}

// -1 until computed; then 0 or 1. A second computation gives the same value.
std::atomic<int> gWin95{-1};

// The service pack number by the pattern "Service Pack %d": the words as they
// stand, any blanks where the pattern has a space, then a signed decimal number;
// 0 when the text does not match.
int32_t ServicePackNumber(const ZoChar* text) {
  const ZoChar* p = text;
  auto word = [&p](const char16_t* w) {
    for (; *w; ++w, ++p) {
      if (*p != *w) return false;
    }
    return true;
  };
  auto blanks = [&p]() {
    while (*p == u' ' || (*p >= u'\t' && *p <= u'\r')) ++p;
  };
  if (!word(u"Service")) return 0;
  blanks();
  if (!word(u"Pack")) return 0;
  blanks();
  const bool negative = *p == u'-';
  if (*p == u'-' || *p == u'+') ++p;
  if (*p < u'0' || *p > u'9') return 0;
  int64_t value = 0;
  for (; *p >= u'0' && *p <= u'9'; ++p) {
    if (value <= INT32_MAX) value = value * 10 + (*p - u'0');
  }
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(negative ? -value : value);
}

struct VersionLevel {
  uint32_t platformId;
  uint32_t major, minor;
  int32_t servicePack;
};
// Levels 0..6; level 3 (and any level above 6) is any Windows 9x.
constexpr VersionLevel kLevels[] = {
    {plat::kPlatformWindows, 4, 0, 0}, {plat::kPlatformWindows, 4, 1, 0}, {plat::kPlatformWindows, 4, 1, 1},
    {plat::kPlatformWindows, 0, 0, 0}, {plat::kPlatformNT, 4, 0, 0},      {plat::kPlatformNT, 5, 0, 0},
    {plat::kPlatformNT, 5, 1, 0},
};

// The processor mask, computed once (with the MXCSR change on that thread).
std::once_flag gCpuOnce;
std::atomic<uint32_t> gCpuMask{0};

}  // namespace

void ZoOS_SetVersionRecord(const plat::VersionRecord* record) {
  VersionSeam& seam = Seam();
  plat::LockGuard guard(seam.lock);
  seam.set = record != nullptr;
  seam.record = record ? *record : plat::VersionRecord();
  // The texts are read up to their terminator: a test's record may lack one.
  seam.record.servicePack[sizeof seam.record.servicePack / sizeof(ZoChar) - 1] = 0;
  seam.record.systemName[sizeof seam.record.systemName / sizeof(ZoChar) - 1] = 0;
  gWin95.store(-1);
}

bool ZoIsWin95() {
  int known = gWin95.load();
  if (known < 0) {
    known = CurrentVersion().platformId == plat::kPlatformWindows ? 1 : 0;
    gWin95.store(known);
  }
  return known == 1;
}

bool ZoGetOS(ZoChar* out, int cch) {
  const plat::VersionRecord v = CurrentVersion();
  const ZoChar* name = nullptr;  // null: nothing is written
  bool known = true;
  if (v.platformId == plat::kPlatformWindows) {
    if (v.major < 4 || (v.major == 4 && v.minor == 0)) {
      name = u"Windows 95";
    } else if (v.minor >= 1 && v.minor <= 89) {
      name = v.servicePack[0] && v.servicePack[1] == u'A' ? u"Windows 98 SE" : u"Windows 98";
    } else if (v.minor >= 90) {
      name = u"Windows Me";
    }
  } else if (v.platformId == plat::kPlatformNT) {
    name = v.major < 5 ? u"Windows NT" : (v.minor == 0 ? u"Windows 2000" : u"Windows XP");
  } else if (v.platformId == plat::kPlatformPosix && v.systemName[0]) {
    name = v.systemName;
  } else {
    name = u"Unknown";
    known = false;
  }
  if (name && out && cch > 0) plat::CopyTruncated(out, static_cast<size_t>(cch), name);
  return known;
}

bool ZoOSVersionOK(uint32_t level) {
  const VersionLevel& need = level < sizeof kLevels / sizeof kLevels[0] ? kLevels[level] : kLevels[3];
  const plat::VersionRecord v = CurrentVersion();
  if (v.platformId != need.platformId) return false;
  if (v.major != need.major) return v.major > need.major;
  if (v.minor != need.minor) return v.minor > need.minor;
  return ServicePackNumber(v.servicePack) >= need.servicePack;
}

uint32_t ZoCpuSupportFromProcessor(const plat::ProcessorInfo& p) {
  uint32_t level = p.processorClass == 486 ? 1 : (p.processorClass == 586 ? 2 : 0);
  uint32_t bits = 0;
  const uint32_t edx = p.hasCpuid ? p.leaf1Edx : 0;
  const uint32_t ecx = p.hasCpuid ? p.leaf1Ecx : 0;
  const bool sseState = p.systemSavesSseState;
  if (edx & (1u << 4)) bits |= ZO_CPU_TSC;
  if (edx & (1u << 15)) {
    bits |= ZO_CPU_CMOV;
    if (edx & (1u << 0)) {
      bits |= ZO_CPU_CMOV_FPU;
      level = 3;
    }
  }
  if (edx & (1u << 23)) {
    bits |= ZO_CPU_MMX;
    if (level == 3) level = 4;
  }
  if ((edx & (1u << 25)) && sseState) {
    bits |= ZO_CPU_SSE;
    level = 5;
  }
  if ((edx & (1u << 26)) && sseState) {
    bits |= ZO_CPU_SSE2;
    level = 6;
  }
  if ((ecx & 1u) && sseState) bits |= ZO_CPU_SSE3;
  return level | bits;
}

uint32_t ZoGetCPUSupport(uint32_t mask) {
  std::call_once(gCpuOnce, [] {
    plat::ProcessorInfo processor;
    plat::QueryProcessor(&processor);
    const uint32_t detected = ZoCpuSupportFromProcessor(processor);
    if (detected & ZO_CPU_SSE2) plat::EnableFlushDenormalsToZero();
    gCpuMask.store(detected);
  });
  const uint32_t detected = gCpuMask.load();
  return mask ? detected & mask : detected;
}

uint64_t ZoGetDllVersion(const ZoChar* dll) {
  uint32_t major = 0, minor = 0;
  if (!plat::GetSystemModuleVersion(dll, &major, &minor)) return 0;
  return static_cast<uint64_t>((major & 0xFFFFu) << 16 | (minor & 0xFFFFu)) << 32;
}
