// The read side of ach: list, extract and test. Each opens the archive in read
// mode with the tool's progress object, so that every failure the engine reports
// reaches standard error with its step name.
#include <memory>
#include <new>
#include <vector>

#include "archive/archive2.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/terminal.h"
#include "tools/ach/ach_commands.h"
#include "tools/ach/ach_files.h"
#include "tools/ach/ach_json.h"
#include "tools/ach/ach_output.h"
#include "tools/ach/ach_progress.h"
#include "tools/ach/ach_shared.h"

namespace ach {

using plat::String16;

namespace {

void WarnIfDamaged(CArchive2& archive) {
  if (!archive.IsDirectoryDamaged()) return;
  ErrorLine("the central directory is damaged: " + std::to_string(archive.GetIndexedEntryCount()) +
            " readable entries of " + std::to_string(archive.GetArchiveCount()) + " declared");
}

std::string MethodText(const ArchiveEntryInfo& info) {
  if (info.attributes & ZO_ATTR_DIRECTORY) return "folder";
  switch (info.compressionType) {
    case ARC_COMPRESSION_NONE: return "stored";
    case ARC_COMPRESSION_ZIP: return "deflate:" + std::to_string(info.compressionLevel);
    default: return "type " + std::to_string(info.compressionType);
  }
}

std::string PadLeft(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

String16 CommentOf(CArchive2& archive) {
  ZoChar buffer[1024] = {};
  // The comment as the engine kept it: also the first 1,023 units of a longer one.
  if (archive.GetKeptComment(buffer, 1024) < 0) return String16();
  return String16(buffer, plat::BoundedLength(buffer, 1024));
}

String16 StoredNameOf(CArchive2& archive) {
  ZoChar buffer[ZO_MAX_PATH] = {};
  if (archive.GetStoredName(buffer, ZO_MAX_PATH) < 0) return String16();
  return String16(buffer, plat::BoundedLength(buffer, ZO_MAX_PATH));
}

int ListJson(CArchive2& archive) {
  JsonWriter json;
  json.BeginObject();
  json.SignedMember("entryCount", archive.GetArchiveCount());
  json.NumberMember("base", archive.GetBase());
  json.NumberMember("certificateTable", archive.GetCertificateTableSize());
  json.SignedMember("volumeCount", archive.GetMultiVolumeStatus());
  json.StringMember("comment", CommentOf(archive));
  json.StringMember("storedName", StoredNameOf(archive));
  json.BooleanMember("damaged", archive.IsDirectoryDamaged());
  json.Key("entries");
  json.BeginArray();
  int count = archive.GetIndexedEntryCount();
  for (int i = 0; i < count; ++i) {
    ArchiveEntryInfo info;
    if (!archive.GetEntryInfo(i, info)) continue;
    json.BeginObject();
    json.StringMember("name", info.name);
    json.NumberMember("size", info.uncompressedSize);
    json.NumberMember("packedSize", info.compressedSize);
    json.NumberMember("compression", info.compressionType);
    json.NumberMember("level", info.compressionLevel);
    json.NumberMember("crc32", info.crcUncompressed);
    json.NumberMember("fileTime", info.fileTime);
    json.NumberMember("attributes", info.attributes);
    if (info.hasPosixMode) {
      json.NumberMember("posixMode", info.posixMode);
    }
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  Out(json.Text());
  Out("\n");
  return archive.IsDirectoryDamaged() ? kExitFailure : kExitOk;
}

int ListTable(CArchive2& archive, const String16& path) {
  Out("Archive: ");
  Out(path);
  Out("\n");
  if (archive.GetBase() != 0) {
    Out("Self-extracting: the archive starts after a stub of " + std::to_string(archive.GetBase()) + " bytes\n");
  }
  if (archive.GetCertificateTableSize() != 0) {
    Out("Signed: a certificate table of " + std::to_string(archive.GetCertificateTableSize()) +
        " bytes follows the archive\n");
  }
  if (archive.GetMultiVolumeStatus() > 1) {
    Out("Volumes: " + std::to_string(archive.GetMultiVolumeStatus()) + " (stored name ");
    Out(StoredNameOf(archive));
    Out(")\n");
  }
  Out("\n");
  Out("        Size       Packed Ratio Method     CRC-32   Modified            Attr  Name\n");
  Out("------------ ------------ ----- ---------- -------- ------------------- ----- ----\n");
  uint64_t totalSize = 0;
  uint64_t totalPacked = 0;
  int files = 0;
  int folders = 0;
  int count = archive.GetIndexedEntryCount();
  for (int i = 0; i < count; ++i) {
    ArchiveEntryInfo info;
    if (!archive.GetEntryInfo(i, info)) continue;
    std::string line = PadLeft(std::to_string(info.uncompressedSize), 12) + " " +
                       PadLeft(std::to_string(info.compressedSize), 12) + " " +
                       PadLeft(FormatRatio(info.compressedSize, info.uncompressedSize), 5) + " " +
                       PadRight(MethodText(info), 10) + " " + FormatHex32(info.crcUncompressed) + " " +
                       PadRight(FormatFileTime(info.fileTime), 19) + " " + FormatAttributes(info.attributes) + " ";
    Out(line);
    Out(info.name);
    Out("\n");
    totalSize += info.uncompressedSize;
    totalPacked += info.compressedSize;
    if (info.attributes & ZO_ATTR_DIRECTORY) {
      ++folders;
    } else {
      ++files;
    }
  }
  Out("------------ ------------ -----\n");
  Out(PadLeft(std::to_string(totalSize), 12) + " " + PadLeft(std::to_string(totalPacked), 12) + " " +
      PadLeft(FormatRatio(totalPacked, totalSize), 5) + " " + std::to_string(files) + " files, " +
      std::to_string(folders) + " folders\n");
  String16 comment = CommentOf(archive);
  if (!comment.empty()) {
    Out("\nComment: ");
    Out(comment, true);
    Out("\n");
  }
  WarnIfDamaged(archive);
  return archive.IsDirectoryDamaged() ? kExitFailure : kExitOk;
}

}  // namespace

int RunList(const Options& options) {
  ToolProgress progress(ReplacePolicy::Skip, QuestionSubject::File, false, false);
  CArchive2 archive;
  if (!OpenArchive(archive, options.archive, ARC_OPEN_READ, progress)) return kExitFailure;
  int status = options.json ? ListJson(archive) : ListTable(archive, options.archive);
  archive.Close();
  if (!FlushOut()) return kExitFailure;
  return progress.Errors() > 0 ? kExitFailure : status;
}

int RunExtract(const Options& options) {
  String16 destination;
  if (!MakeFullPath(options.outputFolder.empty() ? String16(u".") : options.outputFolder, &destination)) {
    return kExitFailure;
  }
  destination = WithoutTrailingSeparators(destination);
  if (!EnsureFolder(destination)) {
    ErrorLine("cannot create the folder " + plat::ToUtf8(destination));
    return kExitFailure;
  }

  ToolProgress progress(options.replace, QuestionSubject::File, CanAsk(), ShowBar());
  CArchive2 archive;
  if (!OpenArchive(archive, options.archive, ARC_OPEN_READ, progress)) return kExitFailure;
  WarnIfDamaged(archive);

  uint32_t flags = 0;
  if (options.flat) flags |= ARC_EXTRACT_FLAT;
  if (options.replace == ReplacePolicy::Overwrite) flags |= ARC_EXTRACT_OVERWRITE;

  ZoResult result = 0;
  int nothingMatched = 0;
  if (options.operands.empty()) {
    result = archive.ExtractAll(destination.c_str(), flags);
  } else {
    for (const String16& typed : options.operands) {
      String16 pattern = ToEntryName(typed);
      // ExtractEntry answers "no room" by extracting nothing and returning 0, as
      // if it had worked; ask first so that the user hears about it.
      ZoResult space = archive.IsSpaceForExtractEntry(pattern.c_str(), destination.c_str(), flags);
      if (space != 0) {
        result = space < 0 ? space : ARC_E_DISK_FULL;
        if (space == 1) ErrorLine("not enough disk space in " + plat::ToUtf8(destination) + " for " + plat::ToUtf8(typed));
        break;
      }
      ZoResult one = archive.ExtractEntry(pattern.c_str(), destination.c_str(), flags);
      if (one == 1) {
        ++nothingMatched;
        ErrorLine("no entry matches " + plat::ToUtf8(pattern));
      } else if (one < 0) {
        result = one;
      }
      if (progress.Cancelled() || one == ARC_E_CANCELLED) break;
    }
  }
  bool cancelled = progress.Cancelled() || result == ARC_E_CANCELLED;
  bool damaged = archive.IsDirectoryDamaged();
  archive.Close();
  progress.ClearLine();

  if (cancelled) {
    ErrorLine("cancelled");
    return kExitFailure;
  }
  if (result < 0 || progress.Errors() > 0 || damaged) {
    if (result < 0) ErrorLine("extraction failed: " + FormatResult(result));
    return kExitFailure;
  }
  if (progress.Skipped() > 0) {
    ErrorLine(std::to_string(progress.Skipped()) + " existing file(s) kept");
  }
  Out(std::to_string(progress.Started()) + " file(s) extracted into ");
  Out(destination);
  Out("\n");
  if (!FlushOut()) return kExitFailure;
  return (nothingMatched > 0 || progress.Skipped() > 0) ? kExitPartial : kExitOk;
}

int RunTest(const Options& options) {
  ToolProgress progress(ReplacePolicy::Skip, QuestionSubject::File, false, ShowBar());
  CArchive2 archive;
  if (!OpenArchive(archive, options.archive, ARC_OPEN_READ, progress)) return kExitFailure;
  WarnIfDamaged(archive);

  std::vector<int> indexes;
  std::vector<String16> unmatched;
  if (options.operands.empty()) {
    for (int i = 0; i < archive.GetIndexedEntryCount(); ++i) indexes.push_back(i);
  } else {
    std::vector<String16> patterns;
    for (const String16& typed : options.operands) patterns.push_back(ToEntryName(typed));
    if (!SelectEntries(archive, patterns, &indexes, &unmatched)) {
      archive.Close();
      return kExitFailure;
    }
  }
  for (const String16& pattern : unmatched) ErrorLine("no entry matches " + plat::ToUtf8(pattern));

  if (archive.IsDirectoryDamaged()) {
    // Every entry would fail alike; the engine says why once.
    archive.VerifyAll();
    archive.Close();
    return kExitFailure;
  }
  // One total for the whole run, so the progress line moves over all entries.
  uint64_t total = 0;
  for (int index : indexes) {
    ArchiveEntryInfo info;
    if (archive.GetEntryInfo(index, info)) total += info.uncompressedSize;
  }
  progress.BeginItem64(options.archive.c_str(), total);

  int failed = 0;
  bool cancelled = false;
  for (int index : indexes) {
    ZoResult result = archive.VerifyEntryComplete(index);
    if (result == ARC_E_CANCELLED || progress.Cancelled()) {
      cancelled = true;
      break;
    }
    if (result < 0) {
      ++failed;
      ArchiveEntryInfo info;
      archive.GetEntryInfo(index, info);
      ErrorLine("FAILED " + plat::ToUtf8(info.name) + ": " + FormatResult(result));
    }
  }
  bool damaged = archive.IsDirectoryDamaged();
  archive.Close();
  progress.ClearLine();
  if (cancelled) {
    ErrorLine("cancelled");
    return kExitFailure;
  }
  Out(std::to_string(indexes.size() - static_cast<size_t>(failed)) + " of " + std::to_string(indexes.size()) +
      " entries verified" + (failed || damaged ? "; the archive has errors\n" : "; no errors\n"));
  if (!FlushOut()) return kExitFailure;
  if (failed > 0 || damaged || progress.Errors() > 0) return kExitFailure;
  return unmatched.empty() ? kExitOk : kExitPartial;
}

}  // namespace ach
