// ach's output streams and value formatting. All text reaches the system
// through plat::WriteText, which shows UTF-8 correctly on a Windows console.
#include "tools/ach/ach_output.h"

#include <atomic>
#include <cstdio>

#include "platform/results.h"
#include "platform/terminal.h"
#include "platform/time.h"

namespace ach {

namespace {

constexpr size_t kFlushThreshold = 64 * 1024;

std::string gOutBuffer;
bool gOutFailed = false;
std::atomic<ClearLineHook> gClearLine{nullptr};

}  // namespace

void Out(std::string_view utf8) {
  if (gOutFailed) return;
  gOutBuffer.append(utf8);
  if (gOutBuffer.size() >= kFlushThreshold) FlushOut();
}

void Out(plat::StringView16 text, bool keepLineBreaks) { Out(TerminalSafe(plat::ToUtf8(text), keepLineBreaks)); }

std::string TerminalSafe(std::string_view utf8, bool keepLineBreaks) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(utf8[i]);
    if (keepLineBreaks && (byte == '\n' || byte == '\t')) {
      out.push_back(static_cast<char>(byte));
    } else if (byte < 0x20 || byte == 0x7F) {
      out.push_back('?');
    } else if (byte == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      out.push_back('?');  // a C1 control (U+0080..U+009F), e.g. the one-unit escape introducer
      ++i;
    } else {
      out.push_back(static_cast<char>(byte));
    }
  }
  return out;
}

bool FlushOut() {
  if (!gOutFailed && !gOutBuffer.empty()) {
    if (!plat::WriteText(plat::StandardStream::Output, gOutBuffer)) gOutFailed = true;
  }
  gOutBuffer.clear();
  return !gOutFailed;
}

void ErrorLine(std::string_view utf8) {
  ClearLineHook hook = gClearLine.load();
  if (hook) hook();
  // Standard output first, so that the two streams read in order on one terminal.
  FlushOut();
  std::string line = "ach: ";
  line.append(TerminalSafe(utf8, false));
  line.push_back('\n');
  plat::WriteText(plat::StandardStream::Error, line);
}

void SetClearLineHook(ClearLineHook hook) { gClearLine.store(hook); }

std::string FormatByteCount(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes) / 1024.0;
  size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < sizeof(kUnits) / sizeof(kUnits[0])) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string FormatFileTime(ZoFileTime time) {
  if (time == 0) return "-";
  plat::SystemTime fields;
  if (!plat::FileTimeToSystemTime(plat::UtcToLocal(time), &fields)) return "-";
  char text[48];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", fields.year, fields.month, fields.day,
                fields.hour, fields.minute, fields.second);
  return text;
}

std::string FormatAttributes(uint32_t attributes) {
  std::string text = "-----";
  if (attributes & ZO_ATTR_DIRECTORY) text[0] = 'D';
  if (attributes & ZO_ATTR_READONLY) text[1] = 'R';
  if (attributes & ZO_ATTR_HIDDEN) text[2] = 'H';
  if (attributes & ZO_ATTR_SYSTEM) text[3] = 'S';
  if (attributes & ZO_ATTR_ARCHIVE) text[4] = 'A';
  return text;
}

std::string FormatHex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%08X", static_cast<unsigned>(value));
  return text;
}

std::string FormatRatio(uint64_t packed, uint64_t size) {
  if (size == 0) return "-";
  // Rounded percentage of the unpacked size that the packed bytes take.
  long double percent = static_cast<long double>(packed) * 100.0L / static_cast<long double>(size);
  char text[32];
  std::snprintf(text, sizeof(text), "%.0Lf%%", percent);
  return text;
}

std::string FormatResult(ZoResult result) {
  const char* meaning = "unknown result";
  switch (static_cast<uint32_t>(result)) {
    case 0: meaning = "success"; break;
    case 1: meaning = "nothing done"; break;
    case 0x80004001u: meaning = "not supported"; break;
    case 0x80004005u: meaning = "operation not possible in this state"; break;
    case 0x8007000Eu: meaning = "out of memory"; break;
    case 0x80070057u: meaning = "invalid argument"; break;
    case 0x8004E006u: meaning = "a file could not be opened or created"; break;
    case 0x8004E007u: meaning = "not a self-extracting file"; break;
    case 0x8004E008u: meaning = "read failed"; break;
    case 0x8004E009u: meaning = "write failed or damaged data"; break;
    case 0x8004E00Bu: meaning = "check failed (CRC mismatch, missing volume or empty file)"; break;
    case 0x8004E00Cu: meaning = "cancelled"; break;
    case 0x8004E00Du: meaning = "volume or folder not found"; break;
    case 0x8004E032u: meaning = "file not found"; break;
    case 0x8004E03Cu: meaning = "bad name (unsafe, too short or too long) or buffer too small"; break;
    case 0x8004E0B0u: meaning = "not an archive (bad signature)"; break;
    case 0x8004E0C8u: meaning = "not enough disk space"; break;
    default: break;
  }
  return "0x" + FormatHex32(static_cast<uint32_t>(result)) + " (" + meaning + ")";
}

const char* DescribeErrorEvent(uint32_t code) {
  switch (code) {
    case 0xAAAAAAA0u: return "invalid argument";
    case 0xAAAAAAA1u: return "operation not allowed in this mode";
    case 0xAAAAAAA2u: return "cannot create file";
    case 0xAAAAAAA3u: return "out of memory";
    case 0xAAAAAAA4u: return "cannot open file";
    case 0xAAAAAAA5u: return "bad signature";
    case 0xAAAAAAA6u: return "mismatched file block";
    case 0xAAAAAAA7u: return "buffer too small or name too short";
    case 0xAAAAAAA8u: return "not enough disk space";
    case 0xAAAAAAA9u: return "write failed or damaged data";
    case 0xAAAAAAAAu: return "read failed";
    case 0xAAAAAAABu: return "cannot read the file's time";
    case 0xAAAAAAACu: return "no file matches";
    case 0xAAAAAAADu: return "volume missing";
    case 0xAAAAAAAEu: return "file not found";
    case 0xAAAAAAAFu: return "CRC mismatch";
    case 0xAAAAAAB0u: return "archive not open";
    default: return "error";
  }
}

}  // namespace ach
