// POSIX back end: holds only code valid on every POSIX system.
#include "platform/paths.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/errors.h"
#include "platform/posix/posix_util.h"
#include "platform/text.h"

namespace plat {

namespace {

// Lexical normalisation of an absolute path: repeated slashes folded, "." dropped,
// ".." removes the previous component (never above the root). A final slash stays.
std::string Normalise(const std::string& path) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string part = path.substr(i, j - i);
    if (part.empty() || part == ".") {
      // skip
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  if (out.empty()) return "/";
  if (path.size() > 1 && path.back() == '/') out += "/";
  return out;
}

bool CurrentDirectoryNative(std::string* out) {
  std::vector<char> buf(PATH_MAX + 1);
  for (;;) {
    if (getcwd(buf.data(), buf.size())) {
      *out = buf.data();
      return true;
    }
    if (errno != ERANGE || buf.size() > (1u << 20)) {
      SetLastErrorFromErrno();
      return false;
    }
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

uint32_t GetFullPath(const ZoChar* name, ZoChar* out, uint32_t capacity) {
  std::string native;
  if (!ToNativePath(name, &native)) return 0;
  if (native.empty()) {
    SetLastError(kErrorInvalidName);
    return 0;
  }
  if (native[0] != '/') {
    std::string cwd;
    if (!CurrentDirectoryNative(&cwd)) return 0;
    native = cwd + "/" + native;
  }
  return ReturnPath(FromUtf8(Normalise(native)), out, capacity);
}

uint32_t GetTempPath(ZoChar* out, uint32_t capacity) {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir && dir[0] == '/') ? dir : "/tmp";
  if (path.back() != '/') path.push_back('/');
  return ReturnPath(FromUtf8(path), out, capacity);
}

uint32_t GetModuleFileName(ModuleHandle /*module*/, ZoChar* out, uint32_t capacity) {
  std::vector<char> buf(PATH_MAX + 1);
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n < 0) {
    SetLastErrorFromErrno();
    return 0;
  }
  buf[static_cast<size_t>(n)] = 0;
  std::u16string text = FromUtf8(buf.data());
  // GetModuleFileNameW truncates and reports the capacity; callers here only need
  // "does not fit" to be visible, which ReturnPath's larger result gives.
  return ReturnPath(text, out, capacity);
}

uint32_t GetLongPath(const ZoChar* path, ZoChar* out, uint32_t capacity) {
  std::string native;
  if (!ToNativePath(path, &native)) return 0;
  if (access(native.c_str(), F_OK) != 0) {
    SetLastErrorFromErrnoAt(native);
    return 0;
  }
  std::u16string text(path, Length(path));
  if (out == path) return text.size() + 1 > capacity ? static_cast<uint32_t>(text.size() + 1) : static_cast<uint32_t>(text.size());
  return ReturnPath(text, out, capacity);
}

uint32_t GetShortPath(const ZoChar* path, ZoChar* out, uint32_t capacity) { return GetLongPath(path, out, capacity); }

uint32_t GetCurrentDirectory(ZoChar* out, uint32_t capacity) {
  std::string cwd;
  if (!CurrentDirectoryNative(&cwd)) return 0;
  return ReturnPath(FromUtf8(cwd), out, capacity);
}

bool SetCurrentDirectory(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  if (chdir(native.c_str()) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  return true;
}

uint32_t GetProgramFilesFolder(ZoChar* out, uint32_t capacity) { return ReturnPath(u"/opt", out, capacity); }

uint32_t GetWindowsDrive(ZoChar* out, uint32_t capacity) { return ReturnPath(u"/", out, capacity); }

}  // namespace plat
