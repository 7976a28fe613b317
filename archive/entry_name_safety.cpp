// Entry-name checks and the join of an entry name to a destination folder.
#include "archive/entry_name_safety.h"

#include <new>

#include "platform/paths.h"
#include "platform/types.h"

namespace arc {

namespace {

bool IsSeparator(ZoChar c) { return c == u'\\' || c == u'/'; }

ZoChar Upper(ZoChar c) { return (c >= u'a' && c <= u'z') ? static_cast<ZoChar>(c - 32) : c; }

bool EqualsUpper(plat::StringView16 text, const char* upper) {
  size_t i = 0;
  for (; upper[i]; ++i) {
    if (i >= text.size() || Upper(text[i]) != static_cast<ZoChar>(upper[i])) return false;
  }
  return i == text.size();
}

// Windows treats these as devices in any folder, whatever follows the first dot.
bool IsReservedDeviceName(plat::StringView16 component) {
  plat::StringView16 stem = component.substr(0, component.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.remove_suffix(1);
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* n : kNames) {
    if (EqualsUpper(stem, n)) return true;
  }
  if (stem.size() == 4 && (EqualsUpper(stem.substr(0, 3), "COM") || EqualsUpper(stem.substr(0, 3), "LPT"))) {
    const ZoChar d = stem[3];
    // Digits, and the superscript digits Windows also maps to devices.
    if ((d >= u'0' && d <= u'9') || d == u'\u00B9' || d == u'\u00B2' || d == u'\u00B3') return true;
  }
  return false;
}

bool IsSafeComponent(plat::StringView16 component) {
  if (component.empty() || component == u"." || component == u"..") return false;
  if (component.back() == u'.' || component.back() == u' ') return false;
  for (ZoChar c : component) {
    if (c < 0x20) return false;  // NUL and control characters
    switch (c) {
      case u'<': case u'>': case u'"': case u'|': case u'?': case u'*': case u':':
        return false;
      default:
        break;
    }
  }
  return !IsReservedDeviceName(component);
}

}  // namespace

bool IsSafeEntryName(plat::StringView16 name, uint64_t storedLength, bool isFolder) {
  if (storedLength > 259 || storedLength != name.size() || name.empty()) return false;
  if (IsSeparator(name[0])) return false;  // absolute, UNC (\\server) and device (\\?\, \\.\) names
  plat::StringView16 rest = name;
  if (isFolder && IsSeparator(rest.back())) rest.remove_suffix(1);
  if (rest.empty()) return false;
  size_t start = 0;
  for (;;) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    if (!IsSafeComponent(rest.substr(start, end - start))) return false;
    if (end == rest.size()) return true;
    start = end + 1;
  }
}

bool JoinEntryPath(plat::StringView16 destination, plat::StringView16 name, bool flat, std::u16string* out,
                   size_t* relativeStart) {
  if (flat) {
    const size_t cut = name.find_last_of(u"\\/:");
    if (cut != plat::StringView16::npos) name = name.substr(cut + 1);
  }
  try {
    out->assign(destination);
    if (out->empty() || (out->back() != plat::kSeparator && out->back() != u'/'))
      out->push_back(plat::kSeparator);
    *relativeStart = out->size();
    for (ZoChar c : name) out->push_back(IsSeparator(c) ? plat::kSeparator : c);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return out->size() <= 259;
}

}  // namespace arc
