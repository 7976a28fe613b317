// POSIX back end: holds only code valid on every POSIX system.
// Terminal queries through isatty/ioctl, Ctrl-C, SIGTERM and SIGHUP through
// sigaction without SA_RESTART (so a blocked call returns), single keys through a
// temporary non-canonical, no-echo termios state that is always restored.
#include "platform/terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace plat {

namespace {

std::atomic<int> gInterruptPending{0};
std::atomic<InterruptCallback> gInterruptCallback{nullptr};
std::atomic<bool> gWatching{false};
// Monotonic time of the pending interrupt, in milliseconds.
std::atomic<long long> gInterruptAtMs{0};
// The file a forced exit deletes: a native path, published by gCleanupReady.
// The handler reads the buffer only while the flag is set, and the program's
// thread clears the flag before it writes the buffer again.
constexpr size_t kCleanupCapacity = 4096;
char gCleanupPath[kCleanupCapacity] = {};
std::atomic<bool> gCleanupReady{false};
// The folder a forced exit removes: its files' native paths first, the folder's
// own last (gFolderPaths[gFolderCount]), published by gFolderReady like the file.
char gFolderPaths[kForcedExitFolderFiles + 1][kCleanupCapacity] = {};
std::atomic<size_t> gFolderCount{0};
std::atomic<bool> gFolderReady{false};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");
static_assert(std::atomic<long long>::is_always_lock_free, "the signal handler needs a lock-free clock");

// clock_gettime is async-signal-safe, so the handler may call this.
long long MonotonicMs() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int DescriptorOf(StandardStream stream) {
  switch (stream) {
    case StandardStream::Input: return STDIN_FILENO;
    case StandardStream::Output: return STDOUT_FILENO;
    case StandardStream::Error: return STDERR_FILENO;
  }
  return -1;
}

extern "C" void HandleInterrupt(int signalNumber) {
  int savedErrno = errno;
  long long now = MonotonicMs();
  if (gInterruptPending.exchange(1) != 0) {
    // One key press can arrive more than once in a burst (a supervisor such as
    // timeout(1) passes it on to the process and to its whole group), so only
    // a repeat that comes later counts as the user's second Ctrl-C. That one
    // ends the process the way the user expects.
    if (now - gInterruptAtMs.load() >= kRepeatedInterruptMs) {
      if (gCleanupReady.load()) unlink(gCleanupPath);  // async-signal-safe
      if (gFolderReady.load()) {
        const size_t files = gFolderCount.load();
        for (size_t i = 0; i < files; ++i) unlink(gFolderPaths[i]);
        rmdir(gFolderPaths[files]);
      }
      signal(signalNumber, SIG_DFL);
      raise(signalNumber);
    }
    errno = savedErrno;
    return;
  }
  gInterruptAtMs.store(now);
  InterruptCallback callback = gInterruptCallback.load();
  if (callback) callback();
  errno = savedErrno;
}

// Decodes the rest of a UTF-8 sequence whose lead byte is `lead`, reading the
// continuation bytes from the terminal. Malformed input gives U+FFFD.
int DecodeKey(unsigned char lead) {
  int extra = 0;
  int code = lead;
  if (lead < 0x80) return lead;
  if ((lead & 0xE0) == 0xC0) { extra = 1; code = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { extra = 2; code = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { extra = 3; code = lead & 0x07; }
  else return 0xFFFD;
  for (int i = 0; i < extra; ++i) {
    unsigned char next = 0;
    ssize_t got = read(STDIN_FILENO, &next, 1);
    if (got != 1 || (next & 0xC0) != 0x80) return 0xFFFD;
    code = (code << 6) | (next & 0x3F);
  }
  return code;
}

}  // namespace

bool IsTerminal(StandardStream stream) { return isatty(DescriptorOf(stream)) == 1; }

int TerminalWidth(StandardStream stream) {
  int fd = DescriptorOf(stream);
  if (isatty(fd) != 1) return 0;
  struct winsize size {};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

bool WriteText(StandardStream stream, std::string_view utf8) {
  if (stream == StandardStream::Input) return false;
  // Once the program is interrupted its results are no longer wanted, and a
  // write to a pipe nobody reads would block past the interrupt; messages on
  // standard error still go out.
  if (stream == StandardStream::Output && InterruptRequested()) return false;
  int fd = DescriptorOf(stream);
  const char* data = utf8.data();
  size_t left = utf8.size();
  while (left > 0) {
    ssize_t wrote = write(fd, data, left);
    if (wrote < 0) {
      if (errno == EINTR && !InterruptRequested()) continue;  // a full pipe must not outlast a cancel
      return false;
    }
    data += wrote;
    left -= static_cast<size_t>(wrote);
    // A signal during a blocked write to a pipe ends it early with the bytes
    // moved so far (not EINTR); going on would block again.
    if (left > 0 && InterruptRequested()) return false;
  }
  return true;
}

bool AttachParentConsole() { return true; }

void WatchInterrupts(InterruptCallback callback) {
  gInterruptCallback.store(callback);
  if (gWatching.exchange(true)) return;
  struct sigaction action {};
  action.sa_handler = HandleInterrupt;
  sigemptyset(&action.sa_mask);
  // One handler at a time, so the flag and its time are set together.
  const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int number : kSignals) sigaddset(&action.sa_mask, number);
  // No SA_RESTART: a blocked call returns EINTR, which the file layer and
  // ReadKey do not retry once the interrupt is pending.
  action.sa_flags = 0;
  for (int number : kSignals) sigaction(number, &action, nullptr);
  // A closed pipe (ach list | head) becomes a failed write, not a dead process.
  signal(SIGPIPE, SIG_IGN);
}

bool InterruptRequested() { return gInterruptPending.load() != 0; }

void ClearInterrupt() { gInterruptPending.store(0); }

void RemoveOnForcedExit(const ZoChar* path) {
  gCleanupReady.store(false);
  if (!path) return;
  std::string native = ToUtf8(StringView16(path, Length(path)));
  if (native.empty() || native.size() >= kCleanupCapacity) return;
  native.copy(gCleanupPath, native.size());
  gCleanupPath[native.size()] = 0;
  gCleanupReady.store(true);
}

bool RemoveFolderOnForcedExit(const ZoChar* folder, const ZoChar* const* names, size_t count) {
  gFolderReady.store(false);
  if (!folder) return true;
  if (count > kForcedExitFolderFiles) return false;
  const std::string native = ToUtf8(StringView16(folder, Length(folder)));
  if (native.empty()) return false;
  const auto put = [](size_t slot, const std::string& path) {
    if (path.size() >= kCleanupCapacity) return false;
    path.copy(gFolderPaths[slot], path.size());
    gFolderPaths[slot][path.size()] = 0;
    return true;
  };
  for (size_t i = 0; i < count; ++i) {
    if (!put(i, native + '/' + ToUtf8(StringView16(names[i], Length(names[i]))))) return false;
  }
  if (!put(count, native)) return false;
  gFolderCount.store(count);
  gFolderReady.store(true);
  return true;
}

int ReadKey() {
  if (isatty(STDIN_FILENO) != 1) return kKeyNotTerminal;
  struct termios saved {};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return kKeyNotTerminal;
  struct termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));  // ISIG stays: Ctrl-C still signals
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  int result = kKeyEndOfInput;
  for (;;) {
    if (InterruptRequested()) {
      result = kKeyInterrupted;
      break;
    }
    unsigned char byte = 0;
    ssize_t got = read(STDIN_FILENO, &byte, 1);
    if (got == 1) {
      result = DecodeKey(byte);
      break;
    }
    if (got < 0 && errno == EINTR) continue;  // the loop head decides
    result = kKeyEndOfInput;
    break;
  }
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return result;
}

int ReadInputByte() {
  for (;;) {
    if (InterruptRequested()) return kKeyInterrupted;
    unsigned char byte = 0;
    const ssize_t got = read(STDIN_FILENO, &byte, 1);
    if (got == 1) return byte;
    if (got < 0 && errno == EINTR) continue;  // the loop head decides
    return kKeyEndOfInput;
  }
}

std::vector<String16> GetCommandLineArguments(int argc, char** argv) {
  std::vector<String16> arguments;
  if (argc <= 0 || !argv) return arguments;
  arguments.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    arguments.push_back(argv[i] ? FromUtf8(argv[i]) : String16());
  }
  return arguments;
}

String16 GetProcessCommandLine(int argc, char** argv) {
  return QuoteCommandLine(GetCommandLineArguments(argc, argv));
}

}  // namespace plat
