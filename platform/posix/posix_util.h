// POSIX back end internals: holds only code valid on every POSIX system.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include "platform/types.h"

namespace plat {

uint32_t ErrorFromErrno(int e);
void SetLastErrorFromErrno();
// As SetLastErrorFromErrno for a call on `path`; a missing name whose folder is
// missing too is kErrorPathNotFound, as Windows reports it (ENOENT covers both).
void SetLastErrorFromErrnoAt(const std::string& path);

// The UTF-8 form of a UTF-16 path for a system call. False (with
// kErrorInvalidName) for null.
bool ToNativePath(const ZoChar* path, std::string* out);

// ToNativePath, then lstat of the result into `st`; on failure the last error
// is set as SetLastErrorFromErrnoAt sets it.
bool LstatPath(const ZoChar* path, std::string* native, struct stat* st);

// The attribute bits that say what `native` is, from its lstat result `own`:
// ZO_ATTR_DIRECTORY for a folder; for a symbolic link ZO_ATTR_REPARSE_POINT and
// what its target is (a folder: ZO_ATTR_DIRECTORY; missing: ZO_ATTR_DEVICE); and
// ZO_ATTR_DEVICE for anything that is neither a regular file nor a folder (FIFO,
// socket, character or block device), directly or as a link's target.
uint32_t KindAttributes(const std::string& native, const struct stat& own);

// Copies UTF-16 text into a caller buffer with the size contract of
// GetFullPathNameW: the length when it fits, else the capacity needed.
uint32_t ReturnPath(const std::u16string& text, ZoChar* out, uint32_t capacity);

}  // namespace plat
