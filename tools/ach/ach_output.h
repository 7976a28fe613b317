// ach's output: UTF-8 text to standard output (buffered) and standard error
// (immediate, after the progress line is cleared), and the text forms of the
// values the tool shows (sizes, times, attributes, result codes).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "platform/types.h"

namespace ach {

// Standard output, buffered until Flush or until the buffer is large. A failed
// write (a closed pipe) is remembered; later writes are dropped.
void Out(std::string_view utf8);
// Text that comes from an archive (names, comments): control characters are
// shown as '?' so that a hostile name cannot drive the terminal; with
// `keepLineBreaks` line feeds and tabs stay (a comment's own lines).
void Out(plat::StringView16 text, bool keepLineBreaks = false);
bool FlushOut();  // false when any write to standard output failed

// One message line on standard error, prefixed with "ach: " and ended with a
// line feed; control characters in it (from names it quotes) show as '?'. The
// progress line, when one is shown, is cleared first.
void ErrorLine(std::string_view utf8);

// The hook through which ErrorLine clears a progress line before writing; the
// progress display registers it.
using ClearLineHook = void (*)();
void SetClearLineHook(ClearLineHook hook);

// UTF-8 text with C0 and C1 control characters and DEL replaced by '?'
// (line feeds and tabs kept when asked).
std::string TerminalSafe(std::string_view utf8, bool keepLineBreaks);

// "1.5 KiB", "12.0 MiB": binary units, one decimal; below 1024 the plain count
// with " B".
std::string FormatByteCount(uint64_t bytes);
// Local time of a FILETIME as "YYYY-MM-DD HH:MM:SS" (the system's time zone);
// "-" for 0 and for values the calendar cannot show.
std::string FormatFileTime(ZoFileTime time);
// The attribute bits as five letters in fixed places, "DRHSA", with '-' for a
// bit that is clear ("----A" for an ordinary file).
std::string FormatAttributes(uint32_t attributes);
// "0x8004E00B (CRC mismatch)": the code in hexadecimal and what it means.
std::string FormatResult(ZoResult result);
// What an error event of the engine means, in a few words.
const char* DescribeErrorEvent(uint32_t code);
// Eight upper-case hexadecimal digits.
std::string FormatHex32(uint32_t value);
// The ratio of packed to unpacked size as "42%" ("-" when size is 0).
std::string FormatRatio(uint64_t packed, uint64_t size);

}  // namespace ach
