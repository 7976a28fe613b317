// Path and file utilities of the runtime library.
//
// Paths are UTF-16 in caller-owned buffers. Capacities count UTF-16 units with
// the terminator; a result that does not fit leaves the buffer untouched or
// empty, as each function says, and reports the length it needed or a failure.
// Nothing is ever written beyond a capacity, and in/out buffers that are not
// terminated within their capacity are left alone.
//
// Separators are native: on Windows the backslash, with the colon also ending
// the folder part (C:name -> folder "C:", file "name"), drive roots "C:\" and
// network roots "\\server\share\"; on POSIX the slash, root "/" (see
// runtime/path_lexical.h for the exact mapping). The lexical rules live in
// path_lexical.h with the style as a parameter; these functions use the native style.
//
// "A" functions take 8-bit text in UTF-8 and step by whole characters.
#pragma once
#include <cstdint>

#include "platform/paths.h"
#include "platform/results.h"
#include "platform/types.h"

// Pointer just after the last separator (or colon on Windows); `path` itself when
// there is none.
const ZoChar* ZoGetFileNamePtrW(const ZoChar* path);
ZoChar* ZoGetFileNamePtrW(ZoChar* path);
const char* ZoGetFileNamePtrA(const char* path);
char* ZoGetFileNamePtrA(char* path);

// Pointer to the last "." of the whole string when the text after it is empty or
// holds no white space; otherwise pointer to the terminator.
// "C:\x.y\name" -> ".y\name"; "a.b c" -> ""; "name." -> ".".
const ZoChar* ZoGetFileNameExtensionPtrW(const ZoChar* path);
ZoChar* ZoGetFileNameExtensionPtrW(ZoChar* path);
const char* ZoGetFileNameExtensionPtrA(const char* path);
char* ZoGetFileNameExtensionPtrA(char* path);

// out = file part cut to capacity-1 units, then cut at its extension. Returns the
// length written.
int ZoGetFileNameWithoutPathOrExtension(const ZoChar* path, ZoChar* out, int capacity);

// 1 when the name holds none of  " * / : < > ? \ |  (or is empty). Otherwise 0:
// at once without `fix`; with `fix` every such character becomes "_" first.
int ZoValidateFileName(ZoChar* name, bool fix);

// Appends a separator unless the path is empty or already ends in one. Returns the
// new length; 0 when it does not fit (path unchanged) or is not terminated
// within the capacity.
int ZoAddSlashToPathName(ZoChar* path, int capacity);
// Removes one final separator; returns the new length (0 for an empty or
// unterminated path).
int ZoRemoveSlashFromPathNameEnd(ZoChar* path, int capacity);
// Replaces the file part's extension by `extension` ("txt" or ".txt") when it
// differs (ASCII case-insensitive), cut to stay within the capacity. An empty
// extension removes the old one. Returns the resulting length (0 for an
// unterminated path).
int ZoAddExtensionToPathName(ZoChar* path, int capacity, const ZoChar* extension);

// Length of the folder part (separator or colon included); out receives it when
// it fits, else stays empty. "C:\dir\file.txt" -> "C:\dir\"; "file.txt" -> 0.
int ZoGetPathNameFromFilePath(const ZoChar* path, ZoChar* out, int capacity);
// Length of the root (final separator included); out receives it when it fits,
// else stays empty. "C:\x" -> "C:\"; "dir\x" -> "dir\";
// "\\srv\share\x" -> "\\srv\share\"; "\\srv" -> 0.
int ZoGetRootPathFromFilePath(const ZoChar* path, ZoChar* out, int capacity);

// Pointer into `path` at the start of the whole trailing folder components that
// `path` and `base` share (compared from their ends, ASCII case-insensitive);
// the terminator of `path` when they share none.
const ZoChar* ZoGetFileNamePtrRelative(const ZoChar* base, const ZoChar* path);
ZoChar* ZoGetFileNamePtrRelative(const ZoChar* base, ZoChar* path);
// out = path up to ZoGetFileNamePtrRelative(base, path), ending in a separator.
// E_FAIL when out is too small (out then empty), else 0.
ZoResult ZoGetBasePathRelative(const ZoChar* base, const ZoChar* path, ZoChar* out, int capacity);
// When path begins with oldBase (ASCII case-insensitive): out = newBase + the rest
// of path, 0. E_FAIL with out emptied when it does not begin so, the result has
// more than 259 units or does not fit. out may be the same buffer as path.
ZoResult ZoReplaceBasePathRelative(const ZoChar* path, const ZoChar* oldBase, const ZoChar* newBase, ZoChar* out,
                                   int capacity);

