// The system and processor queries over version records and processor
// descriptions set by the tests, and the library start-up's effects.
#include <gtest/gtest.h>

#include <string>

#include "platform/resources.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_os.h"
#include "runtime/zo_timer.h"
#include "runtime/zo_ui_colors.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::kPlatformNT;
using plat::kPlatformPosix;
using plat::kPlatformWin32s;
using plat::kPlatformWindows;

plat::VersionRecord Record(uint32_t platform, uint32_t major, uint32_t minor, const char* servicePack = "",
                           const char* systemName = "") {
  plat::VersionRecord r;
  r.platformId = platform;
  r.major = major;
  r.minor = minor;
  plat::CopyTruncated(r.servicePack, 128, plat::U16(servicePack));
  plat::CopyTruncated(r.systemName, 64, plat::U16(systemName));
  return r;
}

// Sets a version record for one test and restores the system's afterwards.
class OsQueries : public ::testing::Test {
 protected:
  void TearDown() override { ZoOS_SetVersionRecord(nullptr); }
  void Use(const plat::VersionRecord& r) { ZoOS_SetVersionRecord(&r); }
};

TEST_F(OsQueries, GetOS_NamesEveryPlatformAndVersionAndCutsToTheCapacity) {
  struct Case {
    plat::VersionRecord record;
    int cch;
    const char* expected;  // null: nothing may be written
    bool result;
  };
  const Case cases[] = {
      {Record(kPlatformWindows, 3, 95), 32, "Windows 95", true},
      {Record(kPlatformWindows, 4, 0), 32, "Windows 95", true},
      {Record(kPlatformWindows, 4, 10, " A "), 32, "Windows 98 SE", true},
      {Record(kPlatformWindows, 4, 10, "A"), 32, "Windows 98", true},  // 'A' must be the second unit
      {Record(kPlatformWindows, 4, 10), 32, "Windows 98", true},
      {Record(kPlatformWindows, 4, 89, " A "), 32, "Windows 98 SE", true},
      {Record(kPlatformWindows, 4, 90), 32, "Windows Me", true},
      {Record(kPlatformWindows, 5, 0), 32, nullptr, true},
      {Record(kPlatformNT, 3, 51), 32, "Windows NT", true},
      {Record(kPlatformNT, 4, 0), 32, "Windows NT", true},
      {Record(kPlatformNT, 5, 0), 32, "Windows 2000", true},
      {Record(kPlatformNT, 5, 1), 32, "Windows XP", true},
      {Record(kPlatformNT, 6, 1), 32, "Windows XP", true},
      {Record(kPlatformNT, 10, 0), 32, "Windows 2000", true},  // the table knows no later names
      {Record(kPlatformNT, 5, 1), 4, "Win", true},
      {Record(kPlatformNT, 5, 1), 1, "", true},
      {Record(kPlatformNT, 5, 1), 0, nullptr, true},
      {Record(kPlatformNT, 5, 1), -1, nullptr, true},
      {Record(kPlatformWin32s, 1, 0), 32, "Unknown", false},
      {Record(3, 5, 0), 32, "Unknown", false},
      {Record(kPlatformPosix, 6, 1, "", "Linux"), 32, "Linux", true},
      {Record(kPlatformPosix, 6, 1, "", "Linux"), 3, "Li", true},
      {Record(kPlatformPosix, 6, 1), 32, "Unknown", false},
  };
  for (const Case& c : cases) {
    Use(c.record);
    ZoChar out[40];
    for (ZoChar& u : out) u = u'#';
    SCOPED_TRACE(std::to_string(c.record.platformId) + " " + std::to_string(c.record.major) + "." +
                 std::to_string(c.record.minor) + " cch " + std::to_string(c.cch));
    EXPECT_EQ(ZoGetOS(out, c.cch), c.result);
    if (!c.expected) {
      EXPECT_EQ(out[0], u'#');
      continue;
    }
    const size_t length = std::string(c.expected).size();
    EXPECT_EQ(plat::ToUtf8(plat::StringView16(out, plat::BoundedLength(out, 40))), c.expected);
    EXPECT_EQ(out[length + 1], u'#') << "wrote past the terminator";
  }
}

