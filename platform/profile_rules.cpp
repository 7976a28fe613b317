// Portable part of the profile layer: the write rules of profile_rules.h.
#include "platform/profile_rules.h"

namespace plat {

namespace {

bool IsBlank(ZoChar c) { return c == u' ' || c == u'\t'; }

bool HasLineBreak(StringView16 text) { return text.find_first_of(u"\r\n") != StringView16::npos; }

}  // namespace

bool IsWritableProfileEntry(const ZoChar* section, const ZoChar* key, const ZoChar* value) {
  if (!section) return false;
  const StringView16 name(section);
  if (HasLineBreak(name) || name.find(u']') != StringView16::npos) return false;
  if (key) {
    StringView16 k(key);
    if (HasLineBreak(k) || k.find(u'=') != StringView16::npos) return false;
    while (!k.empty() && IsBlank(k.front())) k.remove_prefix(1);
    if (k.empty() || k.front() == u'[' || k.front() == u';') return false;
  }
  return !value || !HasLineBreak(StringView16(value));
}

String16 ProfileValueAsWritten(StringView16 value) {
  if (value.empty()) return String16();
  const bool enclosed =
      value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
  if (enclosed || IsBlank(value.front()) || IsBlank(value.back())) {
    String16 quoted(u"\"");
    quoted.append(value);
    quoted.push_back(u'"');
    return quoted;
  }
  return String16(value);
}

}  // namespace plat
