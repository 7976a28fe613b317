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

std::string ToSystemCodePage(StringView16 text) {
  std::string out;
  if (text.empty() || text.size() > 0x7FFFFFFFu / 2) return out;
  const int units = static_cast<int>(text.size());
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return out;
  out.resize(static_cast<size_t>(bytes));
  const int wrote = WideCharToMultiByte(CP_ACP, 0, wide, units, out.data(), bytes, nullptr, nullptr);
  out.resize(wrote > 0 ? static_cast<size_t>(wrote) : 0);
  return out;
}

String16 FromSystemCodePage(std::string_view text) {
  String16 out;
  if (text.empty() || text.size() > 0x7FFFFFFFu) return out;
  const int bytes = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), bytes, nullptr, 0);
  if (units <= 0) return out;
  out.resize(static_cast<size_t>(units));
  const int wrote =
      MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), bytes, reinterpret_cast<wchar_t*>(out.data()), units);
  out.resize(wrote > 0 ? static_cast<size_t>(wrote) : 0);
  return out;
}

}  // namespace plat
