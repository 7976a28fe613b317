// POSIX back end: holds only code valid on every POSIX system.
// The settings file is small; every write reads it whole, changes one line and
// replaces it through a temporary file and rename(2). The user's profile is read
// whole on every query (it is read rarely: the debug log reads it once).
#include "platform/profile.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
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

bool ReadAll(const std::string& path, std::string* text) {
  text->clear();
  File f = File::Open(FromUtf8(path).c_str(), Access::Read, kShareRead, Disposition::OpenExisting);
  if (!f) return false;
  char buffer[4096];
  size_t got = 0;
  do {
    if (!f.Read(buffer, sizeof buffer, &got)) return false;
    text->append(buffer, got);
  } while (got == sizeof buffer);
  return true;
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

// The value of `key` in `section` of the profile text, by GetProfileStringW's
// rules (see the header). False when the section or the key is absent.
bool FindProfileValue(const std::string& text, const std::string& section, const std::string& key,
                      std::string* value) {
  const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  bool inSection = false;
  for (const std::string& raw : SplitLines(bom ? text.substr(3) : text)) {
    const std::string line = Trimmed(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (inSection) return false;  // only the first section of that name counts
      const size_t close = line.find(']');
      inSection = SameName(Trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)),
                           section);
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (!SameName(Trimmed(line.substr(0, eq)), key)) continue;
    std::string found = eq == std::string::npos ? std::string() : Trimmed(line.substr(eq + 1));
    if (found.size() >= 2 && (found[0] == '"' || found[0] == '\'') && found.back() == found[0]) {
      found = found.substr(1, found.size() - 2);
    }
    *value = found;
    return true;
  }
  return false;
}

// The profile value as UTF-16; false when absent or unreadable.
bool ReadProfileValue(const ZoChar* section, const ZoChar* key, String16* value) {
  if (!section || !key) return false;
  const std::string path = UserProfilePath();
  std::string text, found;
  if (path.empty() || !ReadAll(path, &text)) return false;
  if (!FindProfileValue(text, ToUtf8(section), ToUtf8(key), &found)) return false;
  *value = FromUtf8(found);
  return true;
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
    size_t i = 0;
    while (i < value.size() && (value[i] == u' ' || value[i] == u'\t')) ++i;
    const bool negative = i < value.size() && value[i] == u'-';
    if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) ++i;
    int64_t number = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
      if (number <= INT32_MAX) number = number * 10 + (value[i] - u'0');
    }
    if (negative) number = -number;
    if (number > INT32_MAX) return INT32_MAX;
    if (number < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(number);
  } catch (const std::bad_alloc&) {
    return defaultValue;
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
