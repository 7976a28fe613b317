// ach package: an installer package in one step. In a private temp folder it
// writes the settings file "sfxinst.ini" (PackageSettings::Save), the control
// archive "sfxctrl.ach" holding it and the banner, and the payload archive
// holding "sfxctrl.ach" and the product files (both through create's own code),
// then puts the stub in front with the engine's CreateSEA into "~OUTPUT" beside
// the output and moves that over OUTPUT only when it is complete. The temp
// folder goes on every path, a second Ctrl-C too; a failure or Ctrl-C leaves
// OUTPUT as it was.
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/package_settings.h"
#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/terminal.h"
#include "platform/thread.h"
#include "runtime/zo_path.h"
#include "tools/ach/ach_commands.h"
#include "tools/ach/ach_files.h"
#include "tools/ach/ach_output.h"
#include "tools/ach/ach_progress.h"
#include "tools/ach/ach_shared.h"

namespace ach {

using plat::String16;

namespace {

constexpr ZoChar kSettingsName[] = u"sfxinst.ini";
constexpr ZoChar kControlName[] = u"sfxctrl.ach";
constexpr ZoChar kPayloadName[] = u"payload.ach";
// Every file the command writes into its temp folder, with the temporary
// files the archive writer makes beside its archives.
constexpr const ZoChar* kWrittenHere[] = {kSettingsName, kControlName, u"~sfxctrl.ach", kPayloadName,
                                          u"~payload.ach"};

// A folder under the system temp path that only this user can enter, made for
// this run (never an existing one) and removed with everything in it.
class PrivateTempFolder {
 public:
  PrivateTempFolder() = default;
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;
  ~PrivateTempFolder() {
    if (path_.empty()) return;
    plat::RemoveFolderOnForcedExit(nullptr, nullptr, 0);
    ZoDeleteDirectory(path_.c_str(), nullptr, true);
  }

  bool Create() {
    ZoChar temp[ZO_MAX_PATH] = {};
    const uint32_t length = plat::GetTempPath(temp, ZO_MAX_PATH);
    if (length == 0 || length >= static_cast<uint32_t>(ZO_MAX_PATH)) return false;
    const String16 prefix = String16(temp, length) + u"ach-package-" +
                            plat::U16(std::to_string(plat::CurrentThreadId())) + u"-";
    for (int n = 1; n <= 1000; ++n) {
      const String16 candidate = prefix + plat::U16(std::to_string(n));
      if (candidate.size() + 20 >= static_cast<size_t>(ZO_MAX_PATH)) return false;  // room for the names inside
      if (plat::CreatePrivateDirectory(candidate.c_str())) {
        path_ = candidate;
        // A second Ctrl-C ends the process before this object goes: the
        // folder and what the command writes into it go with it.
        plat::RemoveFolderOnForcedExit(path_.c_str(), kWrittenHere, std::size(kWrittenHere));
        return true;
      }
      if (plat::LastError() != plat::kErrorAlreadyExists) return false;
    }
    return false;
  }
  String16 Join(const ZoChar* name) const { return path_ + plat::kSeparator + name; }
  const String16& Path() const { return path_; }

