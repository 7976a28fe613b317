// Stored settings: 32-bit numbers under a key path, and the user's profile.
//
// Settings numbers:
// Windows: the registry value `name` (REG_DWORD) of HKEY_LOCAL_MACHINE\`key`;
// the key is created when absent. POSIX: a small settings file of the user,
// $XDG_CONFIG_HOME/orvande/settings.ini (or ~/.config/orvande/settings.ini),
// holding "[key]" sections of "name=value" lines; it is rewritten whole through a
// temporary file and a rename, so a crash never leaves half a file.
// Key paths use '\' between their parts on every OS ("Software\Vendor\App\1.0\Lang").
//
// The user's profile: "[section]" and "key=value" lines read with the rules of
// GetProfileStringW (sections and keys without regard to ASCII case, blanks
// around keys and values dropped, one pair of enclosing quotes removed from a
// value, the first matching section and key win). Windows: the user's WIN.INI,
// read with GetProfileStringW and GetProfileIntW. POSIX: a UTF-8 file standing
// for it, named by the environment variable ORV_USER_PROFILE when set, else
// $XDG_CONFIG_HOME/orvande/profile.ini (or ~/.config/orvande/profile.ini); lines
// starting with ';' are comments, and a missing file is an empty profile.
//
// Private profile files: an INI file named by its path, read and written with the
// rules of GetPrivateProfileStringW, GetPrivateProfileIntW and
// WritePrivateProfileStringW (the same reading rules as the user's profile
// above). Windows: those functions, with the path made full first (the system
// would look for a bare name in the Windows folder). POSIX: the file is UTF-8
// (a UTF-8 byte-order mark is skipped); a file starting with the UTF-16LE mark is
// read as UTF-16LE, and a file that is not valid UTF-8 is read as Latin-1, so no
// byte is lost. A NUL ends a value; at most kMaxPrivateProfileBytes of a file
// are read.
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

// The text of `key` in `section`, or `defaultValue` (null: "") when the key is
// absent, cut to capacity - 1 units and terminated; returns the units written
// without the terminator (0 with nothing written when capacity is 0).
uint32_t GetUserProfileString(const ZoChar* section, const ZoChar* key, const ZoChar* defaultValue,
                              ZoChar* out, uint32_t capacity);
// The number at the start of the key's text (blanks, an optional sign, decimal
// digits modulo 2^32; GetProfileIntW's reading on Windows); `defaultValue` when
// the key is absent or empty, 0 when its text starts with no number.
int32_t GetUserProfileInt(const ZoChar* section, const ZoChar* key, int32_t defaultValue);
// Reads the profile from the INI file `path` instead (Windows: through
// GetPrivateProfileStringW, so `path` should be a full path); null restores the
// user's profile. Lets tests and tools use a profile of their own. Thread-safe.
void SetUserProfileFile(const ZoChar* path);

// Larger private profile files are read only this far (and never rewritten).
inline constexpr uint32_t kMaxPrivateProfileBytes = 16u << 20;

// The text of `key` in `section` of the INI file `path`, or `defaultValue` (null:
// "", trailing blanks dropped) when the file, the section or the key is absent;
// cut to capacity - 1 units and terminated. Returns the units written without
// the terminator (0 with nothing written when capacity is 0).
//   "[Main]\n  Name = \"  Tool \" \n", section "main", key "NAME"  =>  "  Tool "
uint32_t GetPrivateProfileText(const ZoChar* section, const ZoChar* key, const ZoChar* defaultValue,
                               ZoChar* out, uint32_t capacity, const ZoChar* path);
// The number at the start of the key's text (blanks, an optional sign, decimal
// digits, taken modulo 2^32 as Windows does); `defaultValue` when the key is
// absent or empty, 0 when its text starts with no number.
int32_t GetPrivateProfileInteger(const ZoChar* section, const ZoChar* key, int32_t defaultValue,
                                 const ZoChar* path);
// Sets `key` in `section` of the INI file `path` to `value`: the file and the
// section are created when absent, the key's line is replaced (or added at the
// end of its section) and every other line is kept. A null `value` removes the
// key; a null `key` removes the section. A value that would not read back as
// written (blanks at either end, or enclosed in quotes) is written inside double
// quotes. Line breaks in any part, and '=' or a leading '[' or ';' in a key, are
// refused (kErrorInvalidParameter): they would make other keys. POSIX: the file
// is rewritten through a temporary file beside it and a rename, in its own
// encoding (UTF-16LE when it starts with that mark, else UTF-8). Windows: a new
// file is started with the UTF-16LE mark, so that no character is lost to the
// ANSI code page. False (LastError set) when the file cannot be written.
bool WritePrivateProfileText(const ZoChar* section, const ZoChar* key, const ZoChar* value, const ZoChar* path);

}  // namespace plat
