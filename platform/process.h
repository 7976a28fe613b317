// Starting another program and waiting for it to end (the installer's setup
// program).
//
// Contracts:
// - The program is started directly from `path`: no shell, no search of PATH,
//   no working folder of its own (it inherits the caller's current folder), and
//   the caller's standard handles. The call returns when the program has ended.
// - Windows hands `parameterText` as it stands to the program (ShellExecuteExW
//   with SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI, the default verb, no
//   owner, no working folder, SW_SHOW); `arguments` is not used there. The
//   program splits the text by its own rules, as every Windows program does.
// - POSIX gives the program `arguments` as its argument list, each item exactly
//   as it stands (argv[0] is `path`); `parameterText` is not used there. The
//   caller splits the text with its own word rules so that both systems read
//   one parameter text the same way.
// - A program that cannot be started gives false with the thread's last error
//   set (platform/errors.h): kErrorFileNotFound, kErrorPathNotFound,
//   kErrorAccessDenied (also a file that is not executable), kErrorNotEnoughMemory,
//   kErrorBadExeFormat (POSIX: a file the system cannot run), ... On POSIX a
//   failed start is reported by the start itself, never as an exit code of the
//   child.
// - *exitCode (when not null) receives the program's exit code; a POSIX program
//   ended by a signal reports 128 plus the signal number, as shells do. It is 0
//   when the system gives no process to wait for (a Windows start handed to an
//   already running program).
#pragma once
#include <cstdint>
#include <vector>

#include "platform/text.h"
#include "platform/types.h"

namespace plat {

bool RunProgramAndWait(const ZoChar* path, const ZoChar* parameterText, const std::vector<String16>& arguments,
                       uint32_t* exitCode);

}  // namespace plat
