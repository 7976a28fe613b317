// Chunked deflate of large files (see chunk_deflate.h).
//
// Slots form a ring. `head` is the oldest slot in flight (the piece the writer
// takes next), `count` the slots in flight; the writer fills slot head + count
// and submits it. Workers claim submitted slots strictly in submission order
// (`nextClaim`), so the front is always claimed first and the writer never
// waits behind a younger chunk.
#include "archive/chunk_deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <vector>

#include "platform/results.h"
#include "platform/thread.h"

namespace arc {

namespace {

std::atomic<size_t> chunkSize{kDefaultDeflateChunkSize};

// The empty stored block that ends every piece but the last, after the 3 header
// bits (not final, stored) and the padding to a byte boundary: LEN 0, NLEN FFFF.
constexpr uint8_t kStoredLengths[4] = {0x00, 0x00, 0xFF, 0xFF};
// Room the marker may add after a piece: a byte for header bits and padding, and
// the four length bytes.
constexpr size_t kMarkerRoom = 1 + sizeof(kStoredLengths);
// Inflate output of the joining pass goes here and is dropped (zlib keeps its
// own window).
constexpr size_t kScratchSize = size_t{64} << 10;

enum class SlotState { kFree, kSubmitted, kWorking, kDone };

struct Slot {
  std::unique_ptr<uint8_t[]> input;
  std::unique_ptr<uint8_t[]> output;
  size_t inputLength = 0;
  size_t outputLength = 0;
  bool last = false;
  ZoResult result = 0;
  SlotState state = SlotState::kFree;
};

// One deflating context: a compressor, the joining pass's inflater and its scratch.
struct Deflater {
  libdeflate_compressor* compressor = nullptr;
  z_stream inflater{};
  bool inflaterReady = false;
  std::unique_ptr<uint8_t[]> scratch;

  Deflater() = default;
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  ~Deflater() {
    libdeflate_free_compressor(compressor);
    if (inflaterReady) inflateEnd(&inflater);
  }
  bool Make(int level) {
    compressor = libdeflate_alloc_compressor(level);
    inflater = z_stream{};
    inflaterReady = inflateInit2(&inflater, -15) == Z_OK;
    scratch.reset(new (std::nothrow) uint8_t[kScratchSize]);
    return compressor && inflaterReady && scratch;
  }

  // Makes `piece` (a complete raw deflate stream of `length` bytes, with room
  // for kMarkerRoom more) continuable: clears the final bit of its last block
  // and appends an empty stored block. The inflate pass must end the stream
  // exactly at its last byte with `expected` bytes out. 0 when the piece is not
  // what libdeflate promises.
  size_t Join(uint8_t* piece, size_t length, size_t expected) {
    z_stream& z = inflater;
    if (inflateReset(&z) != Z_OK) return 0;
    z.next_in = piece;
    z.avail_in = static_cast<uInt>(length);
    uint64_t lastBlockBit = 0;     // where the block after the last boundary starts
    unsigned unusedAtEnd = 0;      // unused bits of the byte holding the final end-of-block
    bool sawFinalBoundary = false;
    for (;;) {
      if (z.avail_out == 0) {
        z.next_out = scratch.get();
        z.avail_out = static_cast<uInt>(kScratchSize);
      }
      const int status = inflate(&z, Z_BLOCK);
      if (status == Z_STREAM_END) break;
      if (status != Z_OK) return 0;
      // At a block boundary (bit 128): the bits left in the last byte taken are
      // the boundary's position within it; bit 64 says the block just ended
      // was the final one.
      if (z.data_type & 128) {
        const uint64_t bit = 8 * static_cast<uint64_t>(z.next_in - piece) - (z.data_type & 7);
        if (z.data_type & 64) {
          sawFinalBoundary = true;
          unusedAtEnd = static_cast<unsigned>(z.data_type & 7);
        } else {
          lastBlockBit = bit;
        }
      } else if (z.avail_in == 0 && z.avail_out != 0) {
        return 0;  // cut short
      }
    }
    if (!sawFinalBoundary || z.avail_in != 0 || z.total_out != expected) return 0;
    uint8_t& header = piece[lastBlockBit / 8];
    const uint8_t finalBit = static_cast<uint8_t>(1u << (lastBlockBit % 8));
    if (!(header & finalBit)) return 0;
    header = static_cast<uint8_t>(header & ~finalBit);
    // The three header bits 000 and the padding after the final end-of-block:
    // the unused high bits of the last byte are cleared (libdeflate leaves them
    // 0), and a new byte carries what does not fit in them.
    if (unusedAtEnd > 0) piece[length - 1] = static_cast<uint8_t>(piece[length - 1] & (0xFFu >> unusedAtEnd));
    if (unusedAtEnd < 3) piece[length++] = 0;
    for (uint8_t b : kStoredLengths) piece[length++] = b;
    return length;
  }

