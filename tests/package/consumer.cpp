// Uses the installed library the way another program would: writes a small
// file, stores it in a new archive, reads the archive back, extracts it and
// compares, and formats a line with the runtime's formatter. Prints "ok" and
// exits 0 when everything held.
#include <cstdio>
#include <string>

#include "archive/archive2.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "runtime/zo_path.h"
#include "runtime/zo_printf.h"

namespace {

int Fail(const char* what, ZoResult r) {
  std::fprintf(stderr, "consumer: %s failed (0x%08x)\n", what, static_cast<unsigned>(r));
  return 1;
}

bool WriteFile(const std::u16string& path, const std::string& bytes) {
  plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareRead,
                                  plat::Disposition::CreateAlways);
  return f.IsValid() && f.Write(bytes.data(), bytes.size()) && f.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: consumer EMPTY-FOLDER\n");
    return 2;
  }
  const std::u16string folder = plat::FromUtf8(argv[1]);
  const std::u16string sep(1, plat::kSeparator);
  const std::u16string source = folder + sep + u"hello.txt";
  const std::u16string archive = folder + sep + u"hello.ach";
  const std::u16string out = folder + sep + u"out";
  const std::string text = "hello from a program that links the library\n";
  if (!WriteFile(source, text)) return Fail("writing the input", E_FAIL);

  {
    CArchive2 writer;
    ZoResult r = writer.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr);
    if (r < 0) return Fail("Open(create)", r);
    r = writer.AddEntryToArchive(source.c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr);
    if (r < 0) return Fail("AddEntryToArchive", r);
    r = writer.Close();
    if (r < 0) return Fail("Close(create)", r);
  }

  CArchive2 reader;
  ZoResult r = reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr);
  if (r < 0) return Fail("Open(read)", r);
  if (reader.GetArchiveCount() != 1) return Fail("GetArchiveCount", reader.GetArchiveCount());
  int64_t size = 0;
  r = reader.GetEntryUncompressedSize(0, size);
  if (r < 0 || size != static_cast<int64_t>(text.size())) return Fail("GetEntryUncompressedSize", r);
  // The destination must exist before extraction (its free space is checked).
  if (!ZoCreateDirectory(out.c_str(), nullptr)) return Fail("ZoCreateDirectory", E_FAIL);
  r = reader.ExtractAll(out.c_str(), 0);
  if (r < 0) return Fail("ExtractAll", r);
  reader.Close();

  const std::u16string extracted = out + sep + u"hello.txt";
  plat::File f = plat::File::Open(extracted.c_str(), plat::Access::Read, plat::kShareRead,
                                  plat::Disposition::OpenExisting);
  std::string back(text.size() + 16, '\0');
  size_t got = 0;
  if (!f.IsValid() || !f.Read(back.data(), back.size(), &got)) return Fail("reading the extracted file", E_FAIL);
  back.resize(got);
  if (back != text) return Fail("comparing the extracted file", E_FAIL);

  ZoChar line[64] = {};
  ZoPrintFEx(line, 64, u"%d entry, %d bytes", 1, static_cast<int>(size));
  std::printf("ok: %s\n", plat::ToUtf8(line).c_str());
  return 0;
}
