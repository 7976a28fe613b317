// Win32 back end: holds only code valid on every Windows system.
// ShellExecuteExW with the default verb, a process handle to wait for without
// time-out, and the exit code read from it.
#include "platform/process.h"

#include "platform/win32/win32_util.h"

#include <objbase.h>
#include <shellapi.h>

#include "platform/errors.h"

namespace plat {

namespace {

bool StartAndWait(const ZoChar* path, const ZoChar* parameterText, uint32_t* exitCode) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;  // 60 bytes on x86, 112 on x64
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = nullptr;
  info.lpVerb = nullptr;  // the file type's default verb
  info.lpFile = Wide(path);
  info.lpParameters = parameterText ? Wide(parameterText) : nullptr;
  info.lpDirectory = nullptr;  // the program inherits the current folder
  info.nShow = SW_SHOW;
  if (!::ShellExecuteExW(&info)) return false;  // GetLastError is the reason
  // A start handed to a program that is already running gives no process.
  if (!info.hProcess) return true;
  ScopedHandle process(info.hProcess);
  if (::WaitForSingleObject(process.Get(), INFINITE) == WAIT_FAILED) return false;
  DWORD code = 0;
  if (exitCode && ::GetExitCodeProcess(process.Get(), &code)) *exitCode = code;
  return true;
}

}  // namespace

bool RunProgramAndWait(const ZoChar* path, const ZoChar* parameterText, const std::vector<String16>& /*arguments*/,
                       uint32_t* exitCode) {
  if (exitCode) *exitCode = 0;
  if (!path) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  // The shell may hand the start to extensions that need COM on this thread.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const bool started = StartAndWait(path, parameterText, exitCode);
  const DWORD error = ::GetLastError();
  if (SUCCEEDED(com)) ::CoUninitialize();
  ::SetLastError(error);
  return started;
}

}  // namespace plat
