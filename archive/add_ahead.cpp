// Reading and compressing ahead (see add_ahead.h).
//
// The queue holds the scout's jobs in walk order. Workers claim jobs strictly in
// that order, so the queue is a prefix of claimed jobs (being worked on or
// prepared) followed by the jobs nobody has claimed yet; `claimed` is the length
// of that prefix. A worker may claim the first unclaimed job when its bytes fit
// under the cap, or when it is the queue's front (the job the writer waits for
// next): the front job never waits for memory, so the writer always progresses.
#include "archive/add_ahead.h"

#include <libdeflate.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <vector>

#include "archive/record_writer.h"
#include "archive/whole_buffer.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "runtime/zo_path.h"

namespace arc {

namespace {

enum class JobState { kQueued, kWorking, kDone };

constexpr size_t kWriterBatch = 8;

// A folder that workers open files in by name (plat::Folder), shared by the
// jobs of its files; `open` counts the ones alive.
struct OpenFolder {
  plat::Folder folder;
  std::atomic<int>* open = nullptr;
  OpenFolder(plat::Folder f, std::atomic<int>* counter) : folder(std::move(f)), open(counter) { ++*open; }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  ~OpenFolder() { --*open; }
};

// At most this many folders stay open for the jobs queued ahead (a tree of one
// file per folder would otherwise hold up to kJobsAhead descriptors); past it a
// job's file is opened by its whole path.
constexpr int kFoldersOpen = 8;

struct Job {
  std::u16string path;
  std::shared_ptr<const OpenFolder> folder;  // the path's folder, or null
  size_t nameAt = 0;                         // where the name starts in `path`
  uint64_t sizeHint = 0;  // the lister's size: the memory a claim reserves
  uint32_t attributes = 0;  // the lister's attributes
  JobState state = JobState::kQueued;
  bool usable = false;     // done, and `result` is what the writer's step would make
  bool abandoned = false;  // dropped by the writer while a worker had it
  size_t held = 0;         // bytes counted in State::held for this job
  PreparedFile result;
};

bool IsDotOrDotDot(const std::u16string& n) { return n == u"." || n == u".."; }

bool IsFolderLink(uint32_t attributes) {
  return (attributes & ZO_ATTR_REPARSE_POINT) && (attributes & ZO_ATTR_DIRECTORY);
}

// The memory a file of `size` bytes takes while it is prepared: its bytes, and
// for deflate a second buffer for the deflated form.
// A file larger than the whole buffer costs nothing: it is left to the writer.
size_t CostOf(uint64_t size, uint32_t compression) {
  if (size > WholeBufferLimit()) return 0;
  const size_t bytes = static_cast<size_t>(size);
  return compression == ARC_COMPRESSION_ZIP ? 2 * bytes : bytes;
}

// Files up to this size are read and deflated in the worker's own buffers, and
// what is written is then copied to a block of its exact size.
constexpr size_t kScratchLimit = kBlockSize;

// A worker's buffers for small files and its compressor, kept from file to file.
struct WorkerBuffers {
  GrowBuffer in;      // the file's bytes
  GrowBuffer packed;  // their deflated form
  libdeflate_compressor* compressor = nullptr;
  WorkerBuffers() = default;
  WorkerBuffers(const WorkerBuffers&) = delete;
  WorkerBuffers& operator=(const WorkerBuffers&) = delete;
  ~WorkerBuffers() { libdeflate_free_compressor(compressor); }
};

// The bytes a prepared file keeps until it is written (see Prepare): a small
// file's block of exact size, a larger one's buffer, shrunk to the deflated form
// when that is much smaller.
size_t HeldBy(const PreparedFile& file) {
  const size_t size = static_cast<size_t>(file.size);
  if (file.outcome != PreparedFile::Outcome::kReady) return size;
  if (size <= kScratchLimit) return file.length;
  return file.length < size - size / 4 ? file.length : size;
}

bool StatusStopsWaiting(const std::atomic<int32_t>* status) {
  if (!status) return false;
  const int32_t s = status->load();
  return s == ARC_E_CANCELLED || s == ARC_STATUS_PAUSED;
}

}  // namespace

struct AddAhead::State {
  Plan plan;
  std::u16string archivePath, tempPath;
  std::mutex m;
  // Who waits for what. Each side wakes another only when it waits, and in
  // batches, so that a tree of small files does not pay a thread switch per
  // file: the writer is woken once kWriterBatch jobs from the front are done (or
  // no more can start soon), the scout once the queue has half emptied.
  std::condition_variable workerWake;  // a job to claim, or room under the cap
  std::condition_variable writerWake;  // a job done, or a path queued
  std::condition_variable scoutWake;   // room in the queue
  unsigned idleWorkers = 0;
  bool writerWaits = false;
  bool scoutWaits = false;
  std::deque<std::shared_ptr<Job>> queue;
  size_t claimed = 0;
  size_t held = 0;
  bool stop = false;
  bool scoutDone = false;
  std::vector<std::unique_ptr<plat::Thread>> threads;
  std::shared_ptr<const TreeListing> listing;  // StartListed: the tree, read-only
  // The scout's folder: the one of the last path pushed, with its text.
  std::shared_ptr<const OpenFolder> folder;
  std::u16string folderPath;
  std::atomic<int> foldersOpen{0};