 private:
  String16 path_;
};

// The stub `ach` ships with: "sfxstub" in ach's own folder, with ach's own
// extension when that is ".exe".
String16 DefaultStub() {
  ZoChar own[ZO_MAX_PATH] = {};
  const uint32_t length = plat::GetModuleFileName(nullptr, own, ZO_MAX_PATH);
  if (length == 0 || length >= static_cast<uint32_t>(ZO_MAX_PATH)) return String16();
  const String16 self(own, length);
  String16 stub = FolderOf(self) + u"sfxstub";
  if (self.size() > 4 && plat::EqualsNoCase(plat::StringView16(self).substr(self.size() - 4), u".exe")) {
    stub += u".exe";
  }
  return stub;
}

// True when the file starts with `signature`.
bool StartsWith(const String16& path, const unsigned char* signature, size_t size) {
  plat::File file = plat::File::Open(path.c_str(), plat::Access::Read, plat::kShareRead,
                                     plat::Disposition::OpenExisting);
  unsigned char head[8] = {};
  size_t got = 0;
  if (size > sizeof head || !file || !file.Read(head, size, &got) || got != size) return false;
  for (size_t i = 0; i < size; ++i) {
    if (head[i] != signature[i]) return false;
  }
  return true;
}

bool IsPng(const String16& path) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return StartsWith(path, kSignature, sizeof kSignature);
}

// A Windows executable starts with "MZ": its package installs on Windows.
bool IsWindowsExecutable(const String16& path) {
  static const unsigned char kSignature[2] = {'M', 'Z'};
  return StartsWith(path, kSignature, sizeof kSignature);
}

// Copies an option's value into its settings field; a value that does not fit
// is refused rather than cut.
bool SetField(const char* option, const String16& value, ZoChar* field, int capacity) {
  if (value.size() >= static_cast<size_t>(capacity)) {
    ErrorLine(std::string(option) + " is longer than the " + std::to_string(capacity - 1) +
              " characters a package setting holds");
    return false;
  }
  plat::CopyTruncated(field, static_cast<size_t>(capacity), value);
  return true;
}

bool ApplyOptions(const Options& options, PackageSettings* settings) {
  struct TextOption {
    const char* name;
    const std::optional<String16>& value;
    ZoChar* field;
    int capacity;
  } const texts[] = {
      {"--name", options.packageName, settings->name, kSettingsNameCapacity},
      {"--title", options.packageTitle, settings->title, kSettingsTitleCapacity},
      {"--target", options.packageTarget, settings->defaultTarget, kSettingsDefaultTargetCapacity},
      {"--setup", options.packageSetup, settings->setupApp, kSettingsSetupAppCapacity},
      {"--setup-params", options.packageSetupParams, settings->setupAppParams, kSettingsSetupAppParamsCapacity},
  };
  for (const TextOption& text : texts) {
    if (text.value && !SetField(text.name, *text.value, text.field, text.capacity)) return false;
  }
  if (options.packageLcid) settings->lcid = *options.packageLcid;
  if (options.packageExtractToTemp) settings->extractToTemp = *options.packageExtractToTemp;
  return true;
}

// The settings of the package and the banner file to carry (empty: none).
// Returns an exit status; kExitOk when both are ready.
int PrepareSettings(const Options& options, PackageSettings* settings, String16* bannerPath) {
  if (!options.settingsFile.empty()) {
    String16 file;
    if (!MakeFullPath(options.settingsFile, &file)) return kExitUsage;
    if (!FileExists(file)) {
      ErrorLine("settings file not found: " + plat::ToUtf8(file));
      return kExitUsage;
    }
    settings->Load(file.c_str());
    const String16 named(settings->banner, plat::BoundedLength(settings->banner, kSettingsBannerCapacity));
    if (!named.empty() && options.banner.empty()) {
      // A banner the file names is looked for beside it.
      String16 beside = FolderOf(file) + named;
      if (FileExists(beside)) {
        *bannerPath = beside;
      } else {
        ErrorLine("warning: the banner " + plat::ToUtf8(named) + " named by " + plat::ToUtf8(file) +
                  " is not beside it; the package shows the built-in banner");
        settings->banner[0] = 0;
      }
    }
  } else if (!ApplyOptions(options, settings)) {
    return kExitUsage;
  }
  if (!options.banner.empty() && !MakeFullPath(options.banner, bannerPath)) return kExitUsage;
  if (bannerPath->empty()) return kExitOk;
  if (!FileExists(*bannerPath)) {
    ErrorLine("banner not found: " + plat::ToUtf8(*bannerPath));
    return kExitUsage;
  }
  if (!IsPng(*bannerPath)) {
    ErrorLine("the banner is not a PNG picture: " + plat::ToUtf8(*bannerPath));
    return kExitUsage;
  }
  // The control archive is unpacked flat beside the settings file.
  const String16 name = FileNameOf(*bannerPath);
  if (plat::EqualsNoCase(name, kSettingsName) || plat::EqualsNoCase(name, kControlName)) {
    ErrorLine("the banner may not be named " + plat::ToUtf8(name));
    return kExitUsage;
  }
  return SetField("the banner's file name", name, settings->banner, kSettingsBannerCapacity) ? kExitOk : kExitUsage;
}

// The settings file, written through PackageSettings::Save into a file that
// starts with the UTF-16LE mark: every stub then reads each character of the
// names as written (an 8-bit file would be read in the ANSI code page on Windows).
bool WriteSettingsFile(PackageSettings& settings, const String16& path) {
  static const unsigned char kUtf16Mark[2] = {0xFF, 0xFE};
  plat::File file = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone,
                                     plat::Disposition::CreateNew);
  if (!file || !file.Write(kUtf16Mark, sizeof kUtf16Mark) || !file.Close()) return false;
  return settings.Save(path.c_str()) >= 0;
}

Options CreateOptions(const Options& options, const String16& archive, std::vector<String16> operands) {
  Options create;
  create.command = Command::Create;
  create.archive = archive;
  create.operands = std::move(operands);
  create.level = options.level;
  create.recurse = true;
  return create;
}

int Cancelled() {
  ErrorLine("cancelled; no package written");
  return kExitFailure;
}

}  // namespace

