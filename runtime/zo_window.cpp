// Window helpers: ZoWndCenter, ZoForceRectOntoDesktop, the monitor entry
// points and the folder picker.
#include "runtime/zo_window.h"

#include <atomic>

#include "runtime/zo_kernel.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_path.h"

namespace {

constexpr uint32_t kFolderNameInvalidString = 48344;

// The entry points in use. Each is the system's function or the fallback; they
// are written by the binding (start-up, on the main thread) and only read
// afterwards. The flag is atomic so that a first use on any thread binds safely.
struct MonitorEntryPoints {
  plat::MonitorHandle (*fromRect)(const plat::Rect&, uint32_t) = nullptr;
  plat::MonitorHandle (*fromPoint)(plat::Point, uint32_t) = nullptr;
  plat::MonitorHandle (*fromWindow)(plat::WindowHandle, uint32_t) = nullptr;
  bool (*info)(plat::MonitorHandle, plat::MonitorInfo*) = nullptr;
  bool (*enumerate)(plat::DeviceContext, const plat::Rect*, plat::MonitorEnumCallback, intptr_t) = nullptr;
};
MonitorEntryPoints gMonitors;
std::atomic<bool> gMonitorsBound{false};

plat::MonitorHandle FallbackFromRect(const plat::Rect& rect, uint32_t flags) {
  return ZoFallbackMonitorFromRect(rect, flags, plat::GetScreenSize());
}

plat::MonitorHandle FallbackFromPoint(plat::Point point, uint32_t flags) {
  return ZoFallbackMonitorFromPoint(point, flags, plat::GetScreenSize());
}

plat::MonitorHandle FallbackFromWindow(plat::WindowHandle window, uint32_t flags) {
  plat::Rect rect;
  const bool known = plat::IsWindowMinimised(window) ? plat::GetRestoredWindowRectangle(window, &rect)
                                                     : plat::GetWindowRectangle(window, &rect);
  if (!known) rect = plat::Rect{-1, -1, -1, -1};  // reaches no screen: only a default-to flag answers
  return ZoFallbackMonitorFromRect(rect, flags, plat::GetScreenSize());
}

bool FallbackInfo(plat::MonitorHandle monitor, plat::MonitorInfo* info) {
  const plat::Size screen = plat::GetScreenSize();
  plat::Rect work{0, 0, screen.cx, screen.cy};
  plat::GetPrimaryWorkArea(&work);
  return ZoFallbackMonitorInfo(monitor, info, screen, work);
}

bool FallbackEnumerate(plat::DeviceContext dc, const plat::Rect* clip, plat::MonitorEnumCallback callback,
                       intptr_t data) {
  plat::Rect deviceClip;
  const bool hasDeviceClip = dc && plat::GetDeviceClipBox(dc, &deviceClip);
  plat::Rect rect;
  if (callback && ZoFallbackEnumRect(plat::GetScreenSize(), hasDeviceClip ? &deviceClip : nullptr, clip, &rect)) {
    callback(reinterpret_cast<plat::MonitorHandle>(ZO_PRIMARY_MONITOR_PSEUDO_HANDLE), dc, rect, data);
  }
  return true;
}

const MonitorEntryPoints& Monitors() {
  if (!gMonitorsBound.load(std::memory_order_acquire)) ZoWindow_BindMonitorEntryPoints();
  return gMonitors;
}

plat::Rect ScreenRect() {
  const plat::Size screen = plat::GetScreenSize();
  return plat::Rect{0, 0, screen.cx, screen.cy};
}

// The answer to a typed name that is not a folder, through the message boxes.
void ReportInvalidFolderName(plat::WindowHandle window, const ZoChar* typed) {
  ZoMsgBoxId(ZoKernel_GetLangHandle(), window, 0x30, kFolderNameInvalidString, typed);
}

}  // namespace

void ZoWindow_BindMonitorEntryPoints() {
  const uint32_t present = plat::BindSystemMonitorFunctions();
  MonitorEntryPoints bound;
  bound.fromRect = (present & plat::kHasMonitorFromRect) ? plat::SystemMonitorFromRect : FallbackFromRect;
  bound.fromPoint = (present & plat::kHasMonitorFromPoint) ? plat::SystemMonitorFromPoint : FallbackFromPoint;
  bound.fromWindow = (present & plat::kHasMonitorFromWindow) ? plat::SystemMonitorFromWindow : FallbackFromWindow;
  bound.info = (present & plat::kHasGetMonitorInfo) ? plat::SystemGetMonitorInfo : FallbackInfo;
  bound.enumerate =
      (present & plat::kHasEnumDisplayMonitors) ? plat::SystemEnumDisplayMonitors : FallbackEnumerate;
  // The same values on every call, so a repeated binding never changes what a reader sees.
  if (!gMonitorsBound.load(std::memory_order_acquire)) {
    gMonitors = bound;
    gMonitorsBound.store(true, std::memory_order_release);
  }
}

