// POSIX back end: holds only code valid on every POSIX system.
// fork, setrlimit(RLIMIT_FSIZE) and waitpid; SIGKILL for the abrupt end.
#include "platform/child.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace plat {

ChildEnd RunInChildProcess(uint64_t fileSizeLimit, const std::function<int()>& body, int* code) {
  pid_t pid = fork();
  if (pid < 0) return ChildEnd::Unsupported;
  if (pid == 0) {
    if (fileSizeLimit) {
      signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
      struct rlimit limit = {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    _exit(body());
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return ChildEnd::Unsupported;
  }
  if (WIFSIGNALED(status)) {
    *code = WTERMSIG(status);
    return ChildEnd::Killed;
  }
  *code = WEXITSTATUS(status);
  return ChildEnd::Exited;
}

void EndProcessAbruptly() {
  kill(getpid(), SIGKILL);
  _exit(137);  // not reached: SIGKILL cannot be caught
}

}  // namespace plat
