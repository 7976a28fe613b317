// CArchive2: the one object through which an archive is read or written.
//
// An object is constructed, opened on one file in one mode, used for the operations
// that mode allows, closed (Close writes back what the mode changed) and destroyed.
// Every public operation returns a COM-style result (negative = failure) and, before
// a failure, reports an error event with the failing step's name to the progress
// object (when one was given to Open).
//
// Text is UTF-16 (ZoChar) everywhere. Paths use the native separator; entry names
// always use '\\' (the format) and are converted and checked only where an entry
// name is joined to a destination folder (extraction) or a file path becomes a
// stored name (the writers).
//
// Reading: Open loads the end record (a backward scan that prefers a candidate
// whose central directory ends where it begins, else takes the first signature),
// then reads the central directory once in large blocks and indexes it in memory.
// Every walk, lookup and access by index runs on that index; the directory is
// never re-read per entry.
// A directory whose walk stops early (bad signature, an entry running past the
// directory's end) or whose entry count disagrees with the end record is damaged:
// IsDirectoryDamaged() says so, and the extracting and verifying operations fail.
//
// Source files: archive_object.cpp (object, Open/Close, archive queries, error
// reports), archive_directory.cpp (end record, index, entry queries),
// archive_verify.cpp, archive_extract.cpp, archive_shared_steps.cpp (patterns,
// replace question, block copies, temp and volume names), volume_reader.cpp,
// entry_name_safety.cpp; the writers live in archive_add*.cpp (with add_ahead.cpp,
// the read-ahead threads), archive_write*.cpp, archive_delete*.cpp and
// archive_sfx*.cpp.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_format.h"
#include "archive/archive_progress.h"
#include "archive/pe_certificate.h"
#include "archive/record_writer.h"
#include "platform/file.h"
#include "platform/results.h"
#include "platform/types.h"
#include "runtime/zo_list.h"

namespace arc {
class AddAhead;
class ChunkDeflater;
struct PreparedFile;
class TreeListing;
}  // namespace arc

// Open modes.
inline constexpr uint32_t ARC_OPEN_CREATE = 0;
inline constexpr uint32_t ARC_OPEN_READ = 1;
inline constexpr uint32_t ARC_OPEN_APPEND = 2;
inline constexpr uint32_t ARC_OPEN_DELETE = 3;
inline constexpr uint32_t ARC_OPEN_SEA = 4;
inline constexpr uint32_t ARC_OPEN_MULTIVOL = 5;

// Extraction flags.
inline constexpr uint32_t ARC_EXTRACT_FLAT = 1;       // files straight into the destination
inline constexpr uint32_t ARC_EXTRACT_OVERWRITE = 4;  // replace existing targets without asking
inline constexpr uint32_t ARC_EXTRACT_NO_TOTAL = 8;   // ExtractEntry by name: no BeginItem

// Add flags (writers).
inline constexpr uint32_t ARC_ADD_RECURSE = 1;
inline constexpr uint32_t ARC_ADD_NO_TOTAL = 2;
inline constexpr uint32_t ARC_ADD_REPLACE = 4;
inline constexpr uint32_t ARC_ADD_CLEAR_READONLY = 8;
// A file or folder whose stored name no reader could use (a colon, * ? < > | ",
// a reserved device name, a trailing dot or space, a name too long, a POSIX name
// with a backslash or bytes that are not UTF-8) is left out with the status event
// ARC_EVENT_SKIPPED_NAME instead of failing the call; a folder is left out with
// everything below it. Without the flag such a name fails the call.
inline constexpr uint32_t ARC_ADD_SKIP_BAD_NAMES = 16;
// Delete, self-extracting and split flags (writers).
inline constexpr uint32_t ARC_DELETE_NO_TOTAL = 1;
inline constexpr uint32_t ARC_SEA_REPLACE = 4;
inline constexpr uint32_t ARC_SPLIT_NO_TOTAL = 1;

