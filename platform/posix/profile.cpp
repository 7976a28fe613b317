// POSIX back end: holds only code valid on every POSIX system.
// The settings file is small; every write reads it whole, changes one line and
// replaces it through a temporary file and rename(2). The user's profile is read
// whole on every query (it is read rarely: the debug log reads it once).
#include "platform/profile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/profile_rules.h"
#include "platform/text.h"

namespace plat {

namespace {

std::string gFolderOverride;  // set by SetSettingsFolder; main thread only

// The profile file set by SetUserProfileFile (empty: none), under its lock.
std::mutex gProfileLock;
std::string gProfileOverride;

std::string UserConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/orvande";
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return std::string(home) + "/.config/orvande";
  return std::string();
}

std::string ConfigFolder() {
  if (!gFolderOverride.empty()) return gFolderOverride;
  return UserConfigFolder();
}

std::string UserProfilePath() {
  {
    std::lock_guard<std::mutex> guard(gProfileLock);
    if (!gProfileOverride.empty()) return gProfileOverride;
  }
  const char* named = std::getenv("ORV_USER_PROFILE");
  if (named && *named) return named;
  const std::string folder = UserConfigFolder();
  return folder.empty() ? folder : folder + "/profile.ini";
}

// Reads at most `limit` bytes of the file; *whole is false when it holds more.
bool ReadAll(const std::string& path, std::string* text, size_t limit = SIZE_MAX, bool* whole = nullptr) {
  text->clear();
  if (whole) *whole = true;
  File f = File::Open(FromUtf8(path).c_str(), Access::Read, kShareRead, Disposition::OpenExisting);
  if (!f) return false;
  char buffer[4096];
  for (;;) {
    size_t got = 0;
    if (text->size() >= limit) {
      char probe = 0;
      if (whole) *whole = !f.Read(&probe, 1, &got) || got == 0;
      return true;
    }
    const size_t want = std::min(sizeof buffer, limit - text->size());
    if (!f.Read(buffer, want, &got)) return false;
    text->append(buffer, got);
    if (got < want) return true;  // the end of the file
  }
}

// How a profile file's bytes are written; a rewrite keeps it (a Latin-1 file
// comes back as UTF-8, character for character).
enum class ProfileEncoding { Utf8, Utf8WithMark, Utf16Le };

// The profile text as UTF-8, whatever the file's encoding (see the header).
std::string DecodeProfile(const std::string& bytes, ProfileEncoding* encoding) {
  *encoding = ProfileEncoding::Utf8;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    *encoding = ProfileEncoding::Utf16Le;
    String16 wide;
    wide.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      wide.push_back(static_cast<ZoChar>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return ToUtf8(wide);
  }
  std::string_view text(bytes);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    *encoding = ProfileEncoding::Utf8WithMark;
    text.remove_prefix(3);
  }
  String16 checked;
  if (FromUtf8Strict(text, &checked)) return std::string(text);
  String16 latin1;  // not UTF-8: every byte is the character of that number
  latin1.reserve(text.size());
  for (char c : text) latin1.push_back(static_cast<ZoChar>(static_cast<unsigned char>(c)));
  return ToUtf8(latin1);
}

