// Window geometry over plain rectangles.
#include "runtime/window_geometry.h"

#include <algorithm>

#include "platform/text.h"

namespace {

plat::MonitorHandle PseudoMonitor() { return reinterpret_cast<plat::MonitorHandle>(ZO_PRIMARY_MONITOR_PSEUDO_HANDLE); }

bool DefaultsToMonitor(uint32_t flags) {
  return (flags & (plat::kMonitorDefaultToPrimary | plat::kMonitorDefaultToNearest)) != 0;
}

plat::Rect Placed(const plat::Rect& window, int32_t x, int32_t y) {
  return plat::Rect{x, y, x + window.Width(), y + window.Height()};
}

bool Intersect(const plat::Rect& a, const plat::Rect& b, plat::Rect* out) {
  out->left = std::max(a.left, b.left);
  out->top = std::max(a.top, b.top);
  out->right = std::min(a.right, b.right);
  out->bottom = std::min(a.bottom, b.bottom);
  return out->left < out->right && out->top < out->bottom;
}

}  // namespace

plat::Rect ZoCenteredRect(const plat::Rect& window, const plat::Rect& reference, uint32_t mode,
                          plat::Point anchor) {
  const int32_t w = window.Width();
  const int32_t h = window.Height();
  switch (mode & ZO_CENTER_MODE_MASK) {
    case ZO_CENTER_MODE_UPPER_THIRD:
      return Placed(window, reference.left + (reference.Width() - w) / 2,
                    reference.top + reference.Height() / 3 - h / 3);
    case ZO_CENTER_MODE_CURSOR:
    case ZO_CENTER_MODE_POINT:
      return Placed(window, anchor.x - w / 2, anchor.y - h / 2);
    default:
      return Placed(window, reference.left + (reference.Width() - w) / 2,
                    reference.top + (reference.Height() - h) / 2);
  }
}

void ZoClampRectToArea(plat::Rect* rc, const plat::Rect& area, int32_t marginX, int32_t marginY) {
  if (!rc) return;
  const int32_t w = rc->Width();
  const int32_t h = rc->Height();
  if (rc->left < area.left + marginX) {
    rc->left = area.left + marginX;
  } else if (rc->right > area.right - marginX) {
    rc->left = area.right - marginX - w;
  }
  rc->right = rc->left + w;
  if (rc->top < area.top + marginY) {
    rc->top = area.top + marginY;
  } else if (rc->bottom > area.bottom - marginY) {
    rc->top = area.bottom - marginY - h;
  }
  rc->bottom = rc->top + h;
}

plat::MonitorHandle ZoFallbackMonitorFromPoint(plat::Point point, uint32_t flags, plat::Size screen) {
  if (DefaultsToMonitor(flags)) return PseudoMonitor();
  if (point.x >= 0 && point.y >= 0 && point.x < screen.cx && point.y < screen.cy) return PseudoMonitor();
  return nullptr;
}

plat::MonitorHandle ZoFallbackMonitorFromRect(const plat::Rect& rect, uint32_t flags, plat::Size screen) {
  if (DefaultsToMonitor(flags)) return PseudoMonitor();
  if (rect.right > 0 && rect.bottom > 0 && rect.left < screen.cx && rect.top < screen.cy) return PseudoMonitor();
  return nullptr;
}

bool ZoFallbackMonitorInfo(plat::MonitorHandle monitor, plat::MonitorInfo* info, plat::Size screen,
                           const plat::Rect& workArea) {
  if (monitor != PseudoMonitor() || !info || info->size < plat::kMonitorInfoSize) return false;
  info->monitor = plat::Rect{0, 0, screen.cx, screen.cy};
  info->work = workArea;
  info->flags = plat::kMonitorPrimary;
  if (info->size >= plat::kMonitorInfoExSize) plat::CopyTruncated(info->device, 32, u"DISPLAY");
  return true;
}

bool ZoFallbackEnumRect(plat::Size screen, const plat::Rect* deviceClip, const plat::Rect* clip, plat::Rect* out) {
  plat::Rect r{0, 0, screen.cx, screen.cy};
  if (deviceClip && !Intersect(r, *deviceClip, &r)) return false;
  if (clip && !Intersect(r, *clip, &r)) return false;
  if (r.left >= r.right || r.top >= r.bottom) return false;
  if (out) *out = r;
  return true;
}