// Name pattern kinds (CheckForWildcards).
enum WildcardKind : int { kWildcardExact = 0, kWildcardSuffix = 1, kWildcardAll = 2, kWildcardPrefix = 3 };

// One central directory entry as the index holds it.
struct ArchiveDirectoryEntry {
  arc::CentralDirectoryEntry record;  // the decoded 84 fixed bytes
  uint64_t position = 0;              // file offset of the entry (base included)
  std::u16string name;                // at most 259 units (record.nameLength tells the truth)
};

// The fixed bytes of one central entry and its name (at most 259 units, terminated),
// as the directory walk hands them out.
struct CentralEntryBuffer {
  uint8_t fixed[arc::kCentralEntrySize];
  ZoChar name[arc::kNameCapacity];
  arc::CentralDirectoryEntry Decoded() const { return arc::CentralDirectoryEntry::Decode(fixed); }
};

// Everything a listing shows about one entry (a convenience over the getters).
struct ArchiveEntryInfo {
  std::u16string name;
  uint64_t uncompressedSize = 0;
  uint64_t compressedSize = 0;
  uint32_t compressionType = 0;
  uint32_t compressionLevel = 0;
  uint32_t crcCompressed = 0;
  uint32_t crcUncompressed = 0;
  ZoFileTime fileTime = 0;
  uint32_t attributes = 0;
  uint32_t posixMode = 0;     // valid when hasPosixMode
  bool hasPosixMode = false;
};

class CArchive2 {
 public:
  CArchive2();
  virtual ~CArchive2();
  CArchive2(const CArchive2&) = delete;
  CArchive2& operator=(const CArchive2&) = delete;

  // ---- object, open modes, archive-level queries ----
  // Close's write-back of the writing modes lives in the writer's files and is
  // bound here, at the call: a program that only opens with the constant
  // ARC_OPEN_READ (the installer stub) refers to none of the writer code. Always
  // inlined, so that the choice is made before a link-time optimised build
  // records what each object refers to.
  [[gnu::always_inline]] ZoResult Open(const ZoChar* path, uint32_t mode, CZoArchiveProgress* progress) {
    return OpenWithWriter(path, mode, progress, mode == ARC_OPEN_READ ? nullptr : &CArchive2::RunWriterStep);
  }
  ZoResult Close();
  // entryCount when open with an end record loaded, else -1.
  ZoResult GetArchiveCount();
  ZoResult GetCreateTime(ZoFileTime& time);
  ZoResult GetModifyTime(ZoFileTime& time);
  int GetArchiveSEAStatus();
  int GetMultiVolumeStatus();
  int64_t GetArchiveSize();

  // ---- central directory queries (by name: exact, case-folded; by index) ----
  ZoResult GetEntryName(int index, ZoChar* buffer, unsigned size);
  ZoResult GetEntryUncompressedSize(const ZoChar* name, int64_t& size);
  ZoResult GetEntryUncompressedSize(int index, int64_t& size);
  ZoResult GetEntryCompressedSize(const ZoChar* name, int64_t& size);
  ZoResult GetEntryCompressedSize(int index, int64_t& size);
  ZoResult GetEntryCompressionType(const ZoChar* name, int& type);
  ZoResult GetEntryCompressionType(int index, int& type);
  ZoResult GetEntryFileTime(const ZoChar* name, ZoFileTime& time);
  ZoResult GetEntryFileTime(int index, ZoFileTime& time);
  ZoResult GetEntryCRC32(const ZoChar* name, int& crc);
  ZoResult GetEntryCRC32(int index, int& crc);
  ZoResult GetEntryFileAttributes(const ZoChar* name, int& attributes);
  ZoResult GetEntryFileAttributes(int index, int& attributes);
  int IsEntryInArchive(const ZoChar* name);
  // Stored bytes against crcCompressed, main file only.
  ZoResult ValidateEntry(const ZoChar* name);
  ZoResult ValidateEntry(int index);
  ZoResult GetVolumeComment(ZoChar* buffer, unsigned size);