int RunPackage(const Options& options) {
  String16 output;
  if (!MakeFullPath(options.archive, &output)) return kExitFailure;
  if (plat::IsDirectory(output.c_str())) {
    ErrorLine(plat::ToUtf8(output) + " is a folder");
    return kExitFailure;
  }
  String16 stub = options.stub.empty() ? DefaultStub() : String16();
  if (!options.stub.empty() && !MakeFullPath(options.stub, &stub)) return kExitUsage;
  if (stub.empty() || !FileExists(stub)) {
    ErrorLine("stub not found: " + (stub.empty() ? std::string("sfxstub beside ach") : plat::ToUtf8(stub)) +
              " (give the installer stub with --stub STUB)");
    return kExitUsage;
  }
  if (SamePath(output, stub)) {
    ErrorLine("the output must differ from the stub");
    return kExitUsage;
  }
  for (const String16& path : options.operands) {
    if (plat::EqualsNoCase(FileNameOf(WithoutTrailingSeparators(path)), kControlName)) {
      ErrorLine("a product file may not be named " + plat::ToUtf8(kControlName) + ": the package's own is");
      return kExitUsage;
    }
  }
  auto settings = std::make_unique<PackageSettings>();
  String16 bannerPath;
  if (int status = PrepareSettings(options, settings.get(), &bannerPath); status != kExitOk) return status;
  // The built-in target in the form of the system the stub runs on: a package
  // for Windows may be built on Linux, and the other way round.
  if (!options.packageTarget && plat::StringView16(settings->defaultTarget) == BuiltInDefaultTarget(plat::kSeparator)) {
    const ZoChar separator = IsWindowsExecutable(stub) ? u'\\' : u'/';
    plat::CopyTruncated(settings->defaultTarget, kSettingsDefaultTargetCapacity, BuiltInDefaultTarget(separator));
  }

  PrivateTempFolder temp;
  if (!temp.Create()) {
    ErrorLine("cannot create a private temp folder");
    return kExitFailure;
  }
  const String16 settingsPath = temp.Join(kSettingsName);
  if (!WriteSettingsFile(*settings, settingsPath)) {
    ErrorLine("cannot write " + plat::ToUtf8(settingsPath));
    return kExitFailure;
  }
  if (plat::InterruptRequested()) return Cancelled();

  // The control archive: the settings and the banner, nothing may be left out.
  const String16 controlPath = temp.Join(kControlName);
  std::vector<String16> control{settingsPath};
  if (!bannerPath.empty()) control.push_back(bannerPath);
  int status = CreateArchiveFile(CreateOptions(options, controlPath, control), false);
  if (status != kExitOk) {
    if (status == kExitPartial) ErrorLine("the banner cannot be stored under its name; no package written");
    return status == kExitPartial ? kExitFailure : status;
  }
  if (plat::InterruptRequested()) return Cancelled();

  // The payload: the control archive and the product files, as create adds them.
  const String16 payloadPath = temp.Join(kPayloadName);
  std::vector<String16> payload{controlPath};
  payload.insert(payload.end(), options.operands.begin(), options.operands.end());
  const int payloadStatus = CreateArchiveFile(CreateOptions(options, payloadPath, payload), false);
  if (payloadStatus != kExitOk && payloadStatus != kExitPartial) {
    ErrorLine("no package written");
    return payloadStatus;
  }
  if (plat::InterruptRequested()) return Cancelled();
  {
    CArchive2 check;  // create wrote it because sfxctrl.ach was there: were product files too?
    const bool productFiles = check.Open(payloadPath.c_str(), ARC_OPEN_READ, nullptr) >= 0 &&
                              check.GetArchiveCount() > 1;
    check.Close();
    if (!productFiles) {
      ErrorLine("no product files to package; no package written");
      return kExitPartial;
    }
  }

  // The stub in front, into "~OUTPUT", which replaces OUTPUT once complete.
  const String16 written = RewriteTempPath(output);
  ForcedExitCleanup cleanup(written);
  ToolProgress progress(ReplacePolicy::Overwrite, QuestionSubject::File, false, ShowBar());
  auto archive = std::make_unique<CArchive2>();
  if (!OpenArchive(*archive, payloadPath, ARC_OPEN_SEA, progress)) return kExitFailure;
  ZoResult result = archive->CreateSEA(written.c_str(), stub.c_str(), 0);
  const ZoResult closed = archive->Close();
  archive.reset();
  if (result >= 0 && closed < 0) result = closed;
  if (result < 0 || progress.Cancelled() || progress.Errors() > 0 || plat::InterruptRequested()) {
    RemoveFileIfPresent(written);
    if (progress.Cancelled() || result == ARC_E_CANCELLED || plat::InterruptRequested()) return Cancelled();
    ErrorLine("failed: " + FormatResult(result) + "; no package written");
    return kExitFailure;
  }
  if (!plat::MoveFile(written.c_str(), output.c_str(), true)) {
    RemoveFileIfPresent(written);
    ErrorLine("cannot move the package to " + plat::ToUtf8(output));
    return kExitFailure;
  }
  progress.ClearLine();
  Out("package written to ");
  Out(output);
  Out("\n");
  return payloadStatus;
}

}  // namespace ach
