// System paths: full path, temp path, module path, long and short forms, current folder.
//
// The functions follow GetFullPathNameW's size contract: they return the length
// written (without terminator) when it fits the capacity, otherwise the capacity
// needed (terminator included) and leave `out` unspecified-but-terminated when
// capacity > 0; 0 means failure with LastError set.
//
// POSIX mapping: the temp path is $TMPDIR or /tmp with a final '/'; the long and
// short forms are the path itself; the program files folder is /opt.
#pragma once
#include <cstdint>
#include "platform/types.h"

namespace plat {

inline constexpr ZoChar kSeparator =
#ifdef _WIN32
    u'\\';
#else
    u'/';
#endif

using ModuleHandle = void*;  // null: the running executable

uint32_t GetFullPath(const ZoChar* name, ZoChar* out, uint32_t capacity);
uint32_t GetTempPath(ZoChar* out, uint32_t capacity);
uint32_t GetModuleFileName(ModuleHandle module, ZoChar* out, uint32_t capacity);
uint32_t GetLongPath(const ZoChar* path, ZoChar* out, uint32_t capacity);
uint32_t GetShortPath(const ZoChar* path, ZoChar* out, uint32_t capacity);
uint32_t GetCurrentDirectory(ZoChar* out, uint32_t capacity);
bool SetCurrentDirectory(const ZoChar* path);
// The folder programs are installed to ("C:\Program Files" or "/opt").
uint32_t GetProgramFilesFolder(ZoChar* out, uint32_t capacity);
// The system drive root ("C:\" or "/").
uint32_t GetWindowsDrive(ZoChar* out, uint32_t capacity);

}  // namespace plat
