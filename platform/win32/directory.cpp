// Win32 back end: holds only code valid on every Windows system.
// Directories through CreateDirectoryW/RemoveDirectoryW and listings through
// FindFirstFileW/FindNextFileW, whose wildcard rules are the system's own.
#include "platform/win32/windows_wrapper.h"

#include "platform/directory.h"

#include <memory>
#include <new>

#include "platform/errors.h"
#include "platform/win32/win32_util.h"

namespace plat {

namespace {

// Not in every SDK's headers; older systems refuse it with
// ERROR_INVALID_PARAMETER, and the call is then repeated without it.
constexpr DWORD kAllowUnprivilegedCreate = 0x2;

uint32_t AttributesOf(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return INVALID_FILE_ATTRIBUTES;
  }
  return ::GetFileAttributesW(Wide(path));
}

struct ListerState {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW pending = {};  // the entry FindFirstFileW returned, not yet handed out
  bool hasPending = false;
  bool ended = false;             // the folder matched nothing at all
};

void FillEntry(const WIN32_FIND_DATAW& data, DirectoryEntry* entry) {
  entry->name.assign(Zo(data.cFileName), BoundedLength(Zo(data.cFileName), MAX_PATH));
  entry->attributes = data.dwFileAttributes;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) entry->attributes |= DeviceAttributeOfReparseTag(data.dwReserved0);
  entry->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  entry->lastWrite = FromFileTime(data.ftLastWriteTime);
}

}  // namespace

bool CreateDirectory(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  return ::CreateDirectoryW(Wide(path), nullptr) != 0;
}

// The user's temp folder already keeps other users out; the folder inherits
// its protection. CreateDirectoryW fails on any existing name, a junction or a
// link included (ERROR_ALREADY_EXISTS).
bool CreatePrivateDirectory(const ZoChar* path) { return CreateDirectory(path); }

bool RemoveDirectory(const ZoChar* path) {
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  return ::RemoveDirectoryW(Wide(path)) != 0;
}

bool IsDirectory(const ZoChar* path) {
  uint32_t a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const ZoChar* path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool IsLink(const ZoChar* path) {
  uint32_t a = AttributesOf(path);
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  // Other reparse points (deduplicated or cloud files) are ordinary files to us;
  // the find data carries the reparse tag.
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(Wide(path), &data);
  if (find == INVALID_HANDLE_VALUE) return true;  // cannot tell: trust the attribute
  ::FindClose(find);
  return data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT;
}

bool CreateSymbolicLink(const ZoChar* link, const ZoChar* target, bool isDirectory) {
  if (!link || !target) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  DWORD flags = isDirectory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
  if (!::CreateSymbolicLinkW(Wide(link), Wide(target), flags | kAllowUnprivilegedCreate)) {
    if (::GetLastError() != ERROR_INVALID_PARAMETER) return false;
    if (!::CreateSymbolicLinkW(Wide(link), Wide(target), flags)) return false;
  }
  // Some implementations (Wine's among them) answer success without creating
  // anything; a link that is not there was not created.
  DWORD attributes = ::GetFileAttributesW(Wide(link));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    SetLastError(kErrorNotSupported);
    return false;
  }
  return true;
}

DirectoryLister::~DirectoryLister() { Close(); }

void DirectoryLister::Close() {
  auto* s = static_cast<ListerState*>(state_);
  if (s) {
    if (s->find != INVALID_HANDLE_VALUE) ::FindClose(s->find);
    delete s;
    state_ = nullptr;
  }
}

bool DirectoryLister::Open(const ZoChar* folder, const ZoChar* pattern) {
  Close();
  if (!folder) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  try {
    // folder + '\' + pattern; no separator after an empty folder (the current
    // one) or one that already ends with a separator or a drive colon.
    String16 query(folder);
    if (!query.empty() && query.back() != u'\\' && query.back() != u'/' && query.back() != u':') query.push_back(u'\\');
    query += (pattern && pattern[0]) ? pattern : u"*";
    auto s = std::make_unique<ListerState>();
    s->find = ::FindFirstFileW(Wide(query.c_str()), &s->pending);
    if (s->find == INVALID_HANDLE_VALUE) {
      // An existing folder with no matching name is an empty listing, not a failure.
      DWORD error = ::GetLastError();
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) return false;
      s->ended = true;
    } else {
      s->hasPending = true;
    }
    state_ = s.release();  // owned from here by Close()
    return true;
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
}

bool DirectoryLister::Next(DirectoryEntry* entry) {
  auto* s = static_cast<ListerState*>(state_);
  if (!s || s->ended) {
    SetLastError(kErrorNoMoreFiles);
    return false;
  }
  try {
    if (s->hasPending) {
      s->hasPending = false;
      FillEntry(s->pending, entry);
      return true;
    }
    WIN32_FIND_DATAW data;
    if (!::FindNextFileW(s->find, &data)) return false;  // ERROR_NO_MORE_FILES at the end
    FillEntry(data, entry);
    return true;
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
}

}  // namespace plat
