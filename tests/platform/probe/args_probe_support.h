// The tests' side of args_probe: where it writes its record, and the record read
// back (the probe's current folder first, then its arguments).
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"
#include "tests/platform/scratch_folder.h"

namespace testing_support {

// The probe's full path with the system's separators (the build names it in its
// own form, which a Windows build made elsewhere writes with '/').
inline plat::String16 ArgsProbePath() {
  ZoChar full[ZO_MAX_PATH];
  const uint32_t n = plat::GetFullPath(plat::U16(ORV_ARGS_PROBE).c_str(), full, ZO_MAX_PATH);
  return n > 0 && n < static_cast<uint32_t>(ZO_MAX_PATH) ? plat::String16(full) : plat::U16(ORV_ARGS_PROBE);
}

// Tells every probe started from now on to write its record to `record`.
inline void SetProbeRecordPath(const plat::String16& record) {
  const std::string value = plat::ToUtf8(record);
#if GTEST_OS_WINDOWS
  _putenv_s("ORV_ARGS_PROBE_RECORD", value.c_str());
#else
  setenv("ORV_ARGS_PROBE_RECORD", value.c_str(), 1);
#endif
}

// The record's items; empty when the probe wrote none.
inline std::vector<std::string> ReadProbeRecord(const plat::String16& record) {
  const std::string bytes = ScratchFolder::ReadFile(record);
  std::vector<std::string> items;
  if (bytes == "<unreadable>") return items;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\0') {
      items.push_back(bytes.substr(start, i - start));
      start = i + 1;
    }
  }
  return items;
}

}  // namespace testing_support
