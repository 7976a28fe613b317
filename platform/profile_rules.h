// The rules both profile back ends share for what they write: which sections,
// keys and values can be written without making other lines, and the text a
// value is written as so that reading gives it back. Internal to platform/.
#pragma once
#include "platform/text.h"
#include "platform/types.h"

namespace plat {

// False for a section with a line break or ']', a key (when not null) that is
// blank, holds a line break or '=', or starts with '[' or ';', and a value (when
// not null) with a line break.
bool IsWritableProfileEntry(const ZoChar* section, const ZoChar* key, const ZoChar* value);

// `value` as written after "key=": inside double quotes when reading would
// change it (blanks at either end, or one pair of enclosing quotes), else as is.
//   "  a "  =>  "\"  a \""      "'x'"  =>  "\"'x'\""      "a b"  =>  "a b"
String16 ProfileValueAsWritten(StringView16 value);

}  // namespace plat
