// Windows, message boxes, sounds and the folder picker: the user-interface
// services the runtime library needs, behind one interface.
//
// Back ends:
// - Windows: real windows. Message boxes are MessageBoxW (centred on request by
//   a WH_CALLWNDPROC hook of the calling thread), the custom box is a dialog
//   built from an in-memory template, sounds go through sndPlaySoundW (winmm,
//   loaded from the system folder on first use), the folder picker is the
//   shell's folder browser.
// - POSIX: no windows exist. Every window query fails (null, false, an empty
//   rectangle); the screen is 0 x 0. Boxes and the folder picker are a
//   conversation on standard error and standard input (see
//   platform/console_box.h); nothing opens the terminal on its own, so a script
//   or a test can hold both ends through pipes. Sounds are not played.
//
// Geometry (centring, the desktop clamp, the single-monitor fallbacks) is not
// here: it is portable code in the runtime over the plain rectangles below.
#pragma once
#include <cstdint>

#include "platform/results.h"
#include "platform/types.h"

namespace plat {

using WindowHandle = void*;   // HWND on Windows; always null on POSIX
using MonitorHandle = void*;  // HMONITOR, or the runtime's single-monitor pseudo handle
using DeviceContext = void*;  // HDC

// Screen coordinates in pixels; right and bottom are exclusive (as RECT).
struct Point {
  int32_t x = 0;
  int32_t y = 0;
};
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
};
struct Size {
  int32_t cx = 0;
  int32_t cy = 0;
};

// MONITORINFO / MONITORINFOEXW, byte for byte: `size` says how much of the
// structure the caller has (40 without, 104 with the device name).
struct MonitorInfo {
  uint32_t size = 0;
  Rect monitor;
  Rect work;
  uint32_t flags = 0;  // kMonitorPrimary
  ZoChar device[32] = {};
};
inline constexpr uint32_t kMonitorInfoSize = 40;
inline constexpr uint32_t kMonitorInfoExSize = 104;
inline constexpr uint32_t kMonitorPrimary = 1;
// MonitorFromXxx flags.
inline constexpr uint32_t kMonitorDefaultToNull = 0;
inline constexpr uint32_t kMonitorDefaultToPrimary = 1;
inline constexpr uint32_t kMonitorDefaultToNearest = 2;

// --- Window queries. False / null when the window does not exist. ---
WindowHandle GetLastActivePopup(WindowHandle window);
WindowHandle GetParentWindow(WindowHandle window);
bool IsWindowMinimised(WindowHandle window);
// WS_CHILD in the window's style.
bool IsChildWindow(WindowHandle window);
bool GetWindowRectangle(WindowHandle window, Rect* out);
// The rectangle the window has when restored (its placement's normal position).
bool GetRestoredWindowRectangle(WindowHandle window, Rect* out);
// The client area in screen coordinates.
bool GetClientRectangleOnScreen(WindowHandle window, Rect* out);
bool GetCursorPosition(Point* out);
// Moves the window's top-left corner, keeping size and Z order, not activating it.
bool MoveWindowTo(WindowHandle window, int32_t x, int32_t y);
// The primary screen (SM_CXSCREEN, SM_CYSCREEN); 0 x 0 without a screen.
Size GetScreenSize();
// SPI_GETWORKAREA of the primary screen.
bool GetPrimaryWorkArea(Rect* out);
// The clip box of the screen's device context.
bool GetScreenClipBox(Rect* out);
// The clip box of a device context (for monitor enumeration).
bool GetDeviceClipBox(DeviceContext dc, Rect* out);

// --- The system's multi-monitor functions, looked up by name in USER32. ---
// Bits of the functions the system has.
inline constexpr uint32_t kHasEnumDisplayMonitors = 0x01;
inline constexpr uint32_t kHasMonitorFromRect = 0x02;
inline constexpr uint32_t kHasMonitorFromPoint = 0x04;
inline constexpr uint32_t kHasGetMonitorInfo = 0x08;
inline constexpr uint32_t kHasMonitorFromWindow = 0x10;
// Looks the functions up (once; later calls return the same answer). 0 on POSIX.
uint32_t BindSystemMonitorFunctions();
// Each calls the system's function; only valid when its bit was reported.
MonitorHandle SystemMonitorFromRect(const Rect& rect, uint32_t flags);
MonitorHandle SystemMonitorFromPoint(Point point, uint32_t flags);
MonitorHandle SystemMonitorFromWindow(WindowHandle window, uint32_t flags);
bool SystemGetMonitorInfo(MonitorHandle monitor, MonitorInfo* info);
// The callback returns false to stop the enumeration.
using MonitorEnumCallback = bool (*)(MonitorHandle monitor, DeviceContext dc, const Rect& rect, intptr_t data);
bool SystemEnumDisplayMonitors(DeviceContext dc, const Rect* clip, MonitorEnumCallback callback, intptr_t data);

