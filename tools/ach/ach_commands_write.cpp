// The write side of ach: create, add, delete, comment, sfx, unsfx, split and
// merge. The rule every command keeps: when an operation fails or is cancelled,
// the archive stays as it was and no temporary or partial file is left behind.
// - create builds the new archive under the rewrite temporary name beside the
//   target and moves it over the target only when it is complete;
// - add and delete let the engine rewrite into "%s~%s"; after a failure the
//   archive object is destroyed without Close (which would commit) and the
//   temporary file is removed;
// - split removes the volume files it made when it fails.
#include <memory>
#include <new>
#include <vector>

#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/system_info.h"
#include "platform/terminal.h"
#include "tools/ach/ach_commands.h"
#include "tools/ach/ach_files.h"
#include "tools/ach/ach_output.h"
#include "tools/ach/ach_progress.h"
#include "tools/ach/ach_shared.h"

namespace ach {

using plat::String16;

namespace {

// The closing line of create and add when files were left out; true when any were.
bool ReportLeftOut(const ToolProgress& progress) {
  if (progress.LeftOut() == 0) return false;
  ErrorLine(std::to_string(progress.LeftOut()) + " file(s) or folder(s) skipped");
  return true;
}

// A signed package that a command rewrote carries no signature any more (the
// engine drops the certificate table and the stub's pointer to it): said once,
// after the command's own line, so that the package is signed again.
void NoteSignatureRemoved(uint64_t certificateTableSize, const String16& target) {
  if (certificateTableSize == 0) return;
  ErrorLine("note: " + plat::ToUtf8(target) + " was signed; the rewritten file carries no signature (sign it again)");
}

bool WasCancelled(const ToolProgress& progress, ZoResult result) {
  return progress.Cancelled() || result == ARC_E_CANCELLED;
}

int ReportCancelOrFailure(const ToolProgress& progress, ZoResult result, const char* what) {
  if (WasCancelled(progress, result)) {
    ErrorLine(std::string("cancelled; ") + what);
  } else if (result < 0) {
    ErrorLine(std::string("failed: ") + FormatResult(result) + "; " + what);
  } else {
    ErrorLine(std::string("failed; ") + what);
  }
  return kExitFailure;
}

// Adds every PATH operand. Returns the first failure (or the cancel), else 0;
// *nothingFound counts the operands that added nothing.
ZoResult AddPaths(CArchive2& archive, const Options& options, ToolProgress& progress, uint32_t flags,
                  int* nothingFound) {
  uint32_t compression = options.store ? ARC_COMPRESSION_NONE : ARC_COMPRESSION_ZIP;
  uint32_t level = options.store ? 0u : static_cast<uint32_t>(options.level);
  String16 folder = ToEntryName(options.folder);
  while (!folder.empty() && folder.back() == u'\\') folder.pop_back();
  archive.SetCompressionThreads(options.threads > 0 ? static_cast<unsigned>(options.threads)
                                                    : plat::ProcessorCount());
  for (const String16& path : options.operands) {
    String16 full;
    if (!MakeFullPath(path, &full)) return E_INVALIDARG;
    full = WithoutTrailingSeparators(full);
    const ZoChar* folderArgument = options.hasFolder && !folder.empty() ? folder.c_str() : nullptr;
    ZoResult result = archive.AddEntryToArchive(full.c_str(), compression, level, flags, folderArgument);
    if (WasCancelled(progress, result)) return ARC_E_CANCELLED;
    if (result < 0) return result;
    if (result == 1) {
      ++*nothingFound;
      ErrorLine("nothing to add for " + plat::ToUtf8(path));
    }
  }
  return 0;
}

// With --folder every PATH must be a file: the engine stores a file as
// FOLDER\name and does nothing for anything else.
bool CheckFolderOperands(const Options& options) {
  if (!options.hasFolder) return true;
  for (const String16& path : options.operands) {
    if (!FileExists(path)) {
      ErrorLine("--folder takes existing files only: " + plat::ToUtf8(path));
      return false;
    }
  }
  return true;
}

uint32_t AddFlags(const Options& options) {
  uint32_t flags = 0;
  if (options.recurse) flags |= ARC_ADD_RECURSE;
  if (options.replaceEntries) flags |= ARC_ADD_REPLACE;
  if (!options.strict) flags |= ARC_ADD_SKIP_BAD_NAMES;
  return flags;
}

// Opens `target` for a command the engine carries out as a rewrite into *temp
// (RewriteTempPath beside the target). On failure returns null, having removed
// the temporary file only when this Open made it, never a file that was there
// before.
std::unique_ptr<CArchive2> OpenForRewrite(const String16& target, uint32_t mode, ToolProgress& progress,
                                          String16* temp) {
  *temp = RewriteTempPath(target);
  bool tempExisted = plat::Exists(temp->c_str());
  auto archive = std::make_unique<CArchive2>();
  if (!OpenArchive(*archive, target, mode, progress)) {
    archive.reset();
    if (!tempExisted) RemoveFileIfPresent(*temp);
    return nullptr;
  }
  if (!tempExisted) plat::RemoveOnForcedExit(temp->c_str());
  return archive;
}

}  // namespace

int RunCreate(const Options& options) { return CreateArchiveFile(options, true); }

int CreateArchiveFile(const Options& options, bool report) {
  if (!CheckFolderOperands(options)) return kExitUsage;
  String16 target;
  if (!MakeFullPath(options.archive, &target)) return kExitFailure;
  if (plat::IsDirectory(target.c_str())) {
    ErrorLine(plat::ToUtf8(target) + " is a folder");
    return kExitFailure;
  }
  String16 temp = RewriteTempPath(target);
  ToolProgress progress(ReplacePolicy::Ask, QuestionSubject::Entry, false, ShowBar());
  ForcedExitCleanup cleanup(temp);
  auto archive = std::make_unique<CArchive2>();
  if (!OpenArchive(*archive, temp, ARC_OPEN_CREATE, progress)) {
    archive.reset();
    RemoveFileIfPresent(temp);
    return kExitFailure;
  }
  int nothingFound = 0;
  ZoResult result = AddPaths(*archive, options, progress, AddFlags(options), &nothingFound);
  if (result < 0 || progress.Errors() > 0) {
    archive.reset();  // no Close: nothing is committed
    RemoveFileIfPresent(temp);
    return ReportCancelOrFailure(progress, result, "no archive written");
  }
  if (static_cast<size_t>(nothingFound) == options.operands.size()) {
    // Nothing at all to add: an existing archive is not replaced by an empty one.
    archive.reset();
    RemoveFileIfPresent(temp);
    ErrorLine("nothing added; no archive written");
    return kExitPartial;
  }
  result = archive->Close();
  archive.reset();
  if (result < 0 || progress.Cancelled()) {
    RemoveFileIfPresent(temp);
    return ReportCancelOrFailure(progress, result, "no archive written");
  }
  if (!plat::MoveFile(temp.c_str(), target.c_str(), true)) {
    RemoveFileIfPresent(temp);
    ErrorLine("cannot move the new archive to " + plat::ToUtf8(target));
    return kExitFailure;
  }
  progress.ClearLine();
  if (report) {
    Out(std::to_string(progress.Started()) + " file(s) added to ");
    Out(target);
    Out("\n");
  }
  bool leftOut = ReportLeftOut(progress);
  return (nothingFound > 0 || leftOut) ? kExitPartial : kExitOk;
}

int RunAdd(const Options& options) {
  if (!CheckFolderOperands(options)) return kExitUsage;
  String16 target;
  if (!MakeFullPath(options.archive, &target)) return kExitFailure;
  ReplacePolicy policy = options.replaceEntries ? ReplacePolicy::Overwrite : ReplacePolicy::Ask;
  ToolProgress progress(policy, QuestionSubject::Entry, CanAsk(), ShowBar());
  ForcedExitCleanup cleanup;  // OpenForRewrite registers the temporary file
  String16 temp;
  std::unique_ptr<CArchive2> archive = OpenForRewrite(target, ARC_OPEN_APPEND, progress, &temp);
  if (!archive) return kExitFailure;
  const uint64_t signature = archive->GetCertificateTableSize();
  int nothingFound = 0;
  ZoResult result = AddPaths(*archive, options, progress, AddFlags(options), &nothingFound);
  if (result < 0 || progress.Errors() > 0) {
    archive.reset();
    RemoveFileIfPresent(temp);
    return ReportCancelOrFailure(progress, result, "the archive is unchanged");
  }
  result = archive->Close();
  archive.reset();
  if (result < 0) {
    RemoveFileIfPresent(temp);
    return ReportCancelOrFailure(progress, result, "the archive is unchanged");
  }
  progress.ClearLine();
  if (result == 1) {
    ErrorLine("nothing added; the archive is unchanged");
    return kExitPartial;
  }
  Out(std::to_string(progress.Started()) + " file(s) added to ");
  Out(target);
  Out("\n");
  NoteSignatureRemoved(signature, target);
  if (progress.Skipped() > 0) ErrorLine(std::to_string(progress.Skipped()) + " existing entr(y/ies) kept");
  bool leftOut = ReportLeftOut(progress);
  return (nothingFound > 0 || progress.Skipped() > 0 || leftOut) ? kExitPartial : kExitOk;
}

int RunDelete(const Options& options) {
  String16 target;
  if (!MakeFullPath(options.archive, &target)) return kExitFailure;
  ToolProgress progress(ReplacePolicy::Skip, QuestionSubject::Entry, false, ShowBar());
  ForcedExitCleanup cleanup;  // OpenForRewrite registers the temporary file
  String16 temp;
  std::unique_ptr<CArchive2> archive = OpenForRewrite(target, ARC_OPEN_DELETE, progress, &temp);
  if (!archive) return kExitFailure;
  const uint64_t signature = archive->GetCertificateTableSize();
  std::vector<String16> patterns;
  for (const String16& typed : options.operands) patterns.push_back(ToEntryName(typed));
  std::vector<int> selected;
  std::vector<String16> unmatched;
  ZoResult result = SelectEntries(*archive, patterns, &selected, &unmatched) ? 0 : ARC_E_BAD_NAME;
  for (size_t i = 0; result >= 0 && i < patterns.size(); ++i) {
    result = archive->DeleteEntryFromArchive(patterns[i].c_str(), 0);
  }
  if (result < 0) {
    archive.reset();
    RemoveFileIfPresent(temp);
    return ReportCancelOrFailure(progress, result, "the archive is unchanged");
  }
  for (const String16& pattern : unmatched) ErrorLine("no entry matches " + plat::ToUtf8(pattern));
  int marked = 0;
  int count = archive->GetArchiveCount();
  for (int i = 0; i < count; ++i) marked += archive->GetEntryDeleteStatus(i) ? 1 : 0;
  result = archive->Close();
  archive.reset();
  if (result < 0 || progress.Cancelled()) {
    RemoveFileIfPresent(temp);
    return ReportCancelOrFailure(progress, result, "the archive is unchanged");
  }
  progress.ClearLine();
  if (marked == 0 || result == 1) {
    ErrorLine("nothing deleted; the archive is unchanged");
    return kExitPartial;
  }
  Out(std::to_string(marked) + " entr" + (marked == 1 ? "y" : "ies") + " deleted from ");
  Out(target);
  Out("\n");
  NoteSignatureRemoved(signature, target);
  return unmatched.empty() ? kExitOk : kExitPartial;
}

int RunComment(const Options& options) {
  String16 target;
  if (!MakeFullPath(options.archive, &target)) return kExitFailure;
  ToolProgress progress(ReplacePolicy::Skip, QuestionSubject::File, false, false);
  if (!options.setComment) {
    CArchive2 archive;
    if (!OpenArchive(archive, target, ARC_OPEN_READ, progress)) return kExitFailure;
    ZoChar buffer[arc::kCommentCapacity] = {};
    ZoResult result = archive.GetKeptComment(buffer, arc::kCommentCapacity);
    archive.Close();
    if (result < 0) {
      ErrorLine("cannot read the comment: " + FormatResult(result));
      return kExitFailure;
    }
    plat::StringView16 comment(buffer, plat::BoundedLength(buffer, arc::kCommentCapacity));
    if (!comment.empty()) {
      Out(comment, true);
      Out("\n");
    }
    return kExitOk;
  }
  const String16& text = options.commentText;
  if (text.size() > arc::kCommentCapacity - 1) {
    ErrorLine("the comment has " + std::to_string(text.size()) + " characters; only the first " +
              std::to_string(arc::kCommentCapacity - 1) + " are stored");
  }
  CArchive2 archive;
  ZoResult result = archive.Annotate(target.c_str(), text.c_str());
  if (result < 0 || progress.Errors() > 0) {
    ErrorLine("cannot set the comment: " + FormatResult(result));
    return kExitFailure;
  }
  NoteSignatureRemoved(archive.GetCertificateTableSize(), target);
  return kExitOk;
}

int RunSfx(const Options& options) {
  String16 source;
  String16 stub;
  String16 output;
  if (!MakeFullPath(options.archive, &source) || !MakeFullPath(options.operands[0], &stub) ||
      !MakeFullPath(options.operands[1], &output)) {
    return kExitFailure;
  }
  // The engine creates OUTPUT before it reads the others: writing over an input
  // would destroy it.
  if (SamePath(output, source) || SamePath(output, stub)) {
    ErrorLine("the output must differ from the archive and the stub");
    return kExitUsage;
  }
  if (!FileExists(stub)) {
    ErrorLine("stub not found: " + plat::ToUtf8(stub));
    return kExitFailure;
  }
  ToolProgress progress(ReplacePolicy::Overwrite, QuestionSubject::File, false, ShowBar());
  auto archive = std::make_unique<CArchive2>();
  if (!OpenArchive(*archive, source, ARC_OPEN_SEA, progress)) return kExitFailure;
  if (archive->GetBase() != 0) {
    ErrorLine(plat::ToUtf8(source) + " already carries a stub (take it apart with unsfx first)");
    return kExitFailure;
  }
  // The output's write time before: a failure removes the output only when this
  // run wrote it (it was missing, or its time changed).
  plat::FileTimes before;
  bool outputExisted = plat::GetFileTimes(output.c_str(), &before);
  ZoResult result = archive->CreateSEA(output.c_str(), stub.c_str(), 0);
  ZoResult closed = archive->Close();
  archive.reset();
  if (result >= 0 && closed < 0) result = closed;
  if (result < 0 || progress.Cancelled() || progress.Errors() > 0) {
    // A partial package must not look like a finished one.
    plat::FileTimes after;
    bool touched = !outputExisted || !plat::GetFileTimes(output.c_str(), &after) || after.lastWrite != before.lastWrite;
    if (touched) RemoveFileIfPresent(output);
    return ReportCancelOrFailure(progress, result, "no package written");
  }
  progress.ClearLine();
  Out("self-extracting package written to ");
  Out(output);
  Out("\n");
  return kExitOk;
}

int RunUnsfx(const Options& options) {
  String16 source;
  String16 folder;
  if (!MakeFullPath(options.archive, &source) || !MakeFullPath(options.operands[0], &folder)) return kExitFailure;
  folder = WithoutTrailingSeparators(folder);
  ToolProgress progress(options.replace, QuestionSubject::File, CanAsk(), ShowBar());
  auto archive = std::make_unique<CArchive2>();
  if (!OpenArchive(*archive, source, ARC_OPEN_SEA, progress)) return kExitFailure;
  if (archive->GetBase() == 0) {
    ErrorLine(plat::ToUtf8(source) + " is not a self-extracting file");
    return kExitFailure;
  }
  const uint64_t signature = archive->GetCertificateTableSize();
  // The two files SplitSEA writes; neither may be the file being read.
  ZoChar stored[ZO_MAX_PATH] = {};
  archive->GetStoredName(stored, ZO_MAX_PATH);
  String16 storedName(stored, plat::BoundedLength(stored, ZO_MAX_PATH));
  size_t cut = storedName.find_last_of(u"\\/:");
  String16 archiveName = cut == String16::npos ? storedName : storedName.substr(cut + 1);
  String16 stubOut = TargetPathOf(folder, u"Seastub.exe", false);
  String16 archiveOut = TargetPathOf(folder, archiveName, false);
  if (archiveName.empty()) {
    ErrorLine(plat::ToUtf8(source) + " holds no archive name to write the archive under");
    return kExitFailure;
  }
  if (SamePath(stubOut, source) || SamePath(archiveOut, source)) {
    ErrorLine("unpacking into " + plat::ToUtf8(folder) + " would overwrite " + plat::ToUtf8(source) +
              "; choose another folder");
    return kExitUsage;
  }
  if (!EnsureFolder(folder)) {
    ErrorLine("cannot create the folder " + plat::ToUtf8(folder));
    return kExitFailure;
  }
  uint32_t flags = options.replace == ReplacePolicy::Overwrite ? ARC_SEA_REPLACE : 0;
  ZoResult result = archive->SplitSEA(folder.c_str(), flags);
  ZoResult closed = archive->Close();
  archive.reset();
  if (result >= 0 && closed < 0) result = closed;
  if (result < 0 || progress.Cancelled() || progress.Errors() > 0) {
    return ReportCancelOrFailure(progress, result, "the package may be partly unpacked");
  }
  progress.ClearLine();
  Out("stub and archive written to ");
  Out(folder);
  Out("\n");
  if (signature != 0) {
    ErrorLine("note: " + plat::ToUtf8(source) + " was signed; Seastub.exe and the archive are written without the signature");
  }
  return progress.Skipped() > 0 ? kExitPartial : kExitOk;
}

int RunSplit(const Options& options) {
  String16 target;
  if (!MakeFullPath(options.archive, &target)) return kExitFailure;
  ToolProgress progress(ReplacePolicy::Skip, QuestionSubject::File, false, ShowBar());
  ForcedExitCleanup cleanup;  // OpenForRewrite registers the temporary file
  String16 temp;
  std::unique_ptr<CArchive2> archive = OpenForRewrite(target, ARC_OPEN_MULTIVOL, progress, &temp);
  if (!archive) return kExitFailure;
  const uint64_t signature = archive->GetCertificateTableSize();
  if (archive->GetMultiVolumeStatus() > 1) {
    archive->Close();
    ErrorLine(plat::ToUtf8(target) + " is already split into volumes");
    return kExitFailure;
  }
  // The volume files a split may write, noted before it runs, so that a failed
  // split can take away exactly the files it made.
  ZoChar stored[ZO_MAX_PATH] = {};
  archive->GetStoredName(stored, ZO_MAX_PATH);
  String16 nameBase = archive->GetBase() != 0 && stored[0] != 0 ? String16(stored) : target;
  uint64_t archiveSize = archive->GetArchiveSize() > 0 ? static_cast<uint64_t>(archive->GetArchiveSize()) : 0;
  uint64_t maxVolumes = archiveSize / static_cast<uint64_t>(options.volumeSize) + 2;
  // A slip of the unit (ach split big.ach 700 instead of 700M) would flood the
  // folder with files: more than kMaxSplitFiles is refused before anything is written.
  constexpr uint64_t kMaxSplitFiles = 10000;
  if (maxVolumes - 1 > kMaxSplitFiles) {
    archive->Close();
    ErrorLine("a volume size of " + std::to_string(options.volumeSize) + " bytes would cut " + plat::ToUtf8(target) +
              " into about " + std::to_string(maxVolumes - 1) + " files (at most " + std::to_string(kMaxSplitFiles) +
              "); choose a larger SIZE such as " + std::to_string(archiveSize / (kMaxSplitFiles - 2) + 1) +
              "; the archive is unchanged");
    return kExitUsage;
  }
  std::vector<String16> newVolumes;
  for (uint64_t k = 2; k <= maxVolumes + 1 && k < 100000; ++k) {
    String16 volume = VolumePath(target, nameBase, static_cast<unsigned>(k));
    if (!plat::Exists(volume.c_str())) newVolumes.push_back(volume);
  }
  ZoResult result = archive->SplitArchive(options.volumeSize, 0);
  bool failed = result < 0 || progress.Cancelled();
  ZoResult closed = failed ? 0 : archive->Close();
  archive.reset();
  if (failed || closed < 0) {
    RemoveFileIfPresent(temp);
    for (const String16& volume : newVolumes) RemoveFileIfPresent(volume);
    return ReportCancelOrFailure(progress, result < 0 ? result : closed, "the archive is unchanged");
  }
  progress.ClearLine();
  if (closed == 1) {
    ErrorLine("nothing to split (the archive holds no entry data); unchanged");
    return kExitPartial;
  }
  CArchive2 check;
  int volumes = 0;
  if (check.Open(target.c_str(), ARC_OPEN_READ, nullptr) >= 0) {
    volumes = check.GetMultiVolumeStatus();
    check.Close();
  }
  Out(plat::ToUtf8(target) + " split into " + std::to_string(volumes) + " files\n");
  NoteSignatureRemoved(signature, target);
  return kExitOk;
}

int RunMerge(const Options& options) {
  String16 target;
  if (!MakeFullPath(options.archive, &target)) return kExitFailure;
  ToolProgress progress(ReplacePolicy::Skip, QuestionSubject::File, false, ShowBar());
  ForcedExitCleanup cleanup;  // OpenForRewrite registers the temporary file
  String16 temp;
  std::unique_ptr<CArchive2> archive = OpenForRewrite(target, ARC_OPEN_MULTIVOL, progress, &temp);
  if (!archive) return kExitFailure;
  const uint64_t signature = archive->GetCertificateTableSize();
  if (archive->GetMultiVolumeStatus() < 2) {
    archive->Close();
    ErrorLine(plat::ToUtf8(target) + " is not split into volumes");
    return kExitFailure;
  }
  ZoResult result = archive->MergeArchive(0);
  bool failed = result < 0 || progress.Cancelled();
  ZoResult closed = failed ? 0 : archive->Close();
  archive.reset();
  if (failed || closed < 0) {
    RemoveFileIfPresent(temp);
    return ReportCancelOrFailure(progress, result < 0 ? result : closed, "the archive is unchanged");
  }
  progress.ClearLine();
  Out(plat::ToUtf8(target) + " merged into one file\n");
  NoteSignatureRemoved(signature, target);
  return kExitOk;
}

}  // namespace ach