  // ---- additions for tools (not part of the original surface) ----
  // True when the directory walk stopped before the directory's end or found a
  // different number of entries than the end record declares.
  bool IsDirectoryDamaged() const { return directoryDamaged_; }
  // Entries the walk found (the index size); 0 when nothing is loaded.
  int GetIndexedEntryCount() const { return static_cast<int>(directory_.size()); }
  // 1 and `info` filled for a valid index of the walked directory, else 0.
  int GetEntryInfo(int index, ArchiveEntryInfo& info) const;
  // The end record's stored archive name (empty when none); ARC_E_BAD_NAME when
  // the buffer is too small.
  ZoResult GetStoredName(ZoChar* buffer, unsigned size) const;
  uint64_t GetBase() const { return base_; }
  // Bytes of the certificate table that follows the archive in a signed package
  // (pe_certificate.h); 0 when the file carries none. The archive ends where the
  // table begins, and a rewrite (append, delete, split, merge, a new comment,
  // SplitSEA's stub) drops the table and the header's pointer to it: the
  // signature no longer holds for the changed file, which must be signed again.
  uint64_t GetCertificateTableSize() const { return hasCertificateTable_ ? certificate_.size : 0; }
  // The archive comment as Open kept it: at most its first 1,023 units, also when
  // the end record declares a longer one (GetVolumeComment refuses that case).
  // Cut to `size` units with the terminator; E_INVALIDARG without a buffer,
  // ARC_E_BAD_SIGNATURE (an empty string) when no end record is loaded.
  ZoResult GetKeptComment(ZoChar* buffer, unsigned size) const;
  // Complete verification of one entry: stored bytes against crcCompressed AND the
  // inflated (or stored) bytes against crcUncompressed and uncompressedSize,
  // following the volumes of a set; nothing is written. 0 good, negative failure.
  ZoResult VerifyEntryComplete(int index);
  // VerifyEntryComplete over every entry in directory order; a damaged directory
  // fails first. Stops at the first failure (or cancel) and returns it; 0 when all pass.
  ZoResult VerifyAll();

  // ---- extraction ----
  ZoResult ExtractAll(const ZoChar* destination, uint32_t flags);
  ZoResult ExtractEntry(const ZoChar* name, const ZoChar* destination, uint32_t flags);
  ZoResult ExtractEntry(int index, int* count, const ZoChar* destination, uint32_t flags);
  ZoResult GetSizeExtractAll(int64_t& size);
  ZoResult GetSizeExtractEntry(const ZoChar* name, int64_t& size, uint32_t flags);
  ZoResult GetSizeExtractEntry(int index, int* count, int64_t& size, uint32_t flags);
  ZoResult IsSpaceForExtractAll(const ZoChar* destination, uint32_t flags);
  ZoResult IsSpaceForExtractEntry(const ZoChar* name, const ZoChar* destination, uint32_t flags);
  ZoResult IsSpaceForExtractEntry(int index, int* count, const ZoChar* destination, uint32_t flags);
  // 1 for a single file, 0 when every volume exists, ARC_E_VOLUME_NOT_FOUND otherwise.
  ZoResult ValidateMultiVolume();

  // ---- shared steps (patterns, replace question, copies) ----
  ZoResult CheckForWildcards(const ZoChar* pattern, std::u16string& patternPart, WildcardKind& kind);
  static bool MatchWildcard(const ZoChar* name, const std::u16string& patternPart, WildcardKind kind);
  // 0 replace, 1 skip, any other value the host's answer (ARC_E_CANCELLED cancels).
  ZoResult AskReplace(const ZoChar* path, bool readOnlyQuestion);
  ZoResult BlockCopy(plat::File& source, uint64_t sourceOffset, uint64_t count, plat::File& destination,
                     uint64_t destinationOffset);
  ZoResult FileCopy(const ZoChar* sourcePath, const ZoChar* destinationPath);

