// Win32 back end: holds only code valid on every Windows system.
// Console detection through GetConsoleMode, UTF-8 output shown through
// WriteConsoleW on a console, Ctrl-C through SetConsoleCtrlHandler (which runs
// on a system thread), single keys through ReadConsoleInputW, and the UTF-16
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

BOOL WINAPI HandleConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  ULONGLONG now = GetTickCount64();
  if (gInterruptPending.exchange(1) != 0) {
    // A repeat within the burst of the first is the same interrupt; a later
    // one is the user's second Ctrl-C, and default handling ends the process.
    return now - gInterruptAtMs.load() >= static_cast<ULONGLONG>(kRepeatedInterruptMs) ? FALSE : TRUE;
  }
  gInterruptAtMs.store(now);
  InterruptCallback callback = gInterruptCallback.load();
  if (callback) callback();
  if (gInterruptEvent) SetEvent(gInterruptEvent);
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

void WatchInterrupts(InterruptCallback callback) {
  gInterruptCallback.store(callback);
  if (gWatching.exchange(true)) return;
  gInterruptEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(HandleConsoleControl, TRUE);
}

bool InterruptRequested() { return gInterruptPending.load() != 0; }

void ClearInterrupt() {
  gInterruptPending.store(0);
  if (gInterruptEvent) ResetEvent(gInterruptEvent);
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

}  // namespace plat
