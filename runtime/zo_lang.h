// Language handles: every user-visible resource (strings, dialogs, custom
// resources) is fetched through an HZOLANG.
//
// A handle pairs its main module with an optional language module and a language
// identifier. While the handle's language is not English, a lookup asks the
// language module (the main module when none is set) for the resource in exactly
// that language first and falls back to the main module's ordinary lookup; while
// it is English, the main module's ordinary lookup is used directly.
//
// The handle owns a cache of loaded strings, so that ZoGetString hands out
// pointers that stay valid and unchanged until ZoLang_Close, and a ring of
// scratch text. Both are guarded by the handle's lock: ZoGetString and
// ZoGetTempStringBuffer may be called from any thread. The language fields are
// written only on the main thread before worker threads exist.
//
// Module handles are plat::ModuleHandle (null: the running executable).
#pragma once
#include <cstdint>

#include "platform/paths.h"
#include "platform/results.h"
#include "platform/types.h"

struct ZoLangRecord;
using HZOLANG = ZoLangRecord*;

// The marker of a text not yet translated; removed when the text is loaded.
inline constexpr ZoChar ZO_UNTRANSLATED_MARKER[] = u"^*";

// Opens a handle on `module`. `language` 0 keeps the language 0 (the main
// module's ordinary lookup). Ring size in units: 0 -> 8192, 1..2048 -> 2048.
// The language module is the file beside the main module named like it with
// the extension "LNG", loaded for its resources only when present. The module
// it loads is the handle's to release; modules given to ZoLang_ChangeLangInst
// stay the caller's. Returns 0, or E_OUTOFMEMORY (*out stays null).
ZoResult ZoLang_Open(HZOLANG* out, plat::ModuleHandle module, uint32_t language, uint32_t ringSize);
// Null is accepted. Always 0.
ZoResult ZoLang_Close(HZOLANG lang);

// Makes `module` (when not null) the language module of `lang` and of the kernel
// handle. False, with nothing changed, when either handle is missing.
bool ZoLang_ChangeLangInst(HZOLANG lang, plat::ModuleHandle module);
// Sets the language of `lang` and of the kernel handle (0 -> 1033) and turns the
// language module on for a non-English language, off for English. False, with
// nothing changed, when either handle is missing.
bool ZoLang_UpdateKernelLCID(HZOLANG lang, uint32_t lcid, uint32_t reserved = 0);
uint32_t ZoLang_GetLCID(HZOLANG lang);
bool ZoLang_IsLCIDEnglish(uint32_t lcid);
// The three-letter abbreviation ("ENU", "JPN") of the handle's language. False
// (out "") when unknown; false without touching `out` for a null handle.
bool ZoLang_GetLangAbbrev(HZOLANG lang, ZoChar* out, int capacity);
// The module lookups go to first.
plat::ModuleHandle ZoLang_InstFromLang(HZOLANG lang);
// True when the language is Japanese (1041): family name first.
bool ZoLang_IsNameOrderReversed(HZOLANG lang);

// The text of string `id`, cut to capacity - 1 units; returns its length (0 when
// there is no such string; `out` is then ""). The untranslated marker is removed.
int ZoLoadString(HZOLANG lang, uint32_t id, ZoChar* out, int capacity);
// The cached text of string `id`: never null ("" for a missing id, which is not
// cached, so a later call tries again); the same pointer for the same id until
// ZoLang_Close. Texts longer than 1023 units are cut.
const ZoChar* ZoGetString(HZOLANG lang, uint32_t id);

// A custom resource (a picture, a data block): its bytes, read-only, valid while
// the module is loaded; null when absent. `*size` (when not null) receives the
// size in bytes and is written only when the resource was found.
const void* ZoLoadResourceCustom(HZOLANG lang, const ZoChar* name, const ZoChar* type, uint32_t* size);
// The module that holds the resource by the lookup rule: the language module
// when it has it in the handle's language, else the main module.
plat::ModuleHandle ZoFindResInstance(HZOLANG lang, const ZoChar* name, const ZoChar* type);

// Modal dialogs from the template `name` (DialogBoxParamW), by the lookup rule;
// a language module template that cannot be created is retried from the main
// module. `parent` is a window handle and `dialogProc` the caller's DLGPROC,
// both opaque here. -1 when the dialog cannot be created (always on POSIX).
intptr_t ZoDialogBoxParam(HZOLANG lang, const ZoChar* name, void* parent, void* dialogProc, intptr_t param);
// A modal dialog from the caller's template with the main module as instance.
intptr_t ZoDialogBoxIndirectParam(HZOLANG lang, const void* dialogTemplate, void* parent, void* dialogProc,
                                  intptr_t param);

// A scratch area of `length` units (at most 1024) in the handle's ring; null
// without a handle. Areas are not tracked: a later request may reuse an earlier
// area once the ring wraps. A length of 0 hands out an empty text.
ZoChar* ZoGetTempStringBuffer(HZOLANG lang, int length);
// The text unchanged when the handle has a ring, else a static empty text.
const ZoChar* ZoGetWideFromPrintString(HZOLANG lang, const ZoChar* text);
const ZoChar* ZoGetPrintFromWideString(HZOLANG lang, const ZoChar* text);

// Stored language preference of an application version (registry on Windows, the
// user's settings file on POSIX): key "Software\Orvande Media Software\<app>\<major>.<minor>\Lang",
// value "ULangID". Load gives the primary language with the default sublanguage.
bool ZoLang_LoadUserLCIDMetric(const ZoChar* appName, uint32_t version, uint32_t* langId);
bool ZoLang_SaveUserLCIDMetric(const ZoChar* appName, uint32_t version, uint16_t langId);

// The process-wide language abbreviation the help routines use: at most three
// units of `abbrev` ("ENU" for null or ""). Returns its length.
int ZoSetLangID(const ZoChar* abbrev);
const ZoChar* ZoGetLangID();
