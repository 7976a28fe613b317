// File-system helpers of the commands, on top of the platform layer and the
// runtime's path routines (which know the native separators and roots).
#include "tools/ach/ach_files.h"

#include <vector>

#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "runtime/zo_path.h"
#include "tools/ach/ach_output.h"

namespace ach {

using plat::String16;

namespace {

bool IsSeparator(ZoChar c) { return c == plat::kSeparator || c == u'/'; }

}  // namespace

bool MakeFullPath(const String16& path, String16* full) {
  std::vector<ZoChar> buffer(1024);
  uint32_t length = plat::GetFullPath(path.c_str(), buffer.data(), static_cast<uint32_t>(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = plat::GetFullPath(path.c_str(), buffer.data(), static_cast<uint32_t>(buffer.size()));
  }
  if (length == 0 || length >= buffer.size()) {
    ErrorLine("cannot form the full path of " + plat::ToUtf8(path));
    return false;
  }
  if (length >= static_cast<uint32_t>(ZO_MAX_PATH)) {
    ErrorLine("path too long (the limit is 259 characters): " + plat::ToUtf8(path));
    return false;
  }
  full->assign(buffer.data(), length);
  return true;
}

String16 WithoutTrailingSeparators(const String16& path) {
  String16 result = path;
  ZoChar root[ZO_MAX_PATH] = {};
  size_t rootLength = 0;
  if (result.size() < static_cast<size_t>(ZO_MAX_PATH)) {
    int got = ZoGetRootPathFromFilePath(result.c_str(), root, ZO_MAX_PATH);
    if (got > 0) rootLength = static_cast<size_t>(got);
  }
  // A root ("/" or "C:\") is never cut; neither is a lone separator.
  while (result.size() > 1 && result.size() > rootLength && IsSeparator(result.back())) result.pop_back();
  return result;
}

bool EnsureFolder(const String16& folder) {
  if (plat::IsDirectory(folder.c_str())) return true;
  ZoCreateDirectory(folder.c_str(), nullptr);
  return plat::IsDirectory(folder.c_str());
}

String16 FolderOf(const String16& path) {
  const ZoChar* name = ZoGetFileNamePtrW(path.c_str());
  return path.substr(0, static_cast<size_t>(name - path.c_str()));
}

String16 FileNameOf(const String16& path) { return String16(ZoGetFileNamePtrW(path.c_str())); }

String16 RewriteTempPath(const String16& archive) {
  return FolderOf(archive) + u"~" + FileNameOf(archive);
}

String16 VolumePath(const String16& mainFile, const String16& nameBase, unsigned k) {
  // The name base may be a Windows path stored by another system: its file part
  // starts after the last backslash, slash or colon.
  size_t cut = nameBase.find_last_of(u"\\/:");
  String16 name = cut == String16::npos ? nameBase : nameBase.substr(cut + 1);
  size_t dot = name.rfind(u'.');
  String16 stem = dot == String16::npos ? name : name.substr(0, dot);
  String16 extension = dot == String16::npos ? String16() : name.substr(dot);
  return FolderOf(mainFile) + stem + plat::U16(std::to_string(k)) + extension;
}

bool FileExists(const String16& path) {
  uint32_t attributes = plat::GetAttributes(path.c_str());
  return attributes != ZO_INVALID_ATTRIBUTES && (attributes & ZO_ATTR_DIRECTORY) == 0;
}

bool RemoveFileIfPresent(const String16& path) {
  if (!FileExists(path)) return !plat::Exists(path.c_str());
  plat::SetAttributes(path.c_str(), ZO_ATTR_NORMAL);  // a read-only leftover must go too
  return plat::DeleteFile(path.c_str());
}

bool SamePath(const String16& a, const String16& b) { return plat::EqualsNoCase(a, b); }

String16 TargetPathOf(const String16& destination, plat::StringView16 entryName, bool flat) {
  String16 name(entryName);
  if (flat) {
    size_t cut = name.find_last_of(u"\\:");
    if (cut != String16::npos) name = name.substr(cut + 1);
  }
  for (ZoChar& c : name) {
    if (c == u'\\') c = plat::kSeparator;
  }
  String16 target = destination;
  if (!target.empty() && !IsSeparator(target.back())) target.push_back(plat::kSeparator);
  return target + name;
}

}  // namespace ach