std::string EncodeProfile(const std::string& utf8, ProfileEncoding encoding) {
  switch (encoding) {
    case ProfileEncoding::Utf8: return utf8;
    case ProfileEncoding::Utf8WithMark: return "\xEF\xBB\xBF" + utf8;
    case ProfileEncoding::Utf16Le: break;
  }
  const String16 wide = FromUtf8(utf8);
  std::string bytes("\xFF\xFE", 2);
  bytes.reserve(2 + wide.size() * 2);
  for (ZoChar c : wide) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Section names compare without regard to ASCII case, as the registry's keys do.
bool SameName(const std::string& a, const std::string& b) {
  return EqualsNoCase(FromUtf8(a), FromUtf8(b));
}

// Index of the line "name=..." inside section `key` (or -1), and the index after
// the section's last line (or -1 when the section is absent).
void Locate(const std::vector<std::string>& lines, const std::string& key, const std::string& name,
            long* valueLine, long* sectionEnd) {
  *valueLine = -1;
  *sectionEnd = -1;
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '[') {
      if (inSection) return;
      const size_t close = line.find(']');
      inSection = close != std::string::npos && SameName(line.substr(1, close - 1), key);
      if (inSection) *sectionEnd = static_cast<long>(i + 1);
      continue;
    }
    if (!inSection) continue;
    *sectionEnd = static_cast<long>(i + 1);
    const size_t eq = line.find('=');
    if (eq != std::string::npos && SameName(line.substr(0, eq), name)) *valueLine = static_cast<long>(i);
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// A line as the profile rules read it: cut at a NUL, blanks at both ends dropped.
std::string ReadableLine(const std::string& raw) { return Trimmed(raw.substr(0, raw.find('\0'))); }

// Where `section` and `key` stand in the lines: the header of the first section
// of that name, the first line of the key in it, and the index after the
// section's last line that is not blank (where a new key goes). -1: absent.
struct ProfilePlace {
  long header = -1;
  long key = -1;
  long end = -1;         // the index of the next section's header, or the line count
  long insertAt = -1;
};

ProfilePlace LocateProfileKey(const std::vector<std::string>& lines, const std::string& section,
                              const std::string* key) {
  ProfilePlace place;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = ReadableLine(lines[i]);
    if (!line.empty() && line[0] == '[') {
      if (place.header >= 0) {
        place.end = static_cast<long>(i);
        return place;  // only the first section of that name counts
      }
      const size_t close = line.find(']');
      if (SameName(Trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), section)) {
        place.header = static_cast<long>(i);
        place.insertAt = place.header + 1;
      }
      continue;
    }
    if (place.header < 0 || line.empty()) continue;
    place.insertAt = static_cast<long>(i + 1);
    if (line[0] == ';' || !key || place.key >= 0) continue;
    if (SameName(Trimmed(line.substr(0, line.find('='))), *key)) place.key = static_cast<long>(i);
  }
  if (place.header >= 0) place.end = static_cast<long>(lines.size());
  return place;
}

// The value of `key` in `section` of the profile text, by GetProfileStringW's
// rules (see the header). False when the section or the key is absent.
bool FindProfileValue(const std::string& text, const std::string& section, const std::string& key,
                      std::string* value) {
  const std::vector<std::string> lines = SplitLines(text);
  const ProfilePlace place = LocateProfileKey(lines, section, &key);
  if (place.key < 0) return false;
  const std::string line = ReadableLine(lines[static_cast<size_t>(place.key)]);
  const size_t eq = line.find('=');
  std::string found = eq == std::string::npos ? std::string() : Trimmed(line.substr(eq + 1));
  if (found.size() >= 2 && (found[0] == '"' || found[0] == '\'') && found.back() == found[0]) {
    found = found.substr(1, found.size() - 2);
  }
  *value = found;
  return true;
}

// The value of a key in the profile file at `path` as UTF-16; false when the
// file, the section or the key is absent.
bool ReadProfileFileValue(const std::string& path, const ZoChar* section, const ZoChar* key, String16* value) {
  if (!section || !key || path.empty()) return false;
  std::string bytes, found;
  if (!ReadAll(path, &bytes, kMaxPrivateProfileBytes)) return false;
  ProfileEncoding encoding;
  if (!FindProfileValue(DecodeProfile(bytes, &encoding), ToUtf8(section), ToUtf8(key), &found)) return false;
  *value = FromUtf8(found);
  return true;
}

// GetProfileIntW's reading of a value: blanks, an optional sign, decimal digits,
// taken modulo 2^32 as the system does (so "4294967295" is -1, which an unsigned
// reader sees as 0xFFFFFFFF again).
int32_t ProfileNumber(const String16& value) {
  size_t i = 0;
  while (i < value.size() && (value[i] == u' ' || value[i] == u'\t')) ++i;
  const bool negative = i < value.size() && value[i] == u'-';
  if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) ++i;
  uint32_t number = 0;
  for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
    number = number * 10u + static_cast<uint32_t>(value[i] - u'0');
  }
  return static_cast<int32_t>(negative ? 0u - number : number);
}

