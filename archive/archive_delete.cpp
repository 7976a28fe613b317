// Deleting entries in two stages: DeleteEntryFromArchive only marks entries in
// entryList_ (one DeleteMark per central entry, in directory order); Close runs
// SubmitDeleteList, which copies every kept local record unchanged into the
// temporary file, writes the kept central entries with their new offsets and a new
// end record. Close then moves the temporary file over the archive.
//
// Each kept local record is one block copy (all of them share one buffer), so the
// host's progress counts record by record and a rewrite is one sequential pass.
#include <new>
#include <vector>

#include "archive/archive2.h"
#include "archive/copy_run.h"
#include "archive/record_writer.h"
#include "platform/text.h"
#include "runtime/zo_path.h"

namespace {

arc::DeleteMark* MarkAt(ZoList* list, int i) {
  if (!list || i < 0 || i >= ZoList_Count(list)) return nullptr;
  return static_cast<arc::DeleteMark*>(ZoList_ItemAt(list, i));
}

// True when the text after the last backslash or colon is not empty (a folder
// entry's file part is empty).
bool HasFilePart(const std::u16string& name) {
  return !name.empty() && name.back() != u'\\' && name.back() != u':';
}

}  // namespace

ZoResult CArchive2::DeleteEntryFromArchive(const ZoChar* pattern, uint32_t flags) {
  const char* kStep = "DeleteEntryFromArchive";
  if (mode_ != ARC_OPEN_DELETE || !entryList_) return E_FAIL;
  if (directoryDamaged_) {
    // Marks cover only the entries before the damage; a rewrite would drop the rest.
    ReportFailure(ARC_ERROR_SIGNATURE, kStep, archivePath_);
    return ARC_E_BAD_SIGNATURE;
  }
  // Room: the rewritten archive is the old one minus what the matches free. A
  // refused pattern is taken as the exact name it was left as (and refused below).
  std::u16string part;
  WildcardKind kind = kWildcardExact;
  CheckForWildcards(pattern, part, kind);
  int64_t freed = 0;
  for (const auto& e : directory_) {
    if (HasFilePart(e.name) && MatchWildcard(e.name.c_str(), part, kind))
      freed += static_cast<int64_t>(e.record.uncompressedSize + arc::kCentralEntrySize);
  }
  int64_t needed = GetArchiveSize() - freed;
  ZoChar folder[ZO_MAX_PATH] = {};
  ZoGetPathNameFromFilePath(archivePath_, folder, ZO_MAX_PATH);
  if (needed / 1024 > static_cast<int64_t>(arc::FreeKilobytes(folder))) {
    ReportFailure(ARC_ERROR_DISK_SPACE, kStep);
    return ARC_E_DISK_FULL;
  }
  deleteFlags_ = flags;
  // The pattern is classified once more for the marking walk, and a refused one
  // is reported again and returned here.
  ZoResult r = CheckForWildcards(pattern, part, kind);
  if (r < 0) return r;

  for (size_t i = 0; i < directory_.size(); ++i) {
    const bool match = MatchWildcard(directory_[i].name.c_str(), part, kind);
    arc::DeleteMark* mark = MarkAt(entryList_, static_cast<int>(i));
    if (!mark) {
      arc::DeleteMark fresh = {match ? 1u : 0u, 0, 0};
      r = ZoList_AllocAndInsertItem(entryList_, &fresh, static_cast<int>(sizeof(fresh)), -1, nullptr);
      if (r < 0) {
        ReportFailure(ARC_ERROR_MEMORY, kStep);
        return r;
      }
      continue;
    }
    if (match) {
      mark->deleteFlag = 1;
      // With marks in place an exact name stops at its first entry.
      if (kind == kWildcardExact) return 0;
    }
  }
  return 0;
}

int CArchive2::IsDeleteRequested() {
  if (mode_ != ARC_OPEN_DELETE) return 0;
  for (int i = 0; i < ZoList_Count(entryList_); ++i) {
    if (MarkAt(entryList_, i)->deleteFlag) return 1;
  }
  return 0;
}

void CArchive2::AbortDeletionProcess() {
  if (mode_ == ARC_OPEN_DELETE && entryList_) ZoList_DeleteList(entryList_, 0, -1, true);
}

int CArchive2::GetEntryDeleteStatus(int index) {
  if (mode_ != ARC_OPEN_DELETE) return 0;
  const arc::DeleteMark* mark = MarkAt(entryList_, index);
  return mark ? static_cast<int>(mark->deleteFlag) : 0;
}

