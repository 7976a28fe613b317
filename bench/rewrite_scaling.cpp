// Rewrite scaling: builds archives of N small entries (N = 10,000 and 100,000 by
// default, or the numbers given), then times appending one file and deleting one
// entry. Both must cost time linear in the archive's size: doubling N should about
// double the time, never quadruple it. Run by hand: bench_rewrite_scaling [N...]
//
// The entries are written straight through the engine from one small file added
// under N different stored folders, so the tree need not exist on disk.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool WriteSmall(const std::u16string& path, const std::string& text) {
  plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareRead, plat::Disposition::CreateAlways);
  return f && f.Write(text.data(), text.size()) && f.Close();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atol(argv[i]));
  if (counts.empty()) counts = {10000, 100000};

  ZoChar temp[ZO_MAX_PATH];
  plat::GetTempPath(temp, ZO_MAX_PATH);
  std::u16string folder = std::u16string(temp) + u"orv-rewrite-bench";
  plat::CreateDirectory(folder.c_str());
  const std::u16string file = folder + plat::kSeparator + u"entry.txt";
  const std::u16string extra = folder + plat::kSeparator + u"extra.txt";
  const std::u16string archive = folder + plat::kSeparator + u"bench.ach";
  WriteSmall(file, "a small entry of a big archive\n");
  WriteSmall(extra, "one more\n");

  std::printf("%10s %12s %12s %12s\n", "entries", "create s", "append s", "delete s");
  for (long n : counts) {
    auto t0 = std::chrono::steady_clock::now();
    {
      CArchive2 a;
      if (a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr) != 0) return 1;
      for (long i = 0; i < n; ++i) {
        std::u16string stored = plat::U16("d" + std::to_string(i));
        if (a.AddEntryToArchive(file.c_str(), ARC_COMPRESSION_ZIP, 6, ARC_ADD_NO_TOTAL, stored.c_str()) < 0) return 2;
      }
      if (a.Close() < 0) return 3;
    }
    double create = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    {
      CArchive2 a;
      if (a.Open(archive.c_str(), ARC_OPEN_APPEND, nullptr) != 0) return 4;
      if (a.AddEntryToArchive(extra.c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr) < 0) return 5;
      if (a.Close() < 0) return 6;
    }
    double append = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    {
      CArchive2 a;
      if (a.Open(archive.c_str(), ARC_OPEN_DELETE, nullptr) != 0) return 7;
      std::u16string name = plat::U16("d" + std::to_string(n / 2) + "\\entry.txt");
      if (a.DeleteEntryFromArchive(name.c_str(), 0) < 0) return 8;
      if (a.Close() < 0) return 9;
    }
    double remove = Seconds(t0);
    std::printf("%10ld %12.3f %12.3f %12.3f\n", n, create, append, remove);
  }
  plat::DeleteFile(file.c_str());
  plat::DeleteFile(extra.c_str());
  plat::DeleteFile(archive.c_str());
  plat::RemoveDirectory(folder.c_str());
  return 0;
}