  // ---- scout ----
  // False once stopped.
  bool Push(const ZoChar* path, uint64_t sizeHint, uint32_t attributes) {
    try {
      return Push(std::u16string(path), sizeHint, attributes);
    } catch (const std::bad_alloc&) {
      return true;  // the writer does this one itself
    }
  }

  bool Push(std::u16string path, uint64_t sizeHint, uint32_t attributes) {
    // The file being written is never read ahead (the writer leaves it out too);
    // the full paths are compared only for a file of the same name.
    const ZoChar* name = ZoGetFileNamePtrW(path.c_str());
    for (const std::u16string* own : {&archivePath, &tempPath}) {
      if (!own->empty() && plat::EqualsNoCase(name, ZoGetFileNamePtrW(own->c_str())) &&
          SameFullPath(path.c_str(), own->c_str()))
        return true;
    }
    std::shared_ptr<Job> job;
    try {
      job = std::make_shared<Job>();
    } catch (const std::bad_alloc&) {
      return true;  // the writer does this one itself
    }
    job->nameAt = static_cast<size_t>(name - path.c_str());
    job->folder = FolderOf(path, job->nameAt);
    job->path = std::move(path);
    job->sizeHint = sizeHint;
    job->attributes = attributes;
    std::unique_lock<std::mutex> lock(m);
    while (!stop && queue.size() >= kJobsAhead) {
      scoutWaits = true;
      scoutWake.wait(lock);
      scoutWaits = false;
    }
    if (stop) return false;
    try {
      queue.push_back(std::move(job));
    } catch (const std::bad_alloc&) {
      return true;
    }
    if (idleWorkers) workerWake.notify_one();
    if (writerWaits) writerWake.notify_one();
    return true;
  }

  // The open folder of the path whose name starts at `nameAt`: the last one
  // when the folder is the same, else a newly opened one; null when the path has
  // no folder part, too many are open or it cannot be opened (the worker then
  // opens the whole path).
  std::shared_ptr<const OpenFolder> FolderOf(const std::u16string& path, size_t nameAt) {
    if (nameAt == 0) return nullptr;
    const plat::StringView16 part(path.data(), nameAt);
    if (folder && plat::StringView16(folderPath) == part) return folder;
    folder.reset();
    folderPath.clear();
    if (foldersOpen.load() >= kFoldersOpen) return nullptr;
    try {
      folderPath.assign(path, 0, nameAt);
      plat::Folder opened = plat::Folder::Open(folderPath.c_str());
      if (opened) folder = std::make_shared<const OpenFolder>(std::move(opened), &foldersOpen);
    } catch (const std::bad_alloc&) {
      folder.reset();
    }
    if (!folder) folderPath.clear();
    return folder;
  }

  bool WalkTree(const ZoChar* folder, int depth) {
    if (depth > 512) return true;
    plat::DirectoryLister lister;
    if (!lister.Open(folder, u"*.*")) return true;
    plat::DirectoryEntry entry;
    ZoChar child[ZO_MAX_PATH];
    while (lister.Next(&entry)) {
      if (IsStopped()) return false;
      if (IsDotOrDotDot(entry.name) || IsFolderLink(entry.attributes)) continue;
      if (!JoinFolderAndName(folder, entry.name, child)) continue;  // the writer's walk leaves it out too
      if (entry.attributes & ZO_ATTR_DIRECTORY) {
        if (!WalkTree(child, depth + 1)) return false;
      } else if (!Push(child, entry.size, entry.attributes)) {
        return false;
      }
    }
    return true;
  }

