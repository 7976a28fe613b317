// POSIX back end: holds only code valid on every POSIX system.
#include "platform/volume.h"

#include <sys/statvfs.h>

#ifdef __linux__
#include <sys/vfs.h>
#endif

#include "platform/errors.h"
#include "platform/posix/posix_util.h"
#include "platform/text.h"

namespace plat {

bool GetDiskSpace(const ZoChar* path, uint64_t* freeToCaller, uint64_t* total) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  if (native.empty()) native.push_back('.');
  struct statvfs vfs;
  if (statvfs(native.c_str(), &vfs) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  if (freeToCaller) *freeToCaller = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  if (total) *total = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
  return true;
}

bool GetFileSystemName(const ZoChar* root, ZoChar* out, size_t capacity) {
  if (out && capacity) out[0] = 0;
  std::string native;
  if (!ToNativePath(root, &native)) return false;
  const char16_t* name = u"unknown";
#ifdef __linux__
  struct statfs fs;
  if (statfs(native.c_str(), &fs) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53: name = u"ext4"; break;
    case 0x58465342: name = u"xfs"; break;
    case 0x9123683E: name = u"btrfs"; break;
    case 0x01021994: name = u"tmpfs"; break;
    case 0x794C7630: name = u"overlay"; break;
    case 0x4d44: name = u"vfat"; break;
    case 0x6969: name = u"nfs"; break;
    default: break;
  }
#else
  struct statvfs vfs;
  if (statvfs(native.c_str(), &vfs) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
#endif
  CopyTruncated(out, capacity, name);
  return true;
}

}  // namespace plat
