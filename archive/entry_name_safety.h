// The safety check an entry name must pass before it is joined to a destination
// folder, and the join itself. Windows rules apply on every build, so an archive
// extracts (or is refused) the same way everywhere.
//
// Refused: empty names; names longer than 259 units; embedded NULs; absolute,
// UNC and device-namespace names (a leading separator); any colon (drive letters,
// drive-relative names, alternate data streams); empty, "." and ".." components;
// components ending in a dot or a space; control characters and < > " | ? *;
// reserved device names in any component, with or without an extension (CON,
// PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$). Both '\\' and '/' separate
// components. A folder entry may end with one separator.
#pragma once
#include <cstdint>
#include <string>

#include "platform/text.h"

namespace arc {

// `storedLength` is the entry's nameLength (the index keeps at most 259 units).
bool IsSafeEntryName(plat::StringView16 name, uint64_t storedLength, bool isFolder);

// destination + separator (when missing) + the entry name (or, when `flat`, only
// its file part) with every '\\' and '/' turned into the native separator. False
// when the result would exceed 259 units. *relativeStart receives the index in
// *out where the part below the destination begins.
bool JoinEntryPath(plat::StringView16 destination, plat::StringView16 name, bool flat, std::u16string* out,
                   size_t* relativeStart);

}  // namespace arc