TEST_F(OsQueries, OsVersionOk_ComparesPlatformVersionAndServicePackForEveryLevel) {
  struct Case {
    plat::VersionRecord record;
    const char* levels;  // the result for levels 0..7 and 100 ('1' true)
  };
  const Case cases[] = {
      {Record(kPlatformWindows, 4, 0), "100100011"},
      {Record(kPlatformWindows, 4, 10, " A "), "111100011"},       // 98: minor 10 beats 1
      {Record(kPlatformWindows, 4, 1), "110100011"},               // 4.1 without a service pack
      {Record(kPlatformWindows, 4, 1, "Service Pack 1"), "111100011"},
      {Record(kPlatformWindows, 4, 1, "Service  Pack\t2"), "111100011"},  // blanks as sscanf reads them
      {Record(kPlatformWindows, 4, 1, "Service Pack2"), "111100011"},
      {Record(kPlatformWindows, 4, 1, "service pack 2"), "110100011"},    // the words must match as written
      {Record(kPlatformWindows, 4, 1, "Service Pack -1"), "100100011"},   // a negative number counts
      {Record(kPlatformWindows, 5, 0), "111100011"},
      {Record(kPlatformWindows, 3, 95), "000100011"},
      {Record(kPlatformNT, 3, 51), "000000000"},
      {Record(kPlatformNT, 4, 0, "Service Pack 6"), "000010000"},
      {Record(kPlatformNT, 5, 0), "000011000"},
      {Record(kPlatformNT, 5, 1, "Service Pack 3"), "000011100"},
      {Record(kPlatformNT, 10, 0), "000011100"},
      {Record(kPlatformWin32s, 9, 9), "000000000"},
      {Record(kPlatformPosix, 6, 1, "", "Linux"), "000000000"},
  };
  const uint32_t levels[] = {0, 1, 2, 3, 4, 5, 6, 7, 100};
  for (const Case& c : cases) {
    Use(c.record);
    std::string got;
    for (uint32_t level : levels) got += ZoOSVersionOK(level) ? '1' : '0';
    EXPECT_EQ(got, c.levels) << c.record.platformId << " " << c.record.major << "." << c.record.minor << " \""
                             << plat::ToUtf8(c.record.servicePack) << "\"";
  }
}

TEST_F(OsQueries, IsWin95_FollowsTheRecordAndTheSystemAnswersForItself) {
  Use(Record(kPlatformWindows, 4, 10));
  EXPECT_TRUE(ZoIsWin95());
  Use(Record(kPlatformNT, 5, 1));
  EXPECT_FALSE(ZoIsWin95());
  ZoOS_SetVersionRecord(nullptr);
  EXPECT_FALSE(ZoIsWin95());  // neither this POSIX system nor a Windows of this century

  plat::VersionRecord system;
  ASSERT_TRUE(plat::QueryVersionRecord(&system));
  ZoChar name[64] = {};
  EXPECT_TRUE(ZoGetOS(name, 64));
  if (testing_support::HasWindowsRules()) {
    EXPECT_EQ(system.platformId, kPlatformNT);
    EXPECT_GE(system.major, 5u);
    EXPECT_TRUE(ZoOSVersionOK(5));
  } else {
    EXPECT_EQ(system.platformId, kPlatformPosix);
    EXPECT_NE(system.systemName[0], 0);
    EXPECT_EQ(plat::String16(name), plat::String16(system.systemName));
    EXPECT_FALSE(ZoOSVersionOK(4));
  }
}

