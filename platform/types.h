// Basic types shared by every layer: the UTF-16 character, result codes' type,
// FILETIME as one 64-bit number, and the fixed path capacity.
#pragma once
#include <cstddef>
#include <cstdint>

// All text of the system is UTF-16. On Windows this is layout-compatible with
// wchar_t; the cast happens only inside platform/win32 and app/ui/win32.
using ZoChar = char16_t;

// COM-style result: 0 success, 1 success with nothing done, negative failure.
using ZoResult = int32_t;

// Windows FILETIME on every OS: 100 ns intervals since 1601-01-01 00:00 UTC.
using ZoFileTime = uint64_t;

// Capacity of a path buffer in UTF-16 units, terminator included.
inline constexpr int ZO_MAX_PATH = 260;

// Windows file attribute bits (also produced by the POSIX back end).
inline constexpr uint32_t ZO_ATTR_READONLY = 0x01;
inline constexpr uint32_t ZO_ATTR_HIDDEN = 0x02;
inline constexpr uint32_t ZO_ATTR_SYSTEM = 0x04;
inline constexpr uint32_t ZO_ATTR_DIRECTORY = 0x10;
inline constexpr uint32_t ZO_ATTR_ARCHIVE = 0x20;
// Neither a regular file nor a folder: a FIFO, socket or device; on POSIX also a
// link to one and a link whose target is missing. Such a path is never opened by
// the writers (an open or read could block or act on the device).
inline constexpr uint32_t ZO_ATTR_DEVICE = 0x40;
inline constexpr uint32_t ZO_ATTR_NORMAL = 0x80;
inline constexpr uint32_t ZO_ATTR_REPARSE_POINT = 0x400;  // symbolic link or junction
inline constexpr uint32_t ZO_INVALID_ATTRIBUTES = 0xFFFFFFFFu;
