// Language handles: the lookup rule, the string cache with stable pointers, the
// scratch ring, and the stored language preference.
#include "runtime/zo_lang.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/locale.h"
#include "platform/profile.h"
#include "platform/resources.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_list.h"
#include "runtime/zo_path.h"
#include "runtime/zo_printf.h"

struct ZoLangRecord {
  plat::ModuleHandle mainModule = nullptr;  // never released by the handle
  uint32_t lockInitialised = 0;
  plat::Mutex lock;  // guards the string cache and the ring
  uint32_t ringSize = 0;
  uint32_t ringReserve = 1024;  // the ring wraps when the position passes ringSize - ringReserve
  uint32_t ringPosition = 0;
  std::unique_ptr<ZoChar[]> ring;
  uint32_t useLanguageModule = 0;
  plat::ModuleHandle languageModule = nullptr;
  uint32_t language = 0;  // LCID; its low 16 bits are the LANGID of language-specific lookups
  uint32_t reserved = 0;
  ZoList* stringCache = nullptr;  // owned blocks: 32-bit id, then the terminated text; sorted by id
  plat::ModuleHandle ownedLanguageModule = nullptr;  // the module ZoLang_Open loaded, released by Close
};

namespace {

const ZoChar kEmpty[1] = {0};
constexpr int kStringCacheText = 1024;  // units loaded per string, terminator included

int32_t CompareStringId(intptr_t, const void* key, const void* item) {
  const uint32_t a = *static_cast<const uint32_t*>(key);
  uint32_t b;
  std::memcpy(&b, item, sizeof b);
  return a < b ? -1 : (a > b ? 1 : 0);
}

bool LanguageModuleActive(const ZoLangRecord* lang) { return lang && lang->useLanguageModule; }

// The module asked first while the language module is in use. Without one, the
// main module is asked for exactly the handle's language before its ordinary
// lookup, so a non-English language selects that language's table of the main
// module as it does once ZoLang_ChangeLangInst has made the executable the
// language module.
plat::ModuleHandle LookupModule(const ZoLangRecord* lang) {
  return lang->languageModule ? lang->languageModule : lang->mainModule;
}

// The language module beside the main module: same name, extension "LNG".
plat::ModuleHandle LoadLanguageModule(plat::ModuleHandle mainModule) {
  ZoChar path[ZO_MAX_PATH];
  const uint32_t n = ZoGetModuleFileName(mainModule, path, ZO_MAX_PATH);
  if (n == 0 || n >= static_cast<uint32_t>(ZO_MAX_PATH)) return nullptr;
  // The extension of the file name only: a dot in a folder name is not one.
  ZoChar* name = ZoGetFileNamePtrW(path);
  ZoChar* extension = ZoGetFileNameExtensionPtrW(name);
  const size_t at = static_cast<size_t>(extension - path);
  // "name.exe" -> "name.LNG"; a name without extension (POSIX programs) gets one.
  if (at + 4 >= static_cast<size_t>(ZO_MAX_PATH)) return nullptr;
  plat::CopyTruncated(path + at, ZO_MAX_PATH - at, u".LNG");
  return plat::LoadResourceModule(path);
}

void SetLanguage(ZoLangRecord* lang, uint32_t lcid) {
  lang->language = lcid;
  lang->useLanguageModule = ZoLang_IsLCIDEnglish(lcid) ? 0 : 1;
}

}  // namespace

ZoResult ZoLang_Open(HZOLANG* out, plat::ModuleHandle module, uint32_t language, uint32_t ringSize) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  std::unique_ptr<ZoLangRecord> lang;
  try {
    lang.reset(new ZoLangRecord);
    lang->ringSize = ringSize == 0 ? 8192 : (ringSize <= 2048 ? 2048 : ringSize);
    lang->ring.reset(new ZoChar[lang->ringSize]());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  lang->mainModule = module;
  const ZoResult r = ZoList_CreateExZ(&lang->stringCache, 4, 16, 16, ZO_LIST_OWNED | ZO_LIST_ANY_THREAD);
  if (ZoFailed(r)) return r;
  if (language != 0) lang->language = language;
  lang->ownedLanguageModule = LoadLanguageModule(module);
  lang->languageModule = lang->ownedLanguageModule;
  lang->lockInitialised = 1;
  *out = lang.release();
  return S_OK;
}

ZoResult ZoLang_Close(HZOLANG lang) {
  if (!lang) return S_OK;
  lang->lockInitialised = 0;
  if (lang->ownedLanguageModule && lang->ownedLanguageModule != lang->mainModule) {
    plat::FreeResourceModule(lang->ownedLanguageModule);
  }
  ZoList_Destroy(lang->stringCache);
  delete lang;
  return S_OK;
}

