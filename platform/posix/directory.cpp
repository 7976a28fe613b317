// POSIX back end: holds only code valid on every POSIX system.
#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/posix/posix_util.h"
#include "platform/time.h"

namespace plat {

bool CreateDirectory(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  if (::mkdir(native.c_str(), 0777) != 0) {
    SetLastErrorFromErrnoAt(native);
    return false;
  }
  return true;
}

bool CreatePrivateDirectory(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  // mkdir creates the last component itself or fails with EEXIST; a link there,
  // even a dangling one, is never followed.
  if (::mkdir(native.c_str(), 0700) != 0) {
    SetLastErrorFromErrnoAt(native);
    return false;
  }
  return true;
}

bool IsPrivateDirectory(const ZoChar* path) {
  std::string native;
  struct stat st;
  if (!LstatPath(path, &native, &st)) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

bool RemoveDirectory(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  struct stat st;
  // rmdir on a link to a folder fails with ENOTDIR; Windows removes a directory
  // junction this way, but POSIX callers delete links with DeleteFile.
  if (::rmdir(native.c_str()) != 0) {
    SetLastErrorFromErrno();
    if (errno == ENOTDIR && lstat(native.c_str(), &st) == 0) SetLastError(kErrorDirectory);
    return false;
  }
  return true;
}

bool IsDirectory(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  return S_ISDIR(st.st_mode);
}

bool Exists(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  struct stat st;
  return lstat(native.c_str(), &st) == 0;
}

bool IsLink(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  struct stat st;
  return lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

namespace {

// How many names of the folder `parent` (native, "" for the working folder) the
// lister shows as `component`.
int CountListedAs(const std::string& parent, const String16& component) {
  DIR* d = opendir(parent.empty() ? "." : parent.c_str());
  if (!d) return 0;
  int count = 0;
  while (struct dirent* de = readdir(d)) {
    if (FromUtf8(de->d_name) == component) ++count;
  }
  closedir(d);
  return count;
}

}  // namespace

bool NamesOneFile(const ZoChar* path) {
  std::string native;
  if (!ToNativePath(path, &native)) return false;
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) return false;
  static const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
  size_t start = 0;
  while (start < native.size()) {
    size_t end = native.find('/', start);
    if (end == std::string::npos) end = native.size();
    const std::string component = native.substr(start, end - start);
    if (component.find(kReplacement) != std::string::npos) {
      // The folder that lists the component: the working folder, the root, or the
      // path before it.
      const std::string parent = start == 0   ? std::string()
                                 : start == 1 ? std::string("/")
                                              : native.substr(0, start - 1);
      if (CountListedAs(parent, FromUtf8(component)) != 1) return false;
    }
    start = end + 1;
  }
  return true;
}

bool CreateSymbolicLink(const ZoChar* link, const ZoChar* target, bool /*isDirectory*/) {
  std::string l, t;
  if (!ToNativePath(link, &l) || !ToNativePath(target, &t)) return false;
  if (::symlink(t.c_str(), l.c_str()) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  return true;
}

namespace {

struct ListerState {
  DIR* dir = nullptr;
  std::string folder;
  String16 pattern;
};

}  // namespace

DirectoryLister::~DirectoryLister() { Close(); }

void DirectoryLister::Close() {
  auto* s = static_cast<ListerState*>(state_);
  if (s) {
    if (s->dir) closedir(s->dir);
    delete s;
    state_ = nullptr;
  }
}

bool DirectoryLister::Open(const ZoChar* folder, const ZoChar* pattern) {
  Close();
  std::string native;
  if (!ToNativePath(folder, &native)) return false;
  if (native.empty()) native.push_back('.');
  DIR* d = opendir(native.c_str());
  if (!d) {
    SetLastErrorFromErrno();
    if (errno == ENOENT || errno == ENOTDIR) SetLastError(kErrorPathNotFound);
    return false;
  }
  auto* s = new ListerState;
  s->dir = d;
  s->folder = native;
  if (s->folder.back() != '/') s->folder.push_back('/');
  s->pattern = pattern ? String16(pattern) : String16(u"*");
  state_ = s;
  return true;
}

bool DirectoryLister::Next(DirectoryEntry* entry) {
  auto* s = static_cast<ListerState*>(state_);
  if (!s) {
    SetLastError(kErrorNoMoreFiles);
    return false;
  }
  for (;;) {
    errno = 0;
    struct dirent* de = readdir(s->dir);
    if (!de) {
      SetLastError(errno ? ErrorFromErrno(errno) : kErrorNoMoreFiles);
      return false;
    }
    String16 name = FromUtf8(de->d_name);
    if (!MatchesSystemPattern(s->pattern, name)) continue;
    entry->name = std::move(name);
    entry->attributes = 0;
    entry->size = 0;
    entry->lastWrite = 0;
    struct stat st;
    // Relative to the open folder: the kernel looks up one name, not the whole
    // path again (a tree of many small files is listed three times when added).
    if (fstatat(dirfd(s->dir), de->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      // The whole path only serves to follow a link.
      entry->attributes = KindAttributes(S_ISLNK(st.st_mode) ? s->folder + de->d_name : std::string(), st);
      if (S_ISREG(st.st_mode)) entry->size = static_cast<uint64_t>(st.st_size);
      // As GetAttributes: read-only for anything but a link, folders included.
      if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) entry->attributes |= ZO_ATTR_READONLY;
      entry->lastWrite = FileTimeFromUnix(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
    }
    if (entry->attributes == 0) entry->attributes = ZO_ATTR_ARCHIVE;
    return true;
  }
}

}  // namespace plat
