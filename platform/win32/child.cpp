// Win32 back end: holds only code valid on every Windows system.
// There is no fork: a function cannot be run in a child process.
#include "platform/win32/windows_wrapper.h"

#include "platform/child.h"

namespace plat {

ChildEnd RunInChildProcess(uint64_t, const std::function<int()>&, int*) { return ChildEnd::Unsupported; }

void EndProcessAbruptly() {
  TerminateProcess(GetCurrentProcess(), 9);
  for (;;) Sleep(INFINITE);  // TerminateProcess on the own process does not return
}

}  // namespace plat
