// Win32 back end: holds only code valid on every Windows system.
#include "platform/win32/windows_wrapper.h"

#include "platform/volume.h"

#include <new>

#include "platform/errors.h"
#include "platform/win32/win32_util.h"

namespace plat {

bool GetDiskSpace(const ZoChar* path, uint64_t* freeToCaller, uint64_t* total) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  ULARGE_INTEGER available, size;
  if (::GetDiskFreeSpaceExW(path[0] ? Wide(path) : nullptr, &available, &size, nullptr)) {
    if (freeToCaller) *freeToCaller = available.QuadPart;
    if (total) *total = size.QuadPart;
    return true;
  }
  // The call wants a folder; for a file ask about the folder that holds it.
  DWORD error = ::GetLastError();
  DWORD attributes = ::GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(error);
    return false;
  }
  try {
    String16 folder(path);
    size_t cut = folder.find_last_of(u"\\/");
    if (cut == String16::npos) {
      folder = u".\\";
    } else {
      folder.resize(cut + 1);
    }
    if (!::GetDiskFreeSpaceExW(Wide(folder.c_str()), &available, &size, nullptr)) return false;
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
  if (freeToCaller) *freeToCaller = available.QuadPart;
  if (total) *total = size.QuadPart;
  return true;
}

bool GetFileSystemName(const ZoChar* root, ZoChar* out, size_t capacity) {
  if (out && capacity) out[0] = 0;
  if (!root) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  // GetVolumeInformationW wants the root with its final backslash ("C:\").
  ZoChar rootWithSlash[MAX_PATH + 1];
  size_t n = CopyTruncated(rootWithSlash, MAX_PATH, root);
  if (n > 0 && rootWithSlash[n - 1] != u'\\' && rootWithSlash[n - 1] != u'/') {
    rootWithSlash[n] = u'\\';
    rootWithSlash[n + 1] = 0;
  }
  wchar_t name[MAX_PATH + 1];
  if (!::GetVolumeInformationW(n ? Wide(rootWithSlash) : nullptr, nullptr, 0, nullptr, nullptr, nullptr, name,
                               MAX_PATH + 1)) {
    return false;
  }
  CopyTruncated(out, capacity, Zo(name));
  return true;
}

}  // namespace plat
