// Directories: create, remove, enumerate, test.
#pragma once
#include "platform/text.h"
#include "platform/types.h"

namespace plat {

bool CreateDirectory(const ZoChar* path);
// Creates a new folder that only the current user may use, exclusively: it fails
// (kErrorAlreadyExists) when anything is at `path` already, a folder, a file or
// a link, and never follows a link planted there. POSIX: mode 0700 (narrowed
// further by the umask only). Windows: a DACL of its own, protected from the
// parent's: full control for the user, SYSTEM and the Administrators, inherited
// by what is made inside.
bool CreatePrivateDirectory(const ZoChar* path);
// True when `path` is a folder only its user may use, as CreatePrivateDirectory
// makes them. POSIX: a folder of the effective user that no group or other may
// use. Windows: every entry of its DACL is its own (none inherited from the
// parent), the user has full control, inherited by what is made inside, and
// no one but the user, SYSTEM and the Administrators is granted anything.
bool IsPrivateDirectory(const ZoChar* path);
bool RemoveDirectory(const ZoChar* path);
// True when `path` names an existing directory (a symbolic link to one counts on
// Windows as the system reports it; on POSIX a link is never a directory here).
bool IsDirectory(const ZoChar* path);
// True when something exists at `path` (a dangling link counts).
bool Exists(const ZoChar* path);
// True when `path` itself is a symbolic link or junction.
bool IsLink(const ZoChar* path);
// True when `path` exists and names one file the way its folders list it. POSIX
// lists a name whose bytes are not UTF-8 with U+FFFD in place of the bad bytes:
// such a path opens another file (the one whose name is that text) or nothing,
// so a path with U+FFFD is true only when no other name of the same folder is
// listed as that component. Windows names are UTF-16 already: Exists, but for
// Wine, which lists Linux names the same way, a last component with U+FFFD must
// be listed once.
bool NamesOneFile(const ZoChar* path);
// Creates a symbolic link at `link` pointing to `target` (used by tests; on Windows
// it may fail without the privilege, and callers then skip).
bool CreateSymbolicLink(const ZoChar* link, const ZoChar* target, bool isDirectory);

struct DirectoryEntry {
  String16 name;            // file name only
  uint32_t attributes = 0;  // Windows bits; links carry ZO_ATTR_REPARSE_POINT, FIFOs,
                            // sockets and devices ZO_ATTR_DEVICE (types.h)
  uint64_t size = 0;
  ZoFileTime lastWrite = 0;
};

// Lists the entries of `folder` whose names match `pattern` (Windows wildcard
// rules: '*' and '?', case-insensitive for ASCII, "*.*" and "*" match every name),
// "." and ".." included when the system reports them, as FindFirstFileW does.
//
// kListedAttributesExact: whether an entry's `attributes` are exactly what
// GetAttributes(folder + name) gives, for a file or a folder (both come from
// the same lstat on POSIX), so that a walker may use them instead of asking
// again by path.
// On Windows the find data's bits are taken from the folder, which may lag
// behind the file's own, so callers ask the file there.
#ifdef _WIN32
inline constexpr bool kListedAttributesExact = false;
#else
inline constexpr bool kListedAttributesExact = true;
#endif

class DirectoryLister {
 public:
  DirectoryLister() = default;
  DirectoryLister(const DirectoryLister&) = delete;
  DirectoryLister& operator=(const DirectoryLister&) = delete;
  ~DirectoryLister();
  // False when the folder cannot be listed (kErrorPathNotFound, kErrorAccessDenied...).
  bool Open(const ZoChar* folder, const ZoChar* pattern);
  // False at the end (LastError kErrorNoMoreFiles) or on failure.
  bool Next(DirectoryEntry* entry);
  void Close();

 private:
  void* state_ = nullptr;
};

// The Windows wildcard match the lister uses, exposed for tests and callers.
bool MatchesSystemPattern(StringView16 pattern, StringView16 name);

}  // namespace plat
