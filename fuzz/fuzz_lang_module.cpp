// Fuzz target for language modules: a .LNG file is whatever sits beside the
// executable, so its bytes are untrusted. Every input is written to a scratch
// file, loaded as a resource module, and read through the language handle the
// way the installer reads it: strings by id (cached and copied into buffers of
// several sizes, the untranslated marker removed), custom resources and the
// version block, in Japanese and in English.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/text.h"
#include "runtime/zo_lang.h"

namespace {

plat::String16 ScratchFile() {
  static plat::String16 path;
  if (path.empty()) {
    ZoChar temp[ZO_MAX_PATH] = {};
    plat::GetTempPath(temp, ZO_MAX_PATH);
    path = plat::String16(temp) + u"orv-fuzz-lang-" + plat::FromUtf8(std::to_string(std::rand())) + u".LNG";
  }
  return path;
}

// Reads every byte of a found resource, so that a size pointing past the file
// shows up under the address sanitizer.
unsigned Touch(const void* data, uint32_t size) {
  unsigned sum = 0;
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (uint32_t i = 0; data && i < size; ++i) sum += bytes[i];
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const plat::String16 path = ScratchFile();
  {
    plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
    if (!f || (size && !f.Write(data, size)) || !f.Close()) return 0;
  }
  plat::ModuleHandle module = plat::LoadResourceModule(path.c_str());
  if (module) {
    HZOLANG lang = nullptr;
    if (ZoLang_Open(&lang, plat::ExecutableModule(), 0, 4) == S_OK) {
      ZoLang_ChangeLangInst(lang, module);
      volatile unsigned sink = 0;
      for (uint32_t language : {1041u, 1033u}) {
        ZoLang_UpdateKernelLCID(lang, language);
        for (uint32_t id : {0u, 1u, 15u, 16u, 152u, 204u, 302u, 500u, 524u, 559u, 600u, 700u, 48344u, 60000u, 65535u}) {
          const ZoChar* text = ZoGetString(lang, id);
          sink = sink + static_cast<unsigned>(plat::Length(text));
          for (int capacity : {1, 2, 7, 260}) {
            ZoChar out[260];
            sink = sink + static_cast<unsigned>(ZoLoadString(lang, id, out, capacity));
          }
        }
        uint32_t found = 0;
        const void* banner = ZoLoadResourceCustom(lang, plat::ResourceId(107), plat::ResourceId(32), &found);
        sink = sink + Touch(banner, found);
        plat::ResourceData version;
        if (plat::FindResourceDefault(module, plat::ResourceId(plat::kResourceTypeVersion), plat::ResourceId(1), &version)) {
          sink = sink + Touch(version.data, version.size);
        }
      }
      ZoLang_ChangeLangInst(lang, plat::ExecutableModule());
      ZoLang_Close(lang);
    }
    plat::FreeResourceModule(module);
  }
  plat::DeleteFile(path.c_str());
  return 0;
}
