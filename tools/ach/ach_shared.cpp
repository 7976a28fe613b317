// Shared pieces of the commands.
#include "tools/ach/ach_shared.h"

#include "platform/terminal.h"
#include "tools/ach/ach_output.h"

namespace ach {

using plat::String16;

bool ShowBar() { return plat::IsTerminal(plat::StandardStream::Error); }

bool CanAsk() {
  return plat::IsTerminal(plat::StandardStream::Input) && plat::IsTerminal(plat::StandardStream::Error);
}

bool OpenArchive(CArchive2& archive, const String16& path, uint32_t mode, ToolProgress& progress) {
  ZoResult result = archive.Open(path.c_str(), mode, &progress);
  if (result < 0) {
    ErrorLine("cannot open " + plat::ToUtf8(path) + ": " + FormatResult(result));
    return false;
  }
  return true;
}

String16 ToEntryName(const String16& typed) {
  String16 name = typed;
  for (ZoChar& c : name) {
    if (c == u'/') c = u'\\';
  }
  return name;
}

bool SelectEntries(CArchive2& archive, const std::vector<String16>& patterns, std::vector<int>* indexes,
                   std::vector<String16>* unmatched) {
  struct Compiled {
    std::u16string part;
    WildcardKind kind = kWildcardExact;
    bool matched = false;
  };
  std::vector<Compiled> compiled;
  for (const String16& pattern : patterns) {
    Compiled one;
    if (archive.CheckForWildcards(pattern.c_str(), one.part, one.kind) < 0) return false;
    compiled.push_back(one);
  }
  int count = archive.GetIndexedEntryCount();
  for (int i = 0; i < count; ++i) {
    ArchiveEntryInfo info;
    if (!archive.GetEntryInfo(i, info)) continue;
    bool selected = false;
    for (Compiled& one : compiled) {
      if (CArchive2::MatchWildcard(info.name.c_str(), one.part, one.kind)) {
        one.matched = true;
        selected = true;
      }
    }
    if (selected) indexes->push_back(i);
  }
  for (size_t p = 0; p < compiled.size(); ++p) {
    if (!compiled[p].matched) unmatched->push_back(patterns[p]);
  }
  return true;
}

}  // namespace ach
