// Windows back end: holds only code valid on every Windows system.
#include "platform/win32/windows_wrapper.h"

#include "platform/resources.h"
#include "platform/win32/win32_util.h"

namespace plat {

namespace {

HMODULE ModuleOf(ModuleHandle module) {
  return module ? static_cast<HMODULE>(module) : GetModuleHandleW(nullptr);
}
LPCWSTR W(const ZoChar* s) { return Wide(s); }

bool Load(HMODULE module, HRSRC found, ResourceData* out) {
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) return false;
  const void* data = LockResource(loaded);
  if (!data) return false;
  out->data = data;
  out->size = SizeofResource(module, found);
  return true;
}

}  // namespace

ModuleHandle ExecutableModule() { return GetModuleHandleW(nullptr); }

void RegisterBuiltinResources(const void*, size_t) {}

bool FindResourceForLanguage(ModuleHandle module, const ZoChar* type, const ZoChar* name,
                             uint16_t language, ResourceData* out) {
  *out = ResourceData{};
  HMODULE m = ModuleOf(module);
  return Load(m, FindResourceExW(m, W(type), W(name), language), out);
}

bool FindResourceDefault(ModuleHandle module, const ZoChar* type, const ZoChar* name,
                         ResourceData* out) {
  *out = ResourceData{};
  HMODULE m = ModuleOf(module);
  return Load(m, FindResourceW(m, W(name), W(type)), out);
}

int LoadStringDefault(ModuleHandle module, uint32_t id, ZoChar* out, int capacity) {
  if (!out || capacity <= 0) return 0;
  out[0] = 0;
  const int n = LoadStringW(ModuleOf(module), id, reinterpret_cast<LPWSTR>(out), capacity);
  if (n <= 0) {
    out[0] = 0;
    return 0;
  }
  return n;
}

ModuleHandle LoadResourceModule(const ZoChar* path) {
  if (!path) return nullptr;
  // Data file and image resource: the file is mapped for its resources only and
  // none of its code (no DllMain, no imports) is ever run.
  return LoadLibraryExW(W(path), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

void FreeResourceModule(ModuleHandle module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

intptr_t DialogBoxFromTemplate(ModuleHandle instance, const void* dialogTemplate, void* parent,
                               void* dialogProc, intptr_t param) {
  if (!dialogTemplate) return -1;
  return DialogBoxIndirectParamW(ModuleOf(instance), static_cast<LPCDLGTEMPLATEW>(dialogTemplate),
                                 static_cast<HWND>(parent), reinterpret_cast<DLGPROC>(dialogProc),
                                 static_cast<LPARAM>(param));
}

intptr_t DialogBoxFromResource(ModuleHandle module, const ZoChar* name, void* parent,
                               void* dialogProc, intptr_t param) {
  return DialogBoxParamW(ModuleOf(module), W(name), static_cast<HWND>(parent),
                         reinterpret_cast<DLGPROC>(dialogProc), static_cast<LPARAM>(param));
}

}  // namespace plat