ZoResult CArchive2::SubmitDeleteList() {
  const char* kStep = "SubmitDeleteList";
  if (mode_ != ARC_OPEN_DELETE) return E_FAIL;
  if (!IsDeleteRequested()) return 0;
  if (directoryDamaged_) {
    ReportFailure(ARC_ERROR_SIGNATURE, kStep, archivePath_);
    return ARC_E_BAD_SIGNATURE;
  }
  writePos_ = 0;
  bool deletedSomething = false;
  bool announce = true;
  CopyBufferLoan loan(copyBuffer_);
  for (size_t i = 0; i < directory_.size(); ++i) {
    arc::DeleteMark* mark = MarkAt(entryList_, static_cast<int>(i));
    if (!mark) {
      ReportFailure(ARC_ERROR_MEMORY, kStep);
      return E_OUTOFMEMORY;
    }
    const auto& e = directory_[i];
    if (mark->deleteFlag) {
      ItemName(e.name.c_str());
      Status(ARC_EVENT_ENTRY_DROPPED);
      mark->newOffset = -1;
      --entriesWritten_;
      deletedSomething = true;
      announce = true;
      continue;
    }
    uint64_t dataOffset = 0;
    if (!e.record.DataOffset(&dataOffset) || dataOffset + e.record.compressedSize < dataOffset) {
      ReportFailure(ARC_ERROR_SIGNATURE, kStep, e.name.c_str());
      return ARC_E_BAD_SIGNATURE;
    }
    mark->newOffset = static_cast<int64_t>(writePos_);
    if (announce && progress_) {
      if (!(deleteFlags_ & ARC_DELETE_NO_TOTAL)) progress_->BeginItem64(u"Entries", 0);
      progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
    }
    announce = false;
    const uint64_t size = dataOffset + e.record.compressedSize - e.record.localOffset;
    ZoResult r = BlockCopy(file_, base_ + e.record.localOffset, size, Out(), base_ + writePos_);
    if (r < 0) return r;
    writePos_ += size;
  }
  ZoResult result = 0;

  // The kept central entries, whole (with any comment and reserved string), each
  // with its new local offset, gathered into one block buffer. This is the block
  // copy of the directory, so its failures are reported as the copy's.
  const char* kCopyStep = "Block Copy";
  const uint64_t start = writePos_;
  std::vector<uint8_t> block, entry;
  try {
    block.reserve(arc::kBlockSize);
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, kCopyStep);
    return E_OUTOFMEMORY;
  }
  if (!Out().Seek(static_cast<int64_t>(base_ + writePos_), plat::SeekOrigin::Begin)) result = ARC_E_WRITE;
  auto flush = [&]() -> bool {
    bool ok = block.empty() || Out().Write(block.data(), block.size());
    writePos_ += block.size();
    block.clear();
    return ok;
  };
  for (size_t i = 0; i < directory_.size() && result >= 0; ++i) {
    const arc::DeleteMark* mark = MarkAt(entryList_, static_cast<int>(i));
    if (mark->deleteFlag) continue;
    const auto& e = directory_[i];
    const uint64_t size = e.record.DiskSize();
    if (block.size() + size > arc::kBlockSize && !flush()) {
      result = ARC_E_WRITE;
      break;
    }
    try {
      entry.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      ReportFailure(ARC_ERROR_MEMORY, kCopyStep);
      return E_OUTOFMEMORY;
    }
    size_t got = 0;
    if (!file_.ReadAt(e.position, entry.data(), entry.size(), &got) || got != entry.size()) {
      ReportFailure(ARC_ERROR_READ, kCopyStep);
      return ARC_E_READ;
    }
    arc::PutU64(entry.data() + arc::central::kLocalOffset, static_cast<uint64_t>(mark->newOffset));
    if (entry.size() > arc::kBlockSize) {
      // An entry with very long strings goes out on its own.
      if (!flush() || !Out().Write(entry.data(), entry.size())) {
        result = ARC_E_WRITE;
        break;
      }
      writePos_ += entry.size();
      continue;
    }
    block.insert(block.end(), entry.begin(), entry.end());
  }
  if (result >= 0 && !flush()) result = ARC_E_WRITE;
  if (result < 0) {
    ReportFailure(ARC_ERROR_WRITE, kCopyStep);
    return result;
  }
  result = AddEndOfCentralDir(start);
  Status(result);
  if (result >= 0 && deletedSomething) {
    ZoResult f = FlushRewrite(kStep);
    if (f < 0) return f;
    modified_ = 1;
  }
  return result;
}
