// Reading the resource file format of platform/resources.h: the POSIX back end
// serves the executable's generated table and loaded language modules with it.
// Portable code; the input is untrusted (a language module is any file that sits
// beside the executable), so every offset is checked before it is used.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/resources.h"

namespace plat::resfile {

// Sentinel language for FindEntry: the first language stored for type and name.
inline constexpr int32_t kAnyLanguage = -1;

// Finds the entry (type, name, language) of a valid image; false when absent.
// `type` and `name` are integer ids or names (see ResourceId); names match
// ignoring ASCII case, as the Windows loader matches them. The image must have
// passed IsValidResourceFile.
bool FindEntry(const void* blob, size_t size, const ZoChar* type, const ZoChar* name, int32_t language,
               ResourceData* out);

}  // namespace plat::resfile
