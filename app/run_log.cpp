// The run's log (see run_log.h).
#include "app/run_log.h"

#include <cstdarg>
#include <string>

#include "platform/file.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/time.h"
#include "runtime/zo_printf.h"

namespace {

constexpr size_t kLineCapacity = 4096;

struct Log {
  plat::Mutex lock;
  plat::File file;
};

Log& TheLog() {
  static Log log;
  return log;
}

// "YYYY-MM-DD hh:mm:ss.mmm " of the current UTC time.
void TimeStamp(ZoChar* out, size_t capacity) {
  plat::SystemTime time;
  if (!plat::FileTimeToSystemTime(plat::Now(), &time)) {
    ZoPrintFEx(out, capacity, u"");
    return;
  }
  ZoPrintFEx(out, capacity, u"%04d-%02d-%02d %02d:%02d:%02d.%03d ", time.year, time.month, time.day, time.hour,
             time.minute, time.second, time.milliseconds);
}

void WriteLine(const ZoChar* text) {
  Log& log = TheLog();
  plat::LockGuard guard(log.lock);
  if (!log.file.IsValid()) return;
  ZoChar stamp[32];
  TimeStamp(stamp, 32);
  try {
    std::string line = plat::ToUtf8(plat::String16(stamp) + text);
    line += '\n';
    log.file.Write(line.data(), line.size());
  } catch (const std::bad_alloc&) {
    // A line that cannot be built is left out; the log goes on.
  }
}

}  // namespace

bool RunLog_Open(const ZoChar* path) {
  Log& log = TheLog();
  plat::LockGuard guard(log.lock);
  log.file.Close();
  if (!path || !*path) return false;
  log.file = plat::File::Open(path, plat::Access::Write, plat::kShareRead, plat::Disposition::CreateAlways);
  return log.file.IsValid();
}

bool RunLog_IsOpen() {
  Log& log = TheLog();
  plat::LockGuard guard(log.lock);
  return log.file.IsValid();
}

void RunLog_Write(const ZoChar* format, ...) {
  if (!RunLog_IsOpen()) return;
  ZoChar text[kLineCapacity];
  va_list args;
  va_start(args, format);
  ZoVPrintFEx(text, kLineCapacity, format, args);
  va_end(args);
  WriteLine(text);
}

void RunLog_Step(const ZoChar* step, ZoResult result) {
  if (result < 0) {
    RunLog_Write(u"%s: failed (0x%08x)", step, static_cast<uint32_t>(result));
  } else {
    RunLog_Write(u"%s: ok", step);
  }
}

void RunLog_Close() {
  Log& log = TheLog();
  plat::LockGuard guard(log.lock);
  log.file.Close();
}