// --- Message boxes. ---
// Called with the box window once it is created, to position it.
using CentreWindowFunction = void (*)(WindowHandle box);

// One button of a box: the result it gives and its label ("&Yes": the character
// after "&" is the mnemonic, "&&" is one "&").
struct BoxButton {
  int32_t id = 0;
  const ZoChar* label = nullptr;
};

// A standard box (MessageBoxW). `buttons` and `defaultIndex` describe the
// buttons of flags & 0xF for the console back end (Windows draws its own).
struct MessageBoxRequest {
  WindowHandle owner = nullptr;
  const ZoChar* text = nullptr;
  const ZoChar* caption = nullptr;
  uint32_t flags = 0;
  const BoxButton* buttons = nullptr;
  int buttonCount = 0;
  int defaultIndex = 0;
  // Null: the box is not moved. Windows: called from the centring hook on the
  // box's WM_CREATE (one hook per thread at a time; a box opened while the
  // thread's hook is installed is not centred).
  CentreWindowFunction centre = nullptr;
};
// The id of the button chosen (0 when the box cannot be shown).
int32_t ShowMessageBox(const MessageBoxRequest& request);

// Icon of a custom box (the icon bits of the message-box flags).
inline constexpr uint32_t kIconStop = 0x10;
inline constexpr uint32_t kIconQuestion = 0x20;
inline constexpr uint32_t kIconExclamation = 0x30;
inline constexpr uint32_t kIconInformation = 0x40;

// Control ids of the custom box.
inline constexpr int kCustomBoxDetailsButton = 200;
inline constexpr int kCustomBoxDetailsText = 201;
inline constexpr int kCustomBoxCheckBox = 300;
inline constexpr int kCustomBoxMessage = 400;
inline constexpr int kCustomBoxIcon = 401;

struct CustomBoxRequest {
  WindowHandle owner = nullptr;
  const ZoChar* caption = nullptr;
  const ZoChar* text = nullptr;
  uint32_t icon = 0;                    // kIcon*, anything else: none
  const BoxButton* buttons = nullptr;   // left to right, at least one
  int buttonCount = 0;
  int defaultIndex = 0;                 // within [0, buttonCount)
  // Cancel (Esc, Close) ends the box with this id; 0: Cancel is ignored and
  // Close is greyed out in the system menu.
  int32_t cancelResult = 0;
  const ZoChar* details = nullptr;      // null: no details section
  const ZoChar* showDetailsLabel = nullptr;
  const ZoChar* hideDetailsLabel = nullptr;
  int32_t* checkState = nullptr;        // null: no check box; in: initial state, out: final
  const ZoChar* checkLabel = nullptr;
  // Console: the check box is asked as a yes/no question with these labels.
  const ZoChar* yesLabel = nullptr;
  const ZoChar* noLabel = nullptr;
  CentreWindowFunction centre = nullptr;  // called once the dialog is laid out
};
// The id of the button chosen; 0 when the box cannot be shown.
int32_t ShowCustomBox(const CustomBoxRequest& request);

// Plays a named system sound asynchronously. False when it cannot be played
// (always on POSIX).
bool PlaySystemSound(const ZoChar* name);

// --- Folder picker. ---
struct FolderRequest {
  WindowHandle owner = nullptr;
  const ZoChar* title = nullptr;
  ZoChar* path = nullptr;   // in: the start folder (no final separator); out: the choice
  uint32_t capacity = 0;    // units, at least ZO_MAX_PATH
  bool startAtPath = false; // false: start at the current directory
  bool rootIsDesktop = false;
  // Called when the typed name is not a folder; the picker then stays open
  // (asks again on the console). `window` is the picker (null on the console).
  void (*reportInvalidName)(WindowHandle window, const ZoChar* typed) = nullptr;
};
// 0 with the chosen folder in `path` (without a final separator), or
// ARC_E_CANCELLED (0x8004E00C) when cancelled, E_FAIL when the selection has no
// file-system path (`path` is then ""), or the COM initialisation's failure.
ZoResult SelectFolder(const FolderRequest& request);

}  // namespace plat

namespace plat {

// --- For hosts without windows of their own, and for tests. ---
// A plain visible top-level window at `rect` (an owner for boxes); null on POSIX.
WindowHandle CreateOwnerWindow(const ZoChar* title, const Rect& rect);
void DestroyOwnerWindow(WindowHandle window);
// The top-level window with exactly this caption (any process of the session); null when none.
WindowHandle FindTopLevelWindow(const ZoChar* caption);
// Saves what the screen shows of `window` as a 24-bit BMP file. False on POSIX.
bool SaveWindowImage(WindowHandle window, const ZoChar* path);

}  // namespace plat
