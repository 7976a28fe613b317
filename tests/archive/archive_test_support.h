// Shared pieces of the engine's read-side tests: a progress object that records
// every event and answers questions from a script, and file helpers on a scratch
// folder.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "archive/archive2.h"
#include "platform/file.h"
#include "platform/text.h"
#include "tests/archive/record_builder.h"
#include "tests/platform/scratch_folder.h"

namespace archive_test {

struct Event {
  bool isError = false;
  int32_t code = 0;
  std::u16string itemName;
};

class RecordingProgress : public CZoArchiveProgress {
 public:
  int32_t ReportError(int32_t code) override {
    events.push_back({true, code, itemName});
    return 0;
  }
  int32_t ReportStatus(int32_t code) override {
    events.push_back({false, code, itemName});
    if ((code == ARC_EVENT_ASK_REPLACE || code == ARC_EVENT_ASK_REPLACE_READONLY)) {
      ++questions;
      if (!answers.empty()) {
        status = answers.front();
        answers.pop_front();
      }
    }
    return 0;
  }
  // The error events in order, as "code:itemName" is awkward to compare, kept raw.
  std::vector<Event> Errors() const {
    std::vector<Event> out;
    for (const Event& e : events)
      if (e.isError) out.push_back(e);
    return out;
  }
  int CountStatus(int32_t code) const {
    int n = 0;
    for (const Event& e : events) n += !e.isError && e.code == code;
    return n;
  }
  bool HasError(int32_t code, const std::u16string& text) const {
    for (const Event& e : events)
      if (e.isError && e.code == code && e.itemName == text) return true;
    return false;
  }

  std::vector<Event> events;
  std::deque<int32_t> answers;  // left in status after each question
  int questions = 0;
};

inline bool WriteBytes(const std::u16string& path, const std::string& bytes) {
  plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
  return f && f.Write(bytes.data(), bytes.size()) && f.Close();
}

inline std::string ReadAll(const std::u16string& path) {
  plat::File f = plat::File::Open(path.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
  if (!f) return "<missing>";
  uint64_t size = 0;
  f.Size(&size);
  std::string out(static_cast<size_t>(size), '\0');
  size_t got = 0;
  if (!f.Read(out.data(), out.size(), &got)) return "<unreadable>";
  out.resize(got);
  return out;
}

// A scratch folder with an archive file and an output folder in it.
class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.IsValid());
    out_ = scratch_ / "out";
    ASSERT_TRUE(plat::CreateDirectory(out_.c_str()));
  }
  std::u16string Put(const char* name, const std::string& bytes) {
    std::u16string path = scratch_ / name;
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
  }
  std::u16string Out(const char* relative) const { return out_ + plat::kSeparator + plat::U16(relative); }

  testing_support::ScratchFolder scratch_;
  std::u16string out_;
};

}  // namespace archive_test
