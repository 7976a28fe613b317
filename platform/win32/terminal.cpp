// Win32 back end: holds only code valid on every Windows system.
// Console detection through GetConsoleMode, UTF-8 output shown through
// WriteConsoleW on a console, Ctrl-C, Ctrl-Break and the console's close, log-off
// and shut-down events through SetConsoleCtrlHandler (which runs on a system
// thread and cancels the main thread's blocked I/O), single keys through ReadConsoleInputW, and the UTF-16
// command line through CommandLineToArgvW.
#include "platform/terminal.h"

#include "platform/win32/win32_util.h"

#include <shellapi.h>

#include <atomic>
#include <memory>

namespace plat {

namespace {

std::atomic<int> gInterruptPending{0};
std::atomic<InterruptCallback> gInterruptCallback{nullptr};
std::atomic<ULONGLONG> gInterruptAtMs{0};
std::atomic<bool> gWatching{false};
// Set when an interrupt arrives, so that ReadKey can stop waiting for input.
HANDLE gInterruptEvent = nullptr;

HANDLE HandleOf(StandardStream stream) {
  switch (stream) {
    case StandardStream::Input: return GetStdHandle(STD_INPUT_HANDLE);
    case StandardStream::Output: return GetStdHandle(STD_OUTPUT_HANDLE);
    case StandardStream::Error: return GetStdHandle(STD_ERROR_HANDLE);
  }
  return INVALID_HANDLE_VALUE;
}

bool IsConsoleHandle(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// The thread that started the watch (the program's main thread), whose blocked
// synchronous I/O an interrupt cancels.
HANDLE gMainThread = nullptr;
// The file a forced exit deletes, published by gCleanupReady (see RemoveOnForcedExit).
wchar_t gCleanupPath[32768] = {};
std::atomic<bool> gCleanupReady{false};
// The folder a forced exit removes: its files first, the folder's own path last
// (gFolderPaths[gFolderCount]), published by gFolderReady like the file.
constexpr size_t kFolderPathCapacity = 1024;
wchar_t gFolderPaths[kForcedExitFolderFiles + 1][kFolderPathCapacity] = {};
std::atomic<size_t> gFolderCount{0};
std::atomic<bool> gFolderReady{false};

// CancelSynchronousIo exists from Windows Vista on; looked up at run time so the
// program still starts where it is missing (a blocked call then stays blocked
// until the second interrupt).
void CancelMainThreadIo() {
  using CancelFunction = BOOL(WINAPI*)(HANDLE);
  static const CancelFunction cancel = reinterpret_cast<CancelFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CancelSynchronousIo")));
  if (cancel && gMainThread) cancel(gMainThread);
}

BOOL WINAPI HandleConsoleControl(DWORD type) {
  const bool closing = type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && !closing) return FALSE;
  ULONGLONG now = GetTickCount64();
  if (gInterruptPending.exchange(1) != 0) {
    // A repeat within the burst of the first is the same interrupt; a later
    // one is the user's second Ctrl-C, and default handling ends the process.
    if (now - gInterruptAtMs.load() < static_cast<ULONGLONG>(kRepeatedInterruptMs)) return TRUE;
    // Deleting succeeds when nothing holds the file open without delete sharing;
    // otherwise the file stays (the process ends all the same).
    if (gCleanupReady.load()) DeleteFileW(gCleanupPath);
    if (gFolderReady.load()) {
      const size_t files = gFolderCount.load();
      for (size_t i = 0; i < files; ++i) DeleteFileW(gFolderPaths[i]);
      RemoveDirectoryW(gFolderPaths[files]);
    }
    return FALSE;
  }
  gInterruptAtMs.store(now);
  InterruptCallback callback = gInterruptCallback.load();
  if (callback) callback();
  if (gInterruptEvent) SetEvent(gInterruptEvent);
  CancelMainThreadIo();
  if (closing) {
    // Returning from these ends the process at once; waiting here gives the
    // program's thread the time the system allows to cancel and clean up. The
    // program's exit ends this thread.
    Sleep(30000);
  }
  return TRUE;
}

}  // namespace

bool IsTerminal(StandardStream stream) { return IsConsoleHandle(HandleOf(stream)); }

int TerminalWidth(StandardStream stream) {
  HANDLE handle = HandleOf(stream);
  if (stream == StandardStream::Input || !IsConsoleHandle(handle)) return 0;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

bool WriteText(StandardStream stream, std::string_view utf8) {
  if (stream == StandardStream::Input) return false;
  // Once the program is interrupted its results are no longer wanted.
  if (stream == StandardStream::Output && InterruptRequested()) return false;
  HANDLE handle = HandleOf(stream);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (IsConsoleHandle(handle)) {
    String16 wide = FromUtf8(utf8);
    const wchar_t* data = Wide(wide.c_str());
    size_t left = wide.size();
    while (left > 0) {
      DWORD chunk = left > 8192 ? 8192 : static_cast<DWORD>(left);
      DWORD wrote = 0;
      if (!WriteConsoleW(handle, data, chunk, &wrote, nullptr) || wrote == 0) return false;
      data += wrote;
      left -= wrote;
    }
    return true;
  }
  const char* data = utf8.data();
  size_t left = utf8.size();
  while (left > 0) {
    DWORD chunk = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
    DWORD wrote = 0;
    if (!WriteFile(handle, data, chunk, &wrote, nullptr) || wrote == 0) return false;
    data += wrote;
    left -= wrote;
  }
  return true;
}

bool AttachParentConsole() {
  const DWORD kinds[2] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  bool missing = false;
  for (DWORD kind : kinds) {
    const HANDLE handle = GetStdHandle(kind);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) missing = true;
  }
  if (!missing) return true;
  // A GUI program gets no console; the parent's, when it has one, is attached
  // and opened for the streams it did not hand over.
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) return false;
  bool any = false;
  for (DWORD kind : kinds) {
    const HANDLE handle = GetStdHandle(kind);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
      any = true;
      continue;
    }
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE && SetStdHandle(kind, console)) any = true;
  }
  return any;
}