bool ZoLang_ChangeLangInst(HZOLANG lang, plat::ModuleHandle module) {
  HZOLANG kernel = ZoKernel_GetLangHandle();
  if (!kernel || !lang) return false;
  if (module) {
    lang->languageModule = module;
    kernel->languageModule = module;
  }
  return true;
}

bool ZoLang_UpdateKernelLCID(HZOLANG lang, uint32_t lcid, uint32_t) {
  HZOLANG kernel = ZoKernel_GetLangHandle();
  if (!kernel || !lang) return false;
  if (lcid == 0) lcid = 1033;
  SetLanguage(lang, lcid);
  SetLanguage(kernel, lcid);
  return true;
}

uint32_t ZoLang_GetLCID(HZOLANG lang) { return lang ? lang->language : 0; }

bool ZoLang_IsLCIDEnglish(uint32_t lcid) { return (lcid & 0x3FF) == 9; }

bool ZoLang_GetLangAbbrev(HZOLANG lang, ZoChar* out, int capacity) {
  if (!lang) return false;
  if (plat::GetLocaleText(lang->language, plat::LocaleField::LanguageAbbreviation, out, capacity) > 0) return true;
  if (out && capacity > 0) out[0] = 0;
  return false;
}

plat::ModuleHandle ZoLang_InstFromLang(HZOLANG lang) {
  if (!lang) return nullptr;
  return LanguageModuleActive(lang) && lang->languageModule ? lang->languageModule : lang->mainModule;
}

bool ZoLang_IsNameOrderReversed(HZOLANG lang) { return lang && lang->language == 1041; }

int ZoLoadString(HZOLANG lang, uint32_t id, ZoChar* out, int capacity) {
  if (!out || capacity <= 0) return 0;
  out[0] = 0;
  int n = 0;
  if (LanguageModuleActive(lang)) {
    plat::ResourceData block;
    if (plat::FindResourceForLanguage(LookupModule(lang), plat::ResourceId(plat::kResourceTypeString),
                                      plat::ResourceId(id / 16 + 1), static_cast<uint16_t>(lang->language & 0xFFFF),
                                      &block)) {
      n = plat::CopyStringFromBlock(block, id % 16, out, capacity);
    }
  }
  if (n == 0) n = plat::LoadStringDefault(lang ? lang->mainModule : nullptr, id, out, capacity);
  if (n >= 2 && out[0] == ZO_UNTRANSLATED_MARKER[0] && out[1] == ZO_UNTRANSLATED_MARKER[1]) {
    std::memmove(out, out + 2, static_cast<size_t>(n - 1) * sizeof(ZoChar));  // the terminator moves too
    n -= 2;
  }
  return n;
}

const ZoChar* ZoGetString(HZOLANG lang, uint32_t id) {
  if (!lang || !lang->stringCache) return kEmpty;
  plat::LockGuard guard(lang->lock);
  ZoList* cache = lang->stringCache;
  const int found = ZoList_FindSortedItemRange(cache, &id, 0, -1, CompareStringId);
  if (found >= 0) {
    return reinterpret_cast<const ZoChar*>(static_cast<const unsigned char*>(ZoList_ItemAt(cache, found)) +
                                           sizeof(uint32_t));
  }
  // Id and text in one block, so that a look-up touches one allocation. The
  // block is 2n + 8 bytes: id, text, terminator and one spare unit, so the
  // buffer it is copied from holds one unit more than the text may fill, zeroed.
  unsigned char item[sizeof(uint32_t) + (kStringCacheText + 1) * sizeof(ZoChar)] = {};
  auto* text = reinterpret_cast<ZoChar*>(item + sizeof(uint32_t));
  const int n = ZoLoadString(lang, id, text, kStringCacheText);
  if (n <= 0) return kEmpty;
  std::memcpy(item, &id, sizeof id);
  const int at = ZoList_FindSortedInsertIndexRange(cache, &id, 0, -1, CompareStringId);
  int insertedAt = -1;
  if (ZoFailed(ZoList_AllocAndInsertItem(cache, item, 2 * n + 8, at, &insertedAt)) || insertedAt < 0) return kEmpty;
  return reinterpret_cast<const ZoChar*>(static_cast<const unsigned char*>(ZoList_ItemAt(cache, insertedAt)) +
                                         sizeof(uint32_t));
}

