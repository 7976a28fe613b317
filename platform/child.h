// Running a piece of this program in a child process, for the tests that prove
// a file survives its writer dying: a file-size limit the system enforces on the
// child, and a child that ends abruptly in the middle of a write.
//
// Contracts:
// - POSIX forks: the child runs `body` with the limit applied (a write past it
//   fails with the disk-full error instead of raising a signal) and ends with
//   body's result; the parent waits and reports how the child ended.
// - Windows cannot run a function of a running program in a new process, so
//   RunInChildProcess reports ChildEnd::Unsupported there and runs nothing.
#pragma once
#include <cstdint>
#include <functional>

namespace plat {

enum class ChildEnd { Unsupported, Exited, Killed };

// Runs `body` in a child process with the file-size limit `fileSizeLimit` in
// bytes (0: none). *code receives the child's exit code, or the number of the
// signal that ended it.
ChildEnd RunInChildProcess(uint64_t fileSizeLimit, const std::function<int()>& body, int* code);

// Ends the calling process at once, as a crash or a kill would: no destructors,
// no buffers flushed, no files closed in order.
[[noreturn]] void EndProcessAbruptly();

}  // namespace plat
