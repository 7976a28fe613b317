// Files: a move-only RAII handle and the by-path operations.
//
// Contracts (both back ends):
// - Every failing call returns false (or an invalid handle) and sets plat::LastError()
//   in Windows numbering.
// - Read returns fewer bytes than asked only at end of file.
// - Write loops until all bytes are written or fails (disk full -> kErrorDiskFull).
// - Interrupted system calls are retried inside the layer.
// - Handles are not inherited by child processes (close-on-exec).
// - A failed open leaves an invalid handle; closing twice is harmless. A file that
//   was written should end with an explicit Close(), whose failure is reported; the
//   destructor closes silently.
// - Paths are UTF-16 with native separators ('\\' on Windows, '/' on POSIX).
#pragma once
#include <cstdint>
#include "platform/types.h"

namespace plat {

enum class Access { Read, Write, ReadWrite };

// Sharing the caller grants to other openers. Enforced on Windows; POSIX has no
// mandatory sharing, so the POSIX back end accepts and ignores it.
enum Share : uint32_t { kShareNone = 0, kShareRead = 1, kShareWrite = 2, kShareDelete = 4 };

enum class Disposition {
  OpenExisting,   // fails when missing
  CreateAlways,   // creates or truncates
  CreateNew,      // fails with kErrorFileExists when present
  OpenAlways,     // opens or creates
};

enum class SeekOrigin { Begin, Current, End };

struct FileTimes {
  ZoFileTime creation = 0;    // POSIX: the status-change time (no settable creation time)
  ZoFileTime lastAccess = 0;
  ZoFileTime lastWrite = 0;
};

class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens or creates `path`. `attributes` (Windows bits) apply to a created file;
  // on POSIX read-only makes the file mode 0444 and `posixMode` (when not 0) sets
  // the permission bits of a created file before the umask.
  static File Open(const ZoChar* path, Access access, uint32_t share, Disposition disposition,
                   uint32_t attributes = 0, uint32_t posixMode = 0);

  // Creates or truncates `path` for writing, not shared, like Open(..., Write,
  // kShareNone, CreateAlways), but never through a symbolic link or junction at
  // the final component: such a path fails with kErrorAccessDenied and the link's
  // target is untouched (O_NOFOLLOW on POSIX; a reparse-point check on the opened
  // handle on Windows, before anything is truncated). Extraction uses it so that a
  // link planted in a destination folder cannot redirect a file. (file_safety.cpp)
  static File CreateNoFollow(const ZoChar* path, uint32_t posixMode = 0);

  bool IsValid() const { return handle_ != kInvalid; }
  explicit operator bool() const { return IsValid(); }

  // Reads up to `size` bytes at the current position; *got < size only at end of file.
  bool Read(void* buffer, size_t size, size_t* got);
  // Reads at an absolute position without moving the file pointer in a way callers
  // may rely on (the position afterwards is unspecified).
  bool ReadAt(uint64_t offset, void* buffer, size_t size, size_t* got);
  bool Write(const void* buffer, size_t size);
  bool Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition = nullptr);
  bool Tell(uint64_t* position);
  bool Size(uint64_t* size);
  // Sets the end of the file at the current position.
  bool Truncate();
  bool Flush();
  bool GetTimes(FileTimes* times);
  // Size, times and kind of the open file in one system call on POSIX (Size plus
  // GetTimes on Windows). `regular` is false for a FIFO, socket, device or
  // folder; `posixMode` holds the permission bits (mode & 07777), 0 on Windows.
  struct Status {
    uint64_t size = 0;
    FileTimes times;
    uint32_t posixMode = 0;
    bool regular = false;
  };
  bool GetStatus(Status* status);
  // Null pointers leave that time unchanged.
  bool SetTimes(const ZoFileTime* creation, const ZoFileTime* lastAccess, const ZoFileTime* lastWrite);
  // Closes; false when the system reports a failure on close (data may be lost).
  bool Close();

  intptr_t NativeHandle() const { return handle_; }

 private:
  friend class Folder;
  static constexpr intptr_t kInvalid = -1;
  explicit File(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kInvalid;
};

// An open folder whose files are opened by their names in it (OpenToRead): the
// system looks up one name per file instead of every folder of the whole path
// again, which on a tree of many small files is a good part of the open. On
// Windows the folder is not opened; OpenToRead opens the whole path there.
class Folder {
 public:
  Folder() = default;
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder();

  // Opens the folder at `path` (links on the way are followed, as by File::Open).
  static Folder Open(const ZoChar* path);
  bool IsValid() const { return handle_ != File::kInvalid; }
  explicit operator bool() const { return IsValid(); }

  // Opens the file `name` (a name, no separator) of this folder for reading,
  // shared for reading and writing, like File::Open(fullPath, Read, kShareRead |
  // kShareWrite, OpenExisting), where `fullPath` is the folder's path joined with
  // `name`. Unlike File::Open, what opens need not be a regular file, and the
  // open never waits (a FIFO without a writer opens at once): the caller asks
  // GetStatus and reads only a file whose status is `regular`.
  File OpenToRead(const ZoChar* name, const ZoChar* fullPath) const;

 private:
  intptr_t handle_ = File::kInvalid;
};

// Attributes of a path (Windows bits; ZO_INVALID_ATTRIBUTES when it cannot be read).
// A symbolic link itself is reported with ZO_ATTR_REPARSE_POINT and is not followed.
uint32_t GetAttributes(const ZoChar* path);
// Sets the Windows attribute bits; on POSIX only read-only is represented (the
// owner, group and other write bits are cleared or the owner's restored).
bool SetAttributes(const ZoChar* path, uint32_t attributes);
bool DeleteFile(const ZoChar* path);
// Renames `from` to `to`, replacing `to` when `replaceExisting`, in one atomic step
// where the system offers one (rename(2); MoveFileExW with write-through).
bool MoveFile(const ZoChar* from, const ZoChar* to, bool replaceExisting);
// Times of a file by path; false when it cannot be opened.
bool GetFileTimes(const ZoChar* path, FileTimes* times);
bool SetFileTimes(const ZoChar* path, const ZoFileTime* creation, const ZoFileTime* lastAccess,
                  const ZoFileTime* lastWrite);

// POSIX permission bits (mode & 07777) of a path; 0 on Windows and on failure.
uint32_t GetPosixMode(const ZoChar* path);
// Sets POSIX permission bits; a harmless success on Windows.
bool SetPosixMode(const ZoChar* path, uint32_t mode);

}  // namespace plat