  // ---- writers (archive_add*.cpp, archive_write*.cpp, archive_delete*.cpp, archive_sfx*.cpp) ----
  ZoResult AddEntryToArchive(const ZoChar* path, uint32_t compression, uint32_t level, uint32_t flags,
                             const ZoChar* folder);
  ZoResult GetSizeAddEntry(const ZoChar* path, int64_t& size, uint32_t flags);
  ZoResult GetCountAddEntry(const ZoChar* path, int64_t& count, uint32_t flags);
  ZoResult IsSpaceForAddEntry(const ZoChar* path, uint32_t flags);
  ZoResult AddCentralDirectory();
  ZoResult AddEndOfCentralDir(uint64_t centralOffset);
  void AddVolumeComment(const ZoChar* text);
  ZoResult Annotate(const ZoChar* archivePath, const ZoChar* text);
  ZoResult DeleteEntryFromArchive(const ZoChar* pattern, uint32_t flags);
  int IsDeleteRequested();
  void AbortDeletionProcess();
  int GetEntryDeleteStatus(int index);
  ZoResult SubmitDeleteList();
  ZoResult GetSizeCreateSEA(const ZoChar* stubPath, int64_t& size);
  ZoResult IsSpaceForCreateSEA(const ZoChar* outputPath, const ZoChar* stubPath);
  ZoResult CreateSEA(const ZoChar* outputPath, const ZoChar* stubPath, uint32_t flags);
  ZoResult SplitSEA(const ZoChar* folder, uint32_t flags);
  ZoResult SplitArchive(int64_t volumeSize, uint32_t flags);
  ZoResult GetSizeMerge(int64_t& size);
  ZoResult IsSpaceForMerge();
  ZoResult MergeArchive(uint32_t flags);
  ZoResult CopySEAMultiFiles();
  // Threads that read and compress files ahead while AddEntryToArchive adds a
  // folder tree or the matches of a pattern (add_ahead.h). 0 or 1 (the default):
  // the calling thread does all the work. The archive, the events and their order
  // are the same for every value; the progress object is only ever called on the
  // calling thread. At most 64.
  void SetCompressionThreads(unsigned threads) { compressionThreads_ = threads > 64 ? 64 : threads; }
  unsigned GetCompressionThreads() const { return compressionThreads_; }

 protected:
  // ---- error reporting: the one helper of the engine ----
  // With a progress object: itemName := step, or step "|" detail, cut to 259
  // units; then ReportError(code). Without one nothing happens.
  void ReportFailure(int32_t code, const char* step, const ZoChar* detail = nullptr);
  void ReportFailure(int32_t code, const char* step, uint64_t numericDetail);
  // ReportStatus / SetItemName / PollStatus when a progress object is present.
  void Status(int32_t code);
  void ItemName(const ZoChar* text);
  int32_t Poll();

  // ---- end record and directory (archive_directory.cpp) ----
  ZoResult LoadEndOfCentralDirectory(plat::File& file);
  // Reads the directory of the loaded end record into directory_ (large blocks).
  ZoResult IndexCentralDirectory();
  // The directory walk in its documented order, served from the index: 0 = entry in buffer, 1 = end.
  ZoResult FindFirstCentralDirectory(CentralEntryBuffer& buffer);
  ZoResult FindNextCentralDirectory(CentralEntryBuffer& buffer);
  // Index of the first entry whose whole name equals `name` (case-folded), or -1.
  int FindEntryByName(const ZoChar* name) const;
  // The entry at `index` when 0 <= index < entryCount and the walk reached it.
  const ArchiveDirectoryEntry* EntryAt(int index) const;
  bool HasEndRecord() const { return endLoaded_; }
  // After copying the stub of a signed package into `copy`: clears the header's
  // pointer to the certificate table that the copy does not carry. The CheckSum
  // becomes the stub's own when the copy is the stub alone (`stubAlone`: it is
  // then the file it was before signing), else 0 ("none": it would have to cover
  // the whole rewritten file). A failure is reported under `step` (ARC_E_READ,
  // ARC_E_WRITE); 0 also when there was nothing to clear.
  ZoResult ForgetCertificateTableIn(plat::File& copy, const char* step, bool stubAlone);
  int32_t EntryCountOrMinusOne() const;
  void ComputeExtractTotal();
  // The file being written: file_ itself in create mode, else outFile_.
  plat::File& Out() { return outIsFile_ ? file_ : outFile_; }

