// Stored per-machine or per-user settings: 32-bit numbers under a key path.
//
// Windows: the registry value `name` (REG_DWORD) of HKEY_LOCAL_MACHINE\`key`;
// the key is created when absent. POSIX: a small settings file of the user,
// $XDG_CONFIG_HOME/orvande/settings.ini (or ~/.config/orvande/settings.ini),
// holding "[key]" sections of "name=value" lines; it is rewritten whole through a
// temporary file and a rename, so a crash never leaves half a file.
// Key paths use '\' between their parts on every OS ("Software\Vendor\App\1.0\Lang").
#pragma once
#include <cstdint>
#include "platform/types.h"

namespace plat {

// POSIX: keeps the settings file in `folder` instead of the user's configuration
// folder (null restores it). Lets tests run without touching the user's files.
// Windows: ignored (the registry is the store).
void SetSettingsFolder(const ZoChar* folder);

// False when the key or the value is absent or not a 32-bit number.
bool ReadSettingNumber(const ZoChar* key, const ZoChar* name, uint32_t* value);
// False when the setting cannot be stored (LastError set).
bool WriteSettingNumber(const ZoChar* key, const ZoChar* name, uint32_t value);

}  // namespace plat