TEST(CpuSupport, BitTableOverProcessorDescriptions) {
  constexpr uint32_t kFpu = 1u << 0, kTsc = 1u << 4, kCmov = 1u << 15, kMmx = 1u << 23, kSse = 1u << 25,
                     kSse2 = 1u << 26;
  struct Case {
    uint32_t processorClass;
    bool cpuid;
    uint32_t edx, ecx;
    bool sseState;
    uint32_t expected;
  };
  const Case cases[] = {
      {486, false, 0, 0, false, 1},
      {586, false, kTsc | kCmov, 0, true, 2},  // no CPUID: its words are not looked at
      {0, true, kTsc, 0, false, 0x400},
      {586, true, kCmov, 0, false, 2 | 0x100},  // CMOV without an FPU keeps the level
      {586, true, kCmov | kFpu | kTsc, 0, false, 3 | 0x100 | 0x200 | 0x400},
      {586, true, kCmov | kFpu | kMmx, 0, false, 4 | 0x10 | 0x100 | 0x200},
      {586, true, kMmx, 0, false, 2 | 0x10},  // MMX raises only level 3
      {586, true, kCmov | kFpu | kMmx | kSse, 0, true, 5 | 0x10 | 0x20 | 0x100 | 0x200},
      {586, true, kCmov | kFpu | kMmx | kSse | kSse2, 1, true, 6 | 0x10 | 0x20 | 0x40 | 0x100 | 0x200 | 0x1000},
      // A system that does not save the SSE registers: SSE, SSE2 and SSE3 would fault.
      {586, true, kCmov | kFpu | kMmx | kSse | kSse2, 1, false, 4 | 0x10 | 0x100 | 0x200},
  };
  for (const Case& c : cases) {
    plat::ProcessorInfo p;
    p.processorClass = c.processorClass;
    p.hasCpuid = c.cpuid;
    p.leaf1Edx = c.edx;
    p.leaf1Ecx = c.ecx;
    p.systemSavesSseState = c.sseState;
    EXPECT_EQ(ZoCpuSupportFromProcessor(p), c.expected) << std::hex << c.edx;
  }
}

TEST(CpuSupport, RunningProcessorMaskIsConsistentAndMasksSingleBits) {
  const uint32_t mask = ZoGetCPUSupport(0);
  const uint32_t level = mask & ZO_CPU_LEVEL_MASK;
  const uint32_t known = ZO_CPU_LEVEL_MASK | ZO_CPU_MMX | ZO_CPU_SSE | ZO_CPU_SSE2 | ZO_CPU_CMOV |
                         ZO_CPU_CMOV_FPU | ZO_CPU_TSC | ZO_CPU_SSE3;
  EXPECT_EQ(mask & ~known, 0u);
  EXPECT_LE(level, 6u);
  // Each level implies the features that make it.
  EXPECT_TRUE(!(mask & ZO_CPU_CMOV_FPU) || (mask & ZO_CPU_CMOV));
  EXPECT_EQ(level == 6, (mask & ZO_CPU_SSE2) != 0);
  EXPECT_TRUE(level != 5 || ((mask & ZO_CPU_SSE) && !(mask & ZO_CPU_SSE2)));
  EXPECT_TRUE(level != 4 || ((mask & ZO_CPU_MMX) && (mask & ZO_CPU_CMOV_FPU)));
  EXPECT_TRUE(level != 3 || ((mask & ZO_CPU_CMOV_FPU) && !(mask & ZO_CPU_MMX)));
  for (uint32_t bit = 1; bit != 0; bit <<= 1) {
    const uint32_t got = ZoGetCPUSupport(bit);
    EXPECT_TRUE(got == 0 || got == bit) << std::hex << bit;
    EXPECT_EQ(got, mask & bit) << std::hex << bit;
  }
  EXPECT_EQ(ZoGetCPUSupport(0), mask);
#if defined(__x86_64__)
  // The architecture guarantees these; the detection must not miss them.
  EXPECT_EQ(level, 6u);
  EXPECT_EQ(mask & (ZO_CPU_SSE | ZO_CPU_SSE2 | ZO_CPU_CMOV_FPU | ZO_CPU_TSC | ZO_CPU_MMX),
            ZO_CPU_SSE | ZO_CPU_SSE2 | ZO_CPU_CMOV_FPU | ZO_CPU_TSC | ZO_CPU_MMX);
#endif
}

// A denormal product: zero where flush-to-zero or denormals-are-zero is set.
float DenormalProduct() {
  volatile float tiny = 1e-40f;
  volatile float one = 1.0f;
  return tiny * one;
}

