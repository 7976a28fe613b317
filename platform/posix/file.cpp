// POSIX back end: holds only code valid on every POSIX system.
// Files through open(2)/read(2)/write(2), with EINTR retried, O_CLOEXEC, and the
// fault-injection seam consulted on every write, read, rename and close. A call
// that an interrupt (terminal.h: Ctrl-C, SIGTERM, SIGHUP) cuts short is not
// retried once that interrupt is pending: it fails with kErrorOperationAborted,
// so a call blocked on a slow file or pipe cannot keep a cancelled program alive.
#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/posix/posix_util.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "platform/time.h"

namespace plat {

bool ToNativePath(const ZoChar* path, std::string* out) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  *out = ToUtf8(StringView16(path, Length(path)));
  return true;
}

bool LstatPath(const ZoChar* path, std::string* native, struct stat* st) {
  if (!ToNativePath(path, native)) return false;
  if (lstat(native->c_str(), st) != 0) {
    SetLastErrorFromErrnoAt(*native);
    return false;
  }
  return true;
}

uint32_t ReturnPath(const std::u16string& text, ZoChar* out, uint32_t capacity) {
  if (text.size() + 1 > capacity) {
    if (out && capacity > 0) out[0] = 0;
    return static_cast<uint32_t>(text.size() + 1);
  }
  CopyTruncated(out, capacity, text);
  return static_cast<uint32_t>(text.size());
}

namespace {

// A pipe or slow file cut short by an interrupt: not retried (see the top).
bool Aborted() {
  SetLastError(kErrorOperationAborted);
  return false;
}

ZoFileTime FromTimespec(const struct timespec& ts) { return FileTimeFromUnix(ts.tv_sec, static_cast<uint32_t>(ts.tv_nsec)); }

struct timespec ToTimespec(ZoFileTime t) {
  int64_t s;
  uint32_t ns;
  FileTimeToUnix(t, &s, &ns);
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(s);
  ts.tv_nsec = ns;
  return ts;
}

void FillTimes(const struct stat& st, FileTimes* times) {
  times->creation = FromTimespec(st.st_ctim);
  times->lastAccess = FromTimespec(st.st_atim);
  times->lastWrite = FromTimespec(st.st_mtim);
}

bool SetTimesOn(int fd, const char* path, const ZoFileTime* lastAccess, const ZoFileTime* lastWrite) {
  struct timespec ts[2];
  ts[0].tv_sec = 0;
  ts[0].tv_nsec = UTIME_OMIT;
  ts[1] = ts[0];
  if (lastAccess) ts[0] = ToTimespec(*lastAccess);
  if (lastWrite) ts[1] = ToTimespec(*lastWrite);
  int rc = fd >= 0 ? futimens(fd, ts) : utimensat(AT_FDCWD, path, ts, 0);
  if (rc != 0) {
    if (fd >= 0) {
      SetLastErrorFromErrno();
    } else {
      SetLastErrorFromErrnoAt(path);
    }
    return false;
  }
  return true;
}

}  // namespace

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsValid()) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    other.handle_ = kInvalid;
  }
  return *this;
}

File::~File() {
  if (IsValid()) ::close(static_cast<int>(handle_));
}

File File::Open(const ZoChar* path, Access access, uint32_t /*share*/, Disposition disposition,
                uint32_t attributes, uint32_t posixMode) {
  std::string native;
  if (!ToNativePath(path, &native)) return File();
  int flags = O_CLOEXEC;
  switch (access) {
    case Access::Read: flags |= O_RDONLY; break;
    case Access::Write: flags |= O_WRONLY; break;
    case Access::ReadWrite: flags |= O_RDWR; break;
  }
  switch (disposition) {
    case Disposition::OpenExisting: break;
    case Disposition::CreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case Disposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case Disposition::OpenAlways: flags |= O_CREAT; break;
  }
  mode_t mode = posixMode ? static_cast<mode_t>(posixMode & 07777) : 0666;
  if (attributes & ZO_ATTR_READONLY) mode &= ~0222;
  // O_NONBLOCK only for the open itself: opening a FIFO without a writer (or a
  // device that waits for a carrier) returns at once instead of blocking; it is
  // cleared below, so reads and writes block as usual. O_NOCTTY: a terminal
  // opened here never becomes the process's controlling terminal.
  // A file made by O_CREAT | O_EXCL is a new regular file: no FIFO, device or
  // folder can be what it opened, so it needs neither the flag nor the checks
  // below (which cost two or three system calls per file on trees of many files).
  const bool createdNew = disposition == Disposition::CreateNew;
  flags |= O_NOCTTY;
  if (!createdNew) flags |= O_NONBLOCK;
  int fd;
  do {
    fd = ::open(native.c_str(), flags, mode);
  } while (fd < 0 && errno == EINTR && !InterruptRequested());
  if (fd < 0) {
    if (errno == EEXIST && disposition == Disposition::CreateNew) {
      SetLastError(kErrorFileExists);
    } else {
      SetLastErrorFromErrnoAt(native);
    }
    return File();
  }
  if (createdNew) return File(fd);
  // A directory opens fine on POSIX; Windows refuses it with access denied.
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    SetLastError(kErrorAccessDenied);
    return File();
  }
  // F_SETFL changes only the status flags (O_APPEND, O_NONBLOCK...) and ignores
  // the access mode and the open-time flags, so the flags of the open minus
  // O_NONBLOCK are the file's flags without it: no F_GETFL call needed.
  if (fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
    SetLastErrorFromErrno();
    ::close(fd);
    return File();
  }
  return File(fd);
}

