// Reading and compressing ahead for the add operations: while the calling thread
// walks a folder tree (or the matches of a pattern) and writes entry after entry,
// a scout thread walks the same tree in the same order and worker threads read
// and compress the files it finds. The calling thread stays the only writer and
// the only caller of the progress object: at each file's data step it takes what
// a worker prepared for that path (Take) and writes it, with the same events in
// the same order as when it reads and compresses the file itself. So the archive
// comes out byte for byte the same whatever the number of workers.
//
// A job whose path the writer never asks for (a name left out, an entry the host
// kept, a tree changed between the two walks) is dropped when the writer moves
// past it; a path the workers did not prepare is read and compressed by the
// writer as before. Only files of at most arc::WholeBufferLimit() bytes are read
// ahead; a larger one is always left to the writer (which deflates it in chunks on
// threads of its own, chunk_deflate.h).
//
// Memory: the bytes held ahead (the buffers of the jobs being worked on and of
// the prepared jobs not yet written) stay under kHeldAheadCap, except that the
// job the writer needs next may always run: at most kHeldAheadCap plus twice
// the whole-buffer limit (reckoned with the sizes the listing gave). At most
// kJobsAhead paths are queued ahead. Besides, each worker keeps two buffers of
// 256 KiB in which it reads and deflates files up to that size (a prepared
// small file holds only a block of the size written), and the queued jobs keep
// at most 8 folders open, in which workers open their files by name.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive2.h"
#include "archive/tree_listing.h"
#include "platform/types.h"

namespace arc {

// What a worker found and made of one file, in the terms of the writer's data step.
struct PreparedFile {
  enum class Outcome {
    kReady,        // read whole: `data` holds the entry's bytes
    kOpenFailed,   // the file could not be opened
    kTimesFailed,  // its size or times could not be read
    kReadFailed,   // a read failed or came short after `readBefore` bytes
  };
  Outcome outcome = Outcome::kReady;
  uint32_t posixMode = 0;
  uint64_t size = 0;            // the file's size when it was opened
  ZoFileTime lastWrite = 0;
  uint64_t readBefore = 0;      // kReadFailed: bytes of the whole blocks read before the failure
  uint32_t compressionType = 0; // ARC_COMPRESSION_ZIP, or NONE when stored (also as a fallback)
  std::unique_ptr<uint8_t[]> data;  // the bytes to write (deflated or the file's own)
  size_t length = 0;
  uint32_t crcUncompressed = 0;
  uint32_t crcCompressed = 0;
};

class AddAhead {
 public:
  static constexpr size_t kJobsAhead = 1024;
  // 64 MiB where addresses are 64-bit, 16 MiB on 32-bit Windows: twice the
  // largest file read ahead, whose deflated form takes a second buffer.
  static constexpr size_t kHeldAheadCap = sizeof(void*) >= 8 ? size_t{64} << 20 : size_t{16} << 20;

  struct Plan {
    unsigned workers = 2;
    uint32_t compression = 0;  // ARC_COMPRESSION_NONE or ARC_COMPRESSION_ZIP
    uint32_t level = 6;
    const ZoChar* archivePath = nullptr;  // never read ahead (the file being written)
    const ZoChar* tempPath = nullptr;
  };

  AddAhead();
  ~AddAhead();  // Stop()
  AddAhead(const AddAhead&) = delete;
  AddAhead& operator=(const AddAhead&) = delete;

  // Start the scout on the children of `folder`, walked as AddDirectoryTree walks
  // them, or on the entries of `folder` that match the pattern, as AddWildcard
  // picks them. False when no thread could be started: the caller works alone.
  bool StartTree(const Plan& plan, const ZoChar* folder);
  // Start the scout on the tree below `folder` as the size walk listed it
  // (the listing AddDirectoryTree replays), so that no folder is listed again.
  bool StartListed(const Plan& plan, const ZoChar* folder, std::shared_ptr<const TreeListing> listing);
  bool StartPattern(const Plan& plan, const ZoChar* folder, const std::u16string& part, WildcardKind kind,
                    bool recurse);

  // The writer, at the data step of `path`: true with *out filled when a worker
  // prepared the file (also a failure it met); false when the caller is to read
  // and compress it itself. Waits for the worker on the file; gives up waiting
  // (false) as soon as `status` holds a cancel or a pause, so that the caller's
  // own poll handles them.
  bool Take(const ZoChar* path, const std::atomic<int32_t>* status, PreparedFile* out);

  // Stops the scout and the workers (a worker ends the file it compresses) and
  // joins them; every job is dropped.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
  bool Start(const Plan& plan, const ZoChar* folder, const std::u16string* part, WildcardKind kind, bool recurse,
             std::shared_ptr<const TreeListing> listing);
};

}  // namespace arc
