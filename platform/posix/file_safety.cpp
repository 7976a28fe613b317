// POSIX back end: holds only code valid on every POSIX system.
// Creating a file for writing without following a link at its final component.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/posix/posix_util.h"

namespace plat {

File File::CreateNoFollow(const ZoChar* path, uint32_t posixMode) {
  std::string native;
  if (!ToNativePath(path, &native)) return File();
  const mode_t mode = posixMode ? static_cast<mode_t>(posixMode & 07777) : 0666;
  int fd;
  do {
    // O_NONBLOCK keeps a FIFO planted at the path from stalling the open; it does
    // not change writes to a regular file.
    fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ELOOP) {
      SetLastError(kErrorAccessDenied);
    } else {
      SetLastErrorFromErrno();
    }
    return File();
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    SetLastError(kErrorAccessDenied);
    return File();
  }
  // O_NONBLOCK stays: it has no effect on reads and writes of a regular file.
  return File(fd);
}

}  // namespace plat
