// Message boxes: every box of the system goes through ZoMessageBox.
//
// On top of the platform's box (platform/window.h: MessageBoxW on Windows, a
// conversation on standard error and standard input on POSIX) this adds a
// default caption and owner registered once (ZoMsgBoxSetAppData), centring on
// the owner, text formatting with the token formatter, and a hook that may
// answer a box without showing it (ZoMsgBoxSetHook, ZoMsgBoxSetNoUIHook). The
// custom box (ZoMsgBox_Custom, ZoMsgBox_CustomEx) adds buttons, a details
// section and a check box.
//
// Threads: the settings are written on the application's thread (the one that
// called ZoMsgBoxSetAppData; only it may set hooks) before other threads use
// boxes, and read without a lock afterwards. Boxes may be shown from any thread.
// The built-in no-UI answerer answers 0 on any thread but the application's,
// at once and without calling its log function: a worker's box in an
// unattended run never waits for a window or for input, and 0 (no button)
// tells the caller nothing was chosen. Console boxes of two threads take turns.
#pragma once
#include <cstdint>

#include "platform/paths.h"
#include "platform/types.h"
#include "platform/window.h"
#include "runtime/zo_lang.h"

// An owner value meaning "no owner", where null means "the application's".
inline const plat::WindowHandle ZO_MSGBOX_NO_OWNER = reinterpret_cast<plat::WindowHandle>(static_cast<intptr_t>(-1));

// Button ids (as MessageBoxW) and the custom box's extra results.
inline constexpr int32_t ZO_IDOK = 1;
inline constexpr int32_t ZO_IDCANCEL = 2;
inline constexpr int32_t ZO_IDABORT = 3;
inline constexpr int32_t ZO_IDRETRY = 4;
inline constexpr int32_t ZO_IDIGNORE = 5;
inline constexpr int32_t ZO_IDYES = 6;
inline constexpr int32_t ZO_IDNO = 7;
inline constexpr int32_t ZO_IDYESTOALL = 100;
inline constexpr int32_t ZO_IDALWAYS = 101;
inline constexpr int32_t ZO_IDNOTOALL = 102;

// Custom box flags beyond the button set (bits 0-3), icon (0x10-0x40) and
// default button (bits 8-11).
inline constexpr uint32_t ZO_MSGBOX_DETAILS = 0xC000;   // both bits: a details section
inline constexpr uint32_t ZO_MSGBOX_CHECKBOX = 0x1000;  // with 0x2000 clear: a check box
inline constexpr uint32_t ZO_MSGBOX_CHECKBOX_VETO = 0x2000;

// A hook: called before a box is shown, with the resolved owner and the caption
// as passed (null: the default). Any answer but -1 is the box's result, and
// nothing is shown.
using ZoMsgBoxHook = int32_t (*)(void* hookData, plat::WindowHandle owner, const ZoChar* text,
                                 const ZoChar* caption, uint32_t flags);
// The no-UI answerer's log: receives each text it answers.
using ZoMsgBoxLogFunction = void (*)(const ZoChar* text);

// Resets all settings (removing any hook), then records the calling thread as
// the application's, `instance`, `appWindow` (may be null) and `appName` (cut
// to 127 units) as the default caption. Returns 1.
int ZoMsgBoxSetAppData(plat::ModuleHandle instance, plat::WindowHandle appWindow, const ZoChar* appName);
// 1, or 0 (nothing changed) when not called on the application's thread. A
// null hook removes the hook.
int ZoMsgBoxSetHook(ZoMsgBoxHook hook, void* hookData);
// Installs the built-in no-UI answerer with `log` (may be null). 1, or 0 off
// the application's thread.
int ZoMsgBoxSetNoUIHook(ZoMsgBoxLogFunction log);
// An observer sees every standard and custom box once it has its answer
// (shown or answered by a hook): its text, the caption as passed (null: the
// default) and flags, and the answer. It may be called on any thread that shows
// a box. A null observer removes it; 1, or 0 off the application's thread.
// ZoMsgBoxSetAppData removes it too.
using ZoMsgBoxObserver = void (*)(const ZoChar* text, const ZoChar* caption, uint32_t flags, int32_t answer);
int ZoMsgBoxSetObserver(ZoMsgBoxObserver observer);

// The no-UI answer for `flags`: the id of the default button of the set (flags
// & 0xF) at the index (flags >> 8) & 0xF, or -1 for an index the set does not
// have. Sets 6-9, 14 and 15 answer 1.
int32_t ZoMsgBox_DefaultAnswer(uint32_t flags);
// The text the no-UI answerer logs for a combination it cannot answer.
inline constexpr ZoChar ZO_MSGBOX_INVALID_TEXT[] =
    u"Invalid Message Box parameter...User intervention is needed!!!!";

// The button id chosen, or the hook's answer. Owner: null -> the last active
// pop-up of the application window (none without one); ZO_MSGBOX_NO_OWNER ->
// none. A null caption is the application name. The box is centred on its owner
// unless the flags are exactly 0x1010 (system-modal stop box).
int32_t ZoMessageBox(plat::WindowHandle owner, const ZoChar* text, const ZoChar* caption, uint32_t flags);
// The format is expanded with the token formatter (2,048 units) when it holds a
// "$" or a "%", else shown as it is; the caption is the application name.
int32_t ZoMsgBox(plat::WindowHandle owner, uint32_t flags, const ZoChar* format, ...);
// As ZoMsgBox with string `id` of `lang` as the format.
int32_t ZoMsgBoxId(HZOLANG lang, plat::WindowHandle owner, uint32_t flags, uint32_t id, ...);

// The custom box; 0 when a required argument is missing (details text with
// ZO_MSGBOX_DETAILS; for the Ex form the check result with ZO_MSGBOX_CHECKBOX).
// `*checkResult` holds the check box's initial state and receives its final one.
int32_t ZoMsgBox_Custom(plat::WindowHandle owner, uint32_t flags, const ZoChar* details, const ZoChar* format, ...);
int32_t ZoMsgBox_CustomEx(plat::WindowHandle owner, uint32_t flags, const ZoChar* details, void* reserved,
                          int32_t* checkResult, const ZoChar* format, ...);

// Plays a system sound asynchronously: 1 "SystemExclamation", 2
// "SystemAsterisk", 3 "SystemQuestion", 4 "Brimwell_DoneProcessing", any other
// "SystemDefault". 1 when played, 0 when not (always 0 on POSIX).
int32_t ZoBeep(uint32_t kind);