  void Run(Slot& slot) {
    const size_t room = libdeflate_deflate_compress_bound(compressor, slot.inputLength);
    size_t length = libdeflate_deflate_compress(compressor, slot.input.get(), slot.inputLength, slot.output.get(), room);
    if (length != 0 && !slot.last) length = Join(slot.output.get(), length, slot.inputLength);
    slot.outputLength = length;
    slot.result = length ? 0 : ARC_E_WRITE;
  }
};

}  // namespace

size_t DeflateChunkSize() { return chunkSize.load(std::memory_order_relaxed); }

void SetDeflateChunkSize(size_t bytes) {
  // zlib counts a piece's bytes in 32 bits; far below that, a chunk above 64 MiB
  // would only cost memory.
  constexpr size_t kLargest = size_t{64} << 20;
  chunkSize.store(bytes == 0 ? kDefaultDeflateChunkSize : bytes > kLargest ? kLargest : bytes,
                  std::memory_order_relaxed);
}

struct ChunkDeflater::State {
  std::vector<Slot> slots;
  std::vector<std::unique_ptr<Deflater>> deflaters;  // one per worker; [0] inline
  std::vector<std::unique_ptr<plat::Thread>> threads;
  size_t chunk = 0;
  size_t head = 0;       // oldest slot in flight
  size_t count = 0;      // slots in flight
  size_t nextClaim = 0;  // submitted slots before this one (in ring order from head) are claimed
  size_t unclaimed = 0;  // submitted, not yet claimed
  bool stop = false;
  std::mutex m;
  std::condition_variable workerWake;
  std::condition_variable writerWake;

  void Work(Deflater& deflater) {
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
      while (!stop && unclaimed == 0) workerWake.wait(lock);
      if (stop) return;
      Slot& slot = slots[nextClaim];
      nextClaim = (nextClaim + 1) % slots.size();
      --unclaimed;
      slot.state = SlotState::kWorking;
      lock.unlock();
      deflater.Run(slot);
      lock.lock();
      slot.state = SlotState::kDone;
      writerWake.notify_one();
    }
  }
};

ChunkDeflater::ChunkDeflater() = default;

ChunkDeflater::~ChunkDeflater() { Stop(); }

bool ChunkDeflater::Start(int level, unsigned threads) {
  Stop();
  try {
    auto state = std::make_unique<State>();
    State& s = *state;
    s.chunk = DeflateChunkSize();
    // One slot more than workers, so that the writer reads the next chunk while
    // every worker deflates one.
    const unsigned slots = threads <= 1 ? 1 : (threads + 1 < kMaxChunksInFlight ? threads + 1 : kMaxChunksInFlight);
    const unsigned workers = threads <= 1 ? 1 : slots - 1;
    for (unsigned i = 0; i < workers; ++i) {
      s.deflaters.push_back(std::make_unique<Deflater>());
      if (!s.deflaters.back()->Make(level)) return false;
    }
    const size_t room = libdeflate_deflate_compress_bound(s.deflaters[0]->compressor, s.chunk) + kMarkerRoom;
    s.slots.resize(slots);
    for (Slot& slot : s.slots) {
      slot.input.reset(new (std::nothrow) uint8_t[s.chunk]);
      slot.output.reset(new (std::nothrow) uint8_t[room]);
      if (!slot.input || !slot.output) return false;
    }
    state_ = std::move(state);
    if (threads <= 1) return true;
    for (auto& deflater : s.deflaters) {
      Deflater* d = deflater.get();
      s.threads.push_back(std::make_unique<plat::Thread>());
      if (!s.threads.back()->Start([&s, d] { s.Work(*d); })) {
        s.threads.pop_back();
        break;
      }
    }
    if (s.threads.empty()) {
      Stop();
      return false;
    }
  } catch (const std::bad_alloc&) {
    Stop();
    return false;
  }
  return true;
}

uint8_t* ChunkDeflater::InputBuffer() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.m);
  if (s.count == s.slots.size()) return nullptr;
  return s.slots[(s.head + s.count) % s.slots.size()].input.get();
}

void ChunkDeflater::Submit(size_t length, bool last) {
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.m);
  Slot& slot = s.slots[(s.head + s.count) % s.slots.size()];
  slot.inputLength = length;
  slot.last = last;
  slot.result = 0;
  ++s.count;
  if (s.threads.empty()) {
    // Alone: deflated here and now (nothing else touches the slots).
    lock.unlock();
    s.deflaters[0]->Run(slot);
    slot.state = SlotState::kDone;
    return;
  }
  slot.state = SlotState::kSubmitted;
  ++s.unclaimed;
  s.workerWake.notify_one();
}

bool ChunkDeflater::Pending() const {
  if (!state_) return false;
  std::lock_guard<std::mutex> lock(state_->m);
  return state_->count > 0;
}

ZoResult ChunkDeflater::TakeFront(const uint8_t** data, size_t* length) {
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.m);
  if (s.count == 0) return E_FAIL;
  Slot& slot = s.slots[s.head];
  while (slot.state != SlotState::kDone) s.writerWake.wait(lock);
  *data = slot.output.get();
  *length = slot.outputLength;
  return slot.result;
}

void ChunkDeflater::Release() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.m);
  if (s.count == 0) return;
  s.slots[s.head].state = SlotState::kFree;
  s.head = (s.head + 1) % s.slots.size();
  --s.count;
}

void ChunkDeflater::Stop() {
  if (!state_) return;
  {
    std::lock_guard<std::mutex> lock(state_->m);
    state_->stop = true;
    state_->workerWake.notify_all();
  }
  for (auto& thread : state_->threads) thread->Join();
  state_.reset();
}

}  // namespace arc
