// The Windows wildcard match of directory listings, shared by both back ends:
// the POSIX lister filters with it, and callers use it to match names the
// same way on every OS.
#include "platform/directory.h"

namespace plat {

namespace {

// Windows-style wildcard match: '*' any run, '?' one unit, ASCII case folded.
bool Match(StringView16 p, StringView16 n) {
  size_t pi = 0, ni = 0, starP = StringView16::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == u'?' || FoldAscii(p[pi]) == FoldAscii(n[ni]))) {
      ++pi, ++ni;
    } else if (pi < p.size() && p[pi] == u'*') {
      starP = pi++;
      starN = ni;
    } else if (starP != StringView16::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == u'*') ++pi;
  // "name.*" matches "name" (a final ".*" may match an empty extension), as on Windows.
  if (pi + 2 == p.size() && p[pi] == u'.' && p[pi + 1] == u'*') return true;
  return pi == p.size();
}

}  // namespace

bool MatchesSystemPattern(StringView16 pattern, StringView16 name) {
  if (pattern == u"*" || pattern == u"*.*") return true;
  return Match(pattern, name);
}

}  // namespace plat
