// EntryStream: the one loop that moves an entry's stored bytes from the archive
// (through a VolumeReader) to a sink, copying stored entries and inflating
// deflated ones, with both CRCs, the size limit, progress and cancel polls.
// Extraction's sink writes the target file; verification's sink discards.
// A deflated entry whose two sizes are within arc::WholeBufferLimit() is read
// whole and inflated in one libdeflate call; a larger one streams through zlib.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "archive/archive2.h"
#include "archive/whole_buffer.h"

struct libdeflate_decompressor;
class VolumeReader;

// Work buffers of one extracting or verifying operation, allocated once for the
// operation (not per file) and released when it ends.
struct ExtractWork {
  static constexpr size_t kInputSize = 262148;   // at most arc::kBlockSize filled per read
  static constexpr size_t kOutputSize = 288358;  // handed to the inflater whole
  std::vector<uint8_t> input;
  std::vector<uint8_t> output;
  z_stream stream{};
  bool streamReady = false;
  // The whole-buffer pair (an entry's stored bytes and their inflated form), grown
  // to the largest entry inflated in one call, and the libdeflate state.
  arc::GrowBuffer wholeInput;
  arc::GrowBuffer wholeOutput;
  libdeflate_decompressor* decompressor = nullptr;
  // The last target folder whose components below the destination were checked
  // (and created) in this operation; later files in it skip the walk.
  std::u16string verifiedFolder;

  ExtractWork() = default;
  ExtractWork(const ExtractWork&) = delete;
  ExtractWork& operator=(const ExtractWork&) = delete;
  ~ExtractWork();
  bool Allocate();  // false when out of memory
  // Whether an entry of these sizes can be inflated whole: within the limit, and
  // the buffers and decompressor made (false when short of memory: it streams).
  bool PrepareWhole(uint64_t compressedSize, uint64_t uncompressedSize);
};

// Makes `archive.work_` point at a fresh ExtractWork for the lifetime of the scope.
class WorkScope {
 public:
  explicit WorkScope(CArchive2& archive) : archive_(archive) {}
  // Hands the buffers back to the archive's cache (or frees them when the cache
  // is taken).
  ~WorkScope();
  WorkScope(const WorkScope&) = delete;
  WorkScope& operator=(const WorkScope&) = delete;
  // False (after reporting ARC_ERROR_MEMORY with `step`) when out of memory.
  bool Begin(const char* step);

 private:
  CArchive2& archive_;
  ExtractWork* work_ = nullptr;
};

// Frees cached buffers (Close and the destructor).
void ReleaseExtractWork(ExtractWork* work);

class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // False when the bytes cannot be taken (a failed write).
  virtual bool Put(const uint8_t* data, size_t size) = 0;
};

struct EntryTotals {
  uint32_t crcRead = 0;     // over the stored bytes read
  uint32_t crcWritten = 0;  // over the bytes handed to the sink
  uint64_t produced = 0;    // bytes handed to the sink
};

class EntryStream {
 public:
  enum class Mode {
    kStoredBytesOnly,  // read compressedSize bytes; crcRead only; progress counts input
    kDecode,           // stored: uncompressedSize bytes; deflated: inflate; progress counts output
  };
  // Failures are reported with `step` before they are returned: ARC_E_READ,
  // ARC_E_VOLUME_NOT_FOUND, ARC_E_WRITE (sink or inflater), ARC_E_CHECK (more
  // output than uncompressedSize), E_OUTOFMEMORY, ARC_E_CANCELLED (no event).
  static ZoResult Run(CArchive2& archive, const ArchiveDirectoryEntry& entry, Mode mode, const char* locateStep,
                      const char* step, EntrySink& sink, EntryTotals* totals);
  // Whether Run will find where the entry's stored bytes begin, checked before the
  // caller creates anything: 0, or the locate failure Run would meet (reported
  // with `locateStep`). An entry with no bytes to read needs no location.
  static ZoResult Locate(CArchive2& archive, const ArchiveDirectoryEntry& entry, Mode mode, const char* locateStep,
                         const char* step);

 private:
  // A deflated entry inflated in one call, once ExtractWork::PrepareWhole approved it.
  static ZoResult InflateWhole(CArchive2& archive, const arc::CentralDirectoryEntry& record, VolumeReader& reader,
                               const char* step, EntrySink& sink, EntryTotals* totals);
};
