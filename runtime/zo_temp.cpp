// Temporary files and byte-size text.
#include "runtime/zo_temp.h"

#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/text.h"
#include "runtime/zo_error.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_path.h"
#include "runtime/zo_printf.h"

namespace {

// Ends the search for a free name when a folder answers "exists" for ever (a
// folder full of numbered files is not a reason to loop without end).
constexpr int kMaxCandidates = 1000000;
// Room for the number text of one candidate name (a name is at most a path).
constexpr size_t kNumberCapacity = ZO_MAX_PATH;

ZoResult Fail(ZoResult r, ZoChar* out, int capacity) {
  if (out && capacity > 0) out[0] = 0;
  return r;
}

int ByteSizeText(int64_t size, ZoChar* out, bool spaced) {
  if (!out) return 0;
  constexpr size_t kCapacity = ZO_SIZE_TEXT_CAPACITY;
  // The full 64-bit value: a negative size beyond 32 bits must not be cut.
  if (size < 1024) return ZoPrintFEx(out, kCapacity, spaced ? u"%I64d bytes" : u"%I64d", size);
  if (size < 1024000) return ZoPrintFEx(out, kCapacity, spaced ? u"$.2f KB" : u"$.2fKB", size / 1024.0);
  if (size < 1024000000) return ZoPrintFEx(out, kCapacity, spaced ? u"$.2f MB" : u"$.2fMB", size / 1024000.0);
  return ZoPrintFEx(out, kCapacity, spaced ? u"$.2f GB" : u"$.2fGB", size / 1024000000.0);
}

}  // namespace

ZoResult ZoCreateTempFileAndNameEx(const ZoChar* folder, const ZoChar* prefix, const ZoChar* suffix,
                                   const ZoChar* numberFormat, ZoChar* out, int capacity) {
  if (!out || capacity < 0 || (!folder && !prefix && !suffix)) return Fail(E_INVALIDARG, out, capacity);
  const size_t fixedLength = plat::Length(folder) + plat::Length(prefix) + plat::Length(suffix);
  ZoChar previous[kNumberCapacity];
  previous[0] = 0;
  uint32_t nameTaken = plat::kErrorFileExists;  // why the last candidate was passed over
  for (int n = 1; n <= kMaxCandidates; ++n) {
    // A number text that fills this buffer may have been cut, and cut numbers
    // could name the same file for every n: such a name is too long.
    ZoChar number[kNumberCapacity];
    const size_t numberLength =
        static_cast<size_t>(ZoPrintFEx(number, kNumberCapacity, numberFormat ? numberFormat : u"%d", n));
    if (numberLength + 1 >= kNumberCapacity || static_cast<size_t>(capacity) < numberLength + fixedLength + 1) {
      return Fail(E_INVALIDARG, out, capacity);
    }
    // A number format that does not show n ("tmp", "%.0z" of 0...) names the
    // same taken file again: no later number can give a free name.
    if (n > 1 && plat::StringView16(number) == plat::StringView16(previous)) break;
    plat::CopyTruncated(previous, kNumberCapacity, number);
    ZoPrintFEx(out, static_cast<size_t>(capacity), u"%s%s%s%s", folder ? folder : u"", prefix ? prefix : u"", number,
               suffix ? suffix : u"");
    plat::File file = plat::File::Open(out, plat::Access::Write, plat::kShareNone, plat::Disposition::CreateNew);
    if (file) {
      if (file.Close()) return S_OK;
      // The name is not handed out, so the file it made is not left behind.
      const ZoResult translated = ZoErrorHandler_TranslateWin32Error(plat::LastError());
      plat::DeleteFile(out);
      return Fail(ZoSucceeded(translated) ? E_FAIL : translated, out, capacity);
    }
    const uint32_t error = plat::LastError();
    if (error == plat::kErrorFileExists || error == plat::kErrorAlreadyExists ||
        error == plat::kErrorSharingViolation) {
      nameTaken = error;
      continue;
    }
    const ZoResult translated = ZoErrorHandler_TranslateWin32Error(error);
    return Fail(ZoSucceeded(translated) ? E_FAIL : translated, out, capacity);
  }
  const ZoResult translated = ZoErrorHandler_TranslateWin32Error(nameTaken);
  return Fail(ZoSucceeded(translated) ? E_FAIL : translated, out, capacity);
}

ZoResult ZoCreateTempFileAndName(const ZoChar* folder, const ZoChar* suffix, ZoChar* out, int capacity) {
  return ZoCreateTempFileAndNameEx(folder, nullptr, suffix, nullptr, out, capacity);
}

int ZoIsDirectoryWritable(const ZoChar* folder) {
  if (!folder || !plat::IsDirectory(folder)) return 0;
  ZoChar withSlash[ZO_MAX_PATH];
  if (plat::Length(folder) + 2 > static_cast<size_t>(ZO_MAX_PATH)) return 0;
  plat::CopyTruncated(withSlash, ZO_MAX_PATH, folder);
  ZoAddSlashToPathName(withSlash, ZO_MAX_PATH);
  ZoChar name[ZO_MAX_PATH];
  if (ZoFailed(ZoCreateTempFileAndNameEx(withSlash, nullptr, u"", nullptr, name, ZO_MAX_PATH))) return 0;
  plat::DeleteFile(name);
  return 1;
}

int ZoFormatDiskFreeSpaceEx(const ZoChar* path, ZoChar* out, int capacity) {
  if (!out || capacity <= 0) return 0;
  out[0] = 0;
  HZOLANG lang = ZoKernel_GetLangHandle();
  // ZoGetDiskFreeSpace gives 0 both when the volume cannot be queried and when
  // less than one unit is free: a volume whose size can be read is a full one.
  const uint32_t units = path && *path ? ZoGetDiskFreeSpace(path, 102400) : 0;
  const bool known = units != 0 || (path && *path && ZoGetDiskTotalSpace(path, 1) != 0);
  if (!known) return ZoPrintFEx(out, static_cast<size_t>(capacity), ZoGetString(lang, 48345));
  // The text takes a signed 32-bit count; an "unlimited" volume shows the largest one.
  const int32_t shown = units > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(units);
  return ZoPrintFEx(out, static_cast<size_t>(capacity), ZoGetString(lang, 48346), shown);
}

int ZoFormatDiskFreeSpace(const ZoChar* path, ZoChar* out) {
  return ZoFormatDiskFreeSpaceEx(path, out, ZO_SIZE_TEXT_CAPACITY);
}

int ZoGetByteSizeText(int64_t size, ZoChar* out) { return ByteSizeText(size, out, false); }
int ZoGetByteSizeText2(int64_t size, ZoChar* out) { return ByteSizeText(size, out, true); }