  // The files of the listing's entries [first, end) in `folder` and below, as
  // WalkTree would find them. False once stopped.
  bool WalkListed(const ZoChar* folder, size_t first, size_t end) {
    ZoChar child[ZO_MAX_PATH];
    for (size_t i = first; i < end; i = listing->Next(i)) {
      if (IsStopped()) return false;
      const uint32_t attributes = listing->Attributes(i);
      if (IsFolderLink(attributes) || (attributes & ZO_ATTR_DEVICE)) continue;
      if (!JoinFolderAndName(folder, listing->Name(i), child)) return true;  // not in a usable listing
      if (attributes & ZO_ATTR_DIRECTORY) {
        if (!WalkListed(child, i + 1, listing->Next(i))) return false;
      } else if (!Push(child, listing->Size(i), attributes)) {
        return false;
      }
    }
    return true;
  }

  void WalkPattern(const ZoChar* folder, const std::u16string& part, WildcardKind kind, bool recurse) {
    plat::DirectoryLister lister;
    if (!lister.Open(*folder ? folder : u".", u"*.*")) return;
    plat::DirectoryEntry entry;
    ZoChar child[ZO_MAX_PATH];
    while (lister.Next(&entry)) {
      if (IsStopped()) return;
      if (IsDotOrDotDot(entry.name)) continue;
      const bool isFolder = (entry.attributes & ZO_ATTR_DIRECTORY) != 0;
      if (isFolder && !recurse) continue;
      if (!CArchive2::MatchWildcard(entry.name.c_str(), part, kind)) continue;
      if (!JoinFolderAndName(folder, entry.name, child)) continue;  // left out by the writer too
      if (IsFolderLink(entry.attributes)) continue;
      if (isFolder ? !WalkTree(child, 0) : !Push(child, entry.size, entry.attributes)) return;
    }
  }

  bool IsStopped() {
    std::lock_guard<std::mutex> lock(m);
    return stop;
  }

  void ScoutDone() {
    folder.reset();  // the queued jobs keep theirs
    std::lock_guard<std::mutex> lock(m);
    scoutDone = true;
    writerWake.notify_one();
  }

  // ---- workers ----
  bool CanClaim() const {
    if (claimed >= queue.size()) return false;
    const Job& job = *queue[claimed];
    return claimed == 0 || held + CostOf(job.sizeHint, plan.compression) <= kHeldAheadCap;
  }

  void Work() {
    WorkerBuffers buffers;
    for (;;) {
      std::shared_ptr<Job> job;
      {
        std::unique_lock<std::mutex> lock(m);
        while (!stop && !CanClaim()) {
          ++idleWorkers;
          workerWake.wait(lock);
          --idleWorkers;
        }
        if (stop) break;
        job = queue[claimed++];
        job->state = JobState::kWorking;
        job->held = CostOf(job->sizeHint, plan.compression);
        held += job->held;
      }
      // A file larger than the whole buffer is streamed by the writer, never read ahead.
      const bool usable =
          job->sizeHint <= WholeBufferLimit() &&
          Prepare(*job, &job->result, &buffers);
      job->folder.reset();  // the folder may close once its files are read
      std::lock_guard<std::mutex> lock(m);
      held -= job->held;
      job->held = 0;
      if (!job->abandoned && usable && job->result.data) {
        job->held = HeldBy(job->result);
        held += job->held;
      }
      job->usable = usable;
      job->state = JobState::kDone;
      if (job->abandoned) job->result = PreparedFile();
      if (writerWaits && WriterHasEnough()) writerWake.notify_one();
    }
  }

