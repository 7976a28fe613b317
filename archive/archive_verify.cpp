// Verification without writing anything: ValidateEntry (stored bytes against
// crcCompressed) and the complete check VerifyEntryComplete / VerifyAll (stored
// bytes against crcCompressed and the inflated bytes against crcUncompressed and
// uncompressedSize). Both follow the volumes of a set. A read failure or a cancel
// is returned as what it is, never as a CRC mismatch.
#include "archive/archive2.h"
#include "archive/entry_stream.h"

namespace {

class DiscardSink : public EntrySink {
 public:
  bool Put(const uint8_t*, size_t) override { return true; }
};

}  // namespace

ZoResult CArchive2::ValidateEntryData(const ArchiveDirectoryEntry& entry) {
  static const char kStep[] = "ValidateEntryData";
  ItemName(entry.name.c_str());
  Status(ARC_EVENT_VERIFY_START);
  DiscardSink sink;
  EntryTotals totals;
  ZoResult result = EntryStream::Run(*this, entry, EntryStream::Mode::kStoredBytesOnly, kStep, kStep, sink, &totals);
  Status(ARC_EVENT_FILE_END);
  if (result < 0) return result;
  if (totals.crcRead != entry.record.crcCompressed) {
    ReportFailure(ARC_ERROR_CRC, kStep, entry.name.c_str());
    return ARC_E_CHECK;
  }
  return 0;
}

ZoResult CArchive2::ValidateEntry(const ZoChar* name) {
  if (mode_ == 0 || mode_ == ARC_OPEN_MULTIVOL) return E_FAIL;
  std::u16string part;
  WildcardKind kind;
  ZoResult r = CheckForWildcards(name, part, kind);
  if (r < 0) return r;
  r = FailIfDamaged("ValidateEntry");
  if (r < 0) return r;
  WorkScope scope(*this);
  if (!scope.Begin("ValidateEntryData")) return E_OUTOFMEMORY;
  if (progress_) {
    int64_t size = 0;
    GetSizeExtractEntry(name, size, 0);
    progress_->BeginItem64(name, static_cast<uint64_t>(size));
  }
  ZoResult result = 1;
  for (const ArchiveDirectoryEntry& e : directory_) {
    if (!MatchWildcard(e.name.c_str(), part, kind)) continue;
    r = ValidateEntryData(e);
    if (r < 0) {
      result = r;
      break;
    }
    if (kind == kWildcardExact) {
      result = r;
      break;
    }
  }
  Status(ARC_EVENT_DONE);
  return result;
}

ZoResult CArchive2::ValidateEntry(int index) {
  if (mode_ == 0 || mode_ == ARC_OPEN_MULTIVOL) return 0;
  if (index < 0 || !endLoaded_ || static_cast<uint32_t>(index) >= end_.entryCount) return 0;
  const ArchiveDirectoryEntry* e = EntryAt(index);
  if (!e) return FailIfDamaged("ValidateEntry") < 0 ? ARC_E_BAD_SIGNATURE : 0;
  WorkScope scope(*this);
  if (!scope.Begin("ValidateEntryData")) return E_OUTOFMEMORY;
  if (progress_) progress_->BeginItem64(e->name.c_str(), e->record.uncompressedSize);
  const ZoResult result = ValidateEntryData(*e);
  Status(ARC_EVENT_DONE);
  return result;
}

ZoResult CArchive2::CheckReadyToVerify(const char* step) {
  if (mode_ == 0 || !file_) {
    ReportFailure(ARC_ERROR_NOT_OPEN, step);
    return E_FAIL;
  }
  return FailIfDamaged(step);
}

ZoResult CArchive2::VerifyEntryComplete(int index) {
  static const char kStep[] = "ValidateEntryData";
  ZoResult r = CheckReadyToVerify(kStep);
  if (r < 0) return r;
  const ArchiveDirectoryEntry* e = EntryAt(index);
  if (!e) {
    ReportFailure(ARC_ERROR_INVALID_ARG, kStep);
    return E_INVALIDARG;
  }
  const arc::CentralDirectoryEntry& record = e->record;
  if (record.compressionType != ARC_COMPRESSION_NONE && record.compressionType != ARC_COMPRESSION_ZIP) {
    ReportFailure(ARC_ERROR_MODE, kStep, e->name.c_str());
    return E_NOTIMPL;
  }
  const bool ownScope = work_ == nullptr;
  WorkScope scope(*this);
  if (ownScope && !scope.Begin(kStep)) return E_OUTOFMEMORY;

  ItemName(e->name.c_str());
  Status(ARC_EVENT_VERIFY_START);
  DiscardSink sink;
  EntryTotals totals;
  r = EntryStream::Run(*this, *e, EntryStream::Mode::kDecode, kStep, kStep, sink, &totals);
  // A deflated entry's stored bytes are read whole only by the inflater when the
  // stream ends exactly at compressedSize; check them separately otherwise.
  if (r >= 0 && record.compressionType == ARC_COMPRESSION_ZIP && totals.crcRead != record.crcCompressed) {
    EntryTotals stored;
    r = EntryStream::Run(*this, *e, EntryStream::Mode::kStoredBytesOnly, kStep, kStep, sink, &stored);
    if (r >= 0) totals.crcRead = stored.crcRead;
  }
  Status(ARC_EVENT_FILE_END);
  if (r < 0) return r;
  const bool storedSizesAgree = record.compressionType != ARC_COMPRESSION_NONE || record.compressedSize == record.uncompressedSize;
  if (totals.crcRead != record.crcCompressed || totals.crcWritten != record.crcUncompressed ||
      totals.produced != record.uncompressedSize || !storedSizesAgree) {
    ReportFailure(ARC_ERROR_CRC, kStep, e->name.c_str());
    return ARC_E_CHECK;
  }
  return 0;
}

ZoResult CArchive2::VerifyAll() {
  static const char kStep[] = "ValidateEntryData";
  ZoResult r = CheckReadyToVerify(kStep);
  if (r < 0) return r;
  WorkScope scope(*this);
  if (!scope.Begin(kStep)) return E_OUTOFMEMORY;
  if (progress_) progress_->BeginItem64(archivePath_, extractTotal_);
  ZoResult result = 0;
  for (size_t i = 0; i < directory_.size(); ++i) {
    if (directory_[i].record.attributes & ZO_ATTR_DIRECTORY) continue;
    r = VerifyEntryComplete(static_cast<int>(i));
    if (r < 0) {
      result = r;
      break;
    }
  }
  Status(ARC_EVENT_DONE);
  return result;
}
