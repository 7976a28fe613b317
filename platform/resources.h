// Resources: string tables, custom resources and dialog templates found by type,
// name and language in a module, and modules loaded for their resources only.
//
// Names and types follow the Windows convention: a value below 0x10000 passed as
// a pointer is an integer id (see ResourceId); anything else is a terminated
// UTF-16 name. Names are matched ignoring ASCII case (the resource compiler
// stores them upper-cased) on every OS.
//
// Module handles: null is the running executable. On Windows a handle is an
// HMODULE. On POSIX the executable's resources are the table the build generates
// from resources/*.rc and links into each program (RegisterBuiltinResources); a
// module loaded with LoadResourceModule is a resource file in the same format.
// Any other handle is served as the executable.
//
// Data returned in ResourceData stays valid while the module is loaded (for the
// executable: for the whole process). It is read-only.
#pragma once
#include <cstdint>
#include "platform/paths.h"
#include "platform/types.h"

namespace plat {

// A non-null handle of the running executable, for callers that must tell "a
// module" from "none" (ZoLang_ChangeLangInst ignores null): on Windows its
// HMODULE, on POSIX a token the back end serves as the executable.
ModuleHandle ExecutableModule();

// Resource types used by the system.
inline constexpr uint16_t kResourceTypeDialog = 5;
inline constexpr uint16_t kResourceTypeString = 6;
inline constexpr uint16_t kResourceTypeRcData = 10;
inline constexpr uint16_t kResourceTypeVersion = 16;

// Language identifiers (LANGID) the system ships and the neutral one.
inline constexpr uint16_t kLanguageNeutral = 0;
inline constexpr uint16_t kLanguageEnglishUs = 1033;
inline constexpr uint16_t kLanguageJapanese = 1041;

// MAKEINTRESOURCE: an integer id in the form the name and type arguments take.
inline const ZoChar* ResourceId(uint32_t id) {
  return reinterpret_cast<const ZoChar*>(static_cast<uintptr_t>(id & 0xFFFFu));
}
inline bool IsResourceId(const ZoChar* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000u; }

struct ResourceData {
  const void* data = nullptr;
  uint32_t size = 0;  // bytes
};

// The resource of exactly `language` (FindResourceExW + LoadResource + LockResource).
// False when absent (LastError kErrorResourceNotFound-like values: 1812-1815 on
// Windows, kErrorFileNotFound on POSIX).
bool FindResourceForLanguage(ModuleHandle module, const ZoChar* type, const ZoChar* name,
                             uint16_t language, ResourceData* out);
// The system's ordinary lookup (FindResourceW): on Windows the loader's language
// preference; on POSIX, deterministically, the neutral language, then English
// (United States), then the first language stored for that type and name.
bool FindResourceDefault(ModuleHandle module, const ZoChar* type, const ZoChar* name,
                         ResourceData* out);

// LoadStringW: the text of string `id` by the ordinary lookup, cut to capacity - 1
// units and terminated; returns the number of units copied (0 when missing; `out`
// is then "" when capacity > 0).
int LoadStringDefault(ModuleHandle module, uint32_t id, ZoChar* out, int capacity);

// Loads a module for its resources only; no code of it ever runs (on Windows
// LoadLibraryExW with the data-file and image-resource flags; on POSIX a resource
// file in the generator's format, validated entirely before use). Null when the
// file is absent or not a valid module (LastError set).
ModuleHandle LoadResourceModule(const ZoChar* path);
// Releases a module returned by LoadResourceModule; null is ignored.
void FreeResourceModule(ModuleHandle module);

// Runs a modal dialog from an in-memory DLGTEMPLATE(EX) with `instance` as its
// module. `parent` is a window handle, `dialogProc` the caller's DLGPROC passed
// as an opaque pointer (the calling convention is the caller's concern). Returns
// the dialog's result, or -1 when it cannot be created (always on POSIX, which
// has no dialog system: the console user interface replaces the dialogs).
intptr_t DialogBoxFromTemplate(ModuleHandle instance, const void* dialogTemplate, void* parent,
                               void* dialogProc, intptr_t param);
// Runs a modal dialog from the template `name` of `module` by the ordinary lookup
// (DialogBoxParamW). -1 when it cannot be created.
intptr_t DialogBoxFromResource(ModuleHandle module, const ZoChar* name, void* parent,
                               void* dialogProc, intptr_t param);

// POSIX: the generated table of the executable's own resources (a blob in the
// resource file format) registers itself here from a static initialiser.
// Harmless and unused on Windows. The blob must outlive the process.
void RegisterBuiltinResources(const void* blob, size_t size);

// The resource file format shared by the generator and the POSIX back end
// (all numbers little-endian):
//   offset 0  8 bytes  magic "ORVRES1\0"
//   offset 8  uint32   entry count N
//   offset 12 N x 20-byte entries, sorted by (type, name, language):
//               +0 uint32 type, +4 uint32 name, +8 uint16 language,
//               +10 uint16 zero, +12 uint32 data offset from the file start,
//               +16 uint32 data size
//   then the data. Every entry's data lies within the file.
//   A type or name below 0x10000 is an integer id; one with bit 31 set
//   (kResourceFileNameFlag) is a name: its low 31 bits are the file offset of a
//   record of one uint16 count and that many UTF-16 units, within the file.
inline constexpr char kResourceFileMagic[8] = {'O', 'R', 'V', 'R', 'E', 'S', '1', '\0'};
inline constexpr size_t kResourceFileHeaderSize = 12;
inline constexpr size_t kResourceFileEntrySize = 20;
inline constexpr uint32_t kResourceFileNameFlag = 0x80000000u;

// Copies entry `index` (0-15) of a string-table block (16 entries, each a 16-bit
// count followed by that many UTF-16 units) into `out`, cut to capacity - 1 units
// and terminated when capacity > 0. Returns the units copied: 0 when the entry is
// empty or the block is too short to hold it (a damaged module is never read
// past its end).
int CopyStringFromBlock(const ResourceData& block, uint32_t index, ZoChar* out, int capacity);

// Validates a resource file image (header, entry table and every data range).
bool IsValidResourceFile(const void* blob, size_t size);

}  // namespace plat
