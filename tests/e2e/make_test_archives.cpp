// Writes the archives the end-to-end tests feed to ach, exact bytes made by the
// tests' record builder (no engine code): a good archive with the tree it must
// unpack to, a self-extracting file, a volume set, and hostile and damaged
// archives. With --seeds it writes small samples for the fuzz corpus instead.
//
//   make_test_archives DIR            the e2e set, into DIR
//   make_test_archives --seeds DIR    fuzz seeds (each under 4 KiB), into DIR
#include <cstdio>
#include <string>
#include <vector>

#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/archive/record_builder.h"

namespace {

using plat::String16;
using testarc::ArchiveSpec;
using testarc::EntrySpec;

String16 gFolder;

String16 PathOf(const String16& name) {
  String16 path = gFolder;
  for (ZoChar c : name) path.push_back(c == u'\\' ? plat::kSeparator : c);
  return path;
}

bool WriteBytes(const String16& path, const std::string& bytes) {
  plat::File file = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone,
                                     plat::Disposition::CreateAlways);
  if (!file || (!bytes.empty() && !file.Write(bytes.data(), bytes.size())) || !file.Close()) {
    std::fprintf(stderr, "cannot write %s\n", plat::ToUtf8(path).c_str());
    return false;
  }
  return true;
}

bool Write(const char* name, const std::string& bytes) { return WriteBytes(PathOf(plat::U16(name)), bytes); }

// Deterministic bytes: `size` bytes of a simple generator, incompressible enough.
std::string Noise(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  for (char& c : out) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return out;
}

std::string Lines(size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += "line " + std::to_string(i) + " of the guide, some words repeat\n";
  return out;
}

// The good archive's entries, and the tree they unpack to (name, content).
std::vector<EntrySpec> GoodEntries(bool small) {
  std::vector<EntrySpec> entries;
  entries.push_back(testarc::File(u"readme.txt", "hello\n"));
  entries.push_back(testarc::Folder(u"docs\\"));
  entries.push_back(testarc::File(u"docs\\guide.txt", Lines(small ? 20 : 6000), 1));
  entries.push_back(testarc::File(u"docs\\empty.txt", "", 1));
  entries.push_back(testarc::File(u"docs\\stored.bin", Noise(small ? 200 : 300000, 7), 0));
  entries.push_back(testarc::Folder(u"unicode\\"));
  entries.push_back(testarc::File(u"unicode\\\u65e5\u672c\u8a9e \u00e9.txt", "nihongo\n"));
  EntrySpec readOnly = testarc::File(u"readonly.txt", "keep me\n");
  readOnly.attributes = 0x21;
  entries.push_back(readOnly);
  return entries;
}

bool WriteExpectedTree(const char* folder, const std::vector<EntrySpec>& entries) {
  String16 root = PathOf(plat::U16(folder));
  plat::CreateDirectory(root.c_str());
  for (const EntrySpec& entry : entries) {
    String16 path = root + plat::kSeparator;
    for (ZoChar c : entry.name) path.push_back(c == u'\\' ? plat::kSeparator : c);
    if (entry.attributes & 0x10) {
      plat::CreateDirectory(path.c_str());
      continue;
    }
    size_t cut = path.rfind(plat::kSeparator);
    plat::CreateDirectory(path.substr(0, cut).c_str());
    if (!WriteBytes(path, entry.content)) return false;
  }
  return true;
}

// A stub that looks like the start of an executable.
std::string Stub(size_t size) {
  std::string stub = "MZ";
  stub += Noise(size - 2, 99);
  return stub;
}

