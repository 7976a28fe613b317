// A fresh, uniquely named folder under the system temp path for one test,
// removed with everything in it when the test ends. Built on the platform
// layer itself, so the same helper serves both OSes.
#pragma once
#include <gtest/gtest.h>

#include <atomic>

#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/time.h"

namespace testing_support {

// Where the two systems differ by design (mandatory sharing, deleting read-only
// files, links to folders counting as folders), the tests pick the expectation
// from the separator the platform layer reports, never from the compiler.
inline bool HasWindowsRules() { return plat::kSeparator == u'\\'; }

class ScratchFolder {
 public:
  ScratchFolder() {
    ZoChar temp[ZO_MAX_PATH];
    uint32_t n = plat::GetTempPath(temp, ZO_MAX_PATH);
    if (n == 0 || n >= ZO_MAX_PATH) return;
    static std::atomic<uint32_t> counter{0};
    // Retry on a clash with a folder left by another run, as mkdtemp does.
    for (int attempt = 0; attempt < 100; ++attempt) {
      plat::String16 candidate = plat::String16(temp) + plat::U16("orv-plat-test-") +
                                 plat::U16(std::to_string(plat::CurrentThreadId())) + u"-" +
                                 plat::U16(std::to_string(plat::TickCount() % 1000000)) + u"-" +
                                 plat::U16(std::to_string(counter++));
      if (plat::CreateDirectory(candidate.c_str())) {
        path_ = candidate;
        return;
      }
      if (plat::LastError() != plat::kErrorAlreadyExists) return;
    }
  }
  ~ScratchFolder() {
    if (!path_.empty()) RemoveTree(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool IsValid() const { return !path_.empty(); }
  const plat::String16& Path() const { return path_; }
  // The folder joined with a relative name.
  plat::String16 operator/(std::string_view name) const { return path_ + plat::kSeparator + plat::U16(name); }

  // Writes `content` to a new file at `path`; false on any failure.
  static bool WriteFile(const plat::String16& path, std::string_view content) {
    plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareRead,
                                    plat::Disposition::CreateAlways);
    return f && f.Write(content.data(), content.size()) && f.Close();
  }
  static std::string ReadFile(const plat::String16& path) {
    plat::File f = plat::File::Open(path.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
    std::string out(4096, '\0');
    size_t got = 0;
    if (!f || !f.Read(out.data(), out.size(), &got)) return "<unreadable>";
    out.resize(got);
    return out;
  }

 private:
  // Links are removed as names (never followed); read-only items are made
  // writable first, since Windows refuses to delete them otherwise.
  static void RemoveTree(const plat::String16& folder) {
    plat::DirectoryLister lister;
    if (lister.Open(folder.c_str(), u"*")) {
      plat::DirectoryEntry e;
      while (lister.Next(&e)) {
        if (e.name == u"." || e.name == u"..") continue;
        plat::String16 child = folder + plat::kSeparator + e.name;
        plat::SetAttributes(child.c_str(), ZO_ATTR_NORMAL);
        bool isFolder = (e.attributes & ZO_ATTR_DIRECTORY) != 0;
        if (e.attributes & ZO_ATTR_REPARSE_POINT) {
          if (!plat::DeleteFile(child.c_str())) plat::RemoveDirectory(child.c_str());
        } else if (isFolder) {
          RemoveTree(child);
        } else {
          plat::DeleteFile(child.c_str());
        }
      }
    }
    lister.Close();
    plat::RemoveDirectory(folder.c_str());
  }

  plat::String16 path_;
};

}  // namespace testing_support
