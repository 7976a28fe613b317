// Shared pieces of the writer tests: a progress object that records events and
// answers questions from a script, whole-file reads, raw inflate, and a helper
// that replaces the end record of an archive image (to make self-extracting files
// with chosen stored names).
#pragma once
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "archive/archive2.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/text.h"
#include "tests/archive/writer_decoder.h"
#include "tests/platform/scratch_folder.h"

namespace writer_test {

using testing_support::ScratchFolder;

struct RecordedError {
  int32_t code;
  std::u16string text;
};

class RecordingProgress : public CZoArchiveProgress {
 public:
  int32_t ReportError(int32_t code) override {
    errors.push_back({code, itemName});
    return 0;
  }
  int32_t ReportStatus(int32_t code) override {
    statuses.push_back(code);
    if ((code == ARC_EVENT_ASK_REPLACE || code == ARC_EVENT_ASK_REPLACE_READONLY)) {
      questions.push_back(itemName);
      if (!answers.empty()) {
        status = answers.front();
        answers.pop_front();
      }
    }
    return 0;
  }
  bool HasError(int32_t code) const {
    for (const auto& e : errors)
      if (e.code == code) return true;
    return false;
  }
  std::vector<RecordedError> errors;
  std::vector<int32_t> statuses;
  std::vector<std::u16string> questions;
  std::deque<int32_t> answers;  // left in `status` after each question, in order
};

// Switches file faults on for one scope.
class FaultScope {
 public:
  explicit FaultScope(const plat::fault::FileFaults& faults) { plat::fault::Set(faults); }
  ~FaultScope() { plat::fault::Clear(); }
};

inline std::vector<uint8_t> ReadAll(const std::u16string& path) {
  std::vector<uint8_t> bytes;
  plat::File f = plat::File::Open(path.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
  if (!f) return bytes;
  uint8_t block[65536];
  size_t got = 0;
  while (f.Read(block, sizeof(block), &got) && got > 0) bytes.insert(bytes.end(), block, block + got);
  return bytes;
}

inline bool WriteAll(const std::u16string& path, const std::vector<uint8_t>& bytes) {
  plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareRead, plat::Disposition::CreateAlways);
  return f && f.Write(bytes.data(), bytes.size()) && f.Close();
}

inline std::vector<uint8_t> Bytes(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

inline uint32_t Crc(const uint8_t* p, size_t n) {
  return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), p, static_cast<uInt>(n)));
}

// Raw inflate (window bits -15) of `n` bytes; empty on any error.
inline std::vector<uint8_t> Inflate(const uint8_t* p, size_t n, size_t expected) {
  std::vector<uint8_t> out(expected + 1);
  z_stream s = {};
  if (inflateInit2(&s, -15) != Z_OK) return {};
  s.next_in = const_cast<uint8_t*>(p);
  s.avail_in = static_cast<uInt>(n);
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  int z = inflate(&s, Z_FINISH);
  size_t produced = out.size() - s.avail_out;
  inflateEnd(&s);
  if (z != Z_STREAM_END) return {};
  out.resize(produced);
  return out;
}

// The archive image with its end record replaced: base, volume count and stored
// name as given, everything else as decoded. The image must end with its record.
inline std::vector<uint8_t> WithEndRecord(const std::vector<uint8_t>& image, const DecodedArchive& a, uint64_t base,
                                          const std::u16string& storedName) {
  std::vector<uint8_t> out(image.begin(), image.begin() + static_cast<long>(a.endOffset));
  arc::EndOfCentralDirectory e;
  e.signature = ARC_SIG_END;
  e.volumeCount = a.volumeCount;
  e.entryCountVolume = a.countVolume;
  e.entryCount = a.count;
  e.centralSize = a.centralSize;
  e.centralOffset = a.centralOffset;
  e.base = base;
  e.commentLength = static_cast<uint32_t>(a.comment.size());
  e.archiveNameLength = static_cast<uint32_t>(storedName.size());
  uint8_t fixed[arc::kEndRecordSize];
  e.Encode(fixed);
  out.insert(out.end(), fixed, fixed + sizeof(fixed));
  for (const std::u16string* s : {&a.comment, &storedName})
    for (char16_t c : *s) {
      out.push_back(static_cast<uint8_t>(c));
      out.push_back(static_cast<uint8_t>(c >> 8));
    }
  return out;
}

// Creates `archive` from `paths` (level 6 deflate, recursive) and closes it.
inline ZoResult CreateArchive(const std::u16string& archive, const std::vector<std::u16string>& paths,
                              uint32_t compression = ARC_COMPRESSION_ZIP, uint32_t level = 6,
                              const char16_t* comment = nullptr) {
  CArchive2 a;
  ZoResult r = a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr);
  if (r < 0) return r;
  if (comment) a.AddVolumeComment(comment);
  for (const auto& p : paths) {
    r = a.AddEntryToArchive(p.c_str(), compression, level, ARC_ADD_RECURSE, nullptr);
    if (r < 0) {
      a.Close();
      return r;
    }
  }
  return a.Close();
}

inline std::vector<std::u16string> Names(const DecodedArchive& a) {
  std::vector<std::u16string> names;
  for (const auto& c : a.central) names.push_back(c.name);
  return names;
}

}  // namespace writer_test