bool WriteE2eSet() {
  bool ok = true;
  ArchiveSpec good;
  good.entries = GoodEntries(false);
  good.comment = u"demo comment \u00e9";
  ok &= Write("good.ach", testarc::Build(good));
  ok &= WriteExpectedTree("good.expected", good.entries);

  ArchiveSpec sfx = good;
  sfx.stub = Stub(5000);
  sfx.storedName = u"C:\\build\\good.ach";
  ok &= Write("good-sfx.exe", testarc::Build(sfx));
  ok &= Write("stub.exe", sfx.stub);

  // A volume set whose entry stream runs through three files: the main file
  // holds the first 1000 bytes, volume 2 the next 100000, volume 3 the rest.
  ArchiveSpec set = good;
  set.comment.clear();
  set.storedName = u"set.ach";
  testarc::VolumeSet volumes = testarc::BuildVolumeSet(set, 1000, {100000, 100000});
  ok &= Write("set.ach", volumes.main);
  for (size_t i = 0; i < volumes.volumes.size(); ++i) {
    ok &= Write(("set" + std::to_string(i + 2) + ".ach").c_str(), volumes.volumes[i]);
  }

  ArchiveSpec empty;
  ok &= Write("empty.ach", testarc::Build(empty));

  // Names that try to leave the destination, each next to a safe one.
  ArchiveSpec traversal;
  for (const char16_t* name : {u"..\\evil1.txt", u"a\\..\\..\\evil2.txt", u"\\abs-evil3.txt", u"C:\\evil4.txt",
                               u"C:evil5.txt", u"../evil6.txt", u"a/../../evil7.txt", u"/tmp/orv-evil8.txt",
                               u"\\\\server\\share\\evil9.txt", u"..", u"a\\..\\..\\"}) {
    traversal.entries.push_back(testarc::File(name, "evil\n"));
  }
  traversal.entries.push_back(testarc::File(u"safe.txt", "safe\n"));
  ok &= Write("traversal.ach", testarc::Build(traversal));

  ArchiveSpec badCrc;
  badCrc.entries.push_back(testarc::File(u"good.txt", "fine\n"));
  EntrySpec wrongData = testarc::File(u"wrong-data.txt", Lines(50));
  wrongData.crcUncompressedOverride = 0x12345678u;
  badCrc.entries.push_back(wrongData);
  EntrySpec wrongStored = testarc::File(u"wrong-stored.bin", Noise(1000, 3), 0);
  wrongStored.crcCompressedOverride = 0x0BADC0DEu;
  badCrc.entries.push_back(wrongStored);
  ok &= Write("badcrc.ach", testarc::Build(badCrc));

  // A stored entry that claims more bytes than lie before the directory.
  ArchiveSpec overrun;
  EntrySpec longer = testarc::File(u"overrun.bin", Noise(100, 5), 0);
  longer.compressedSizeOverride = 5000;
  longer.uncompressedSizeOverride = 5000;
  overrun.entries.push_back(longer);
  ok &= Write("overrun.ach", testarc::Build(overrun));

  // A huge declared size for a tiny deflate stream.
  ArchiveSpec huge;
  EntrySpec claim = testarc::File(u"claims-a-lot.txt", "small\n");
  claim.uncompressedSizeOverride = uint64_t{1} << 62;
  huge.entries.push_back(claim);
  ok &= Write("huge.ach", testarc::Build(huge));

  // The second central entry is damaged: the walk stops there.
  ArchiveSpec damaged;
  damaged.entries.push_back(testarc::File(u"first.txt", "one\n"));
  EntrySpec broken = testarc::File(u"second.txt", "two\n");
  broken.centralSignatureOverride = 0x11111111u;
  damaged.entries.push_back(broken);
  damaged.entries.push_back(testarc::File(u"third.txt", "three\n"));
  ok &= Write("damaged.ach", testarc::Build(damaged));

  ArchiveSpec badType;
  EntrySpec typed = testarc::File(u"typed.bin", "abc", 0);
  typed.compressionType = 2;
  badType.entries.push_back(typed);
  ok &= Write("badtype.ach", testarc::Build(badType));

  // Name lengths that run far past the buffers and the file.
  ArchiveSpec longName;
  EntrySpec named = testarc::File(u"name.txt", "x\n");
  named.centralNameLengthOverride = 0xFFFFFFF0u;
  longName.entries.push_back(named);
  ok &= Write("longname.ach", testarc::Build(longName));

  ArchiveSpec longComment;
  longComment.entries.push_back(testarc::File(u"a.txt", "a\n"));
  longComment.comment = u"c";
  longComment.commentLengthOverride = 0x7FFFFFFFu;
  ok &= Write("longcomment.ach", testarc::Build(longComment));

  // A comment of 1,500 units, as another writer may store it: readers keep the
  // first 1,023 ("0123456789" repeated, so the cut is visible).
  ArchiveSpec longerComment;
  longerComment.entries.push_back(testarc::File(u"a.txt", "a\n"));
  for (int i = 0; i < 150; ++i) longerComment.comment += u"0123456789";
  ok &= Write("longcomment1500.ach", testarc::Build(longerComment));

  // Control characters in a name and the comment: a listing must not pass them
  // to the terminal.
  ArchiveSpec control;
  control.entries.push_back(testarc::File(u"clear\x1b[2J\x9b" u"31m.txt", "x\n"));
  control.comment = u"bell\x07 and line\nbreak";
  ok &= Write("control.ach", testarc::Build(control));

  ok &= Write("garbage.bin", Noise(10000, 11));
  return ok;
}

bool WriteSeeds() {
  bool ok = true;
  ArchiveSpec good;
  good.entries = GoodEntries(true);
  good.comment = u"seed";
  ok &= Write("good.ach", testarc::Build(good));
  ArchiveSpec sfx = good;
  sfx.stub = Stub(300);
  sfx.storedName = u"C:\\x\\good.ach";
  ok &= Write("sfx.exe", testarc::Build(sfx));
  ArchiveSpec empty;
  ok &= Write("empty.ach", testarc::Build(empty));
  ArchiveSpec traversal;
  traversal.entries.push_back(testarc::File(u"..\\up.txt", "x"));
  traversal.entries.push_back(testarc::File(u"ok\\..\\..\\up2.txt", "y", 0));
  ok &= Write("traversal.ach", testarc::Build(traversal));
  ArchiveSpec strings;
  EntrySpec withStrings = testarc::File(u"s.txt", "strings");
  withStrings.centralComment = u"entry comment";
  withStrings.centralReserved = u"reserved";
  strings.entries.push_back(withStrings);
  strings.reservedText = u"end reserved";
  strings.trailing = "trailing bytes";
  ok &= Write("strings.ach", testarc::Build(strings));
  ArchiveSpec badCrc;
  EntrySpec bad = testarc::File(u"bad.txt", Lines(5));
  bad.crcUncompressedOverride = 1;
  badCrc.entries.push_back(bad);
  ok &= Write("badcrc.ach", testarc::Build(badCrc));
  ArchiveSpec volume;
  volume.entries = GoodEntries(true);
  volume.storedName = u"in.ach";
  volume.volumeCount = 2;
  ok &= Write("multivolume-main.ach", testarc::Build(volume));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  bool seeds = argc == 3 && std::string(argv[1]) == "--seeds";
  if (argc != 2 && !seeds) {
    std::fprintf(stderr, "usage: make_test_archives [--seeds] DIR\n");
    return 2;
  }
  gFolder = plat::FromUtf8(argv[argc - 1]);
  plat::CreateDirectory(gFolder.c_str());
  if (gFolder.empty() || gFolder.back() != plat::kSeparator) gFolder.push_back(plat::kSeparator);
  return (seeds ? WriteSeeds() : WriteE2eSet()) ? 0 : 1;
}
