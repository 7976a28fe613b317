// Window geometry over plain rectangles: where ZoWndCenter puts a window, how
// ZoForceRectOntoDesktop pulls a rectangle into an area, and the single-monitor
// fallbacks used when the system has no multi-monitor functions. No window is
// touched here, so every rule is tested on any system.
#pragma once
#include <cstdint>

#include "platform/window.h"

// ZoWndCenter flags: the low 4 bits are the mode.
inline constexpr uint32_t ZO_CENTER_MODE_MASK = 0xF;
inline constexpr uint32_t ZO_CENTER_MODE_REFERENCE = 0;  // any value but 1-3
inline constexpr uint32_t ZO_CENTER_MODE_UPPER_THIRD = 1;
inline constexpr uint32_t ZO_CENTER_MODE_CURSOR = 2;
inline constexpr uint32_t ZO_CENTER_MODE_POINT = 3;
inline constexpr uint32_t ZO_CENTER_CLIENT_AREA = 0x1000;  // the reference's client area
inline constexpr uint32_t ZO_CENTER_ON_PARENT = 0x8000;    // the reference is the parent

// The pseudo handle of the whole primary screen as one monitor.
inline constexpr uintptr_t ZO_PRIMARY_MONITOR_PSEUDO_HANDLE = 0x12340042;

// Where a window of `window`'s size goes. `mode` is flags & 0xF; `anchor` is
// the cursor (mode 2) or the caller's point (mode 3). Mode 1 centres
// horizontally with the top at reference top + height / 3 - window height / 3;
// modes 2 and 3 centre on the anchor; any other mode centres in the reference.
// Divisions truncate toward zero. The size is kept.
plat::Rect ZoCenteredRect(const plat::Rect& window, const plat::Rect& reference, uint32_t mode,
                          plat::Point anchor);

// Moves `rc` (size kept) into `area` less the margins: a left edge left of
// area.left + marginX moves right to it, else a right edge beyond area.right -
// marginX moves left to it; the same vertically.
void ZoClampRectToArea(plat::Rect* rc, const plat::Rect& area, int32_t marginX, int32_t marginY);

// The single-monitor fallbacks, with the screen size given: the pseudo handle
// when a default-to flag (primary or nearest) is given, when the point lies on
// the screen, or when the rectangle reaches into it (right and bottom above 0,
// left and top below the screen size); else null.
plat::MonitorHandle ZoFallbackMonitorFromPoint(plat::Point point, uint32_t flags, plat::Size screen);
plat::MonitorHandle ZoFallbackMonitorFromRect(const plat::Rect& rect, uint32_t flags, plat::Size screen);
// For the pseudo handle only: the screen as monitor, `workArea` as work area,
// the primary flag, and "DISPLAY" when info->size has room for the device name.
// False for any other handle or a size below the plain structure.
bool ZoFallbackMonitorInfo(plat::MonitorHandle monitor, plat::MonitorInfo* info, plat::Size screen,
                           const plat::Rect& workArea);
// The one rectangle the fallback enumeration reports: the screen clipped to the
// device's clip box and to `clip` (each when given). False when nothing is left.
bool ZoFallbackEnumRect(plat::Size screen, const plat::Rect* deviceClip, const plat::Rect* clip, plat::Rect* out);
