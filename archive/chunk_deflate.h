// Deflating one large file on several threads: a file above arc::WholeBufferLimit()
// is cut into chunks of DeflateChunkSize() bytes, each chunk is deflated on its own
// by libdeflate, and the pieces are joined into ONE raw deflate stream. Every
// piece but the file's last is made to end as zlib's Z_SYNC_FLUSH ends a piece:
// the final-block bit of its last block is cleared and an empty stored block
// (00 00 FF FF after byte alignment) follows, so the next piece starts on a byte
// boundary with a new block. Any inflater reads the joined stream as one.
//
// libdeflate neither reports where its blocks begin nor leaves the final bit
// unset, so each piece that is not the last is inflated once with zlib, block by
// block (Z_BLOCK), which gives the bit where its last block starts and the unused
// bits of its last byte; the same pass proves the piece inflates to the chunk.
// A chunk starts with an empty window (libdeflate takes no preset dictionary):
// with 1 MiB chunks that costs well under 0.1 % of the size.
//
// The chunks, and so the bytes of the entry, depend only on the file's bytes,
// the level and the chunk size, never on the number of threads. The calling
// thread reads chunk after chunk into free slots and writes finished pieces in
// order; workers deflate the slots in between. With one thread the calling
// thread deflates each chunk itself as it submits it.
//
// Memory: Slots() chunks are in flight at most, each holding its input and its
// deflated piece (a little over twice the chunk size), plus one libdeflate
// compressor and one zlib inflater per worker: with 1 MiB chunks at most
// kMaxChunksInFlight x 2 MiB (32 MiB; 12 MiB on 32-bit Windows).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/types.h"

namespace arc {

inline constexpr size_t kDefaultDeflateChunkSize = size_t{1} << 20;
inline constexpr unsigned kMaxChunksInFlight = sizeof(void*) >= 8 ? 16 : 6;

// The chunk size in bytes. Tests make it small so that small files span many
// chunks; 0 restores the default, and more than 64 MiB is taken as 64 MiB. Not
// for use while an archive operation runs.
size_t DeflateChunkSize();
void SetDeflateChunkSize(size_t bytes);

class ChunkDeflater {
 public:
  ChunkDeflater();
  ~ChunkDeflater();  // Stop()
  ChunkDeflater(const ChunkDeflater&) = delete;
  ChunkDeflater& operator=(const ChunkDeflater&) = delete;

  // Makes the slots, compressors and (for threads > 1) the workers for chunks of
  // `level` (0..9). False when short of memory or no compressor could be made;
  // then nothing runs and the caller deflates another way.
  bool Start(int level, unsigned threads);

  // The input buffer (DeflateChunkSize() bytes) of the next chunk, or null while
  // every slot is in flight: the caller then takes the front piece first.
  uint8_t* InputBuffer();
  // Hands the chunk in InputBuffer() (its first `length` bytes, more than 0) on
  // for deflating; `last` for the file's last chunk.
  void Submit(size_t length, bool last);
  // Whether a submitted chunk's piece is not yet taken.
  bool Pending() const;
  // Waits for the oldest submitted chunk and gives its piece: 0 with *data and
  // *length set, or the failure met (E_OUTOFMEMORY, or ARC_E_WRITE when the
  // piece did not inflate back to its chunk). Release() frees the slot after.
  ZoResult TakeFront(const uint8_t** data, size_t* length);
  void Release();

  // Ends the workers (each ends the chunk it deflates) and joins them; drops
  // every chunk. Also the destructor.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace arc
