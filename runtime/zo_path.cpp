// Path and file utilities: the lexical rules of path_lexical.h applied with the
// native style, and the file-system routines built on the platform layer.
#include "runtime/zo_path.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "platform/time.h"
#include "platform/volume.h"
#include "runtime/path_lexical.h"

namespace {

using plat::String16;
using plat::StringView16;
using zo::kNativePathStyle;
namespace lex = zo::lexical;

constexpr ZoChar kSeparator = lex::Separator(kNativePathStyle);

// True for a directory or a link to one (the attributes of the link itself).
bool IsExistingDirectory(const ZoChar* path) {
  uint32_t attributes = plat::GetAttributes(path);
  return attributes != ZO_INVALID_ATTRIBUTES && (attributes & ZO_ATTR_DIRECTORY) != 0;
}

// folder + separator (unless it ends in one) + name.
String16 ChildPath(StringView16 folder, StringView16 name) {
  String16 path(folder);
  if (!path.empty() && !lex::IsSeparator(path.back(), kNativePathStyle)) path.push_back(kSeparator);
  path.append(name);
  return path;
}

bool IsDotEntry(const String16& name) { return name == u"." || name == u".."; }

// Removes a link found inside a tree as a link: a directory link (a junction on
// Windows) with RemoveDirectory, anything else with DeleteFile. The target is
// never opened or listed.
bool RemoveLink(const String16& path, bool isDirectory) {
  if (isDirectory && plat::RemoveDirectory(path.c_str())) return true;
  return plat::DeleteFile(path.c_str());
}

// Empties `folder` of the items matching `pattern`. Returns false when the
// listing had to stop because a subfolder could not be removed; *result becomes
// E_FAIL when an item could not be deleted.
bool EmptyFolder(const String16& folder, const String16& pattern, bool recurse, ZoResult* result) {
  for (;;) {
    plat::DirectoryLister lister;
    if (!lister.Open(folder.c_str(), pattern.c_str())) return true;
    plat::DirectoryEntry entry;
    bool restart = false;
    while (!restart && lister.Next(&entry)) {
      if (IsDotEntry(entry.name)) continue;
      String16 item = ChildPath(folder, entry.name);
      const bool isDirectory = (entry.attributes & ZO_ATTR_DIRECTORY) != 0;
      if (entry.attributes & ZO_ATTR_REPARSE_POINT) {
        // Links are never followed: what they point to lies outside this tree.
        if (isDirectory && !recurse) continue;
        if (!RemoveLink(item, isDirectory)) *result = E_FAIL;
        continue;
      }
      // Every other item met loses its read-only mark, a folder left in place
      // included; a read-only folder could neither be emptied (POSIX) nor
      // removed (Windows).
      plat::SetAttributes(item.c_str(), ZO_ATTR_NORMAL);
      if (isDirectory) {
        if (!recurse) continue;
        EmptyFolder(item, pattern, recurse, result);
        if (!plat::RemoveDirectory(item.c_str())) return false;
        // The listing may not survive a removal below it: start it again.
        restart = true;
        continue;
      }
      if (!plat::DeleteFile(item.c_str())) *result = E_FAIL;
    }
    if (!restart) return true;
  }
}

uint32_t ClampToUnits(uint64_t bytes, uint32_t unit) {
  if (unit) bytes /= unit;
  return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

uint32_t DiskSpace(const ZoChar* path, uint32_t unit, bool total) {
  if (!path) return 0;
  try {
    StringView16 whole(path);
    StringView16 root = whole.substr(0, lex::RootLength(whole, kNativePathStyle));
    if (!root.empty()) {
      // The folder as the C runtime splits the path (a last component without
      // separator is a file). A folder that does not exist is a failure, not
      // a reason to measure some other folder of the volume.
      String16 folder(whole.substr(0, lex::DiskQueryFolderLength(whole, kNativePathStyle)));
      uint64_t freeBytes = 0, totalBytes = 0;
      if (!folder.empty() && plat::GetDiskSpace(folder.c_str(), &freeBytes, &totalBytes)) {
        return ClampToUnits(total ? totalBytes : freeBytes, unit);
      }
    }
    // A network share whose size cannot be read counts as unlimited.
    return lex::IsNetworkPath(root, kNativePathStyle) ? 0xFFFFFFFFu : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

// One cell per character (a surrogate pair is one character).
bool MeasureCells(void*, const ZoChar* text, int length, int* width) {
  int cells = 0;
  for (int i = 0; i < length; ++i) {
    if (text[i] < 0xDC00 || text[i] > 0xDFFF) ++cells;
  }
  *width = cells;
  return true;
}

uint32_t DosDateTime(const ZoChar* path, bool local) {
  plat::File file = plat::File::Open(path, plat::Access::Read, plat::kShareRead | plat::kShareWrite,
                                     plat::Disposition::OpenExisting);
  plat::FileTimes times;
  if (!file || !file.GetTimes(&times)) return 0;
  return plat::FileTimeToDosDateTime(local ? plat::UtcToLocal(times.lastWrite) : times.lastWrite);
}

}  // namespace

const ZoChar* ZoGetFileNamePtrW(const ZoChar* path) {
  if (!path) return nullptr;
  return path + lex::FileNameOffset(StringView16(path), kNativePathStyle);
}

ZoChar* ZoGetFileNamePtrW(ZoChar* path) { return const_cast<ZoChar*>(ZoGetFileNamePtrW(static_cast<const ZoChar*>(path))); }

const char* ZoGetFileNamePtrA(const char* path) {
  if (!path) return nullptr;
  // Stepping by characters of the system's code page: a double-byte character
  // whose second byte is 0x5C is not a separator.
  return path + lex::FileNameOffset(std::string_view(path), kNativePathStyle, plat::SystemCharLength);
}

char* ZoGetFileNamePtrA(char* path) { return const_cast<char*>(ZoGetFileNamePtrA(static_cast<const char*>(path))); }

const ZoChar* ZoGetFileNameExtensionPtrW(const ZoChar* path) {
  if (!path) return nullptr;
  return path + lex::ExtensionOffset(StringView16(path));
}

ZoChar* ZoGetFileNameExtensionPtrW(ZoChar* path) {
  return const_cast<ZoChar*>(ZoGetFileNameExtensionPtrW(static_cast<const ZoChar*>(path)));
}

const char* ZoGetFileNameExtensionPtrA(const char* path) {
  if (!path) return nullptr;
  return path + lex::ExtensionOffset(std::string_view(path));
}

char* ZoGetFileNameExtensionPtrA(char* path) {
  return const_cast<char*>(ZoGetFileNameExtensionPtrA(static_cast<const char*>(path)));
}

int ZoGetFileNameWithoutPathOrExtension(const ZoChar* path, ZoChar* out, int capacity) {
  return lex::GetFileNameWithoutPathOrExtension(path, out, capacity, kNativePathStyle);
}

int ZoValidateFileName(ZoChar* name, bool fix) {
  if (!name) return 1;
  int result = 1;
  for (ZoChar* c = name; *c; ++c) {
    if (StringView16(u"\"*/:<>?\\|").find(*c) == StringView16::npos) continue;
    if (!fix) return 0;
    *c = u'_';
    result = 0;
  }
  return result;
}

int ZoAddSlashToPathName(ZoChar* path, int capacity) {
  return lex::AddSlashToPathName(path, capacity, kNativePathStyle);
}

int ZoRemoveSlashFromPathNameEnd(ZoChar* path, int capacity) {
  return lex::RemoveSlashFromPathNameEnd(path, capacity, kNativePathStyle);
}

int ZoAddExtensionToPathName(ZoChar* path, int capacity, const ZoChar* extension) {
  return lex::AddExtensionToPathName(path, capacity, extension, kNativePathStyle);
}

int ZoGetPathNameFromFilePath(const ZoChar* path, ZoChar* out, int capacity) {
  return lex::GetPathNameFromFilePath(path, out, capacity, kNativePathStyle);
}

int ZoGetRootPathFromFilePath(const ZoChar* path, ZoChar* out, int capacity) {
  return lex::GetRootPathFromFilePath(path, out, capacity, kNativePathStyle);
}

const ZoChar* ZoGetFileNamePtrRelative(const ZoChar* base, const ZoChar* path) {
  if (!path) return nullptr;
  if (!base) return path + plat::Length(path);
  return path + lex::SharedTailOffset(StringView16(base), StringView16(path), kNativePathStyle);
}

ZoChar* ZoGetFileNamePtrRelative(const ZoChar* base, ZoChar* path) {
  return const_cast<ZoChar*>(ZoGetFileNamePtrRelative(base, static_cast<const ZoChar*>(path)));
}

ZoResult ZoGetBasePathRelative(const ZoChar* base, const ZoChar* path, ZoChar* out, int capacity) {
  return lex::GetBasePathRelative(base, path, out, capacity, kNativePathStyle);
}

ZoResult ZoReplaceBasePathRelative(const ZoChar* path, const ZoChar* oldBase, const ZoChar* newBase, ZoChar* out,
                                   int capacity) {
  return lex::ReplaceBasePathRelative(path, oldBase, newBase, out, capacity);
}

bool ZoIsMatchWildCard(const ZoChar* pattern, const ZoChar* name) {
  if (!pattern || !name) return false;
  return lex::MatchWildCard(StringView16(pattern), StringView16(name));
}

int ZoDoesFileExist(const ZoChar* path) {
  if (!path || !path[0]) return 0;
  // A FIFO, socket or device exists, but opening it could block or act on it.
  const uint32_t attributes = plat::GetAttributes(path);
  if (attributes != ZO_INVALID_ATTRIBUTES && (attributes & ZO_ATTR_DEVICE)) return 1;
  plat::File file = plat::File::Open(path, plat::Access::Read, plat::kShareRead | plat::kShareWrite,
                                     plat::Disposition::OpenExisting);
  if (file) return 1;
  // Held open without sharing by another process: it exists all the same.
  return plat::LastError() == plat::kErrorSharingViolation ? 1 : 0;
}

uint32_t ZoGetLongPathName(const ZoChar* path, ZoChar* out, uint32_t capacity) {
  if (!path) {
    if (out && capacity) out[0] = 0;
    return 0;
  }
  uint32_t result = plat::GetLongPath(path, out, capacity);
  if ((result == 0 || result >= capacity) && out != path) plat::CopyTruncated(out, capacity, path);
  return result;
}

uint32_t ZoGetTempPath(uint32_t capacity, ZoChar* out) {
  uint32_t result = plat::GetTempPath(out, capacity);
  if (result == 0 || result >= capacity) return result;
  try {
    String16 longForm(capacity, u'\0');
    uint32_t length = plat::GetLongPath(out, longForm.data(), capacity);
    // No long form means the folder does not exist: out keeps the system's
    // form for a message, and the result reports the failure.
    if (length == 0) return 0;
    if (length >= capacity) return length;
    plat::CopyTruncated(out, capacity, longForm.c_str());
    return length;
  } catch (const std::bad_alloc&) {
    return result;
  }
}

uint32_t ZoGetModuleFileName(plat::ModuleHandle module, ZoChar* out, uint32_t capacity) {
  if (out && capacity) out[0] = 0;
  ZoChar name[ZO_MAX_PATH];
  uint32_t length = plat::GetModuleFileName(module, name, ZO_MAX_PATH);
  // A cut name would name another file: treat it as unreadable.
  if (length == 0 || length >= static_cast<uint32_t>(ZO_MAX_PATH)) return 0;
  uint32_t result = ZoGetLongPathName(name, out, capacity);
  // Without a long form the name itself was copied; report its size.
  if (result == 0) return length < capacity ? length : length + 1;
  return result;
}

int ZoGetModulePath(plat::ModuleHandle module, ZoChar* out, int capacity) {
  if (out && capacity > 0) out[0] = 0;
  ZoChar name[ZO_MAX_PATH];
  uint32_t length = ZoGetModuleFileName(module, name, ZO_MAX_PATH);
  if (length == 0) return 0;
  // Only a name longer than the capacity is refused; its folder part is
  // shorter than the name, so it fits whenever the name's length does.
  if (static_cast<int64_t>(length) > capacity) return static_cast<int>(length);
  return ZoGetPathNameFromFilePath(name, out, capacity);
}

uint32_t ZoGetFullPathName(const ZoChar* name, uint32_t capacity, ZoChar* buffer, ZoChar** filePart) {
  if (filePart) *filePart = nullptr;
  if (!name) return 0;
  uint32_t result = plat::GetFullPath(name, buffer, capacity);
  if (result == 0 || result >= capacity) return result;
  try {
    String16 longForm(capacity, u'\0');
    uint32_t length = plat::GetLongPath(buffer, longForm.data(), capacity);
    // A path that does not exist (yet) has no long form; its full form stands.
    if (length > 0 && length < capacity) {
      plat::CopyTruncated(buffer, capacity, longForm.c_str());
      result = length;
    }
  } catch (const std::bad_alloc&) {
  }
  if (filePart) *filePart = ZoGetFileNamePtrW(buffer);
  return result;
}

int ZoQualifyPath(const ZoChar* name, ZoChar* buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  uint32_t length = ZoGetFullPathName(name, static_cast<uint32_t>(capacity), buffer, nullptr);
  if (length == 0 || length >= static_cast<uint32_t>(capacity)) {
    buffer[0] = 0;
    return 0;
  }
  return 1;
}

uint32_t ZoGetDiskFreeSpace(const ZoChar* path, uint32_t unit) { return DiskSpace(path, unit, false); }

uint32_t ZoGetDiskTotalSpace(const ZoChar* path, uint32_t unit) { return DiskSpace(path, unit, true); }

int ZoCreateDirectory(const ZoChar* path, void* /*security*/) {
  if (!path) return 0;
  try {
    StringView16 whole(path);
    size_t root = lex::RootLength(whole, kNativePathStyle);
    if (root == 0 || !lex::IsCreatableRoot(whole.substr(0, root), kNativePathStyle)) return 0;
    String16 working(whole.substr(0, root));
    if (!IsExistingDirectory(working.c_str())) return 0;
    for (size_t start = root; start < whole.size();) {
      size_t end = whole.find(kSeparator, start);
      if (end == StringView16::npos) end = whole.size();
      if (end == start) break;  // two separators in a row end the walk
      working.append(whole.substr(start, end - start));
      // A folder made by someone else meanwhile is as good as one made here.
      if (!IsExistingDirectory(working.c_str()) && !plat::CreateDirectory(working.c_str()) &&
          !IsExistingDirectory(working.c_str())) {
        return 0;
      }
      working.push_back(kSeparator);
      start = end + 1;
    }
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

ZoResult ZoDeleteDirectory(const ZoChar* folder, const ZoChar* pattern, bool recurse) {
  if (!folder || !folder[0] || !IsExistingDirectory(folder)) return ZO_E_FOLDER_NOT_FOUND;
  try {
    ZoResult result = S_OK;
    String16 listPattern = (pattern && pattern[0]) ? String16(pattern) : String16(u"*.*");
    EmptyFolder(String16(folder), listPattern, recurse, &result);
    if (!plat::RemoveDirectory(folder)) return E_FAIL;
    return result;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

int ZoIsDirectoryEmpty(const ZoChar* folder) {
  if (!folder) return 1;
  if (plat::BoundedLength(folder, ZO_MAX_PATH) >= static_cast<size_t>(ZO_MAX_PATH)) return 0;
  try {
    plat::DirectoryLister lister;
    if (!lister.Open(folder, u"*.*")) return 1;
    plat::DirectoryEntry entry;
    while (lister.Next(&entry)) {
      if (!IsDotEntry(entry.name)) return 0;
    }
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

ZoResult ZoGetFileSizeByName(const ZoChar* path, uint64_t* size) {
  if (!size) return E_INVALIDARG;
  *size = 0;
  if (!path) return ZO_E_CANNOT_OPEN;
  // A FIFO, socket or device has no size to read and is not opened for one.
  const uint32_t attributes = plat::GetAttributes(path);
  if (attributes != ZO_INVALID_ATTRIBUTES && (attributes & ZO_ATTR_DEVICE)) return S_OK;
  plat::File file = plat::File::Open(path, plat::Access::Read, plat::kShareRead | plat::kShareWrite,
                                     plat::Disposition::OpenExisting);
  if (!file || !file.Size(size)) {
    *size = 0;
    return ZO_E_CANNOT_OPEN;
  }
  return S_OK;
}

uint32_t ZoDosGetDateTime(const ZoChar* path) { return path ? DosDateTime(path, true) : 0; }

uint32_t ZoDosGetDateTimeUTC(const ZoChar* path) { return path ? DosDateTime(path, false) : 0; }

uint32_t ZoGetDateTime(uint32_t out[2]) {
  plat::SystemTime now;
  if (!plat::FileTimeToSystemTime(plat::UtcToLocal(plat::Now()), &now)) now = plat::SystemTime();
  uint32_t hundredths = now.milliseconds / 10u;
  if (out) {
    out[0] = now.year | (static_cast<uint32_t>(now.day) << 16) | (static_cast<uint32_t>(now.month) << 24);
    out[1] = hundredths | (static_cast<uint32_t>(now.second) << 8) | (static_cast<uint32_t>(now.minute) << 16) |
             (static_cast<uint32_t>(now.hour) << 24);
  }
  return hundredths;
}

int ZoCalcPathEllipsisEx(void* dc, ZoChar* path, int width, ZoMeasureText measure) {
  if (!path || !measure) return 0;
  try {
    const String16 original(path);
    const size_t length = original.size();
    if (length > static_cast<size_t>(INT32_MAX)) return 0;
    int drawn = 0;
    if (!measure(dc, path, static_cast<int>(length), &drawn)) return 0;
    if (drawn <= width) return 1;
    String16 candidate, last;
    for (size_t separator = 2; separator < length; ++separator) {
      if (original[separator] != u'\\' && original[separator] != u'/') continue;
      StringView16 tail = StringView16(original).substr(separator);
      // The prefix is the text before the separator less its last two
      // characters, and never so long that the result outgrows the original
      // (path's buffer is only known to hold the original).
      if (tail.size() + 3 > length) continue;
      size_t longest = std::min(separator - 2, length - 3 - tail.size());
      for (size_t prefix = longest + 1; prefix-- > 0;) {
        candidate.assign(original, 0, prefix);
        candidate.append(u"...");
        candidate.append(tail);
        if (!measure(dc, candidate.c_str(), static_cast<int>(candidate.size()), &drawn)) return 0;
        if (drawn <= width) {
          plat::CopyTruncated(path, length + 1, candidate);
          return 1;
        }
        last = candidate;
      }
    }
    if (!last.empty()) plat::CopyTruncated(path, length + 1, last);
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int ZoCalcPathEllipsis(void* dc, ZoChar* path, int width) { return ZoCalcPathEllipsisEx(dc, path, width, MeasureCells); }
