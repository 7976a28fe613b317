// Win32 back end: holds only code valid on every Windows system.
// The layer's error numbers are Windows' own, so the last error is the system's.
#include "platform/win32/windows_wrapper.h"

#include "platform/errors.h"

namespace plat {

uint32_t LastError() { return ::GetLastError(); }
void SetLastError(uint32_t error) { ::SetLastError(error); }

String16 SystemMessageText(uint32_t code) {
  String16 text;
  wchar_t* buffer = nullptr;
  // Inserts are ignored: a message with %1 would otherwise read arguments that
  // are not there.
  const DWORD units = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (buffer) {
    struct Release {
      wchar_t* block;
      ~Release() { LocalFree(block); }
    } release{buffer};
    text.assign(reinterpret_cast<const ZoChar*>(buffer), units);
  }
  return text;
}

}  // namespace plat