  // ---- names (archive_shared_steps.cpp) ----
  // "%s~%s": the archive's folder (with separator), a tilde, its file name.
  bool MakeTempPath(const ZoChar* archivePath, ZoChar* out, size_t capacity) const;
  // Volume k of the set: the main file's folder, the stored name's file part (split
  // at '\\', '/' and ':') without extension, k, the extension. False when too long.
  bool MakeVolumePath(uint32_t k, std::u16string* out) const;

  // ---- verification and extraction internals ----
  ZoResult ValidateEntryData(const ArchiveDirectoryEntry& entry);
  ZoResult FailIfDamaged(const char* step);
  // E_FAIL unless an archive is open for reading its data, then FailIfDamaged.
  ZoResult CheckReadyToVerify(const char* step);
  // What both ExtractEntry forms check once their space check has given `space`:
  // a failed check as it is, a shortfall as ARC_E_DISK_FULL, a missing volume as
  // ARC_E_CHECK, then a damaged directory.
  ZoResult CheckBeforeExtractEntry(ZoResult space);
  // Every name the operation will touch must pass the safety check and fit the
  // path buffers once joined to `destination`; otherwise nothing is extracted.
  ZoResult CheckNamesBeforeExtract(const std::vector<int>& indexes, const ZoChar* destination, const char* step);
  ZoResult ExtractOne(const ArchiveDirectoryEntry& entry, const ZoChar* destination);
  ZoResult MakeFolderEntry(const ArchiveDirectoryEntry& entry, const ZoChar* destination);
  // Whether the entry's stored bytes can be located (a missing volume:
  // ARC_E_VOLUME_NOT_FOUND, reported under `step`), then E_NOTIMPL for an unknown
  // compression type, which the result alone reports.
  ZoResult CheckReadable(const ArchiveDirectoryEntry& entry, const char* step);
  ZoResult ExtractCentralDirectoryFile(const ArchiveDirectoryEntry& entry, const ZoChar* destination);

