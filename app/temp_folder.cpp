// The run's temp folder: the candidate walk over "ZoInstall_<n>".
#include "app/temp_folder.h"

#include "app/installer_state.h"
#include "platform/directory.h"
#include "platform/results.h"
#include "platform/text.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_path.h"
#include "runtime/zo_printf.h"
#include "runtime/zo_temp.h"

namespace {

constexpr uint32_t kTempNotWritableMessage = 550;

// Candidates are formatted here before they are measured against the caller's
// capacity: the temp path (259 units at most), the prefix and any number fit.
constexpr int kCandidateCapacity = 2 * ZO_MAX_PATH;

void ShowTempNotWritable(const ZoChar* tempPath) {
  ZoMsgBoxId(g_installer.language, ZO_MSGBOX_NO_OWNER, 0x30, kTempNotWritableMessage, tempPath);
}

}  // namespace

ZoResult CreateTempFolder(ZoChar* buffer, int capacity) {
  if (!buffer || capacity <= 0) return E_INVALIDARG;
  buffer[0] = 0;

  ZoChar tempPath[ZO_MAX_PATH] = {};
  const uint32_t tempLength = ZoGetTempPath(ZO_MAX_PATH, tempPath);
  // A temp path that does not fit is as unusable as one that cannot be written.
  if (tempLength >= static_cast<uint32_t>(ZO_MAX_PATH) || !ZoIsDirectoryWritable(tempPath)) {
    ShowTempNotWritable(tempPath);
    return INST_E_TEMP_NOT_WRITABLE;
  }

  ZoChar prefix[kCandidateCapacity];
  ZoPrintFEx(prefix, kCandidateCapacity, u"%sZoInstall_", tempPath);
  const size_t prefixLength = plat::Length(prefix);

  int failures = 0;
  for (int n = 1; failures < kTempFolderMaxFailures && n <= kTempFolderMaxCandidates; ++n) {
    ZoChar candidate[kCandidateCapacity];
    plat::CopyTruncated(candidate, kCandidateCapacity, prefix);
    ZoPrintFEx(candidate + prefixLength, kCandidateCapacity - prefixLength, u"%d", n);
    // Numbers only grow longer: once one does not fit, none after it does.
    if (plat::Length(candidate) + 1 > static_cast<size_t>(capacity)) break;
    // A folder of an earlier run is left alone and does not count.
    if (plat::IsDirectory(candidate)) continue;
    // Created new or not at all: a name taken meanwhile, a file or a planted
    // link makes this fail, and that counts.
    if (plat::CreatePrivateDirectory(candidate)) {
      plat::CopyTruncated(buffer, static_cast<size_t>(capacity), candidate);
      return S_OK;
    }
    ++failures;
  }
  buffer[0] = 0;
  ShowTempNotWritable(tempPath);
  return E_INVALIDARG;
}