// Writes `bytes` to a new file beside `path` and renames it over `path`.
bool ReplaceFile(const std::string& path, const std::string& bytes, uint32_t mode) {
  const String16 target = FromUtf8(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = path + "." + std::to_string(static_cast<long>(getpid())) + "." +
                             std::to_string(attempt) + ".tmp";
    const String16 temp16 = FromUtf8(temp);
    File f = File::Open(temp16.c_str(), Access::Write, kShareNone, Disposition::CreateNew, 0, mode);
    if (!f) {
      if (LastError() == kErrorFileExists) continue;
      return false;
    }
    if (!f.Write(bytes.data(), bytes.size()) || !f.Close() || !MoveFile(temp16.c_str(), target.c_str(), true)) {
      const uint32_t error = LastError();
      DeleteFile(temp16.c_str());
      SetLastError(error);
      return false;
    }
    return true;
  }
  SetLastError(kErrorFileExists);
  return false;
}

// The profile value as UTF-16; false when absent or unreadable.
bool ReadProfileValue(const ZoChar* section, const ZoChar* key, String16* value) {
  return ReadProfileFileValue(UserProfilePath(), section, key, value);
}

}  // namespace

void SetUserProfileFile(const ZoChar* path) {
  std::string file = path ? ToUtf8(path) : std::string();
  std::lock_guard<std::mutex> guard(gProfileLock);
  gProfileOverride.swap(file);
}

uint32_t GetUserProfileString(const ZoChar* section, const ZoChar* key, const ZoChar* defaultValue,
                              ZoChar* out, uint32_t capacity) {
  if (!out || capacity == 0) return 0;
  try {
    String16 value;
    if (!ReadProfileValue(section, key, &value)) value = defaultValue ? defaultValue : u"";
    return static_cast<uint32_t>(CopyTruncated(out, capacity, value));
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return static_cast<uint32_t>(CopyTruncated(out, capacity, defaultValue ? defaultValue : u""));
  }
}

int32_t GetUserProfileInt(const ZoChar* section, const ZoChar* key, int32_t defaultValue) {
  try {
    String16 value;
    if (!ReadProfileValue(section, key, &value) || value.empty()) return defaultValue;
    return ProfileNumber(value);
  } catch (const std::bad_alloc&) {
    return defaultValue;
  }
}

uint32_t GetPrivateProfileText(const ZoChar* section, const ZoChar* key, const ZoChar* defaultValue,
                               ZoChar* out, uint32_t capacity, const ZoChar* path) {
  if (!out || capacity == 0) return 0;
  StringView16 fallback = defaultValue ? StringView16(defaultValue) : StringView16();
  while (!fallback.empty() && fallback.back() == u' ') fallback.remove_suffix(1);
  try {
    String16 value;
    if (path && ReadProfileFileValue(ToUtf8(path), section, key, &value)) {
      return static_cast<uint32_t>(CopyTruncated(out, capacity, value));
    }
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
  }
  return static_cast<uint32_t>(CopyTruncated(out, capacity, fallback));
}

int32_t GetPrivateProfileInteger(const ZoChar* section, const ZoChar* key, int32_t defaultValue,
                                 const ZoChar* path) {
  try {
    String16 value;
    if (!path || !ReadProfileFileValue(ToUtf8(path), section, key, &value) || value.empty()) return defaultValue;
    return ProfileNumber(value);
  } catch (const std::bad_alloc&) {
    return defaultValue;
  }
}

