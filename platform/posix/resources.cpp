// POSIX back end: holds only code valid on every POSIX system.
// The executable's resources are the generated table registered at start-up; a
// loaded module is a whole resource file read into memory and validated once.
#include "platform/resources.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/resource_file.h"

namespace plat {

namespace {

// ERROR_BAD_EXE_FORMAT: what LoadLibraryExW reports for a file that is no module.
constexpr uint32_t kErrorBadModuleFormat = 193;

struct LoadedModule {
  std::vector<uint8_t> image;
};

struct Registry {
  std::mutex lock;
  const void* builtin = nullptr;
  size_t builtinSize = 0;
  std::vector<LoadedModule*> loaded;  // live handles returned by LoadResourceModule
};

Registry& GetRegistry() {
  static Registry registry;
  return registry;
}

// The image behind a handle: a loaded module when the handle is one of ours,
// else the executable's table. Loaded images are never changed while loaded.
bool ImageOf(ModuleHandle module, const void** blob, size_t* size) {
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  if (module) {
    auto* m = static_cast<LoadedModule*>(module);
    if (std::find(r.loaded.begin(), r.loaded.end(), m) != r.loaded.end()) {
      *blob = m->image.data();
      *size = m->image.size();
      return true;
    }
  }
  *blob = r.builtin;
  *size = r.builtinSize;
  return r.builtin != nullptr;
}

bool Find(ModuleHandle module, const ZoChar* type, const ZoChar* name, int32_t language,
          ResourceData* out) {
  *out = ResourceData{};
  const void* blob = nullptr;
  size_t size = 0;
  if (!ImageOf(module, &blob, &size) ||
      !resfile::FindEntry(blob, size, type, name, language, out)) {
    SetLastError(kErrorFileNotFound);
    return false;
  }
  return true;
}

}  // namespace

ModuleHandle ExecutableModule() {
  static char token;
  return &token;
}

void RegisterBuiltinResources(const void* blob, size_t size) {
  if (!IsValidResourceFile(blob, size)) return;
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.builtin = blob;
  r.builtinSize = size;
}

bool FindResourceForLanguage(ModuleHandle module, const ZoChar* type, const ZoChar* name,
                             uint16_t language, ResourceData* out) {
  return Find(module, type, name, language, out);
}

bool FindResourceDefault(ModuleHandle module, const ZoChar* type, const ZoChar* name,
                         ResourceData* out) {
  return Find(module, type, name, kLanguageNeutral, out) ||
         Find(module, type, name, kLanguageEnglishUs, out) ||
         Find(module, type, name, resfile::kAnyLanguage, out);
}

int LoadStringDefault(ModuleHandle module, uint32_t id, ZoChar* out, int capacity) {
  if (out && capacity > 0) out[0] = 0;
  ResourceData block;
  if (!FindResourceDefault(module, ResourceId(kResourceTypeString), ResourceId(id / 16 + 1), &block)) {
    return 0;
  }
  return CopyStringFromBlock(block, id % 16, out, capacity);
}

ModuleHandle LoadResourceModule(const ZoChar* path) {
  File file = File::Open(path, Access::Read, kShareRead, Disposition::OpenExisting);
  if (!file) return nullptr;
  uint64_t size = 0;
  // A language module holds texts and small pictures; refuse anything huge.
  constexpr uint64_t kMaxModuleSize = 64u << 20;
  if (!file.Size(&size)) return nullptr;
  if (size > kMaxModuleSize) {
    SetLastError(kErrorFileTooLarge);
    return nullptr;
  }
  auto* module = new (std::nothrow) LoadedModule;
  if (!module) {
    SetLastError(kErrorNotEnoughMemory);
    return nullptr;
  }
  size_t got = 0;
  try {
    module->image.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    delete module;
    SetLastError(kErrorNotEnoughMemory);
    return nullptr;
  }
  if (!file.Read(module->image.data(), module->image.size(), &got) || got != module->image.size() ||
      !IsValidResourceFile(module->image.data(), module->image.size())) {
    delete module;
    SetLastError(kErrorBadModuleFormat);
    return nullptr;
  }
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  try {
    r.loaded.push_back(module);
  } catch (const std::bad_alloc&) {
    delete module;
    SetLastError(kErrorNotEnoughMemory);
    return nullptr;
  }
  return module;
}

void FreeResourceModule(ModuleHandle module) {
  if (!module) return;
  Registry& r = GetRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = std::find(r.loaded.begin(), r.loaded.end(), static_cast<LoadedModule*>(module));
  if (it == r.loaded.end()) return;  // not ours: nothing to release
  delete *it;
  r.loaded.erase(it);
}

intptr_t DialogBoxFromTemplate(ModuleHandle, const void*, void*, void*, intptr_t) {
  SetLastError(kErrorCallNotImplemented);
  return -1;
}

intptr_t DialogBoxFromResource(ModuleHandle, const ZoChar*, void*, void*, intptr_t) {
  SetLastError(kErrorCallNotImplemented);
  return -1;
}

}  // namespace plat
