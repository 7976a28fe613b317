// Lines of standard input over the system's unbuffered byte read: valid code on
// every system (the byte read is the per-system part, platform/*/terminal.cpp).
#include <string>

#include "platform/terminal.h"
#include "platform/text.h"

namespace plat {

InputLine ReadInputLine(String16* line) {
  std::string bytes;
  for (;;) {
    const int c = ReadInputByte();
    if (c == kKeyInterrupted) return InputLine::Interrupted;
    if (c == kKeyEndOfInput) {
      if (bytes.empty()) return InputLine::EndOfInput;
      break;
    }
    if (c == '\n') break;
    bytes += static_cast<char>(c);
  }
  if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  *line = FromUtf8(bytes);
  return InputLine::Line;
}

}  // namespace plat