// DOS-style wildcard test without backtracking: "?" one unit, "*" skips up to the
// first "." or the first occurrence of the pattern's next character; case-sensitive.
// "*.txt" matches "a.txt"; "a*c" matches "abxc" but not "ab.c"; "abc" matches "abc.".
bool ZoIsMatchWildCard(const ZoChar* pattern, const ZoChar* name);

// 1 when the path opens for reading as an existing file, or is locked by another
// process (sharing violation); 0 otherwise, also for directories.
int ZoDoesFileExist(const ZoChar* path);

// Long form of path (the system's GetLongPathNameW contract: length written, or
// the capacity needed). When that fails or does not fit, and out is not path,
// path itself is copied to out (cut to capacity-1). Returns the system's result.
uint32_t ZoGetLongPathName(const ZoChar* path, ZoChar* out, uint32_t capacity);
// The temporary folder (long form, final separator included); length written,
// the capacity needed, or 0 on failure. A temporary folder that does not exist
// has no long form: the result is 0 and out holds the system's form.
uint32_t ZoGetTempPath(uint32_t capacity, ZoChar* out);
// Full file name of a module (null: the running executable), long form. out is
// emptied first; 0 when the name cannot be read; a result >= capacity means it
// did not fit (out then holds it cut).
uint32_t ZoGetModuleFileName(plat::ModuleHandle module, ZoChar* out, uint32_t capacity);
// Folder part of the module's file name. 0 when the name cannot be read; the
// name's length (out empty) when that length exceeds the capacity.
int ZoGetModulePath(plat::ModuleHandle module, ZoChar* out, int capacity);
// Full path of name in long form where the file exists; *filePart (when not null)
// points at its file name, null when it did not fit. Returns the length, or the
// capacity needed (larger than capacity) when it does not fit, 0 on failure.
uint32_t ZoGetFullPathName(const ZoChar* name, uint32_t capacity, ZoChar* buffer, ZoChar** filePart);
// Full path in long form: 1 when it fits, else 0 (buffer emptied when capacity > 0).
int ZoQualifyPath(const ZoChar* name, ZoChar* buffer, int capacity);

// Space on the volume of `path` in units of `unit` bytes (unit 0: bytes), clamped
// to 0xFFFFFFFF. The folder of path is queried (a last component without
// separator is a file name), so that folder must exist. Failure gives 0, or
// 0xFFFFFFFF for a network path (unlimited).
uint32_t ZoGetDiskFreeSpace(const ZoChar* path, uint32_t unit);
uint32_t ZoGetDiskTotalSpace(const ZoChar* path, uint32_t unit);

// Creates every missing folder of path below its root, which must exist and be
// at least "C:\" long ("/" on POSIX). `security` is accepted for the Windows
// signature and ignored. Non-zero when the whole chain exists afterwards.
int ZoCreateDirectory(const ZoChar* path, void* security);
// Empties `folder` of the items matching `pattern` ("*.*" when null), with
// `recurse` also of matching subfolders (emptied the same way and removed), then
// removes folder itself. Read-only items are made writable first. A symbolic
// link or junction inside the tree is removed as a link; its target is never
// touched. Returns 0, E_FAIL (something stayed) or ZO_E_FOLDER_NOT_FOUND.
ZoResult ZoDeleteDirectory(const ZoChar* folder, const ZoChar* pattern, bool recurse);
// 1 when the folder holds nothing but "." and "..", or cannot be listed; 0 when it
// holds anything or the path has 260 or more units.
int ZoIsDirectoryEmpty(const ZoChar* folder);

// 0 with *size = the file's size, or ZO_E_CANNOT_OPEN with *size = 0.
ZoResult ZoGetFileSizeByName(const ZoChar* path, uint64_t* size);
// Last-write time as DOS date (high 16 bits) and time (low 16 bits), in local time
// or in UTC; 0 when the file cannot be opened.
uint32_t ZoDosGetDateTime(const ZoChar* path);
uint32_t ZoDosGetDateTimeUTC(const ZoChar* path);
// Local time now: out[0] = year | day << 16 | month << 24, out[1] = hundredths |
// seconds << 8 | minutes << 16 | hours << 24. Returns the hundredths.
uint32_t ZoGetDateTime(uint32_t out[2]);

// Measures the drawn width of text[0 .. length) on `dc`; false when it cannot.
using ZoMeasureText = bool (*)(void* dc, const ZoChar* text, int length, int* width);
// Shortens path with "..." until its width fits `width`: 1, or 0 when measuring
// fails. The result is never longer than the original, so path's own buffer
// always suffices.
int ZoCalcPathEllipsisEx(void* dc, ZoChar* path, int width, ZoMeasureText measure);
// The same, measuring in character cells (one per character; `width` counts
// cells and `dc` is unused). Drawing code that has a device context passes its
// own measure to ZoCalcPathEllipsisEx.
int ZoCalcPathEllipsis(void* dc, ZoChar* path, int width);
