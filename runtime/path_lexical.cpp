// Lexical path rules for both path styles; see path_lexical.h for the mapping.
#include "runtime/path_lexical.h"

#include <new>

namespace zo::lexical {

namespace {

using plat::StringView16;

bool EndsFileNameOrFolder(char32_t c, PathStyle style) {
  return IsSeparator(c, style) || (style == PathStyle::Windows && c == U':');
}

// A copy of path[0 .. n) with a terminator, clamped to the capacity. The caller
// guarantees n + 1 <= capacity. memmove semantics: out may be path.
void CopyPrefix(ZoChar* out, const ZoChar* path, size_t n) {
  if (out != path) {
    for (size_t i = 0; i < n; ++i) out[i] = path[i];
  }
  out[n] = 0;
}

void Empty(ZoChar* out, int capacity) {
  if (out && capacity > 0) out[0] = 0;
}

// Bounded length of an in/out path; false when it is not terminated within capacity.
bool TerminatedLength(const ZoChar* path, int capacity, size_t* length) {
  if (!path || capacity <= 0) return false;
  *length = plat::BoundedLength(path, static_cast<size_t>(capacity));
  return *length < static_cast<size_t>(capacity);
}

}  // namespace

bool IsWhiteSpace(char32_t c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680) return true;
  if (c >= 0x2000 && c <= 0x200A) return true;
  return c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

size_t FileNameOffset(StringView16 path, PathStyle style) {
  for (size_t i = path.size(); i > 0; --i) {
    if (EndsFileNameOrFolder(path[i - 1], style)) return i;
  }
  return 0;
}

size_t FileNameOffset(std::string_view text, PathStyle style, CharLengthFunction charLength) {
  // Separators are ASCII. In UTF-8 an ASCII byte never occurs inside a multibyte
  // character; in a double-byte code page it can (a trail byte 0x5C), which is
  // why the scan steps by whole characters of the text's encoding.
  if (!charLength) charLength = plat::Utf8CharLength;
  size_t result = 0;
  for (size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i]);
    if (EndsFileNameOrFolder(lead, style)) result = i + 1;
    i += charLength(text.data() + i, text.size() - i);
  }
  return result;
}

size_t ExtensionOffset(StringView16 text) {
  size_t dot = text.rfind(u'.');
  if (dot == StringView16::npos) return text.size();
  for (size_t i = dot + 1; i < text.size(); ++i) {
    if (IsWhiteSpace(text[i])) return text.size();
  }
  return dot;
}

size_t ExtensionOffset(std::string_view utf8) {
  size_t dot = utf8.rfind('.');
  if (dot == std::string_view::npos) return utf8.size();
  try {
    plat::String16 tail = plat::FromUtf8(utf8.substr(dot + 1));
    for (char16_t c : tail) {
      if (IsWhiteSpace(c)) return utf8.size();
    }
  } catch (const std::bad_alloc&) {
    return utf8.size();  // cannot inspect it: report no extension
  }
  return dot;
}

size_t RootLength(StringView16 path, PathStyle style) {
  const ZoChar sep = Separator(style);
  if (IsNetworkPath(path, style)) {
    size_t server = path.find(sep, 2);
    if (server == StringView16::npos) return 0;
    size_t share = path.find(sep, server + 1);
    if (share == StringView16::npos) return 0;
    return share + 1;
  }
  size_t first = path.find(sep);
  return first == StringView16::npos ? 0 : first + 1;
}

bool IsNetworkPath(StringView16 path, PathStyle style) {
  return style == PathStyle::Windows && path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\';
}

bool IsCreatableRoot(StringView16 root, PathStyle style) {
  if (style == PathStyle::Posix && root == u"/") return true;
  return root.size() >= 3;
}

size_t DiskQueryFolderLength(StringView16 path, PathStyle style) {
  if (style == PathStyle::Posix) {
    size_t last = path.rfind(u'/');
    return last == StringView16::npos ? 0 : last + 1;
  }
  size_t last = path.find_last_of(u"\\/");
  if (last != StringView16::npos) return last + 1;
  return (path.size() >= 2 && path[1] == u':') ? 2 : 0;
}

size_t SharedTailOffset(StringView16 base, StringView16 path, PathStyle style) {
  size_t shared = 0;
  while (shared < base.size() && shared < path.size() &&
         plat::FoldAscii(base[base.size() - 1 - shared]) == plat::FoldAscii(path[path.size() - 1 - shared])) {
    ++shared;
  }
  // The longest shared tail that starts a whole component in both strings.
  for (size_t j = shared; j > 0; --j) {
    size_t p = path.size() - j, b = base.size() - j;
    bool pathBoundary = p == 0 || IsSeparator(path[p - 1], style);
    bool baseBoundary = b == 0 || IsSeparator(base[b - 1], style);
    if (pathBoundary && baseBoundary) return p;
  }
  return path.size();
}

bool MatchWildCard(StringView16 pattern, StringView16 name) {
  if (pattern == u"*") return true;
  size_t p = 0, n = 0;
  while (n < name.size()) {
    if (p == pattern.size()) return name.substr(n) == u".";
    ZoChar c = pattern[p];
    if (c == u'?') {
      ++p, ++n;
    } else if (c == u'*') {
      // The star takes characters up to the first '.' or the first occurrence of
      // the pattern's next character, and never gives any back.
      bool hasNext = p + 1 < pattern.size();
      ZoChar next = hasNext ? pattern[p + 1] : 0;
      while (n < name.size() && name[n] != u'.' && !(hasNext && name[n] == next)) ++n;
      ++p;
    } else {
      if (c != name[n]) return false;
      ++p, ++n;
    }
  }
  StringView16 rest = pattern.substr(p);
  return rest.empty() || rest[0] == u'*' || rest == u".";
}

