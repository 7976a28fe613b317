// File-system helpers the commands share: full paths, folder chains, the
// engine's rewrite temporary name and volume names, removal of leftovers.
#pragma once
#include <string>

#include "platform/text.h"

namespace ach {

// The absolute form of `path`; false (with a message on standard error) when
// it cannot be formed or is longer than the engine's 259-unit paths.
bool MakeFullPath(const plat::String16& path, plat::String16* full);
// `path` without trailing separators (a root keeps its own).
plat::String16 WithoutTrailingSeparators(const plat::String16& path);
// Creates `folder` and every missing parent; true when it exists afterwards.
bool EnsureFolder(const plat::String16& folder);
// The folder part of a full path, final separator included.
plat::String16 FolderOf(const plat::String16& path);
// The file-name part of a path.
plat::String16 FileNameOf(const plat::String16& path);
// "%s~%s": the folder of `archive`, a tilde and its file name - the name of the
// temporary file a rewrite builds beside the archive.
plat::String16 RewriteTempPath(const plat::String16& archive);
// Volume k of a set whose name base is `nameBase`, beside `mainFile`: the main
// file's folder, the base's file name without extension, k, the extension.
plat::String16 VolumePath(const plat::String16& mainFile, const plat::String16& nameBase, unsigned k);
// Deletes a regular file when it exists; true when nothing is left there.
bool RemoveFileIfPresent(const plat::String16& path);
bool FileExists(const plat::String16& path);
// Equal as paths of this system: compared without regard to ASCII case, which
// may refuse two POSIX names that differ only in case (a safe mistake).
bool SamePath(const plat::String16& a, const plat::String16& b);
// The target path an entry name gets under `destination` (separators made
// native; under `flat` only the file-name part).
plat::String16 TargetPathOf(const plat::String16& destination, plat::StringView16 entryName, bool flat);

}  // namespace ach
