// Looking inside the package (see look_inside.h).
#include "app/look_inside.h"

#include <string>

#include "app/installer_state.h"
#include "app/run_log.h"
#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/paths.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "platform/time.h"
#include "runtime/zo_path.h"

namespace {

using plat::String16;

void Say(plat::StandardStream stream, const std::string& line) {
  plat::WriteText(stream, line + "\n");
  RunLog_Write(u"%s", plat::FromUtf8(line).c_str());
}
void Out(const std::string& line) { Say(plat::StandardStream::Output, line); }
void Err(const std::string& line) { Say(plat::StandardStream::Error, line); }

std::string Hex32(uint32_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 0xF];
  return text;
}

std::string ResultText(ZoResult result) { return "0x" + Hex32(static_cast<uint32_t>(result)); }

std::string PadLeft(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string TimeText(ZoFileTime time) {
  plat::SystemTime t;
  if (!plat::FileTimeToSystemTime(time, &t)) return "-";
  auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return std::to_string(t.year) + "-" + two(t.month) + "-" + two(t.day) + " " + two(t.hour) + ":" + two(t.minute) +
         ":" + two(t.second);
}

// Reports the engine's errors with their step, counts files and bytes, and
// turns an interrupt into a cancel at the engine's next poll.
class LookProgress final : public CZoArchiveProgress {
 public:
  int32_t ReportError(int32_t code) override {
    ++errors;
    Err("error " + ResultText(code) + " in " + plat::ToUtf8(itemName));
    return 0;
  }
  int32_t ReportStatus(int32_t code) override {
    if (code == ARC_EVENT_EXTRACT_START) {
      ++files;
      RunLog_Write(u"extracting %s", itemName);
    }
    Poll();
    return 0;
  }
  int32_t AddProgress(uint32_t countLow, int32_t countHigh) override {
    done += (static_cast<uint64_t>(static_cast<uint32_t>(countHigh)) << 32) | countLow;
    Poll();
    return 0;
  }
  void Poll() {
    if (plat::InterruptRequested()) {
      cancelled = true;
      status.store(ARC_E_CANCELLED);
    }
  }
  int errors = 0;
  uint32_t files = 0;
  bool cancelled = false;
};

int List(CArchive2& archive) {
  Out("        Size  CRC-32    Modified (UTC)       Name");
  const int count = archive.GetIndexedEntryCount();
  uint64_t total = 0;
  for (int i = 0; i < count; ++i) {
    ArchiveEntryInfo info;
    if (!archive.GetEntryInfo(i, info)) continue;
    total += info.uncompressedSize;
    Out(PadLeft(std::to_string(info.uncompressedSize), 12) + "  " + Hex32(info.crcUncompressed) + "  " +
        TimeText(info.fileTime) + "  " + plat::ToUtf8(info.name));
  }
  Out(std::to_string(count) + " entries, " + std::to_string(total) + " bytes");
  return 0;
}

int Test(CArchive2& archive, LookProgress& progress) {
  const int count = archive.GetIndexedEntryCount();
  int failed = 0;
  for (int i = 0; i < count && !progress.cancelled; ++i) {
    ArchiveEntryInfo info;
    archive.GetEntryInfo(i, info);
    const ZoResult result = archive.VerifyEntryComplete(i);
    if (result == ARC_E_CANCELLED || progress.cancelled) break;
    if (result < 0) {
      ++failed;
      Err("FAILED " + plat::ToUtf8(info.name) + " (" + ResultText(result) + ")");
    } else {
      RunLog_Write(u"ok %s", info.name.c_str());
    }
  }
  if (progress.cancelled) return INST_EXIT_CANCELLED;
  Out(std::to_string(count - failed) + " of " + std::to_string(count) + " entries verified" +
      (failed ? "; the package has errors" : "; no errors"));
  return failed ? INST_EXIT_FAILURE : 0;
}

int Extract(CArchive2& archive, LookProgress& progress, const ZoChar* folder) {
  ZoChar full[ZO_MAX_PATH] = {};
  const uint32_t length = plat::GetFullPath(folder, full, ZO_MAX_PATH);
  if (!folder[0] || length == 0 || length >= ZO_MAX_PATH) {
    Err("not a usable folder: " + plat::ToUtf8(folder));
    return INST_EXIT_FAILURE;
  }
  if (!plat::IsDirectory(full) && !ZoCreateDirectory(full, nullptr)) {
    Err("cannot create the folder " + plat::ToUtf8(full));
    return INST_EXIT_FAILURE;
  }
  ZoResult result = archive.IsSpaceForExtractAll(full, ARC_EXTRACT_OVERWRITE);
  if (result > 0) {
    Err("not enough room in " + plat::ToUtf8(full));
    return INST_EXIT_FAILURE;
  }
  if (result == 0) result = archive.ExtractAll(full, ARC_EXTRACT_OVERWRITE);
  if (progress.cancelled) return INST_EXIT_CANCELLED;
  if (result < 0 || progress.errors > 0) {
    Err("extraction failed (" + ResultText(result) + ")");
    return INST_EXIT_FAILURE;
  }
  Out(std::to_string(progress.files) + " files, " + std::to_string(progress.done) + " bytes extracted into " +
      plat::ToUtf8(full));
  return 0;
}

}  // namespace

int RunLookInside(int32_t what, const ZoChar* folder) {
  plat::AttachParentConsole();
  const ZoChar* package = InstallerPackagePath();
  RunLog_Write(u"looking inside %s", package);
  LookProgress progress;
  CArchive2 archive;
  const ZoResult opened = archive.Open(package, ARC_OPEN_READ, &progress);
  if (opened < 0) {
    Err("the package cannot be read (" + ResultText(opened) + ")");
    return INST_EXIT_FAILURE;
  }
  int code = INST_EXIT_FAILURE;
  if (what == LOOK_INSIDE_LIST) {
    code = List(archive);
  } else if (archive.IsDirectoryDamaged()) {
    // Every entry would fail alike: the engine says why once.
    archive.VerifyAll();
  } else if (what == LOOK_INSIDE_TEST) {
    code = Test(archive, progress);
  } else {
    code = Extract(archive, progress, folder ? folder : u"");
  }
  if (archive.IsDirectoryDamaged()) {
    Err("the package's directory is damaged: " + std::to_string(archive.GetIndexedEntryCount()) + " of " +
        std::to_string(archive.GetArchiveCount()) + " entries readable");
    code = INST_EXIT_FAILURE;
  }
  archive.Close();
  return code;
}
