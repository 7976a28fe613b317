// UTF-16 text helpers and the one UTF-8 <-> UTF-16 conversion of the system.
// Pure functions with no OS dependency; the POSIX back end uses the conversion at
// the system-call boundary, the tools at the terminal.
#pragma once
#include <string>
#include <string_view>
#include <vector>
#include "platform/types.h"

namespace plat {

using String16 = std::u16string;
using StringView16 = std::u16string_view;

// Length of a terminated UTF-16 string (0 for null).
size_t Length(const ZoChar* s);
// Length within a capacity: the index of the terminator, or `capacity` when none
// lies within the first `capacity` units.
size_t BoundedLength(const ZoChar* s, size_t capacity);

// Copy with truncation: copies at most capacity - 1 units and always terminates
// (nothing is written when capacity is 0). Returns the number of units copied.
size_t CopyTruncated(ZoChar* out, size_t capacity, const ZoChar* in);
size_t CopyTruncated(ZoChar* out, size_t capacity, StringView16 in);

// ASCII-only case folding (A-Z), as the archive format and the Windows
// shell compare names; other units compare as they are.
inline ZoChar FoldAscii(ZoChar c) { return (c >= u'A' && c <= u'Z') ? static_cast<ZoChar>(c + 32) : c; }
int CompareNoCase(StringView16 a, StringView16 b);
bool EqualsNoCase(StringView16 a, StringView16 b);

// UTF-8 <-> UTF-16. Invalid input (unpaired surrogates, bad UTF-8 sequences)
// becomes U+FFFD; the functions never fail otherwise.
std::string ToUtf8(StringView16 text);
String16 FromUtf8(std::string_view text);
// Strict form: false on input that does not round-trip (a POSIX file name that is
// not valid UTF-8 cannot be stored faithfully).
bool FromUtf8Strict(std::string_view text, String16* out);

// Bytes of the UTF-8 character that starts at `text`: its lead byte and the
// continuation bytes that follow, at most as many as the lead announces and at
// most `available`. A stray byte counts alone, so a scan always advances and an
// ASCII byte (a separator) is never swallowed. 0 only when available is 0.
size_t Utf8CharLength(const char* text, size_t available);

// One command line from separate arguments, each written in double quotes and
// separated by one space, a double quote inside an argument written as two:
//   {"a b", "", "say \"hi\""} => "a b" "" "say ""hi"""
// The installer's word splitter gives the arguments back exactly (inside quotes
// white space stays and "" is one literal quote).
String16 QuoteCommandLine(const std::vector<String16>& arguments);

// Convenience for literals and tests: ASCII/UTF-8 to UTF-16.
inline String16 U16(std::string_view utf8) { return FromUtf8(utf8); }

}  // namespace plat
