// The writers' side of the records: the per-entry records the writers keep
// (EntryRecords), and the routines that put a record with its strings on
// disk. Fixed parts are encoded field by field by archive_format.h's codecs;
// strings go out as UTF-16LE without terminator. Nothing here knows an archive
// object, so the stub (which only reads) never links it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/archive_format.h"
#include "platform/file.h"
#include "platform/text.h"
#include "platform/types.h"
#include "runtime/zo_list.h"

namespace arc {

// One entry written (or kept) since Open in create and append mode, kept in
// EntryRecords in the order the local records were written.
struct ArchiveEntryRecord {
  uint8_t header[kLocalHeaderSize];  // the local header exactly as finally written
  uint64_t localOffset;              // of the local record, relative to the base
  ZoChar name[kNameCapacity];        // stored name, terminated
};
// A written entry has no comment (commentLength stays 0), so the record keeps
// none: 592 bytes an entry, 59 MB for 100,000 entries.
static_assert(sizeof(ArchiveEntryRecord) == 592, "one 592-byte record per entry");

// The records of the entries written since Open, by value in blocks of
// kPerBlock records, one item of an owned list per block: an entry costs no
// allocation or registry insert of its own, and the block it lands in comes
// zeroed. The list's own growth is a block pointer per 256 entries.
class EntryRecords {
 public:
  static constexpr int kPerBlock = 256;

  EntryRecords() = default;
  ~EntryRecords() { Release(); }
  EntryRecords(const EntryRecords&) = delete;
  EntryRecords& operator=(const EntryRecords&) = delete;

  // Starts empty; E_OUTOFMEMORY leaves no list (Ready() false).
  ZoResult Reset() {
    Release();
    return ZoList_CreateExZ(&blocks_, static_cast<int>(sizeof(void*)), 16, 64, ZO_LIST_OWNED);
  }
  void Release() {
    if (blocks_) ZoList_Destroy(blocks_);
    blocks_ = nullptr;
    count_ = 0;
  }
  bool Ready() const { return blocks_ != nullptr; }
  size_t Count() const { return count_; }
  // Record i < Count().
  const ArchiveEntryRecord& At(size_t i) const {
    const auto* block = static_cast<const ArchiveEntryRecord*>(ZoList_ItemAt(blocks_, static_cast<int>(i / kPerBlock)));
    return block[i % kPerBlock];
  }
  // The next record, zeroed, counted as written; null when no list or short of memory.
  ArchiveEntryRecord* Append() {
    if (!blocks_ || count_ >= static_cast<size_t>(INT32_MAX)) return nullptr;
    const size_t slot = count_ % kPerBlock;
    if (slot == 0 && ZoList_AllocAndInsertItem(blocks_, nullptr, static_cast<int>(kPerBlock * sizeof(ArchiveEntryRecord)),
                                               -1, nullptr) < 0)
      return nullptr;
    auto* block = static_cast<ArchiveEntryRecord*>(ZoList_ItemAt(blocks_, ZoList_Count(blocks_) - 1));
    ++count_;
    return block + slot;
  }

 private:
  ZoList* blocks_ = nullptr;
  size_t count_ = 0;
};

// One per central entry in delete mode, in directory order.
struct DeleteMark {
  uint32_t deleteFlag;  // 1 delete, 0 keep; only ever goes from 0 to 1
  uint32_t reserved;    // 0
  int64_t newOffset;    // of the kept local record in the rewrite; -1 when deleted
};
static_assert(sizeof(DeleteMark) == 16, "16 bytes per entry");

// Writes `units` UTF-16 code units little-endian, without terminator. A null or
// empty text writes nothing and succeeds.
bool WriteUtf16(plat::File& file, const ZoChar* text, size_t units);

// Writes a local header and its name (the comment is never written: commentLength 0).
bool WriteLocalHead(plat::File& file, const LocalEntryHeader& header, const ZoChar* name);

// Writes a central entry and its name; the comment and reserved strings of a
// written entry are empty.
bool WriteCentralEntry(plat::File& file, const CentralDirectoryEntry& entry, const ZoChar* name);

// The central entry the closing step writes for a written local header.
CentralDirectoryEntry CentralFromLocal(const LocalEntryHeader& header, uint64_t localOffset);

// The local header a rewrite writes for an entry copied from the old directory:
// the shared fields and the reserved word at offset 4 kept, offset 8 and the
// comment length cleared.
LocalEntryHeader LocalFromCentral(const CentralDirectoryEntry& entry);

// True when both paths name the same file by their full paths (compared without
// regard to ASCII case on Windows). Writers use it so that no output file is ever
// also an input (an archive added to itself, an output over its own source).
bool SameFullPath(const ZoChar* a, const ZoChar* b);

// `folder` (a separator added when missing and the folder is not empty) followed
// by `name`, into `out` of ZO_MAX_PATH units. False, with `out` not a usable
// path, when the result would not fit, or when `name` holds a separator of the
// system: it is one name (Wine lists a Linux name with a backslash as it is; a
// POSIX name's backslash is refused where it becomes a stored name).
bool JoinFolderAndName(const ZoChar* folder, plat::StringView16 name, ZoChar* out);
// Whether a listed `name` holds a separator of the system, so that joined to
// its folder it would read as several names.
bool NameHoldsSeparator(plat::StringView16 name);

// The end record with its comment and stored name, as one byte image in `out`
// (at least kEndRecordSize + 2 x (kCommentCapacity + kNameCapacity) bytes). Returns
// the bytes used.
size_t EncodeEndRecord(const EndOfCentralDirectory& end, const ZoChar* comment, const ZoChar* storedName,
                       uint8_t* out);
inline constexpr size_t kEndRecordImageMax = kEndRecordSize + 2 * (kCommentCapacity + kNameCapacity);

// Free space of the volume holding `folder`, in units of 1,024 bytes. A relative
// folder (or none: the current folder) is made full first: the free-space query
// needs a rooted path and would count an unrooted one as a volume without space.
uint64_t FreeKilobytes(const ZoChar* folder);

// Case-folded form of a stored name: the key of the writers' in-memory name sets.
std::u16string FoldName(const ZoChar* name, size_t length);

}  // namespace arc
