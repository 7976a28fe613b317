// Windows back end: holds only code valid on every Windows system.
#include "platform/win32/windows_wrapper.h"

#include "platform/profile.h"
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

}  // namespace

void SetSettingsFolder(const ZoChar*) {}

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
