// POSIX back end: holds only code valid on every POSIX system.
// The last error is thread-local; errno values map to Windows numbers in one table.
#include "platform/errors.h"
#include "platform/posix/posix_util.h"

#include <sys/stat.h>

#include <cerrno>

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
