// Win32 back end internals: holds only code valid on every Windows system.
// The UTF-16 <-> wchar_t casts at the system-call boundary, FILETIME packing,
// and the GetFullPathNameW size contract for paths handed back to callers.
#pragma once
#include "platform/win32/windows_wrapper.h"

#include <cstdint>
#include <string>

#include "platform/text.h"
#include "platform/types.h"

static_assert(sizeof(wchar_t) == sizeof(ZoChar), "Windows wide characters are UTF-16 units");

namespace plat {

inline const wchar_t* Wide(const ZoChar* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* Wide(ZoChar* text) { return reinterpret_cast<wchar_t*>(text); }
inline const ZoChar* Zo(const wchar_t* text) { return reinterpret_cast<const ZoChar*>(text); }

inline ZoFileTime FromFileTime(const FILETIME& ft) {
  return (static_cast<ZoFileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME ToFileTime(ZoFileTime t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}

// Owns a kernel handle (either invalid form: null or INVALID_HANDLE_VALUE) and
// closes it on every path, keeping the thread's last error as it was, so that a
// failure reported before the close survives it.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE h = nullptr) : h_(h) {}
  ~ScopedHandle() { Reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  bool IsValid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return h_; }
  void Reset(HANDLE h = nullptr) {
    if (IsValid()) {
      DWORD error = ::GetLastError();
      ::CloseHandle(h_);
      ::SetLastError(error);
    }
    h_ = h;
  }

 private:
  HANDLE h_;
};

// Loads a system DLL by its base name ("comctl32.dll") from the system folder
// only, never from the program's folder or the current one. Redirection by the
// program's manifest still applies, so comctl32 comes in the version the
// manifest asks for. On a system whose loader lacks the search flags the full
// path in the system folder is loaded instead. Null on failure (last error set).
HMODULE LoadSystemLibrary(const wchar_t* name);

// The entry point `name` of `module` as the function type F; null when missing.
// The cast goes by way of a generic function pointer so that the compiler accepts
// a cast between unrelated function types.
template <typename F>
F SystemEntryPoint(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name))) : nullptr;
}

// ZO_ATTR_DEVICE for the reparse tags of the special files Linux subsystems keep
// on NTFS (a Unix socket, a FIFO, a character or block device), which no open can
// read as a file; 0 for every other tag (symbolic links, placeholders, ...).
inline uint32_t DeviceAttributeOfReparseTag(DWORD tag) {
  switch (tag) {
    case 0x80000023u:  // IO_REPARSE_TAG_AF_UNIX
    case 0x80000024u:  // IO_REPARSE_TAG_LX_FIFO
    case 0x80000025u:  // IO_REPARSE_TAG_LX_CHR
    case 0x80000026u:  // IO_REPARSE_TAG_LX_BLK
      return ZO_ATTR_DEVICE;
    default:
      return 0;
  }
}

// Copies UTF-16 text into a caller buffer with the size contract of
// GetFullPathNameW: the length when it fits, else the capacity needed (and an
// empty, terminated buffer when there is room for the terminator).
inline uint32_t ReturnPath(StringView16 text, ZoChar* out, uint32_t capacity) {
  if (text.size() + 1 > capacity) {
    if (out && capacity > 0) out[0] = 0;
    return static_cast<uint32_t>(text.size() + 1);
  }
  CopyTruncated(out, capacity, text);
  return static_cast<uint32_t>(text.size());
}

}  // namespace plat
