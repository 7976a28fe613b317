// Win32 back end: holds only code valid on every Windows system.
// Files through CreateFileW/ReadFile/WriteFile, looping until every byte is moved,
// with the fault-injection seam consulted on every write, read, rename and close.
#include "platform/win32/windows_wrapper.h"

#include "platform/file.h"

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/win32/win32_util.h"

namespace plat {

namespace {

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces.
constexpr size_t kMaxChunk = 0x40000000u;

// The attribute bits a caller may give a file. Attributes often come from an
// archive entry (untrusted bytes), and the same argument of CreateFileW also
// takes FILE_FLAG_* bits (overlapped, no buffering, delete on close) and the
// encrypted bit; none of those may slip through.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

DWORD SettableAttributes(uint32_t attributes) {
  DWORD a = attributes & kSettableAttributes;
  if (a & ~FILE_ATTRIBUTE_NORMAL) a &= ~FILE_ATTRIBUTE_NORMAL;  // NORMAL is valid only alone
  return a ? a : FILE_ATTRIBUTE_NORMAL;
}

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

DWORD CreationDisposition(Disposition disposition) {
  switch (disposition) {
    case Disposition::OpenExisting: return OPEN_EXISTING;
    case Disposition::CreateAlways: return CREATE_ALWAYS;
    case Disposition::CreateNew: return CREATE_NEW;
    case Disposition::OpenAlways: return OPEN_ALWAYS;
  }
  return OPEN_EXISTING;
}

// True for a path of the device namespace (\\.\pipe\x, \\?\COM1, \\.\PhysicalDrive0):
// one that names no drive (\\?\C:\...) and no UNC share (\\?\UNC\...), so
// neither a file nor a folder that the writers may open.
bool IsDeviceNamespacePath(const ZoChar* path) {
  if (!(path[0] == u'\\' && path[1] == u'\\' && (path[2] == u'.' || path[2] == u'?') && path[3] == u'\\')) return false;
  const ZoChar* rest = path + 4;
  const ZoChar letter = static_cast<ZoChar>(rest[0] | 0x20);
  if (letter >= u'a' && letter <= u'z' && rest[1] == u':' && (rest[2] == u'\\' || rest[2] == 0)) return false;
  const bool unc = (rest[0] | 0x20) == u'u' && (rest[1] | 0x20) == u'n' && (rest[2] | 0x20) == u'c' && rest[3] == u'\\';
  return !unc;
}

// A handle for reading or writing a path's times and attributes; directories
// open too (backup semantics), as stat(2) reaches them on POSIX.
HANDLE OpenForMetadata(const ZoChar* path, DWORD access) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(Wide(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool GetTimesOf(HANDLE h, FileTimes* times) {
  FILETIME c, a, w;
  if (!::GetFileTime(h, &c, &a, &w)) return false;
  times->creation = FromFileTime(c);
  times->lastAccess = FromFileTime(a);
  times->lastWrite = FromFileTime(w);
  return true;
}

bool SetTimesOf(HANDLE h, const ZoFileTime* creation, const ZoFileTime* lastAccess, const ZoFileTime* lastWrite) {
  FILETIME c, a, w;
  if (creation) c = ToFileTime(*creation);
  if (lastAccess) a = ToFileTime(*lastAccess);
  if (lastWrite) w = ToFileTime(*lastWrite);
  return ::SetFileTime(h, creation ? &c : nullptr, lastAccess ? &a : nullptr, lastWrite ? &w : nullptr) != 0;
}

}  // namespace

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (IsValid()) ::CloseHandle(AsHandle(handle_));
    handle_ = other.handle_;
    other.handle_ = kInvalid;
  }
  return *this;
}

File::~File() {
  if (IsValid()) ::CloseHandle(AsHandle(handle_));
}

File File::Open(const ZoChar* path, Access access, uint32_t share, Disposition disposition, uint32_t attributes,
                uint32_t /*posixMode*/) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return File();
  }
  DWORD desired = access == Access::Read ? GENERIC_READ
                  : access == Access::Write ? GENERIC_WRITE
                                            : GENERIC_READ | GENERIC_WRITE;
  // The layer's share bits are the system's FILE_SHARE_* bits.
  DWORD shareMode = share & (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  DWORD flags = SettableAttributes(attributes);
  // No security attributes: the handle is not inherited by child processes.
  HANDLE h = ::CreateFileW(Wide(path), desired, shareMode, nullptr, CreationDisposition(disposition), flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return File();
  return File(reinterpret_cast<intptr_t>(h));
}

// The folder is not opened: a handle of 0 only marks the object as usable, and
// each file is opened by its whole path.
Folder::Folder(Folder&& other) noexcept : handle_(other.handle_) { other.handle_ = File::kInvalid; }

Folder& Folder::operator=(Folder&& other) noexcept {
  handle_ = other.handle_;
  if (this != &other) other.handle_ = File::kInvalid;
  return *this;
}

Folder::~Folder() = default;

Folder Folder::Open(const ZoChar* path) {
  Folder folder;
  if (!path) {
    SetLastError(kErrorInvalidName);
    return folder;
  }
  folder.handle_ = 0;
  return folder;
}

File Folder::OpenToRead(const ZoChar* /*name*/, const ZoChar* fullPath) const {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return File();
  }
  return File::Open(fullPath, Access::Read, kShareRead | kShareWrite, Disposition::OpenExisting);
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
    size_t chunk = size - *got < kMaxChunk ? size - *got : kMaxChunk;
    DWORD n = 0;
    if (!::ReadFile(AsHandle(handle_), p + *got, static_cast<DWORD>(chunk), &n, nullptr)) {
      // A pipe whose writer has gone has simply ended.
      if (::GetLastError() == ERROR_BROKEN_PIPE) break;
      return false;
    }
    if (n == 0) break;
    *got += n;
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
    size_t chunk = size - *got < kMaxChunk ? size - *got : kMaxChunk;
    uint64_t at = offset + *got;
    // On a synchronous handle an OVERLAPPED only carries the position.
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    ov.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD n = 0;
    if (!::ReadFile(AsHandle(handle_), p + *got, static_cast<DWORD>(chunk), &n, &ov)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;  // positioned at or past the end
      return false;
    }
    if (n == 0) break;
    *got += n;
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
    size_t chunk = allowed - done < kMaxChunk ? allowed - done : kMaxChunk;
    DWORD n = 0;
    if (!::WriteFile(AsHandle(handle_), p + done, static_cast<DWORD>(chunk), &n, nullptr)) return false;
    if (n == 0) {
      // A file system that accepts nothing without an error is full in effect.
      SetLastError(kErrorDiskFull);
      return false;
    }
    done += n;
  }
  if (fail) {
    SetLastError(error);
    return false;
  }
  return true;
}

