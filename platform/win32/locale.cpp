// Windows back end: holds only code valid on every Windows system.
#include "platform/win32/windows_wrapper.h"

#include "platform/locale.h"
#include "platform/win32/win32_util.h"

namespace plat {

int GetLocaleText(uint32_t lcid, LocaleField field, ZoChar* out, int capacity) {
  if (!out || capacity <= 0) return 0;
  out[0] = 0;
  const int n = GetLocaleInfoW(lcid, static_cast<LCTYPE>(field), Wide(out), capacity);
  if (n <= 0) out[0] = 0;
  return n;
}

uint32_t GetSystemDefaultLcid() { return ::GetSystemDefaultLCID(); }
uint32_t GetUserDefaultLcid() { return ::GetUserDefaultLCID(); }

size_t SystemCharLength(const char* text, size_t available) {
  if (available == 0) return 0;
  return available >= 2 && IsDBCSLeadByte(static_cast<BYTE>(text[0])) ? 2 : 1;
}

}  // namespace plat
