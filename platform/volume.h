// Volumes: free and total space, file-system name.
#pragma once
#include <cstdint>
#include "platform/types.h"

namespace plat {

// Space of the volume holding `path` (a folder or a file's folder). False when
// the volume cannot be queried.
bool GetDiskSpace(const ZoChar* path, uint64_t* freeToCaller, uint64_t* total);
// Name of the file system of the volume whose root is `root` ("NTFS", "ext4", ...),
// cut to capacity - 1 units. False when it cannot be read (out is then emptied).
bool GetFileSystemName(const ZoChar* root, ZoChar* out, size_t capacity);

}  // namespace plat
