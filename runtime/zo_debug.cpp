// The debug log.
#include "runtime/zo_debug.h"

#include <cstring>
#include <new>
#include <string>

#include "platform/debug_sink.h"
#include "platform/locale.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/thread.h"

namespace {

// The most bytes one write or control call carries, line ending aside.
constexpr size_t kPieceBytes = 639;

struct DebugLog {
  plat::Mutex lock;
  // Device mode: set by the first call, whether or not the log could be opened.
  bool deviceConfigured = false;
  plat::DebugDevice device;
  uint32_t controlCode = 0;
  // Screen mode.
  bool screenConfigured = false;
  int32_t screenLines = 5;
  plat::ScreenBox box;
};

DebugLog& Log() {
  static DebugLog log;
  return log;
}

// "DeviceIoctl": decimal, or hexadecimal after "0x"; a leading '-' negates, as
// the C library's conversion does; reading stops at the first other character.
uint32_t ParseControlCode(const ZoChar* text) {
  const ZoChar* p = text;
  while (*p == u' ' || *p == u'\t') ++p;
  const bool negative = *p == u'-';
  if (*p == u'-' || *p == u'+') ++p;
  uint32_t value = 0;
  if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) {
    for (p += 2;; ++p) {
      uint32_t digit;
      if (*p >= u'0' && *p <= u'9') digit = static_cast<uint32_t>(*p - u'0');
      else if (*p >= u'a' && *p <= u'f') digit = static_cast<uint32_t>(*p - u'a' + 10);
      else if (*p >= u'A' && *p <= u'F') digit = static_cast<uint32_t>(*p - u'A' + 10);
      else break;
      value = value * 16 + digit;
    }
  } else {
    for (; *p >= u'0' && *p <= u'9'; ++p) value = value * 10 + static_cast<uint32_t>(*p - u'0');
  }
  return negative ? 0u - value : value;
}

void ConfigureDevice(DebugLog& log) {
  log.deviceConfigured = true;
  ZoChar path[ZO_MAX_PATH];
  plat::GetUserProfileString(u"Debug", u"LogToFilePath", u"COM1", path, ZO_MAX_PATH);
  log.device = plat::DebugDevice::Open(path);
  ZoChar code[32];
  plat::GetUserProfileString(u"Debug", u"DeviceIoctl", u"0", code, 32);
  log.controlCode = ParseControlCode(code);
}

// The end of the piece that starts at `begin`: at most kPieceBytes further, and
// never inside a character (a piece holds at least one whole character).
size_t PieceEnd(const std::string& bytes, size_t begin) {
  size_t end = begin;
  while (end < bytes.size()) {
    const size_t n = plat::SystemCharLength(bytes.data() + end, bytes.size() - end);
    if (end + n - begin > kPieceBytes && end > begin) break;
    end += n;
  }
  return end;
}

bool WriteToDevice(const ZoChar* text, bool newLine) {
  const std::string bytes = plat::ToSystemCodePage(text ? plat::StringView16(text) : plat::StringView16());
  DebugLog& log = Log();
  plat::LockGuard guard(log.lock);
  if (!log.deviceConfigured) ConfigureDevice(log);
  if (!log.device.IsValid()) return false;
  const char* ending = !newLine ? "" : (log.controlCode ? "\n" : "\r\n");
  bool ok = true;
  size_t begin = 0;
  do {
    const size_t end = PieceEnd(bytes, begin);
    std::string piece = bytes.substr(begin, end - begin);
    if (end == bytes.size()) piece += ending;
    if (!piece.empty()) {
      ok = (log.controlCode ? log.device.Control(log.controlCode, piece.data(), piece.size())
                            : log.device.Write(piece.data(), piece.size())) &&
           ok;
    }
    begin = end;
  } while (begin < bytes.size());
  return ok;
}

bool DrawOnScreen(const char* text, bool newLine) {
  DebugLog& log = Log();
  plat::LockGuard guard(log.lock);
  if (!log.screenConfigured) {
    log.screenConfigured = true;
    log.screenLines = plat::GetUserProfileInt(u"Debug", u"LogToScreenLines", 5);
  }
  return plat::DrawScreenBoxText(&log.box, text ? text : "", text ? std::strlen(text) : 0, newLine,
                                 log.screenLines);
}

}  // namespace

bool ZoDebugString(const void* text, bool newLine, int mode) {
  try {
    if (mode == ZO_DEBUG_TO_DEVICE) return WriteToDevice(static_cast<const ZoChar*>(text), newLine);
    return DrawOnScreen(static_cast<const char*>(text), newLine);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void ZoDebugString_Close() {
  DebugLog& log = Log();
  plat::LockGuard guard(log.lock);
  log.device = plat::DebugDevice();
  log.deviceConfigured = false;
  log.controlCode = 0;
  log.screenConfigured = false;
  log.screenLines = 5;
  log.box = plat::ScreenBox();
}