  // ---- writer internals (the writer files own these) ----
  // `listed`: the attributes a folder listing gave for `path` (a walk of a tree or
  // a pattern), or ZO_INVALID_ATTRIBUTES to ask the file.
  ZoResult AddFile(const ZoChar* path, const ZoChar* baseFolder, const ZoChar* folder,
                   uint32_t listed = ZO_INVALID_ATTRIBUTES);
  // Adds the folder `path` and its tree. With a listing (the size walk's of the
  // tree, tree_listing.h) the folders are not listed again: `index` is the
  // folder's entry in it, kNone for its root. `attributes`: as for AddFile.
  ZoResult AddDirectoryTree(const ZoChar* path, const ZoChar* baseFolder, const arc::TreeListing* listing = nullptr,
                            size_t index = SIZE_MAX, uint32_t attributes = ZO_INVALID_ATTRIBUTES);
  ZoResult AddWildcard(const ZoChar* path, const ZoChar* baseFolder);
  ZoResult AddDirectory(const ZoChar* path, const ZoChar* baseFolder, uint32_t listed = ZO_INVALID_ATTRIBUTES);
  // The data steps ("NoCompressFile", "CompressZipFile"): read exactly the size the
  // header announced, fill compressedSize and both CRCs into `header`.
  ZoResult StoreFileData(plat::File& source, arc::LocalEntryHeader& header, const ZoChar* storedName);
  ZoResult DeflateFileData(plat::File& source, arc::LocalEntryHeader& header, const ZoChar* storedName);
  // Lists one written entry in entryRecords_ and counts it.
  ZoResult AppendEntryRecord(const arc::LocalEntryHeader& header, uint64_t localOffset, const std::u16string& name);
  // Size and count of what AddEntryToArchive(path, ..., flags) would add.
  // For a folder, `listing` (when given) receives its tree in the order
  // AddDirectoryTree meets it; it is not Usable when the walk could not list it
  // all (too deep, a path too long, short of memory).
  ZoResult MeasureAddEntry(const ZoChar* path, uint32_t flags, uint64_t* size, uint64_t* count,
                           arc::TreeListing* listing = nullptr);
  // Free space of `folder` in units of 1,024 bytes, capped for FAT file systems.
  uint64_t WriterCapacityFigure(const ZoChar* folder) const;
  // Append mode: copies the old entries whose names were not added again.
  ZoResult CopyKeptEntries();
  // Flushes the rewritten file before Close moves it over the archive.
  ZoResult FlushRewrite(const char* step);
  // What Close runs of the writer for a writing mode (archive_write_directory.cpp):
  // the write-back before the files are closed (the directory, the deletions or
  // the stub copy), and the clean-up after a committed rewrite.
  enum class WriterPhase { WriteBack, AfterCommit };
  using WriterStep = ZoResult (CArchive2::*)(WriterPhase phase);
  ZoResult OpenWithWriter(const ZoChar* path, uint32_t mode, CZoArchiveProgress* progress, WriterStep writer);
  ZoResult RunWriterStep(WriterPhase phase);
  // Multi-volume mode, after Close has moved the merged file over the main file:
  // removes the volume files the merge made redundant. Close calls it only after
  // a successful commit; before it they hold the only other copy of the data.
  void DeleteMergedVolumes();
  // Append mode: whether the existing archive holds an entry of this stored name.
  bool ExistingEntryNamed(const std::u16string& storedName);
  // Append mode without ARC_ADD_REPLACE, with a host to ask: the host's answer
  // when the archive already holds an entry of this name (AskReplace: 0 replace,
  // 1 keep the existing entry, else a failure or cancel); otherwise 0.
  ZoResult AskBeforeReplacingEntry(const std::u16string& storedName);
  // The checks a stored name passes once built (`built`: the build's result): one
  // too long is ARC_E_BAD_NAME; one that no longer names the file at `path`, or one
  // no reader would accept, is E_INVALIDARG. A failure is reported under `step`.
  ZoResult CheckStoredName(ZoResult built, const ZoChar* path, const std::u16string& stored, bool isFolder,
                           const char* step);
  // Leaves `path` out of the archive: counts it in leftOut_ and tells the host
  // through status event `event` (ARC_EVENT_SKIPPED_*) with the path as itemName.
  // Returns 0, so the walk goes on.
  ZoResult LeaveOut(const ZoChar* path, int32_t event);
  // The walk's answer to a listed `name` in `folder` that JoinFolderAndName
  // refuses (the path too long, a separator inside the name): left out as a name
  // an archive cannot hold under ARC_ADD_SKIP_BAD_NAMES (0), else reported under
  // `step`, ARC_E_BAD_NAME.
  ZoResult LeaveOutUnjoinedName(const ZoChar* folder, std::u16string_view name, const char* step);
  // The add operations' block buffers and deflate stream, kept from the first file
  // to Close (archive_add.cpp).
  struct WriterWork;
  // Its release is a pointer that GetWriterWork sets, so that the reader's
  // destructor does not refer to the writer's file.
  struct WriterWorkDeleter {
    constexpr WriterWorkDeleter() noexcept : release(nullptr) {}
    explicit constexpr WriterWorkDeleter(void (*function)(WriterWork*)) noexcept : release(function) {}
    void (*release)(WriterWork* work);
    void operator()(WriterWork* work) const {
      if (release) release(work);
    }
  };
  static void ReleaseWriterWork(WriterWork* work);
  WriterWork* GetWriterWork();
  // The deflate step's two paths. PrepareWholeFile: whether the file goes through
  // DeflateWholeFile (it fits the whole-buffer limit and its buffers and
  // compressor could be made). Both fill the header's sizes and CRCs; the whole
  // path also sets the compression type (stored when deflate would not shrink).
  bool PrepareWholeFile(WriterWork& work, const arc::LocalEntryHeader& header);
  // Reads `length` bytes of `source` into `in` in blocks, counting each block in
  // the progress, polling cancel and running *crc over it: 0, or a reported
  // failure (the deflate step's read failure, a cancel, the progress's result).
  ZoResult ReadBlocks(plat::File& source, uint8_t* in, size_t length, uint32_t* crc);
  ZoResult DeflateWholeFile(plat::File& source, arc::LocalEntryHeader& header, WriterWork& work);
  // A file above the limit: chunks deflated on the compression threads
  // (DeflateFileChunks), or, when the chunks' memory cannot be had, streamed
  // through zlib (DeflateFileStream). Both read the file once, in order.
  ZoResult DeflateFileChunks(plat::File& source, arc::LocalEntryHeader& header, arc::ChunkDeflater& chunks);
  ZoResult DeflateFileStream(plat::File& source, arc::LocalEntryHeader& header, WriterWork& work);
  // After a streamed file deflated to no fewer bytes than it has: writes the file
  // again from its start as stored bytes at `dataStart`, cuts the file there, and
  // makes the header a stored entry's.
  ZoResult StoreAgain(plat::File& source, arc::LocalEntryHeader& header, uint64_t dataStart, WriterWork& work);
  // Under SetCompressionThreads(n > 1): starts reading ahead the files AddDirectoryTree
  // (part null) or AddWildcard will add from `folder`; nothing when it cannot start.
  // `listing`: the tree from the size walk (folder, no pattern), walked by the
  // scout instead of the folder when given.
  void StartAddAhead(const ZoChar* folder, const std::u16string* part, WildcardKind kind,
                     std::shared_ptr<const arc::TreeListing> listing = nullptr);
  // The data step for a file a worker prepared: the events, writes and failures
  // the data step would give for the same bytes.
  ZoResult WritePreparedData(arc::PreparedFile& prepared, arc::LocalEntryHeader& header, const ZoChar* storedName);
  // A file a worker read whole: its local record (header as finally patched,
  // name, data) goes out in one write, followed by the events WritePreparedData
  // gives, and the failures at the same events. 1 when it cannot be written so
  // (a long name, a large file, no buffer): the caller takes the usual way. 0
  // done, header filled. After a cancel the file is left as the usual way leaves
  // it; after a failed write the header of the unlisted record is the patched one.
  ZoResult WritePreparedRecord(arc::PreparedFile& prepared, arc::LocalEntryHeader& header,
                               const std::u16string& storedName, uint64_t localOffset);
  // Frees a read-ahead through a pointer that only StartAddAhead sets, so that
  // the destructor of every archive refers to nothing of the writer's and a
  // reader-only program (the installer stub) links no read-ahead or compressor.
  struct AddAheadDeleter {
    AddAheadDeleter() noexcept : destroy(nullptr) {}
    explicit AddAheadDeleter(void (*destroyer)(arc::AddAhead*)) noexcept : destroy(destroyer) {}
    void (*destroy)(arc::AddAhead*);
    void operator()(arc::AddAhead* ahead) const {
      if (destroy) destroy(ahead);
    }
  };

