// Win32 back end: holds only code valid on every Windows system.
// Creating a file for writing without following a symbolic link or junction at
// its final component.
#include "platform/win32/windows_wrapper.h"

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/win32/win32_util.h"

namespace plat {

File File::CreateNoFollow(const ZoChar* path, uint32_t /*posixMode*/) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return File();
  }
  // Open (or create) without truncating and without following a reparse point,
  // look at what was opened, and only then cut a regular file to zero length.
  HANDLE h = ::CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return File();
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    ::CloseHandle(h);
    SetLastError(kErrorAccessDenied);
    return File();
  }
  if (!::SetEndOfFile(h)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(h);
    SetLastError(error);
    return File();
  }
  return File(reinterpret_cast<intptr_t>(h));
}

}  // namespace plat
