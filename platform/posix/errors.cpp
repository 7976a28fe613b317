// POSIX back end: holds only code valid on every POSIX system.
// The last error is thread-local; errno values map to Windows numbers in one table.
#include "platform/errors.h"
#include "platform/posix/posix_util.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace plat {

namespace {
thread_local uint32_t tLastError = 0;
}

uint32_t LastError() { return tLastError; }
void SetLastError(uint32_t error) { tLastError = error; }

uint32_t ErrorFromErrno(int e) {
  switch (e) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES: case EPERM: case EROFS: return kErrorAccessDenied;
    case EEXIST: return kErrorAlreadyExists;
    case ENOSPC: case EDQUOT: return kErrorDiskFull;
    case EFBIG: return kErrorDiskFull;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case EMFILE: case ENFILE: return kErrorTooManyOpenFiles;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EINVAL: return kErrorInvalidParameter;
    case EISDIR: return kErrorAccessDenied;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case EBUSY: case ETXTBSY: return kErrorSharingViolation;
    case EXDEV: return kErrorNotSameDevice;
    case ELOOP: return kErrorCantResolveFilename;
    case EPIPE: return kErrorBrokenPipe;
    case ENOSYS: case EOPNOTSUPP: return kErrorNotSupported;
    case EILSEQ: return kErrorNoUnicodeTranslation;
    case EIO: return kErrorIoDevice;
    case ENOEXEC: return kErrorBadExeFormat;
    case EINTR: return kErrorOperationAborted;
    default: return kErrorInvalidFunction;
  }
}

namespace {

// The reverse of ErrorFromErrno for the numbers it produces; 0 for a number
// with no errno of its own.
int ErrnoFromError(uint32_t error) {
  switch (error) {
    case kErrorFileNotFound: case kErrorPathNotFound: return ENOENT;
    case kErrorTooManyOpenFiles: return EMFILE;
    case kErrorAccessDenied: return EACCES;
    case kErrorInvalidHandle: return EBADF;
    case kErrorNotEnoughMemory: case 14: return ENOMEM;  // 14: ERROR_OUTOFMEMORY (E_OUTOFMEMORY wraps it)
    case kErrorNotSameDevice: return EXDEV;
    case kErrorSharingViolation: case kErrorBusy: return EBUSY;
    case kErrorNotSupported: return EOPNOTSUPP;
    case kErrorFileExists: case kErrorAlreadyExists: return EEXIST;
    case kErrorInvalidParameter: return EINVAL;
    case kErrorBrokenPipe: return EPIPE;
    case kErrorDiskFull: case kErrorHandleDiskFull: return ENOSPC;
    case kErrorFilenameExcedRange: return ENAMETOOLONG;
    case kErrorDirNotEmpty: return ENOTEMPTY;
    case kErrorFileTooLarge: return EFBIG;
    case kErrorCantResolveFilename: return ELOOP;
    case kErrorNoUnicodeTranslation: return EILSEQ;
    case kErrorIoDevice: return EIO;
    case kErrorOperationAborted: return EINTR;
    default: return 0;
  }
}

// strerror_r comes in two shapes (XSI returns a status, GNU a pointer).
[[maybe_unused]] const char* StrerrorText(int status, const char* buffer) { return status == 0 ? buffer : ""; }
[[maybe_unused]] const char* StrerrorText(const char* text, const char*) { return text ? text : ""; }

}  // namespace

String16 SystemMessageText(uint32_t code) {
  uint32_t error = code;
  if ((code & 0xFFFF0000u) == 0x80070000u) {
    error = code & 0xFFFFu;  // a Windows error number wrapped in a result code
  } else if (code > 0xFFFFu) {
    return String16();
  }
  const int e = ErrnoFromError(error);
  if (e == 0) return String16();
  char buffer[256] = {};
  return FromUtf8(StrerrorText(strerror_r(e, buffer, sizeof buffer), buffer));
}

void SetLastErrorFromErrno() { SetLastError(ErrorFromErrno(errno)); }

void SetLastErrorFromErrnoAt(const std::string& path) {
  int e = errno;
  uint32_t error = ErrorFromErrno(e);
  if (e == ENOENT) {
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) error = kErrorPathNotFound;
  }
  SetLastError(error);
}

}  // namespace plat
