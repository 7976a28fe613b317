// Fuzz target for the private-profile reader and writer: a package's settings
// file comes out of its control archive, so its bytes are untrusted. Each input
// becomes the file; its keys are read into a small and a large buffer (neither
// may be overrun), then a value taken from the input's first line is written and
// must read back exactly, with the file's other keys still readable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace {

plat::String16 ScratchFile() {
  ZoChar temp[ZO_MAX_PATH] = {};
  const uint32_t n = plat::GetTempPath(temp, ZO_MAX_PATH);
  if (n == 0 || n >= ZO_MAX_PATH) __builtin_trap();
  return plat::String16(temp, n) + u"fuzz-profile-" + plat::U16(std::to_string(plat::CurrentThreadId())) + u".ini";
}

void ReadKey(const plat::String16& path, const ZoChar* key) {
  ZoChar small[5];
  ZoChar large[300];
  for (ZoChar& u : small) u = u'#';
  const uint32_t got = plat::GetPrivateProfileText(u"Quilletage", key, u"d", small, 4, path.c_str());
  if (got > 3 || small[4] != u'#' || plat::Length(small) != got) __builtin_trap();
  plat::GetPrivateProfileText(u"Quilletage", key, nullptr, large, 300, path.c_str());
  plat::GetPrivateProfileInteger(u"Quilletage", key, 5, path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const plat::String16 path = ScratchFile();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  {
    plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone,
                                    plat::Disposition::CreateAlways);
    if (!f || !f.Write(data, size) || !f.Close()) return 0;
  }
  for (const ZoChar* key : {u"Name", u"Banner", u"LCID", u"ExtractToTemp", u""}) ReadKey(path, key);

  plat::String16 value = plat::FromUtf8(bytes.substr(0, bytes.find_first_of("\r\n")));
  value = value.substr(0, value.find(u'\0')).substr(0, 200);
  ZoChar before[300] = {};
  plat::GetPrivateProfileText(u"Quilletage", u"Banner", u"<none>", before, 300, path.c_str());
  if (plat::WritePrivateProfileText(u"Quilletage", u"Name", value.c_str(), path.c_str())) {
    ZoChar after[300] = {};
    plat::GetPrivateProfileText(u"Quilletage", u"Name", u"<none>", after, 300, path.c_str());
    if (value != after) __builtin_trap();
    ZoChar banner[300] = {};
    plat::GetPrivateProfileText(u"Quilletage", u"Banner", u"<none>", banner, 300, path.c_str());
    if (plat::String16(before) != banner) __builtin_trap();
  }
  plat::DeleteFile(path.c_str());
  return 0;
}