  // Reads and compresses one file as the writer's data step would. False when
  // the writer should do it itself (not a regular file, too large, short of memory).
  // `attributes` are the lister's: a tree of small files is not stat'ed again
  // by path here. The open file's own status (one call) gives the size, the
  // times and the permission bits, and a file that turned into something else
  // since it was listed is left to the writer unread.
  bool Prepare(const Job& job, PreparedFile* out, WorkerBuffers* buffers) {
    using Outcome = PreparedFile::Outcome;
    const uint32_t attributes = job.attributes;
    // Only regular files are opened: anything else could block the open or a read.
    if (attributes == ZO_INVALID_ATTRIBUTES || (attributes & (ZO_ATTR_DEVICE | ZO_ATTR_DIRECTORY))) return false;
    const ZoChar* path = job.path.c_str();
    plat::File source;
    if (job.folder) {
      // By name in its open folder. Whatever fails here is left to the writer,
      // which opens the whole path and reports its own failure.
      source = job.folder->folder.OpenToRead(path + job.nameAt, path);
      if (!source) return false;
    } else {
      source = plat::File::Open(path, plat::Access::Read, plat::kShareRead | plat::kShareWrite,
                                plat::Disposition::OpenExisting);
    }
    if (!source) {
      out->outcome = Outcome::kOpenFailed;
      return true;
    }
    plat::File::Status status;
    if (!source.GetStatus(&status)) {
      out->outcome = Outcome::kTimesFailed;
      return true;
    }
    if (!status.regular) return false;
    out->posixMode = status.posixMode;
    out->size = status.size;
    out->lastWrite = status.times.lastWrite;
    if (out->size > WholeBufferLimit()) return false;
    const size_t size = static_cast<size_t>(out->size);
    // A small file is read and deflated in the worker's own buffers, and only
    // what is written goes to a block of its own size: no fresh pair of buffers
    // per file. A larger one is read into the buffer that is handed over.
    const bool small = size <= kScratchLimit;
    std::unique_ptr<uint8_t[]> own;
    if (!small) own.reset(new (std::nothrow) uint8_t[size]);
    if (small ? !buffers->in.Reserve(kScratchLimit) : !own) return false;
    uint8_t* const in = small ? buffers->in.data() : own.get();
    // The first `length` bytes of `from` in a block of their own (at least one byte).
    auto handOver = [](const uint8_t* from, size_t length) {
      std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[length ? length : 1]);
      if (copy && length) std::copy(from, from + length, copy.get());
      return copy;
    };
    uint32_t crc = 0;
    for (size_t done = 0; done < size;) {
      const size_t want = std::min(size - done, kBlockSize);
      size_t got = 0;
      if (!source.Read(in + done, want, &got) || got != want) {
        out->outcome = Outcome::kReadFailed;
        out->readBefore = done;
        out->data = small ? handOver(in, done) : std::move(own);
        return out->data != nullptr;
      }
      crc = Crc32(crc, in + done, got);
      done += got;
      if (IsStopped()) return false;
    }
    out->crcUncompressed = crc;
    out->crcCompressed = crc;
    out->compressionType = ARC_COMPRESSION_NONE;
    out->length = size;
    if (plan.compression == ARC_COMPRESSION_ZIP && size > 0) {
      const int level = static_cast<int>(plan.level);
      if (!buffers->compressor) buffers->compressor = libdeflate_alloc_compressor(level);
      if (!buffers->compressor) return false;
      std::unique_ptr<uint8_t[]> packedOwn;
      if (!small) packedOwn.reset(new (std::nothrow) uint8_t[size]);
      if (small ? !buffers->packed.Reserve(kScratchLimit) : !packedOwn) return false;
      uint8_t* const packed = small ? buffers->packed.data() : packedOwn.get();
      // Room for one byte less than the file: 0 says the deflated form would not
      // be smaller, and the file's own bytes are stored.
      const size_t length = libdeflate_deflate_compress(buffers->compressor, in, size, packed, size - 1);
      if (length) {
        out->compressionType = ARC_COMPRESSION_ZIP;
        out->length = length;
        out->crcCompressed = Crc32(0, packed, length);
        if (small) {
          out->data = handOver(packed, length);
          return out->data != nullptr;
        }
        own = std::move(packedOwn);
        // Held until written: a deflated form much smaller than its buffer moves
        // to one of its own size, so that more files fit under the cap.
        if (length < size - size / 4) {
          std::unique_ptr<uint8_t[]> exact = handOver(own.get(), length);
          if (exact) own = std::move(exact);
        }
      }
    } else if (plan.compression == ARC_COMPRESSION_ZIP) {
      out->compressionType = ARC_COMPRESSION_ZIP;  // an empty file: no stream, sizes and CRCs 0
    }
    out->data = small ? handOver(in, out->length) : std::move(own);
    return out->data != nullptr;
  }

  // Whether to wake the waiting writer: the front job is done, and either
  // kWriterBatch jobs from the front are, or no worker would start another one
  // now (nothing queued, the cap reached), or much memory is held.
  bool WriterHasEnough() const {
    size_t run = 0;
    while (run < queue.size() && run < kWriterBatch && queue[run]->state == JobState::kDone) ++run;
    return run > 0 && (run == kWriterBatch || !CanClaim() || held >= kHeldAheadCap / 2);
  }

  // ---- writer ----
  void DropFront(size_t count) {
    for (size_t i = 0; i < count && !queue.empty(); ++i) {
      Job& job = *queue.front();
      if (job.state == JobState::kWorking) {
        job.abandoned = true;
      } else {
        held -= job.held;
        job.held = 0;
      }
      if (claimed > 0) --claimed;
      queue.pop_front();
    }
    if (count == 0) return;
    if (idleWorkers) workerWake.notify_all();  // room under the cap, or a new front
    if (scoutWaits && queue.size() <= kJobsAhead / 2) scoutWake.notify_one();
  }
};