bool WritePrivateProfileText(const ZoChar* section, const ZoChar* key, const ZoChar* value, const ZoChar* path) {
  if (!path || !*path) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  try {
    if (!IsWritableProfileEntry(section, key, value)) {
      SetLastError(kErrorInvalidParameter);
      return false;
    }
    const std::string file = ToUtf8(path), name = ToUtf8(section);
    const std::string keyText = key ? ToUtf8(key) : std::string();
    std::string bytes;
    bool whole = true;
    const bool existed = Exists(path);
    if (existed && !ReadAll(file, &bytes, kMaxPrivateProfileBytes, &whole)) return false;
    if (!whole) {  // rewriting only the part that was read would lose the rest
      SetLastError(kErrorNotSupported);
      return false;
    }
    ProfileEncoding encoding;
    const std::string text = DecodeProfile(bytes, &encoding);
    const size_t firstBreak = text.find('\n');
    const char* newline = firstBreak != std::string::npos && firstBreak > 0 && text[firstBreak - 1] == '\r'
                              ? "\r\n" : "\n";
    std::vector<std::string> lines = SplitLines(text);
    const ProfilePlace place = LocateProfileKey(lines, name, key ? &keyText : nullptr);
    auto at = [&](long index) { return lines.begin() + index; };
    if (!key) {
      if (place.header < 0) return true;
      lines.erase(at(place.header), at(place.end));
    } else if (!value) {
      if (place.key < 0) return true;
      lines.erase(at(place.key));
    } else {
      const std::string entry = keyText + "=" + ToUtf8(ProfileValueAsWritten(value));
      if (place.key >= 0) {
        lines[static_cast<size_t>(place.key)] = entry;
      } else if (place.header >= 0) {
        lines.insert(at(place.insertAt), entry);
      } else {
        lines.push_back("[" + name + "]");
        lines.push_back(entry);
      }
    }
    std::string out;
    for (const std::string& line : lines) out += line + newline;
    const uint32_t mode = existed ? GetPosixMode(path) : 0;
    return ReplaceFile(file, EncodeProfile(out, encoding), mode != 0 ? mode : 0666);
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
}

void SetSettingsFolder(const ZoChar* folder) { gFolderOverride = folder ? ToUtf8(folder) : std::string(); }

bool ReadSettingNumber(const ZoChar* key, const ZoChar* name, uint32_t* value) {
  if (!key || !name || !value) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  const std::string folder = ConfigFolder();
  std::string text;
  if (folder.empty() || !ReadAll(folder + "/settings.ini", &text)) return false;
  const std::vector<std::string> lines = SplitLines(text);
  long valueLine = -1, sectionEnd = -1;
  Locate(lines, ToUtf8(key), ToUtf8(name), &valueLine, &sectionEnd);
  if (valueLine < 0) {
    SetLastError(kErrorFileNotFound);
    return false;
  }
  const std::string& line = lines[static_cast<size_t>(valueLine)];
  const std::string digits = line.substr(line.find('=') + 1);
  char* end = nullptr;
  const unsigned long long v = std::strtoull(digits.c_str(), &end, 10);
  if (digits.empty() || *end != 0 || v > 0xFFFFFFFFull) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

bool WriteSettingNumber(const ZoChar* key, const ZoChar* name, uint32_t value) {
  if (!key || !name) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  const std::string folder = ConfigFolder();
  if (folder.empty()) {
    SetLastError(kErrorPathNotFound);
    return false;
  }
  try {
    // Create the folder chain (the parent of "orvande" may be missing too).
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
      const std::string part = folder.substr(0, slash);
      if (!IsDirectory(FromUtf8(part).c_str())) CreateDirectory(FromUtf8(part).c_str());
      if (slash == std::string::npos) break;
    }
    const std::string path = folder + "/settings.ini";
    std::string text;
    ReadAll(path, &text);
    std::vector<std::string> lines = SplitLines(text);
    const std::string k = ToUtf8(key), n = ToUtf8(name);
    const std::string entry = n + "=" + std::to_string(value);
    long valueLine = -1, sectionEnd = -1;
    Locate(lines, k, n, &valueLine, &sectionEnd);
    if (valueLine >= 0) {
      lines[static_cast<size_t>(valueLine)] = entry;
    } else if (sectionEnd >= 0) {
      lines.insert(lines.begin() + sectionEnd, entry);
    } else {
      lines.push_back("[" + k + "]");
      lines.push_back(entry);
    }
    std::string out;
    for (const auto& line : lines) out += line + "\n";
    const std::string temp = path + "." + std::to_string(static_cast<long>(getpid())) + ".tmp";
    const String16 temp16 = FromUtf8(temp);
    File f = File::Open(temp16.c_str(), Access::Write, kShareNone, Disposition::CreateAlways);
    if (!f) return false;
    if (!f.Write(out.data(), out.size()) || !f.Close()) {
      DeleteFile(temp16.c_str());
      return false;
    }
    if (!MoveFile(temp16.c_str(), FromUtf8(path).c_str(), true)) {
      DeleteFile(temp16.c_str());
      return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
}

}  // namespace plat