const void* ZoLoadResourceCustom(HZOLANG lang, const ZoChar* name, const ZoChar* type, uint32_t* size) {
  plat::ResourceData data;
  bool found = false;
  if (LanguageModuleActive(lang)) {
    found = plat::FindResourceForLanguage(LookupModule(lang), type, name,
                                          static_cast<uint16_t>(lang->language & 0xFFFF), &data);
  }
  if (!found) found = plat::FindResourceDefault(lang ? lang->mainModule : nullptr, type, name, &data);
  if (!found) return nullptr;
  if (size) *size = data.size;
  return data.data;
}

plat::ModuleHandle ZoFindResInstance(HZOLANG lang, const ZoChar* name, const ZoChar* type) {
  plat::ResourceData data;
  if (LanguageModuleActive(lang) &&
      plat::FindResourceForLanguage(LookupModule(lang), type, name, static_cast<uint16_t>(lang->language & 0xFFFF),
                                    &data)) {
    return LookupModule(lang);
  }
  return lang ? lang->mainModule : nullptr;
}

intptr_t ZoDialogBoxParam(HZOLANG lang, const ZoChar* name, void* parent, void* dialogProc, intptr_t param) {
  plat::ResourceData data;
  if (LanguageModuleActive(lang) &&
      plat::FindResourceForLanguage(LookupModule(lang), plat::ResourceId(plat::kResourceTypeDialog), name,
                                    static_cast<uint16_t>(lang->language & 0xFFFF), &data)) {
    const intptr_t result = plat::DialogBoxFromTemplate(LookupModule(lang), data.data, parent, dialogProc, param);
    if (result >= 0) return result;
  }
  return plat::DialogBoxFromResource(lang ? lang->mainModule : nullptr, name, parent, dialogProc, param);
}

intptr_t ZoDialogBoxIndirectParam(HZOLANG lang, const void* dialogTemplate, void* parent, void* dialogProc,
                                  intptr_t param) {
  return plat::DialogBoxFromTemplate(lang ? lang->mainModule : nullptr, dialogTemplate, parent, dialogProc, param);
}

ZoChar* ZoGetTempStringBuffer(HZOLANG lang, int length) {
  if (!lang || !lang->ring) return nullptr;
  if (length < 0) length = 0;
  // Every area must lie within the reserve the ring keeps free at its end.
  if (static_cast<uint32_t>(length) > lang->ringReserve) return nullptr;
  plat::LockGuard guard(lang->lock);
  if (lang->ringPosition > lang->ringSize - lang->ringReserve) lang->ringPosition = 0;
  ZoChar* area = lang->ring.get() + lang->ringPosition;
  if (length == 0) area[0] = 0;
  lang->ringPosition = (lang->ringPosition + static_cast<uint32_t>(length) + 2) & ~1u;
  return area;
}

const ZoChar* ZoGetWideFromPrintString(HZOLANG lang, const ZoChar* text) {
  return lang && lang->ring ? text : kEmpty;
}

const ZoChar* ZoGetPrintFromWideString(HZOLANG lang, const ZoChar* text) {
  return lang && lang->ring ? text : kEmpty;
}

namespace {

bool MetricKey(const ZoChar* appName, uint32_t version, ZoChar (&key)[ZO_MAX_PATH]) {
  if (!appName) return false;
  ZoPrintFEx(key, ZO_MAX_PATH, u"Software\\Orvande Media Software\\%s\\%d.%d\\Lang", appName,
             static_cast<int>(version >> 24), static_cast<int>((version >> 16) & 0xFF));
  return true;
}

ZoChar gLangId[4] = u"ENU";

}  // namespace

bool ZoLang_LoadUserLCIDMetric(const ZoChar* appName, uint32_t version, uint32_t* langId) {
  ZoChar key[ZO_MAX_PATH];
  uint32_t value = 0;
  if (!langId || !MetricKey(appName, version, key) || !plat::ReadSettingNumber(key, u"ULangID", &value)) return false;
  *langId = (value & 0x3FF) | 0x400;
  return true;
}

bool ZoLang_SaveUserLCIDMetric(const ZoChar* appName, uint32_t version, uint16_t langId) {
  ZoChar key[ZO_MAX_PATH];
  return MetricKey(appName, version, key) && plat::WriteSettingNumber(key, u"ULangID", langId);
}

int ZoSetLangID(const ZoChar* abbrev) {
  if (!abbrev || !*abbrev) abbrev = u"ENU";
  return static_cast<int>(plat::CopyTruncated(gLangId, 4, abbrev));
}

const ZoChar* ZoGetLangID() { return gLangId; }
