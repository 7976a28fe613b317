// Temporary files and byte-size text: uniquely named empty files, a folder
// writability test, and sizes and free space as text.
#pragma once
#include <cstdint>

#include "platform/results.h"
#include "platform/types.h"

// Creates a new empty file named folder + prefix + number + suffix for the first
// number n = 1, 2, ... whose name is free (numberFormat, "%d" when null, formats
// n); the missing parts are left out and the folder is used as given (with its
// final separator). `out` receives the name. Returns 0, E_INVALIDARG (out
// missing, all three parts missing, or the name does not fit capacity), or the
// system error translated (never a success code; a number format whose text
// does not change with n fails once that one name is taken). `out` is emptied
// on failure.
ZoResult ZoCreateTempFileAndNameEx(const ZoChar* folder, const ZoChar* prefix, const ZoChar* suffix,
                                   const ZoChar* numberFormat, ZoChar* out, int capacity);
ZoResult ZoCreateTempFileAndName(const ZoChar* folder, const ZoChar* suffix, ZoChar* out, int capacity);
// 1 when a file can be created in the existing folder (it is deleted again), else 0.
int ZoIsDirectoryWritable(const ZoChar* folder);

// Capacity of the texts below when no capacity is given.
inline constexpr int ZO_SIZE_TEXT_CAPACITY = 64;

// The free space of the volume of `path` in the library's text (string 48346,
// given the space in units of 102,400 bytes), or string 48345 when the path is
// empty or the space cannot be determined. Returns the units written.
int ZoFormatDiskFreeSpaceEx(const ZoChar* path, ZoChar* out, int capacity);
int ZoFormatDiskFreeSpace(const ZoChar* path, ZoChar* out);  // out holds ZO_SIZE_TEXT_CAPACITY units

// A byte count as text: below 1,024 (and negative) as an integer ("1023",
// "1023 bytes"), then KB (/1,024), MB (/1,024,000) and GB (/1,024,000,000) with two
// decimals in the user's notation ("1.00KB", "1.00 KB"). `out` holds
// ZO_SIZE_TEXT_CAPACITY units. Returns the units written.
int ZoGetByteSizeText(int64_t size, ZoChar* out);
int ZoGetByteSizeText2(int64_t size, ZoChar* out);
