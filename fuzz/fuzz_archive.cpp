// Fuzz target for the archive reader: every input is written to a scratch
// file, opened in read mode, listed through every query, verified completely
// and extracted into a scratch folder, which is then removed.
//
// Besides the sanitizers' findings, one property is checked here: extraction
// writes nothing outside its destination. The destination lies three folders
// below the scratch root; after each run the root must hold only the input
// file and that chain, or the target aborts (a path that escaped).
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

using plat::String16;

// Answers every replace question with "replace all" and records nothing; the
// engine's events are exercised, not printed.
class SilentProgress : public CZoArchiveProgress {
 public:
  int32_t ReportStatus(int32_t code) override {
    if (code == ARC_EVENT_ASK_REPLACE || code == ARC_EVENT_ASK_REPLACE_READONLY) status.store(ARC_ANSWER_REPLACE_ALL);
    return 0;
  }
};

String16 Join(const String16& folder, const char16_t* name) { return folder + plat::kSeparator + name; }

void RemoveTree(const String16& folder) {
  std::vector<String16> children;
  {
    plat::DirectoryLister lister;
    if (lister.Open(folder.c_str(), u"*")) {
      plat::DirectoryEntry entry;
      while (lister.Next(&entry)) {
        if (entry.name == u"." || entry.name == u"..") continue;
        children.push_back(entry.name);
      }
    }
  }
  for (const String16& name : children) {
    String16 path = Join(folder, name.c_str());
    uint32_t attributes = plat::GetAttributes(path.c_str());
    if (attributes != ZO_INVALID_ATTRIBUTES && (attributes & ZO_ATTR_DIRECTORY) &&
        !(attributes & ZO_ATTR_REPARSE_POINT)) {
      RemoveTree(path);
    } else {
      plat::SetAttributes(path.c_str(), ZO_ATTR_NORMAL);
      plat::DeleteFile(path.c_str());
    }
  }
  plat::RemoveDirectory(folder.c_str());
}

std::vector<String16> Children(const String16& folder) {
  std::vector<String16> names;
  plat::DirectoryLister lister;
  if (!lister.Open(folder.c_str(), u"*")) return names;
  plat::DirectoryEntry entry;
  while (lister.Next(&entry)) {
    if (entry.name != u"." && entry.name != u"..") names.push_back(entry.name);
  }
  return names;
}

struct Scratch {
  String16 root;
  String16 input;
  String16 chain;        // root/a/b
  String16 destination;  // root/a/b/out

  Scratch() {
    ZoChar temp[ZO_MAX_PATH] = {};
    plat::GetTempPath(temp, ZO_MAX_PATH);
    for (unsigned n = 0; n < 100000; ++n) {
      String16 candidate = String16(temp) + u"orv-fuzz-" + plat::U16(std::to_string(n) + "-" + std::to_string(rand()));
      if (plat::CreateDirectory(candidate.c_str())) {
        root = candidate;
        break;
      }
    }
    if (root.empty()) std::abort();
    input = Join(root, u"in.ach");
    plat::CreateDirectory(Join(root, u"a").c_str());
    chain = Join(Join(root, u"a"), u"b");
    plat::CreateDirectory(chain.c_str());
    destination = Join(chain, u"out");
  }
  ~Scratch() { RemoveTree(root); }
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

void Exercise(CArchive2& archive) {
  int count = archive.GetIndexedEntryCount();
  for (int i = 0; i < count; ++i) {
    ArchiveEntryInfo info;
    archive.GetEntryInfo(i, info);
    ZoChar name[ZO_MAX_PATH];
    archive.GetEntryName(i, name, ZO_MAX_PATH);
    int64_t size = 0;
    int value = 0;
    ZoFileTime time = 0;
    archive.GetEntryUncompressedSize(i, size);
    archive.GetEntryCompressedSize(name, size);
    archive.GetEntryCompressionType(i, value);
    archive.GetEntryCRC32(name, value);
    archive.GetEntryFileTime(i, time);
    archive.GetEntryFileAttributes(name, value);
    archive.IsEntryInArchive(name);
  }
  // Out-of-range indexes must be answered, not followed.
  ZoChar name[ZO_MAX_PATH];
  archive.GetEntryName(-1, name, ZO_MAX_PATH);
  archive.GetEntryName(archive.GetArchiveCount(), name, ZO_MAX_PATH);
  ZoChar comment[1024];
  archive.GetVolumeComment(comment, 1024);
  archive.GetVolumeComment(comment, 3);
  archive.GetStoredName(name, ZO_MAX_PATH);
  archive.GetArchiveSize();
  archive.ValidateEntry(u"*.*");
  archive.VerifyAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& scratch = TheScratch();
  {
    plat::File file = plat::File::Open(scratch.input.c_str(), plat::Access::Write, plat::kShareNone,
                                       plat::Disposition::CreateAlways);
    if (!file || (size > 0 && !file.Write(data, size)) || !file.Close()) return 0;
  }
  plat::CreateDirectory(scratch.destination.c_str());
  {
    SilentProgress progress;
    CArchive2 archive;
    if (archive.Open(scratch.input.c_str(), ARC_OPEN_READ, &progress) >= 0) {
      Exercise(archive);
      archive.ExtractAll(scratch.destination.c_str(), 0);
      archive.ExtractEntry(u"*.txt", scratch.destination.c_str(), ARC_EXTRACT_FLAT | ARC_EXTRACT_OVERWRITE);
      archive.Close();
    }
  }
  // Nothing may appear beside the input or the destination chain.
  for (const String16& name : Children(scratch.root)) {
    if (name != u"in.ach" && name != u"a") {
      std::fprintf(stderr, "extraction escaped its destination: %s\n", plat::ToUtf8(name).c_str());
      std::abort();
    }
  }
  for (const String16& folder : {Join(scratch.root, u"a"), scratch.chain}) {
    for (const String16& name : Children(folder)) {
      if (name != u"b" && name != u"out") {
        std::fprintf(stderr, "extraction escaped its destination: %s\n", plat::ToUtf8(name).c_str());
        std::abort();
      }
    }
  }
  RemoveTree(scratch.destination);
  return 0;
}
