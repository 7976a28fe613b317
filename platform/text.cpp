// UTF-16 helpers and the UTF-8 <-> UTF-16 conversion; no OS dependency.
#include "platform/text.h"

namespace plat {

size_t Length(const ZoChar* s) {
  if (!s) return 0;
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

size_t BoundedLength(const ZoChar* s, size_t capacity) {
  if (!s) return 0;
  size_t n = 0;
  while (n < capacity && s[n]) ++n;
  return n;
}

size_t CopyTruncated(ZoChar* out, size_t capacity, StringView16 in) {
  if (!out || capacity == 0) return 0;
  size_t n = in.size() < capacity - 1 ? in.size() : capacity - 1;
  for (size_t i = 0; i < n; ++i) out[i] = in[i];
  out[n] = 0;
  return n;
}

size_t CopyTruncated(ZoChar* out, size_t capacity, const ZoChar* in) {
  if (!out || capacity == 0) return 0;
  size_t n = 0;
  if (in) {
    while (n + 1 < capacity && in[n]) {
      out[n] = in[n];
      ++n;
    }
  }
  out[n] = 0;
  return n;
}

int CompareNoCase(StringView16 a, StringView16 b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    ZoChar x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualsNoCase(StringView16 a, StringView16 b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(String16& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<ZoChar>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<ZoChar>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<ZoChar>(0xDC00 + (cp & 0x3FF)));
  }
}

// Decodes one UTF-8 sequence at text[i]; advances i. Returns false for an
// invalid sequence (i then advances by one byte).
bool DecodeUtf8(std::string_view text, size_t& i, char32_t* cp) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    *cp = c;
    ++i;
    return true;
  }
  int extra;
  char32_t value, minimum;
  if ((c & 0xE0) == 0xC0) {
    extra = 1, value = c & 0x1F, minimum = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2, value = c & 0x0F, minimum = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3, value = c & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return false;
  }
  if (i + extra >= text.size()) {
    ++i;
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    unsigned char d = static_cast<unsigned char>(text[i + k]);
    if ((d & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    value = (value << 6) | (d & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += extra + 1;
  *cp = value;
  return true;
}

}  // namespace

std::string ToUtf8(StringView16 text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool FromUtf8Strict(std::string_view text, String16* out) {
  out->clear();
  out->reserve(text.size());
  bool ok = true;
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    if (!DecodeUtf8(text, i, &cp)) {
      ok = false;
      cp = kReplacement;
    }
    AppendUtf16(*out, cp);
  }
  return ok;
}

String16 FromUtf8(std::string_view text) {
  String16 out;
  FromUtf8Strict(text, &out);
  return out;
}

size_t Utf8CharLength(const char* text, size_t available) {
  if (available == 0) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 1;
  if (lead >= 0xF0 && lead < 0xF8) length = 4;
  else if (lead >= 0xE0 && lead < 0xF0) length = 3;
  else if (lead >= 0xC0 && lead < 0xE0) length = 2;
  size_t step = 1;
  while (step < length && step < available && (static_cast<unsigned char>(text[step]) & 0xC0) == 0x80) ++step;
  return step;
}

String16 QuoteCommandLine(const std::vector<String16>& arguments) {
  String16 line;
  for (const String16& argument : arguments) {
    if (!line.empty()) line += u' ';
    line += u'"';
    for (ZoChar c : argument) {
      if (c == u'"') line += u'"';
      line += c;
    }
    line += u'"';
  }
  return line;
}

}  // namespace plat
