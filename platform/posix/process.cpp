// POSIX back end: holds only code valid on every POSIX system.
// fork and execv (no shell, no PATH search), a close-on-exec pipe that carries a
// failed exec's errno back to the parent, and waitpid.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/posix/posix_util.h"

namespace plat {

namespace {

// Both ends of a pipe, closed on every path.
class Pipe {
 public:
  Pipe() = default;
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  // Both ends close-on-exec: a successful exec closes the child's write end, so
  // the parent reads end of file; a failed one writes its errno first.
  bool Open() {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    read_ = fds[0];
    write_ = fds[1];
    return ::fcntl(read_, F_SETFD, FD_CLOEXEC) == 0 && ::fcntl(write_, F_SETFD, FD_CLOEXEC) == 0;
  }
  int Read() const { return read_; }
  int Write() const { return write_; }
  void CloseRead() {
    if (read_ >= 0) ::close(read_);
    read_ = -1;
  }
  void CloseWrite() {
    if (write_ >= 0) ::close(write_);
    write_ = -1;
  }

 private:
  int read_ = -1;
  int write_ = -1;
};

// The child's side between fork and exec: only async-signal-safe calls, since
// other threads of the parent may have held locks at the fork.
[[noreturn]] void ExecChild(const char* path, char* const* argv, int reportFd) {
  // The program starts with no blocked signals and the default action for a
  // broken pipe (the installer ignores it for its own console writes).
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  signal(SIGPIPE, SIG_DFL);
  ::execv(path, argv);
  const int error = errno;
  ssize_t written;
  do {
    written = ::write(reportFd, &error, sizeof error);
  } while (written < 0 && errno == EINTR);
  _exit(127);
}

}  // namespace

bool RunProgramAndWait(const ZoChar* path, const ZoChar* /*parameterText*/, const std::vector<String16>& arguments,
                       uint32_t* exitCode) {
  if (exitCode) *exitCode = 0;
  std::string nativePath;
  if (!ToNativePath(path, &nativePath)) return false;
  if (nativePath.empty()) {
    SetLastError(kErrorFileNotFound);
    return false;
  }
  // Everything the child needs is prepared before the fork.
  std::vector<std::string> nativeArguments;
  std::vector<char*> argv;
  try {
    nativeArguments.reserve(arguments.size() + 1);
    nativeArguments.push_back(nativePath);
    for (const String16& argument : arguments) {
      // A unit 0 would silently cut the argument at the system call.
      if (argument.find(u'\0') != String16::npos) {
        SetLastError(kErrorInvalidParameter);
        return false;
      }
      nativeArguments.push_back(ToUtf8(argument));
    }
    argv.reserve(nativeArguments.size() + 1);
    for (std::string& argument : nativeArguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }

  Pipe report;
  if (!report.Open()) {
    SetLastErrorFromErrno();
    return false;
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    SetLastErrorFromErrno();
    return false;
  }
  if (pid == 0) ExecChild(nativePath.c_str(), argv.data(), report.Write());
  report.CloseWrite();

  // Either the errno of a failed exec or end of file after a successful one.
  int childError = 0;
  size_t got = 0;
  while (got < sizeof childError) {
    const ssize_t n = ::read(report.Read(), reinterpret_cast<char*>(&childError) + got, sizeof childError - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  report.CloseRead();

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      SetLastErrorFromErrno();
      return false;
    }
  }
  if (got == sizeof childError) {
    errno = childError;
    SetLastErrorFromErrnoAt(nativePath);
    return false;
  }
  if (exitCode) {
    if (WIFEXITED(status)) {
      *exitCode = static_cast<uint32_t>(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
      *exitCode = 128u + static_cast<uint32_t>(WTERMSIG(status));
    }
  }
  return true;
}

}  // namespace plat