TEST(CpuSupport, DetectionFlushesDenormalsOnTheStartUpThread) {
  // The library was started on this (the main) thread, which detected the processor.
  if (!(ZoGetCPUSupport(ZO_CPU_SSE2))) GTEST_SKIP() << "no SSE2";
#if !defined(__x86_64__)
  GTEST_SKIP() << "32-bit x87 arithmetic does not use the SSE control register";
#endif
  EXPECT_EQ(DenormalProduct(), 0.0f);
}

TEST(DllVersion, SystemModulesOnlyByBareName) {
  EXPECT_EQ(ZoGetDllVersion(nullptr), 0u);
  EXPECT_EQ(ZoGetDllVersion(u""), 0u);
  EXPECT_EQ(ZoGetDllVersion(u"orv-no-such-module.dll"), 0u);
  EXPECT_EQ(ZoGetDllVersion(u"kernel32.dll"), 0u);  // no DllGetVersion
  if (!testing_support::HasWindowsRules()) {
    EXPECT_EQ(ZoGetDllVersion(u"shell32.dll"), 0u);
    return;
  }
  const uint64_t version = ZoGetDllVersion(u"shell32.dll");
  EXPECT_NE(version >> 48, 0u) << std::hex << version;  // a major version
  EXPECT_EQ(version & 0xFFFFFFFFu, 0u);
  // A path is refused even when it names the system's own module.
  ZoChar windows[ZO_MAX_PATH];
  ASSERT_GT(plat::GetWindowsDrive(windows, ZO_MAX_PATH), 0u);
  const plat::String16 full = plat::String16(windows) + u"Windows\\System32\\shell32.dll";
  EXPECT_EQ(ZoGetDllVersion(full.c_str()), 0u);
  EXPECT_EQ(ZoGetDllVersion(u"..\\system32\\shell32.dll"), 0u);
}

TEST(KernelStartup, FullCycleResetsStateAndNestedCallsKeepIt) {
  // The test program keeps the library started; end that start to see a full one.
  ASSERT_EQ(ZoKernel_Shutdown(nullptr), 1);
  EXPECT_EQ(ZoKernel_GetLangHandle(), nullptr);
  EXPECT_EQ(ZoKernel_GetModule(), nullptr);
  ZoUIColor_Set(7, 0x123456);
  ZoKernel_SetSplash(reinterpret_cast<void*>(0x1234));

  ASSERT_TRUE(ZoKernel_Startup(plat::ExecutableModule()));
  EXPECT_EQ(ZoKernel_GetModule(), plat::ExecutableModule());
  EXPECT_EQ(ZoKernel_GetProcessModule(), plat::ExecutableModule());
  EXPECT_NE(ZoKernel_GetLangHandle(), nullptr);
  EXPECT_EQ(ZoKernel_GetSplash(), nullptr);
  EXPECT_EQ(ZoUIColor_Get(7), ZO_UI_COLOR_DEFAULT);
  EXPECT_TRUE(ZoTimer_IsInitialized());
  const uint64_t start = ZoTimer_GetMicroseconds();
  plat::Sleep(2);
  EXPECT_GE(ZoTimer_GetMicroseconds(), start + 1000);

  // A nested start changes nothing; its shut-down keeps the library ready.
  HZOLANG kernel = ZoKernel_GetLangHandle();
  ZoUIColor_Set(7, 0x123456);
  ASSERT_TRUE(ZoKernel_Startup(nullptr));
  EXPECT_EQ(ZoKernel_GetLangHandle(), kernel);
  EXPECT_EQ(ZoUIColor_Get(7), 0x123456u);
  EXPECT_EQ(ZoKernel_Shutdown(nullptr), 1);
  EXPECT_EQ(ZoKernel_GetLangHandle(), kernel);
  EXPECT_EQ(ZoKernel_GetModule(), plat::ExecutableModule());
  // Back to the program's own start.
  ZoKernel_Shutdown(nullptr);
  EXPECT_EQ(ZoKernel_GetModule(), nullptr);
  ASSERT_TRUE(ZoKernel_Startup(nullptr));
}

}  // namespace