AddAhead::AddAhead() = default;

AddAhead::~AddAhead() { Stop(); }

bool AddAhead::StartTree(const Plan& plan, const ZoChar* folder) {
  return Start(plan, folder, nullptr, kWildcardExact, false, nullptr);
}

bool AddAhead::StartListed(const Plan& plan, const ZoChar* folder, std::shared_ptr<const TreeListing> listing) {
  if (!listing) return false;
  return Start(plan, folder, nullptr, kWildcardExact, false, std::move(listing));
}

bool AddAhead::StartPattern(const Plan& plan, const ZoChar* folder, const std::u16string& part, WildcardKind kind,
                            bool recurse) {
  return Start(plan, folder, &part, kind, recurse, nullptr);
}

bool AddAhead::Start(const Plan& plan, const ZoChar* folder, const std::u16string* part, WildcardKind kind,
                     bool recurse, std::shared_ptr<const TreeListing> listing) {
  Stop();
  if (plan.workers == 0 || !folder) return false;
  try {
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.plan = plan;
    if (plan.archivePath) s.archivePath = plan.archivePath;
    if (plan.tempPath) s.tempPath = plan.tempPath;
    std::u16string root = folder;
    std::u16string pattern = part ? *part : std::u16string();
    const bool isPattern = part != nullptr;
    const bool isListed = listing != nullptr;
    s.listing = std::move(listing);
    for (unsigned i = 0; i < plan.workers; ++i) {
      s.threads.push_back(std::make_unique<plat::Thread>());
      if (!s.threads.back()->Start([&s] { s.Work(); })) {
        s.threads.pop_back();
        break;
      }
    }
    if (s.threads.empty()) {
      state_.reset();
      return false;
    }
    auto scout = std::make_unique<plat::Thread>();
    const bool started = scout->Start([&s, root = std::move(root), pattern = std::move(pattern), isPattern, kind,
                                       recurse, isListed] {
      if (isListed) {
        s.WalkListed(root.c_str(), 0, s.listing->Count());
      } else if (isPattern) {
        s.WalkPattern(root.c_str(), pattern, kind, recurse);
      } else {
        s.WalkTree(root.c_str(), 0);
      }
      s.ScoutDone();
    });
    if (!started) {
      Stop();
      return false;
    }
    s.threads.push_back(std::move(scout));
  } catch (const std::bad_alloc&) {
    Stop();
    return false;
  }
  return true;
}

bool AddAhead::Take(const ZoChar* path, const std::atomic<int32_t>* status, PreparedFile* out) {
  if (!state_) return false;
  State& s = *state_;
  constexpr auto kPollInterval = std::chrono::milliseconds(20);
  const plat::StringView16 wanted(path, plat::Length(path));
  std::unique_lock<std::mutex> lock(s.m);
  for (;;) {
    size_t at = 0;
    while (at < s.queue.size() && plat::StringView16(s.queue[at]->path) != wanted) ++at;
    if (at < s.queue.size()) {
      // Every job before this one is a file the writer's walk did not add.
      s.DropFront(at);
      std::shared_ptr<Job> job = s.queue.front();
      while (job->state != JobState::kDone && !s.stop) {
        if (StatusStopsWaiting(status)) break;
        s.writerWaits = true;
        s.writerWake.wait_for(lock, kPollInterval);
        s.writerWaits = false;
      }
      const bool usable = job->state == JobState::kDone && job->usable;
      s.DropFront(1);
      if (!usable) return false;
      *out = std::move(job->result);
      return true;
    }
    if (s.scoutDone || s.stop || StatusStopsWaiting(status)) return false;
    // A full queue without the path holds only files the walk left behind.
    if (s.queue.size() >= kJobsAhead) s.DropFront(s.queue.size());
    s.writerWaits = true;
    s.writerWake.wait_for(lock, kPollInterval);
    s.writerWaits = false;
  }
}

void AddAhead::Stop() {
  if (!state_) return;
  {
    std::lock_guard<std::mutex> lock(state_->m);
    state_->stop = true;
    state_->workerWake.notify_all();
    state_->writerWake.notify_all();
    state_->scoutWake.notify_all();
  }
  for (auto& thread : state_->threads) thread->Join();
  state_.reset();
}

}  // namespace arc
