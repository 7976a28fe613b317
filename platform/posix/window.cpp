// POSIX back end: holds only code valid on every POSIX system.
// There are no windows: window queries fail, the screen is empty, sounds are
// not played. Boxes and the folder picker talk on standard error and standard
// input (platform/console_box.h); the terminal is never opened on its own.
#include "platform/window.h"

#include "platform/console_box.h"
#include "platform/terminal.h"

namespace plat {

WindowHandle GetLastActivePopup(WindowHandle) { return nullptr; }
WindowHandle GetParentWindow(WindowHandle) { return nullptr; }
bool IsWindowMinimised(WindowHandle) { return false; }
bool IsChildWindow(WindowHandle) { return false; }
bool GetWindowRectangle(WindowHandle, Rect*) { return false; }
bool GetRestoredWindowRectangle(WindowHandle, Rect*) { return false; }
bool GetClientRectangleOnScreen(WindowHandle, Rect*) { return false; }
bool GetCursorPosition(Point*) { return false; }
bool MoveWindowTo(WindowHandle, int32_t, int32_t) { return false; }
Size GetScreenSize() { return Size{}; }
bool GetPrimaryWorkArea(Rect*) { return false; }
bool GetScreenClipBox(Rect*) { return false; }
bool GetDeviceClipBox(DeviceContext, Rect*) { return false; }

uint32_t BindSystemMonitorFunctions() { return 0; }
MonitorHandle SystemMonitorFromRect(const Rect&, uint32_t) { return nullptr; }
MonitorHandle SystemMonitorFromPoint(Point, uint32_t) { return nullptr; }
MonitorHandle SystemMonitorFromWindow(WindowHandle, uint32_t) { return nullptr; }
bool SystemGetMonitorInfo(MonitorHandle, MonitorInfo*) { return false; }
bool SystemEnumDisplayMonitors(DeviceContext, const Rect*, MonitorEnumCallback, intptr_t) { return false; }

int32_t ShowMessageBox(const MessageBoxRequest& request) {
  return RunConsoleMessageBox(request, StandardConsole());
}

int32_t ShowCustomBox(const CustomBoxRequest& request) { return RunConsoleCustomBox(request, StandardConsole()); }

bool PlaySystemSound(const ZoChar*) { return false; }

ZoResult SelectFolder(const FolderRequest& request) { return RunConsoleFolderPrompt(request, StandardConsole()); }

}  // namespace plat

namespace plat {

WindowHandle CreateOwnerWindow(const ZoChar*, const Rect&) { return nullptr; }
void DestroyOwnerWindow(WindowHandle) {}
WindowHandle FindTopLevelWindow(const ZoChar*) { return nullptr; }
bool SaveWindowImage(WindowHandle, const ZoChar*) { return false; }

}  // namespace plat