Folder::Folder(Folder&& other) noexcept : handle_(other.handle_) { other.handle_ = File::kInvalid; }

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (IsValid()) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    other.handle_ = File::kInvalid;
  }
  return *this;
}

Folder::~Folder() {
  if (IsValid()) ::close(static_cast<int>(handle_));
}

Folder Folder::Open(const ZoChar* path) {
  Folder folder;
  std::string native;
  if (!ToNativePath(path, &native)) return folder;
  if (native.empty()) native.push_back('.');
  int fd;
  do {
    fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR && !InterruptRequested());
  if (fd < 0) {
    SetLastErrorFromErrnoAt(native);
    return folder;
  }
  folder.handle_ = fd;
  return folder;
}

File Folder::OpenToRead(const ZoChar* name, const ZoChar* /*fullPath*/) const {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return File();
  }
  std::string native;
  if (!ToNativePath(name, &native)) return File();
  // O_NONBLOCK stays set: the open of a FIFO or a device returns at once, and a
  // regular file's reads ignore the flag (the caller reads nothing else).
  int fd;
  do {
    fd = ::openat(static_cast<int>(handle_), native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR && !InterruptRequested());
  if (fd < 0) {
    SetLastErrorFromErrno();
    return File();
  }
  return File(fd);
}

bool File::Read(void* buffer, size_t size, size_t* got) {
  *got = 0;
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (size > 1 && fault::ShortenRead()) size /= 2;
  char* p = static_cast<char*>(buffer);
  while (*got < size) {
    ssize_t n = ::read(static_cast<int>(handle_), p + *got, size - *got);
    if (n < 0) {
      if (errno == EINTR && !InterruptRequested()) continue;
      SetLastErrorFromErrno();
      return false;
    }
    if (n == 0) break;
    *got += static_cast<size_t>(n);
    if (*got < size && InterruptRequested()) return Aborted();
  }
  return true;
}

bool File::ReadAt(uint64_t offset, void* buffer, size_t size, size_t* got) {
  *got = 0;
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (offset > static_cast<uint64_t>(INT64_MAX)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  char* p = static_cast<char*>(buffer);
  while (*got < size) {
    ssize_t n = ::pread(static_cast<int>(handle_), p + *got, size - *got, static_cast<off_t>(offset + *got));
    if (n < 0) {
      if (errno == EINTR && !InterruptRequested()) continue;
      SetLastErrorFromErrno();
      return false;
    }
    if (n == 0) break;
    *got += static_cast<size_t>(n);
    if (*got < size && InterruptRequested()) return Aborted();
  }
  return true;
}

bool File::Write(const void* buffer, size_t size) {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  bool fail = false;
  uint32_t error = 0;
  size_t allowed = fault::AllowWrite(size, &fail, &error);
  const char* p = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < allowed) {
    ssize_t n = ::write(static_cast<int>(handle_), p + done, allowed - done);
    if (n < 0) {
      if (errno == EINTR && !InterruptRequested()) continue;
      SetLastErrorFromErrno();
      return false;
    }
    done += static_cast<size_t>(n);
    if (done < allowed && InterruptRequested()) return Aborted();
  }
  if (fail) {
    SetLastError(error);
    return false;
  }
  return true;
}

bool File::Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), whence);
  if (r < 0) {
    SetLastErrorFromErrno();
    if (errno == EINVAL) SetLastError(kErrorInvalidParameter);
    return false;
  }
  if (newPosition) *newPosition = static_cast<uint64_t>(r);
  return true;
}

bool File::Tell(uint64_t* position) { return Seek(0, SeekOrigin::Current, position); }