plat::MonitorHandle ZoMonitorFromRect(const plat::Rect* rect, uint32_t flags) {
  if (!rect) return nullptr;
  return Monitors().fromRect(*rect, flags);
}
plat::MonitorHandle ZoMonitorFromPoint(plat::Point point, uint32_t flags) { return Monitors().fromPoint(point, flags); }
plat::MonitorHandle ZoMonitorFromWindow(plat::WindowHandle window, uint32_t flags) {
  return Monitors().fromWindow(window, flags);
}
bool ZoGetMonitorInfo(plat::MonitorHandle monitor, plat::MonitorInfo* info) {
  if (!info) return false;
  return Monitors().info(monitor, info);
}
bool ZoEnumDisplayMonitors(plat::DeviceContext dc, const plat::Rect* clip, plat::MonitorEnumCallback callback,
                           intptr_t data) {
  return Monitors().enumerate(dc, clip, callback, data);
}

void ZoForceRectOntoDesktop(plat::Rect* rc, int32_t marginX, int32_t marginY) {
  if (!rc) return;
  plat::Rect area;
  plat::MonitorInfo info;
  info.size = plat::kMonitorInfoSize;
  const plat::MonitorHandle monitor = ZoMonitorFromRect(rc, plat::kMonitorDefaultToPrimary);
  if (monitor && ZoGetMonitorInfo(monitor, &info)) {
    area = info.work;
  } else if (!plat::GetScreenClipBox(&area)) {
    return;
  }
  ZoClampRectToArea(rc, area, marginX, marginY);
}

bool ZoWndCenter(plat::WindowHandle wnd, plat::WindowHandle reference, const plat::Point* point, uint32_t flags) {
  plat::Rect window;
  if (!plat::GetWindowRectangle(wnd, &window)) return false;
  bool onParent = false;
  if (flags & ZO_CENTER_ON_PARENT) {
    reference = plat::GetParentWindow(wnd);
    if (reference && plat::IsWindowMinimised(reference)) reference = nullptr;
    onParent = reference != nullptr;
  }
  plat::Rect area = ScreenRect();
  if (reference) {
    const bool got = (flags & ZO_CENTER_CLIENT_AREA) ? plat::GetClientRectangleOnScreen(reference, &area)
                                                     : plat::GetWindowRectangle(reference, &area);
    if (!got) area = ScreenRect();
  }
  uint32_t mode = flags & ZO_CENTER_MODE_MASK;
  plat::Point anchor;
  if (mode == ZO_CENTER_MODE_CURSOR && !plat::GetCursorPosition(&anchor)) mode = ZO_CENTER_MODE_REFERENCE;
  if (mode == ZO_CENTER_MODE_POINT) {
    if (point) {
      anchor = *point;
    } else {
      mode = ZO_CENTER_MODE_REFERENCE;
    }
  }
  plat::Rect placed = ZoCenteredRect(window, area, mode, anchor);
  if (onParent && plat::IsChildWindow(wnd)) {
    placed = plat::Rect{placed.left - area.left, placed.top - area.top, placed.right - area.left,
                        placed.bottom - area.top};
  }
  ZoForceRectOntoDesktop(&placed, 0, 0);
  return plat::MoveWindowTo(wnd, placed.left, placed.top);
}

ZoResult ZoSelectDirectoryDlgEx(plat::WindowHandle owner, const ZoChar* title, ZoChar* path, uint32_t cchPath,
                                bool startAtPath, bool rootIsDesktop) {
  if (!path) return E_INVALIDARG;
  const int capacity = cchPath > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(cchPath);
  ZoRemoveSlashFromPathNameEnd(path, capacity);
  if (cchPath < static_cast<uint32_t>(ZO_MAX_PATH)) return E_INVALIDARG;
  plat::FolderRequest request;
  request.owner = owner;
  request.title = title;
  request.path = path;
  request.capacity = cchPath;
  request.startAtPath = startAtPath;
  request.rootIsDesktop = rootIsDesktop;
  request.reportInvalidName = ReportInvalidFolderName;
  const ZoResult result = plat::SelectFolder(request);
  if (result == S_OK) ZoAddSlashToPathName(path, capacity);
  return result;
}