void WatchInterrupts(InterruptCallback callback) {
  gInterruptCallback.store(callback);
  if (gWatching.exchange(true)) return;
  gInterruptEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, GetCurrentThread(), self, &gMainThread, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    gMainThread = nullptr;
  }
  SetConsoleCtrlHandler(HandleConsoleControl, TRUE);
}

bool InterruptRequested() { return gInterruptPending.load() != 0; }

void ClearInterrupt() {
  gInterruptPending.store(0);
  if (gInterruptEvent) ResetEvent(gInterruptEvent);
}

void RemoveOnForcedExit(const ZoChar* path) {
  gCleanupReady.store(false);
  if (!path) return;
  size_t length = Length(path);
  if (length == 0 || length >= sizeof(gCleanupPath) / sizeof(gCleanupPath[0])) return;
  for (size_t i = 0; i < length; ++i) gCleanupPath[i] = static_cast<wchar_t>(path[i]);
  gCleanupPath[length] = 0;
  gCleanupReady.store(true);
}

bool RemoveFolderOnForcedExit(const ZoChar* folder, const ZoChar* const* names, size_t count) {
  gFolderReady.store(false);
  if (!folder) return true;
  if (count > kForcedExitFolderFiles || !*folder) return false;
  // Writes folder, and "\\name" after it when name is given, into the slot.
  const auto put = [folder](size_t slot, const ZoChar* name) {
    const size_t folderLength = Length(folder);
    const size_t nameLength = name ? Length(name) : 0;
    const size_t total = folderLength + (name ? 1 + nameLength : 0);
    if (total >= kFolderPathCapacity) return false;
    wchar_t* out = gFolderPaths[slot];
    for (size_t i = 0; i < folderLength; ++i) *out++ = static_cast<wchar_t>(folder[i]);
    if (name) {
      *out++ = L'\\';
      for (size_t i = 0; i < nameLength; ++i) *out++ = static_cast<wchar_t>(name[i]);
    }
    *out = 0;
    return true;
  };
  for (size_t i = 0; i < count; ++i) {
    if (!put(i, names[i])) return false;
  }
  if (!put(count, nullptr)) return false;
  gFolderCount.store(count);
  gFolderReady.store(true);
  return true;
}

int ReadKey() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!IsConsoleHandle(input)) return kKeyNotTerminal;
  for (;;) {
    if (InterruptRequested()) return kKeyInterrupted;
    HANDLE waits[2] = {input, gInterruptEvent};
    DWORD count = gInterruptEvent ? 2 : 1;
    DWORD woke = WaitForMultipleObjects(count, waits, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0 + 1) return kKeyInterrupted;
    if (woke != WAIT_OBJECT_0) return kKeyEndOfInput;
    INPUT_RECORD record{};
    DWORD got = 0;
    if (!ReadConsoleInputW(input, &record, 1, &got)) return kKeyEndOfInput;
    if (got != 1 || record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
    wchar_t unit = record.Event.KeyEvent.uChar.UnicodeChar;
    if (unit == 0) continue;  // shift, arrows and other keys without a character
    if (unit >= 0xD800 && unit <= 0xDFFF) return 0xFFFD;
    return static_cast<int>(unit);
  }
}

int ReadInputByte() {
  if (InterruptRequested()) return kKeyInterrupted;
  unsigned char byte = 0;
  DWORD got = 0;
  // An interrupt cancels the main thread's blocked read (see the watch above).
  const BOOL ok = ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr);
  if (InterruptRequested()) return kKeyInterrupted;
  if (!ok || got != 1) return kKeyEndOfInput;
  return byte;
}

std::vector<String16> GetCommandLineArguments(int, char**) {
  std::vector<String16> arguments;
  int count = 0;
  // The list is one LocalAlloc block; the guard frees it on every path,
  // including a bad_alloc from the vector, which the caller catches.
  struct ListFree {
    void operator()(LPWSTR* list) const { LocalFree(list); }
  };
  std::unique_ptr<LPWSTR, ListFree> list(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!list) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(Zo(list.get()[i]));
  return arguments;
}

String16 GetProcessCommandLine(int, char**) {
  const wchar_t* line = GetCommandLineW();
  return line ? String16(Zo(line)) : String16();
}

}  // namespace plat
