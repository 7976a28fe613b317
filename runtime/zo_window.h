// Window helpers: centring a window, keeping a rectangle on the desktop, the
// multi-monitor entry points (the system's, or single-monitor fallbacks), and
// the folder picker. The geometry is in runtime/window_geometry.h; the window
// calls go through platform/window.h (on POSIX no window exists: ZoWndCenter
// fails and the folder picker is a console prompt).
#pragma once
#include <cstdint>

#include "platform/results.h"
#include "platform/types.h"
#include "platform/window.h"
#include "runtime/window_geometry.h"

// Positions `wnd` by `flags` (mode and ZO_CENTER_* flags, runtime/window_geometry.h)
// against `reference` (null: the primary screen; with ZO_CENTER_ON_PARENT the
// parent, or the screen when there is none or it is minimised), keeps it on the
// desktop and moves it without activating it. Mode 3 without a point centres in
// the reference. The result is that of the move (false when `wnd` is no window).
bool ZoWndCenter(plat::WindowHandle wnd, plat::WindowHandle reference, const plat::Point* point, uint32_t flags);

// Moves `rc` (size kept) into the work area of the monitor that holds it (the
// primary one by default), or into the screen's clip box when there is no
// monitor information. Nothing happens when neither is known (POSIX).
void ZoForceRectOntoDesktop(plat::Rect* rc, int32_t marginX, int32_t marginY);

// Binds the multi-monitor entry points below to the system's functions, each
// replaced by its single-monitor fallback when the system lacks it. Start-up
// calls it; until then (and after a second call) the entry points work as well:
// they bind themselves on first use.
void ZoWindow_BindMonitorEntryPoints();
plat::MonitorHandle ZoMonitorFromRect(const plat::Rect* rect, uint32_t flags);
plat::MonitorHandle ZoMonitorFromPoint(plat::Point point, uint32_t flags);
plat::MonitorHandle ZoMonitorFromWindow(plat::WindowHandle window, uint32_t flags);
bool ZoGetMonitorInfo(plat::MonitorHandle monitor, plat::MonitorInfo* info);
bool ZoEnumDisplayMonitors(plat::DeviceContext dc, const plat::Rect* clip, plat::MonitorEnumCallback callback,
                           intptr_t data);

// The folder picker. `path` (cchPath units, at least 260) holds the start
// folder and receives the choice with a final separator. 0 when chosen;
// ARC_E_CANCELLED (0x8004E00C) when cancelled; E_FAIL with `path` "" when the
// selection has no file-system path; E_INVALIDARG for a buffer below 260
// units (nothing is shown). A typed name that is not a folder is answered with
// string 48344 of the kernel language handle, and the picker stays open.
ZoResult ZoSelectDirectoryDlgEx(plat::WindowHandle owner, const ZoChar* title, ZoChar* path, uint32_t cchPath,
                                bool startAtPath, bool rootIsDesktop);
