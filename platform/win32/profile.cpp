// Windows back end: holds only code valid on every Windows system.
#include "platform/win32/windows_wrapper.h"

#include "platform/profile.h"

#include <mutex>
#include <new>
#include <string>

#include "platform/profile_rules.h"
#include "platform/win32/win32_util.h"

namespace plat {

namespace {

class ScopedKey {
 public:
  ~ScopedKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* Address() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The profile file set by SetUserProfileFile (empty: WIN.INI), under its lock.
std::mutex gProfileLock;
std::wstring gProfileOverride;

std::wstring ProfileOverride() {
  std::lock_guard<std::mutex> guard(gProfileLock);
  return gProfileOverride;
}

// The full form of a profile file's path: given a bare name, the system would
// look for the file in the Windows folder.
bool FullProfilePath(const ZoChar* path, std::wstring* full) {
  const DWORD need = GetFullPathNameW(Wide(path), 0, nullptr, nullptr);
  if (need == 0) return false;
  full->assign(need, L'\0');
  const DWORD got = GetFullPathNameW(Wide(path), need, full->data(), nullptr);
  if (got == 0 || got >= need) return false;
  full->resize(got);
  return true;
}

uint32_t CopyDefault(const ZoChar* defaultValue, ZoChar* out, uint32_t capacity) {
  StringView16 fallback = defaultValue ? StringView16(defaultValue) : StringView16();
  while (!fallback.empty() && fallback.back() == u' ') fallback.remove_suffix(1);
  return static_cast<uint32_t>(CopyTruncated(out, capacity, fallback));
}

}  // namespace

uint32_t GetPrivateProfileText(const ZoChar* section, const ZoChar* key, const ZoChar* defaultValue,
                               ZoChar* out, uint32_t capacity, const ZoChar* path) {
  if (!out || capacity == 0) return 0;
  const DWORD size = capacity > 0x7FFFFFFFu ? 0x7FFFFFFFu : capacity;
  // A null section or key would ask for the list of all sections or keys.
  if (!section || !key || !path) return CopyDefault(defaultValue, out, size);
  try {
    std::wstring full;
    if (!FullProfilePath(path, &full)) return CopyDefault(defaultValue, out, size);
    return GetPrivateProfileStringW(Wide(section), Wide(key), defaultValue ? Wide(defaultValue) : L"", Wide(out),
                                    size, full.c_str());
  } catch (const std::bad_alloc&) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return CopyDefault(defaultValue, out, size);
  }
}

int32_t GetPrivateProfileInteger(const ZoChar* section, const ZoChar* key, int32_t defaultValue,
                                 const ZoChar* path) {
  if (!section || !key || !path) return defaultValue;
  try {
    std::wstring full;
    if (!FullProfilePath(path, &full)) return defaultValue;
    return static_cast<int32_t>(GetPrivateProfileIntW(Wide(section), Wide(key), defaultValue, full.c_str()));
  } catch (const std::bad_alloc&) {
    return defaultValue;
  }
}

bool WritePrivateProfileText(const ZoChar* section, const ZoChar* key, const ZoChar* value, const ZoChar* path) {
  if (!path || !*path || !IsWritableProfileEntry(section, key, value)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  try {
    std::wstring full;
    if (!FullProfilePath(path, &full)) return false;
    // The system writes a new file in the ANSI code page, which loses every
    // character outside it; a file that starts with the UTF-16LE mark is kept
    // in UTF-16LE. An existing file keeps its encoding.
    ScopedHandle created(CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
    if (created.IsValid()) {
      static const unsigned char kMark[2] = {0xFF, 0xFE};
      DWORD written = 0;
      const bool marked = WriteFile(created.Get(), kMark, 2, &written, nullptr) && written == 2;
      created.Reset();
      if (!marked) {
        const DWORD error = ::GetLastError();
        DeleteFileW(full.c_str());
        ::SetLastError(error);
        return false;
      }
    }
    String16 written;
    if (value) written = ProfileValueAsWritten(value);
    return WritePrivateProfileStringW(Wide(section), key ? Wide(key) : nullptr,
                                      value ? Wide(written.c_str()) : nullptr, full.c_str()) != FALSE;
  } catch (const std::bad_alloc&) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
}

void SetSettingsFolder(const ZoChar*) {}

void SetUserProfileFile(const ZoChar* path) {
  try {
    std::wstring file = path ? std::wstring(Wide(path)) : std::wstring();
    std::lock_guard<std::mutex> guard(gProfileLock);
    gProfileOverride.swap(file);
  } catch (const std::bad_alloc&) {
  }
}

uint32_t GetUserProfileString(const ZoChar* section, const ZoChar* key, const ZoChar* defaultValue,
                              ZoChar* out, uint32_t capacity) {
  if (!out || capacity == 0) return 0;
  const wchar_t* fallback = defaultValue ? Wide(defaultValue) : L"";
  const DWORD size = capacity > 0x7FFFFFFFu ? 0x7FFFFFFFu : capacity;
  // A null section or key would ask for the list of all sections or keys.
  if (!section || !key) return static_cast<uint32_t>(CopyTruncated(out, size, Zo(fallback)));
  try {
    const std::wstring file = ProfileOverride();
    if (!file.empty()) {
      return GetPrivateProfileStringW(Wide(section), Wide(key), fallback, Wide(out), size, file.c_str());
    }
  } catch (const std::bad_alloc&) {
  }
  return GetProfileStringW(Wide(section), Wide(key), fallback, Wide(out), size);
}

int32_t GetUserProfileInt(const ZoChar* section, const ZoChar* key, int32_t defaultValue) {
  if (!section || !key) return defaultValue;
  try {
    const std::wstring file = ProfileOverride();
    if (!file.empty()) {
      return static_cast<int32_t>(GetPrivateProfileIntW(Wide(section), Wide(key), defaultValue, file.c_str()));
    }
  } catch (const std::bad_alloc&) {
  }
  return static_cast<int32_t>(GetProfileIntW(Wide(section), Wide(key), defaultValue));
}

bool ReadSettingNumber(const ZoChar* key, const ZoChar* name, uint32_t* value) {
  if (!key || !value) return false;
  ScopedKey k;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(key), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_READ, nullptr, k.Address(), &disposition);
  if (status != ERROR_SUCCESS) {
    ::SetLastError(static_cast<DWORD>(status));
    return false;
  }
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  status = RegQueryValueExW(k.Get(), Wide(name), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) {
    ::SetLastError(status != ERROR_SUCCESS ? static_cast<DWORD>(status) : ERROR_INVALID_DATA);
    return false;
  }
  *value = data;
  return true;
}

bool WriteSettingNumber(const ZoChar* key, const ZoChar* name, uint32_t value) {
  if (!key) return false;
  ScopedKey k;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(key), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_WRITE, nullptr, k.Address(), &disposition);
  if (status == ERROR_SUCCESS) {
    const DWORD data = value;
    status = RegSetValueExW(k.Get(), Wide(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                            sizeof data);
  }
  if (status != ERROR_SUCCESS) {
    ::SetLastError(static_cast<DWORD>(status));
    return false;
  }
  return true;
}

}  // namespace plat