  // ---- fields ----
  plat::File file_;                  // the archive (create mode: the new file)
  plat::File outFile_;               // the file being written (temp file of a rewrite)
  bool outIsFile_ = false;           // read and create modes: outFile is `file_` itself
  ZoList* entryList_ = nullptr;      // delete mode: one arc::DeleteMark per central entry
  arc::EntryRecords entryRecords_;   // create and append mode: the entries written
  uint64_t writePos_ = 0;            // bytes written to outFile after the base
  CZoArchiveProgress* progress_ = nullptr;
  uint32_t mode_ = 0;                // 0 also stands for "not open"
  bool opened_ = false;              // the last Open succeeded and Close has not run
  WriterStep writer_ = nullptr;      // the writing modes' step for Close (see Open)
  uint32_t addCompressionType_ = 0;
  uint32_t addCompressionLevel_ = 0;
  uint8_t endRecord_[arc::kEndRecordSize] = {};  // image of the loaded end record
  arc::EndOfCentralDirectory end_;   // decoded endRecord_
  bool endLoaded_ = false;
  uint64_t endPosition_ = 0;         // file offset of the loaded end record
  arc::CertificateTable certificate_;  // the table after the archive, when hasCertificateTable_
  bool hasCertificateTable_ = false;
  ZoChar comment_[arc::kCommentCapacity] = {};
  ZoChar storedName_[arc::kNameCapacity] = {};
  ZoChar reservedText_[arc::kNameCapacity] = {};
  int64_t cursor_ = -1;              // index of the entry the walk stands on; -1 none
  ZoChar archivePath_[ZO_MAX_PATH] = {};
  ZoChar tempPath_[ZO_MAX_PATH] = {};
  uint32_t extractFlags_ = 0;
  uint32_t addFlags_ = 0;
  uint32_t deleteFlags_ = 0;
  uint64_t base_ = 0;
  uint32_t volumeCount_ = 0;
  uint32_t entriesWritten_ = 0;
  uint64_t leftOut_ = 0;             // files and folders LeaveOut left out since Open
  uint32_t replaceAllFiles_ = 0;
  uint32_t replaceAllReadOnly_ = 0;
  uint32_t modified_ = 0;
  uint64_t extractTotal_ = 0;
  bool extractTotalComputed_ = false;
  ZoChar fileSystemName_[128] = {};
  // The directory index: entries in directory order, as far as the walk reached.
  std::vector<ArchiveDirectoryEntry> directory_;
  bool directoryDamaged_ = false;
  // Sizes of volumes 2.. once opened (index 0 is volume 2), so that locating an
  // entry does not reopen every earlier volume.
  std::vector<uint64_t> volumeSizes_;
  // Volume files of a successful merge, deleted by DeleteMergedVolumes after the commit.
  std::vector<std::u16string> volumesToDeleteAfterCommit_;
  // Append mode: the existing entries' names, case-folded and sorted, built on the
  // first replace question so that each question is a binary search.
  std::vector<std::u16string> existingNamesFolded_;
  std::unique_ptr<WriterWork, WriterWorkDeleter> writerWork_;
  unsigned compressionThreads_ = 1;
  // The read-ahead of the running AddEntryToArchive; null outside it and at -j 1.
  std::unique_ptr<arc::AddAhead, AddAheadDeleter> addAhead_;
  // A block buffer lent to BlockCopy while one step makes many small copies (the
  // kept entries of an append); empty otherwise, and each copy takes its own.
  std::vector<uint8_t> copyBuffer_;

  // Work buffers and inflater of the running extracting or verifying operation
  // (owned by that operation's scope; null between operations).
  struct ExtractWork* work_ = nullptr;
  // The buffers of the last operation, kept for the next one until Close or the
  // destructor, so that per-entry calls (VerifyEntryComplete in a loop) do not
  // allocate and clear half a megabyte each time.
  struct ExtractWork* workCache_ = nullptr;

  friend class VolumeReader;
  friend class EntryStream;
  friend class WorkScope;
};
