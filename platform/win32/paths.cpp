// Win32 back end: holds only code valid on every Windows system.
// Every system call here writes into a private buffer that grows until the
// answer fits, and the result is then handed to the caller through ReturnPath;
// so the caller's buffer may be the input itself, and a too-small buffer is
// always left terminated.
#include "platform/win32/windows_wrapper.h"

#include "platform/paths.h"

#include <shlobj.h>

#include <new>
#include <vector>

#include "platform/errors.h"
#include "platform/win32/win32_util.h"

namespace plat {

namespace {

// Calls `query(buffer, capacity)`, which follows the GetFullPathNameW return
// convention, with a growing buffer. Returns the result through ReturnPath, or
// 0 with the system's last error.
template <typename Query>
uint32_t QueryPath(Query query, ZoChar* out, uint32_t capacity) {
  try {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 8; ++attempt) {
      DWORD n = query(buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) return 0;
      if (n < buffer.size()) return ReturnPath(StringView16(Zo(buffer.data()), n), out, capacity);
      buffer.resize(static_cast<size_t>(n) + 1);
    }
    SetLastError(kErrorInsufficientBuffer);  // the answer kept growing
    return 0;
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return 0;
  }
}

}  // namespace

uint32_t GetFullPath(const ZoChar* name, ZoChar* out, uint32_t capacity) {
  if (!name || !name[0]) {
    SetLastError(kErrorInvalidName);
    return 0;
  }
  return QueryPath([name](wchar_t* b, DWORD c) { return ::GetFullPathNameW(Wide(name), c, b, nullptr); }, out,
                   capacity);
}

uint32_t GetTempPath(ZoChar* out, uint32_t capacity) {
  return QueryPath([](wchar_t* b, DWORD c) { return ::GetTempPathW(c, b); }, out, capacity);
}

uint32_t GetModuleFileName(ModuleHandle module, ZoChar* out, uint32_t capacity) {
  // GetModuleFileNameW truncates instead of reporting the size it needs; a
  // result that fills the buffer is answered with "one more than that".
  return QueryPath(
      [module](wchar_t* b, DWORD c) {
        DWORD n = ::GetModuleFileNameW(static_cast<HMODULE>(module), b, c);
        return n >= c ? c * 2 : n;
      },
      out, capacity);
}

uint32_t GetLongPath(const ZoChar* path, ZoChar* out, uint32_t capacity) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return 0;
  }
  return QueryPath([path](wchar_t* b, DWORD c) { return ::GetLongPathNameW(Wide(path), b, c); }, out, capacity);
}

uint32_t GetShortPath(const ZoChar* path, ZoChar* out, uint32_t capacity) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return 0;
  }
  return QueryPath([path](wchar_t* b, DWORD c) { return ::GetShortPathNameW(Wide(path), b, c); }, out, capacity);
}

uint32_t GetCurrentDirectory(ZoChar* out, uint32_t capacity) {
  return QueryPath([](wchar_t* b, DWORD c) { return ::GetCurrentDirectoryW(c, b); }, out, capacity);
}

bool SetCurrentDirectory(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  return ::SetCurrentDirectoryW(Wide(path)) != 0;
}

uint32_t GetProgramFilesFolder(ZoChar* out, uint32_t capacity) {
  wchar_t folder[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE)) {
    SetLastError(kErrorPathNotFound);
    return 0;
  }
  return ReturnPath(StringView16(Zo(folder), BoundedLength(Zo(folder), MAX_PATH)), out, capacity);
}

uint32_t GetWindowsDrive(ZoChar* out, uint32_t capacity) {
  wchar_t folder[MAX_PATH + 1] = {};
  UINT n = ::GetWindowsDirectoryW(folder, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) {
    if (n > MAX_PATH) SetLastError(kErrorFilenameExcedRange);
    return 0;
  }
  // "C:\Windows" -> "C:\"; a folder without a drive letter is its own root.
  StringView16 text(Zo(folder), n);
  if (n >= 2 && folder[1] == L':') {
    ZoChar root[4] = {static_cast<ZoChar>(folder[0]), u':', u'\\', 0};
    return ReturnPath(StringView16(root, 3), out, capacity);
  }
  return ReturnPath(text, out, capacity);
}

}  // namespace plat