bool File::Seek(int64_t offset, SeekOrigin origin, uint64_t* newPosition) {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  DWORD method = origin == SeekOrigin::Begin ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance, result;
  distance.QuadPart = offset;
  if (!::SetFilePointerEx(AsHandle(handle_), distance, &result, method)) return false;
  if (newPosition) *newPosition = static_cast<uint64_t>(result.QuadPart);
  return true;
}

bool File::Tell(uint64_t* position) { return Seek(0, SeekOrigin::Current, position); }

bool File::Size(uint64_t* size) {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  LARGE_INTEGER s;
  if (!::GetFileSizeEx(AsHandle(handle_), &s)) return false;
  *size = static_cast<uint64_t>(s.QuadPart);
  return true;
}

bool File::Truncate() {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ::SetEndOfFile(AsHandle(handle_)) != 0;
}

bool File::Flush() {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ::FlushFileBuffers(AsHandle(handle_)) != 0;
}

bool File::GetTimes(FileTimes* times) {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return GetTimesOf(AsHandle(handle_), times);
}

bool File::GetStatus(Status* status) {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(AsHandle(handle_), &info)) return false;
  status->size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  status->times.creation = FromFileTime(info.ftCreationTime);
  status->times.lastAccess = FromFileTime(info.ftLastAccessTime);
  status->times.lastWrite = FromFileTime(info.ftLastWriteTime);
  status->posixMode = 0;
  status->regular = ::GetFileType(AsHandle(handle_)) == FILE_TYPE_DISK &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  return true;
}

bool File::SetTimes(const ZoFileTime* creation, const ZoFileTime* lastAccess, const ZoFileTime* lastWrite) {
  if (!IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return SetTimesOf(AsHandle(handle_), creation, lastAccess, lastWrite);
}

bool File::Close() {
  if (!IsValid()) return true;
  HANDLE h = AsHandle(handle_);
  handle_ = kInvalid;
  BOOL closed = ::CloseHandle(h);
  DWORD closeError = closed ? 0 : ::GetLastError();
  uint32_t error;
  if (fault::CloseFails(&error)) {
    SetLastError(error);
    return false;
  }
  if (!closed) {
    SetLastError(closeError);
    return false;
  }
  return true;
}

uint32_t GetAttributes(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return ZO_INVALID_ATTRIBUTES;
  }
  // GetFileAttributesW reports a symbolic link itself, not its target.
  DWORD attributes = ::GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
  if (IsDeviceNamespacePath(path)) attributes |= ZO_ATTR_DEVICE;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // The reparse tag is only in the find data.
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(Wide(path), &data);
    if (find != INVALID_HANDLE_VALUE) {
      ::FindClose(find);
      attributes |= DeviceAttributeOfReparseTag(data.dwReserved0);
    }
  }
  return attributes;
}

bool SetAttributes(const ZoChar* path, uint32_t attributes) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  return ::SetFileAttributesW(Wide(path), SettableAttributes(attributes)) != 0;
}

bool DeleteFile(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  return ::DeleteFileW(Wide(path)) != 0;
}

bool MoveFile(const ZoChar* from, const ZoChar* to, bool replaceExisting) {
  if (!from || !to) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  if (fault::RenameFails()) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  // No MOVEFILE_COPY_ALLOWED: a copy across volumes would not be atomic, and
  // the callers rename within one folder.
  DWORD flags = MOVEFILE_WRITE_THROUGH;
  if (replaceExisting) flags |= MOVEFILE_REPLACE_EXISTING;
  return ::MoveFileExW(Wide(from), Wide(to), flags) != 0;
}

bool GetFileTimes(const ZoChar* path, FileTimes* times) {
  ScopedHandle h(OpenForMetadata(path, FILE_READ_ATTRIBUTES));
  return h.IsValid() && GetTimesOf(h.Get(), times);
}

bool SetFileTimes(const ZoChar* path, const ZoFileTime* creation, const ZoFileTime* lastAccess,
                  const ZoFileTime* lastWrite) {
  ScopedHandle h(OpenForMetadata(path, FILE_WRITE_ATTRIBUTES));
  return h.IsValid() && SetTimesOf(h.Get(), creation, lastAccess, lastWrite);
}

uint32_t GetPosixMode(const ZoChar* /*path*/) { return 0; }

bool SetPosixMode(const ZoChar* /*path*/, uint32_t /*mode*/) { return true; }

}  // namespace plat