bool File::Size(uint64_t* size) {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool File::Truncate() {
  uint64_t pos;
  if (!Tell(&pos)) return false;
  int rc;
  do {
    rc = ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(pos));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  return true;
}

bool File::Flush() {
  if (::fsync(static_cast<int>(handle_)) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  return true;
}

bool File::GetTimes(FileTimes* times) {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  FillTimes(st, times);
  return true;
}

bool File::GetStatus(Status* status) {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  status->size = static_cast<uint64_t>(st.st_size);
  FillTimes(st, &status->times);
  status->posixMode = st.st_mode & 07777;
  status->regular = S_ISREG(st.st_mode);
  return true;
}

bool File::SetTimes(const ZoFileTime* /*creation*/, const ZoFileTime* lastAccess, const ZoFileTime* lastWrite) {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return SetTimesOn(static_cast<int>(handle_), nullptr, lastAccess, lastWrite);
}

bool File::Close() {
  if (!IsValid()) return true;
  int fd = static_cast<int>(handle_);
  handle_ = kInvalid;
  // close(2) must not be retried on EINTR: the descriptor is gone either way.
  int rc = ::close(fd);
  uint32_t error;
  if (fault::CloseFails(&error)) {
    SetLastError(error);
    return false;
  }
  if (rc != 0 && errno != EINTR) {
    SetLastErrorFromErrno();
    return false;
  }
  return true;
}

uint32_t KindAttributes(const std::string& native, const struct stat& own) {
  uint32_t attributes = 0;
  struct stat target = own;
  if (S_ISLNK(own.st_mode)) {
    attributes |= ZO_ATTR_REPARSE_POINT;
    if (stat(native.c_str(), &target) != 0) return attributes | ZO_ATTR_DEVICE;  // dangling
  }
  if (S_ISDIR(target.st_mode)) {
    attributes |= ZO_ATTR_DIRECTORY;
  } else if (!S_ISREG(target.st_mode)) {
    attributes |= ZO_ATTR_DEVICE;
  }
  return attributes;
}

uint32_t GetAttributes(const ZoChar* path) {
  std::string native;
  struct stat st;
  if (!LstatPath(path, &native, &st)) return ZO_INVALID_ATTRIBUTES;
  uint32_t attributes = KindAttributes(native, st);
  if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) attributes |= ZO_ATTR_READONLY;
  if (attributes == 0) attributes = ZO_ATTR_ARCHIVE;
  return attributes;
}

bool SetAttributes(const ZoChar* path, uint32_t attributes) {
  std::string native;
  struct stat st;
  if (!LstatPath(path, &native, &st)) return false;
  if (S_ISLNK(st.st_mode)) return true;  // links carry no permissions of their own
  mode_t mode = st.st_mode & 07777;
  if (attributes & ZO_ATTR_READONLY) {
    mode &= ~static_cast<mode_t>(0222);
  } else {
    mode |= S_IWUSR;
  }
  if (chmod(native.c_str(), mode) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  return true;
}

bool DeleteFile(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  struct stat st;
  if (lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (::unlink(native.c_str()) != 0) {
    SetLastErrorFromErrnoAt(native);
    return false;
  }
  return true;
}

bool MoveFile(const ZoChar* from, const ZoChar* to, bool replaceExisting) {
  std::string a, b;
  if (!ToNativePath(from, &a) || !ToNativePath(to, &b)) return false;
  if (fault::RenameFails()) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (!replaceExisting) {
    // link + unlink would be atomic but needs hard links; a check is enough for
    // the callers, which never race on these names.
    struct stat st;
    if (lstat(b.c_str(), &st) == 0) {
      SetLastError(kErrorAlreadyExists);
      return false;
    }
  }
  if (::rename(a.c_str(), b.c_str()) != 0) {
    // ENOENT: a missing source is "file not found", a missing target folder
    // "path not found".
    struct stat st;
    int e = errno;
    bool sourceExists = lstat(a.c_str(), &st) == 0;
    errno = e;
    SetLastErrorFromErrnoAt(sourceExists ? b : a);
    return false;
  }
  return true;
}

bool GetFileTimes(const ZoChar* path, FileTimes* times) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) {
    SetLastErrorFromErrnoAt(native);
    return false;
  }
  FillTimes(st, times);
  return true;
}

bool SetFileTimes(const ZoChar* path, const ZoFileTime* /*creation*/, const ZoFileTime* lastAccess,
                  const ZoFileTime* lastWrite) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  return SetTimesOn(-1, native.c_str(), lastAccess, lastWrite);
}

uint32_t GetPosixMode(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return 0;
  struct stat st;
  if (stat(native.c_str(), &st) != 0) {
    SetLastErrorFromErrno();
    return 0;
  }
  return st.st_mode & 07777;
}

bool SetPosixMode(const ZoChar* path, uint32_t mode) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  if (chmod(native.c_str(), static_cast<mode_t>(mode & 07777)) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  return true;
}

}  // namespace plat
