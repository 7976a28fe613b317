// POSIX back end: holds only code valid on every POSIX system.
// The last error is thread-local; errno values map to Windows numbers in one table.
#include "platform/errors.h"
#include "platform/posix/posix_util.h"

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
    default: return kErrorInvalidFunction;
  }
}

void SetLastErrorFromErrno() { SetLastError(ErrorFromErrno(errno)); }

}  // namespace plat