// Both measure before they write `out`, so out may be path itself (cut in place).
int GetPathNameFromFilePath(const ZoChar* path, ZoChar* out, int capacity, PathStyle style) {
  size_t folder = path ? FileNameOffset(StringView16(path), style) : 0;
  if (folder > 0 && out && folder + 1 <= static_cast<size_t>(capacity > 0 ? capacity : 0)) {
    CopyPrefix(out, path, folder);
  } else {
    Empty(out, capacity);
  }
  return static_cast<int>(folder);
}

int GetRootPathFromFilePath(const ZoChar* path, ZoChar* out, int capacity, PathStyle style) {
  size_t root = path ? RootLength(StringView16(path), style) : 0;
  if (root > 0 && out && root + 1 <= static_cast<size_t>(capacity > 0 ? capacity : 0)) {
    CopyPrefix(out, path, root);
  } else {
    Empty(out, capacity);
  }
  return static_cast<int>(root);
}

int AddSlashToPathName(ZoChar* path, int capacity, PathStyle style) {
  size_t length;
  if (!TerminatedLength(path, capacity, &length) || length == 0) return 0;
  if (IsSeparator(path[length - 1], style)) return static_cast<int>(length);
  if (length + 2 > static_cast<size_t>(capacity)) return 0;
  path[length] = Separator(style);
  path[length + 1] = 0;
  return static_cast<int>(length + 1);
}

int RemoveSlashFromPathNameEnd(ZoChar* path, int capacity, PathStyle style) {
  size_t length;
  if (!TerminatedLength(path, capacity, &length) || length == 0) return 0;
  if (IsSeparator(path[length - 1], style)) path[--length] = 0;
  return static_cast<int>(length);
}

int AddExtensionToPathName(ZoChar* path, int capacity, const ZoChar* extension, PathStyle style) {
  size_t length;
  if (!TerminatedLength(path, capacity, &length)) return 0;
  if (!extension) return static_cast<int>(length);
  StringView16 whole(path, length);
  size_t file = FileNameOffset(whole, style);
  size_t at = file + ExtensionOffset(whole.substr(file));
  StringView16 wanted(extension);
  if (!wanted.empty() && wanted[0] == u'.') wanted.remove_prefix(1);
  // ".ext" to write; an empty extension removes the old one.
  size_t newLength = wanted.empty() ? 0 : wanted.size() + 1;
  StringView16 old = whole.substr(at);
  if (old.size() == newLength && (newLength == 0 || (old[0] == u'.' && plat::EqualsNoCase(old.substr(1), wanted))))
    return static_cast<int>(length);
  size_t room = static_cast<size_t>(capacity) - 1 - at;  // at <= length < capacity
  size_t write = newLength < room ? newLength : room;
  for (size_t i = 0; i < write; ++i) path[at + i] = i == 0 ? u'.' : wanted[i - 1];
  path[at + write] = 0;
  return static_cast<int>(at + write);
}

int GetFileNameWithoutPathOrExtension(const ZoChar* path, ZoChar* out, int capacity, PathStyle style) {
  if (!out || capacity <= 0) return 0;
  if (!path) {
    out[0] = 0;
    return 0;
  }
  StringView16 whole(path);
  size_t n = plat::CopyTruncated(out, static_cast<size_t>(capacity), whole.substr(FileNameOffset(whole, style)));
  size_t ext = ExtensionOffset(StringView16(out, n));
  out[ext] = 0;
  return static_cast<int>(ext);
}

ZoResult GetBasePathRelative(const ZoChar* base, const ZoChar* path, ZoChar* out, int capacity, PathStyle style) {
  if (!base || !path || !out || capacity <= 0) {
    Empty(out, capacity);
    return E_FAIL;
  }
  size_t prefix = SharedTailOffset(StringView16(base), StringView16(path), style);
  bool addSeparator = prefix > 0 && !IsSeparator(path[prefix - 1], style);
  size_t total = prefix + (addSeparator ? 1 : 0);
  if (total + 1 > static_cast<size_t>(capacity)) {
    out[0] = 0;
    return E_FAIL;
  }
  // out may be path: copying a prefix forwards onto itself is harmless.
  CopyPrefix(out, path, prefix);
  if (addSeparator) {
    out[prefix] = Separator(style);
    out[prefix + 1] = 0;
  }
  return S_OK;
}

ZoResult ReplaceBasePathRelative(const ZoChar* path, const ZoChar* oldBase, const ZoChar* newBase, ZoChar* out,
                                 int capacity) {
  if (!path || !oldBase || !newBase || !out || capacity <= 0) {
    Empty(out, capacity);
    return E_FAIL;
  }
  StringView16 whole(path), from(oldBase), to(newBase);
  if (whole.size() < from.size() || !plat::EqualsNoCase(whole.substr(0, from.size()), from)) {
    out[0] = 0;
    return E_FAIL;
  }
  StringView16 rest = whole.substr(from.size());
  size_t total = to.size() + rest.size();
  if (total > static_cast<size_t>(ZO_MAX_PATH - 1) || total + 1 > static_cast<size_t>(capacity)) {
    out[0] = 0;
    return E_FAIL;
  }
  // Built in a local buffer first: out may be path or newBase.
  ZoChar result[ZO_MAX_PATH];
  for (size_t i = 0; i < to.size(); ++i) result[i] = to[i];
  for (size_t i = 0; i < rest.size(); ++i) result[to.size() + i] = rest[i];
  result[total] = 0;
  plat::CopyTruncated(out, static_cast<size_t>(capacity), StringView16(result, total));
  return S_OK;
}

}  // namespace zo::lexical
