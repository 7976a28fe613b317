// The installer's whole run on the main thread (see main_flow.h): start-up, the
// command line, the temp folder, the control archive, the settings and tokens,
// the banner, the wizard, the setup launch and the release of everything.
#include "app/main_flow.h"

#include <memory>
#include <new>
#include <string>

#include "app/command_line.h"
#include "app/extract_progress.h"
#include "app/installer_state.h"
#include "app/installer_ui.h"
#include "app/look_inside.h"
#include "app/run_log.h"
#include "app/package_settings.h"
#include "app/setup_launch.h"
#include "app/temp_folder.h"
#include "app/ui/quiet/quiet_ui.h"
#include "app/wizard.h"
#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "runtime/zo_dib.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_os.h"
#include "runtime/zo_path.h"
#include "runtime/zo_png.h"
#include "runtime/zo_printf.h"

namespace {

constexpr ZoChar kProductName[] = u"Orvande Self Extractor";
constexpr ZoChar kControlArchive[] = u"sfxctrl.ach";
constexpr ZoChar kSettingsFile[] = u"sfxinst.ini";
constexpr ZoChar kPostInstall[] = u" --post_install";
constexpr uint32_t kFlagsStopTopmost = 0x40010;
constexpr uint32_t kFlagsExclamation = 0x30;
constexpr uint32_t kControlFlags = ARC_EXTRACT_FLAT | 2 | ARC_EXTRACT_OVERWRITE;  // 7
constexpr uint32_t kBannerResource = 107;

void ShowMessageId(uint32_t id) { ZoMsgBoxId(g_installer.language, nullptr, kFlagsExclamation, id); }

// Whether the settings file is there and is text: 8-bit text holds no zero
// byte, UTF-16 text starts with its byte-order mark. A package whose settings are
// missing or binary is damaged; running it on built-in defaults would unpack it
// somewhere nobody chose.
bool IsSettingsText(const ZoChar* path) {
  plat::File file = plat::File::Open(path, plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
  if (!file.IsValid()) return false;
  uint8_t bytes[16384];  // a settings file is small; its start tells
  size_t got = 0;
  if (!file.Read(bytes, sizeof bytes, &got)) return false;
  if (got >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) return true;
  for (size_t i = 0; i < got; ++i) {
    if (bytes[i] == 0) return false;
  }
  return true;
}

void RemoveTempFolder() {
  if (g_installer.tempFolder[0] && plat::IsDirectory(g_installer.tempFolder)) {
    ZoDeleteDirectory(g_installer.tempFolder, nullptr, true);
    RunLog_Write(u"temp folder removed");
  }
  g_installer.tempFolder[0] = 0;
}

// ---- how the run ends: the exit code of quiet and passive runs ----------------

enum class RunEnd { Success, Failed, Cancelled };
struct RunOutcome {
  RunEnd end = RunEnd::Success;
  bool setupRan = false;
  uint32_t setupExitCode = 0;
};
RunOutcome g_outcome;

// The first end that is not a success decides; an interrupt that is pending
// when a step fails makes it a cancel (the step gave up because of it).
void EndRun(RunEnd end, const ZoChar* step, ZoResult result) {
  if (g_outcome.end != RunEnd::Success) return;
  if (end == RunEnd::Failed && plat::InterruptRequested()) end = RunEnd::Cancelled;
  g_outcome.end = end;
  if (end == RunEnd::Cancelled) {
    RunLog_Write(u"%s: cancelled", step);
  } else {
    RunLog_Step(step, result < 0 ? result : ZoResult{E_FAIL});
    RunLog_Write(u"the run failed at the step: %s", step);
  }
}
void Fail(const ZoChar* step, ZoResult result = E_FAIL) { EndRun(RunEnd::Failed, step, result); }

// The exit code: an interactive run keeps its own (0, or 1 for the two start-up
// refusals); quiet and passive runs tell their end.
int FinishRun(int interactiveCode) {
  int code = interactiveCode;
  if (IsUnattendedRun(g_installer)) {
    switch (g_outcome.end) {
      case RunEnd::Success:
        code = g_outcome.setupRan ? static_cast<int>(g_outcome.setupExitCode) : 0;
        break;
      case RunEnd::Cancelled: code = INST_EXIT_CANCELLED; break;
      case RunEnd::Failed: code = INST_EXIT_FAILURE; break;
    }
  }
  RunLog_Write(u"exit code: %u", static_cast<uint32_t>(code));
  RunLog_Close();
  return code;
}

// ---- boxes in logged and unattended runs ---------------------------------------

// Every box, with its answer, goes to the log as one line.
void LogBox(const ZoChar* text, const ZoChar*, uint32_t flags, int32_t answer) {
  if (!RunLog_IsOpen()) return;
  plat::String16 line;
  try {
    line = text;
    for (ZoChar& c : line) {
      if (c == u'\n' || c == u'\r') c = u' ';
    }
  } catch (const std::bad_alloc&) {
    line.clear();
  }
  RunLog_Write(u"message box (flags 0x%x, answer %d): %s", flags, answer, line.c_str());
}

// The no-UI answer of quiet and passive runs: the box's default button, from the
// answerer's table, on whichever thread asks; nothing is shown. A default the
// set does not have is its first button, as the system's box takes it.
int32_t AnswerUnattended(void*, plat::WindowHandle, const ZoChar* text, const ZoChar*, uint32_t flags) {
  int32_t answer = ZoMsgBox_DefaultAnswer(flags);
  if (answer == -1) {
    RunLog_Write(u"%s", ZO_MSGBOX_INVALID_TEXT);
    answer = ZoMsgBox_DefaultAnswer(flags & ~0xF00u);
  }
  if (g_installer.runMode == RUN_MODE_PASSIVE) ActiveInstallerUi().ShowUnattendedMessage(text);
  return answer;
}

// Opens the log and routes the boxes as the switches known so far ask. Called
// before the command line is applied (with what ScanUnattendedSwitches found)
// and again after it (a response file may have named more); a second call only
// adds what the first did not do.
void PrepareRun() {
  if (g_installer.logPath[0] && !RunLog_IsOpen()) {
    if (RunLog_Open(g_installer.logPath)) {
      RunLog_Write(u"log of the run, package %s", InstallerPackagePath());
      RunLog_Write(u"command line: %s", InstallerCommandLine());
    } else if (IsUnattendedRun(g_installer)) {
      // The caller asked for a record it cannot get: the run does not go on blind.
      Fail(u"log file");
    }
  }
  ZoMsgBoxSetObserver(LogBox);
  if (IsUnattendedRun(g_installer)) {
    ZoMsgBoxSetHook(AnswerUnattended, nullptr);
    if (g_installer.runMode == RUN_MODE_QUIET) SetActiveInstallerUi(&QuietInstallerUi());
  }
}

void LogSettings(const PackageSettings& settings) {
  RunLog_Write(u"settings: Name=%s", settings.name);
  RunLog_Write(u"settings: Title=%s", settings.title);
  RunLog_Write(u"settings: DefaultTarget=%s", settings.defaultTarget);
  RunLog_Write(u"settings: SetupApp=%s", settings.setupApp);
  RunLog_Write(u"settings: SetupAppParams=%s", settings.setupAppParams);
  RunLog_Write(u"settings: ExtractToTemp=%d", settings.extractToTemp);
  RunLog_Write(u"settings: LCID=%u", settings.lcid);
  RunLog_Write(u"settings: Banner=%s", settings.banner);
}

// The end of the wizard when it did not finish with the payload in place.
void EndExtraction() {
  ExtractProgress* progress = g_installer.progress;
  if (!progress) {
    // No extraction started: the destination page was cancelled, or a page
    // could not be shown at all (an unattended run has no destination page).
    if (IsUnattendedRun(g_installer)) {
      Fail(u"progress page");
    } else {
      EndRun(RunEnd::Cancelled, u"destination page", ARC_E_CANCELLED);
    }
  } else if (progress->UserCancelled() && !progress->ErrorReported()) {
    EndRun(RunEnd::Cancelled, u"extraction", ARC_E_CANCELLED);
  } else {
    Fail(u"extraction", g_installer.workerResult < 0 ? g_installer.workerResult : ZoResult{E_FAIL});
  }
}

}  // namespace

uint16_t GetLongestEntryName() {
  CArchive2 archive;
  uint32_t longest = 0;
  if (archive.Open(InstallerPackagePath(), ARC_OPEN_READ, nullptr) >= 0) {
    const int count = archive.GetArchiveCount();
    ZoChar name[ZO_MAX_PATH];
    for (int index = 0; index < count; ++index) {
      if (archive.GetEntryName(index, name, ZO_MAX_PATH) >= 0) {
        const uint32_t length = static_cast<uint32_t>(plat::BoundedLength(name, ZO_MAX_PATH));
        if (length > longest) longest = length;
      }
    }
    archive.Close();
  }
  return static_cast<uint16_t>(longest);
}

ZoResult ExtractControlArchive(const ZoChar* tempFolder) {
  CArchive2 package;
  ZoResult result = package.Open(InstallerPackagePath(), ARC_OPEN_READ, nullptr);
  if (result < 0) {
    ShowMessageId(551);
    return result;
  }
  result = package.IsSpaceForExtractEntry(kControlArchive, tempFolder, kControlFlags);
  if (result != 0) {
    ZoChar root[ZO_MAX_PATH] = {};
    ZoGetRootPathFromFilePath(tempFolder, root, ZO_MAX_PATH);
    if (result > 0) {
      ZoMsgBoxId(g_installer.language, nullptr, kFlagsExclamation, 552, root);
    } else {
      // No control archive at all (or a damaged one): the package cannot be used.
      ShowMessageId(551);
    }
    package.Close();
    return result > 0 ? ARC_E_DISK_FULL : result;
  }
  result = package.ExtractEntry(kControlArchive, tempFolder, kControlFlags);
  if (result < 0) {
    ShowMessageId(551);
    package.Close();
    return result;
  }
  {
    ZoChar path[ZO_MAX_PATH];
    CArchive2 control;
    result = JoinInstallerPath(path, tempFolder, kControlArchive) ? control.Open(path, ARC_OPEN_READ, nullptr)
                                                          : ZoResult{E_INVALIDARG};
    if (result >= 0) {
      result = control.IsSpaceForExtractAll(tempFolder, kControlFlags);
      if (result >= 0) result = control.ExtractAll(tempFolder, kControlFlags);
    }
  }
  // A control archive that cannot be opened or unpacked (damaged, unsafe names)
  // leaves the run without settings: it ends with the damaged-package message.
  if (result < 0) ShowMessageId(551);
  package.Close();
  return result;
}

ZoResult LoadBanner(const ZoChar* path) {
  ZoBitmapInfoHeader* dib = nullptr;
  ZoResult result = 0;
  if (path && path[0]) ZoLoadPngDib(nullptr, path, ZO_PNG_FROM_FILE, &dib);
  if (!dib) {
    result = ZoLoadPngDib(g_installer.language, plat::ResourceId(kBannerResource), 0, &dib);
    if (result < 0 || !dib) return result;
  }
  g_installer.banner = ActiveInstallerUi().AdoptBanner(dib, &g_installer.bannerWidth, &g_installer.bannerHeight);
  ZoDibFree(dib);
  return result;
}

namespace {

// Steps 14 to 27 of a run, with the settings loaded: tokens, target, caption,
// banner, the wizard and the setup launch. Returns when the run is over; the
// caller releases what it leaves in g_installer.
void RunPackage(PackageSettings& settings) {
  ZoLang_UpdateKernelLCID(g_installer.language, settings.lcid, 0);
  ZoChar drive[ZO_MAX_PATH] = {};
  if (plat::GetWindowsDrive(drive, ZO_MAX_PATH) >= ZO_MAX_PATH) drive[0] = 0;
  ZoPrintF_AddToken(u"AppName", settings.name);
  ZoPrintF_AddToken(u"AppName.Title", settings.title);
  ZoPrintF_AddToken(u"WindowsDrive", drive);
  ZoChar programFiles[ZO_MAX_PATH] = {};
  const uint32_t length = plat::GetProgramFilesFolder(programFiles, ZO_MAX_PATH);
  if (length == 0 || length >= ZO_MAX_PATH || programFiles[0] == 0)
    ZoLoadString(g_installer.language, 308, programFiles, ZO_MAX_PATH);
  ZoPrintF_AddToken(u"ProgramFiles", programFiles);

  plat::CopyTruncated(g_installer.titleFont, 255, settings.titleFont);
  g_installer.titleColor = ParseTitleColor(settings.titleFontColor);
  g_installer.extractToTemp = settings.extractToTemp;
  if (!g_installer.runOnly) {
    if (settings.defaultTarget[0]) {
      ZoPrintFEx(g_installer.targetFolder, ZO_MAX_PATH, settings.defaultTarget);
    } else {
      ExpandString(204, g_installer.targetFolder, ZO_MAX_PATH);
    }
  }
  ExpandString(700, g_installer.caption, ZO_MAX_PATH);
  g_installer.windowX = -1;
  g_installer.windowY = -1;

  // TARGET replaces the package's folder in every run (not the one RUN names).
  if (g_installer.targetGiven && !g_installer.runOnly) {
    ZoChar full[ZO_MAX_PATH] = {};
    const uint32_t fullLength = plat::GetFullPath(g_installer.targetOverride, full, ZO_MAX_PATH);
    plat::CopyTruncated(g_installer.targetFolder, ZO_MAX_PATH,
                        fullLength > 0 && fullLength < ZO_MAX_PATH ? full : g_installer.targetOverride);
  }
  RunLog_Write(u"target folder: %s", g_installer.targetFolder);

  ZoChar path[ZO_MAX_PATH];
  if (!JoinInstallerPath(path, g_installer.tempFolder, settings.banner) || LoadBanner(path) < 0) {
    ShowMessageId(553);
    Fail(u"banner");
    return;
  }
  if (!g_installer.extractToTemp) RemoveTempFolder();

  const bool unattended = IsUnattendedRun(g_installer);
  if (!g_installer.runOnly) {
    // Nobody is asked in an unattended run: the target is validated as the
    // destination page would, and the wizard starts at the progress page.
    if (unattended && !ValidateDestination(g_installer.targetFolder, true, nullptr)) {
      Fail(u"target folder", E_INVALIDARG);
      return;
    }
    if (unattended && plat::InterruptRequested()) {
      EndRun(RunEnd::Cancelled, u"before the extraction", ARC_E_CANCELLED);
      return;
    }
    g_installer.archiveEndEvent = new (std::nothrow) plat::Event(true, false);
    if (!g_installer.archiveEndEvent) {
      Fail(u"extraction", E_OUTOFMEMORY);
      return;
    }
    int finished = RunWizard(g_installer.extractToTemp || unattended ? 1 : 0);
    if (!finished && !g_installer.progress && g_installer.runMode == RUN_MODE_PASSIVE &&
        !plat::InterruptRequested()) {
      // A progress page that cannot be shown (no display) must not stop a
      // passive run: it goes on as a quiet one.
      RunLog_Write(u"the progress page cannot be shown: the run goes on without it");
      SetActiveInstallerUi(&QuietInstallerUi());
      finished = RunWizard(1);
    }
    if (finished) g_installer.archiveEndEvent->Wait();
    if (g_installer.progress) {
      const ExtractProgress& progress = *g_installer.progress;
      const uint64_t bytes = progress.done;
      RunLog_Write(u"extracted %u files, %s bytes into %s", progress.filesStarted - progress.filesSkipped,
                   plat::FromUtf8(std::to_string(bytes)).c_str(), g_installer.targetFolder);
    }
    if (!finished || g_installer.workerResult < 0) {
      EndExtraction();
      return;
    }
    RunLog_Step(u"extraction", g_installer.workerResult);
  }
  if (unattended && plat::InterruptRequested()) {
    EndRun(RunEnd::Cancelled, u"before the setup program", ARC_E_CANCELLED);
    return;
  }
  // The setting and " --post_install" in a buffer that holds both, so that a long
  // setting is never cut; the setup launch refuses what its own buffer cannot hold.
  ZoChar params[ZO_MAX_PATH + sizeof kPostInstall / sizeof kPostInstall[0]];
  plat::CopyTruncated(params, ZO_MAX_PATH, settings.setupAppParams);
  if (g_installer.postInstall) {
    const size_t used = plat::Length(params);
    plat::CopyTruncated(params + used, sizeof params / sizeof params[0] - used, kPostInstall);
  }
  if (g_installer.noSetup) {
    RunLog_Write(u"setup program skipped (NOSETUP)");
    return;
  }
  bool started = false;
  uint32_t exitCode = 0;
  LaunchSetup(settings.setupApp, params, &exitCode, &started);
  if (!started) {
    Fail(u"setup launch");
    return;
  }
  g_outcome.setupRan = true;
  g_outcome.setupExitCode = exitCode;
}

// Steps 13 to 28: the settings, the run, and the release in its fixed order.
void RunWithTempFolder() {
  std::unique_ptr<PackageSettings> settings(new (std::nothrow) PackageSettings);
  ZoChar path[ZO_MAX_PATH];
  if (!settings || !JoinInstallerPath(path, g_installer.tempFolder, kSettingsFile) || !IsSettingsText(path) ||
      settings->Load(path) < 0) {
    ShowMessageId(551);
    Fail(u"settings");
  } else {
    RunLog_Step(u"settings", S_OK);
    LogSettings(*settings);
    RunPackage(*settings);
  }
  if (g_installer.banner) ActiveInstallerUi().ReleaseBanner(g_installer.banner);
  g_installer.banner = nullptr;
  // A page that ended early may leave the worker running: it is waited for
  // before the event and the progress object it uses go away.
  FinishExtractionWorker();
  delete g_installer.archiveEndEvent;
  g_installer.archiveEndEvent = nullptr;
  delete g_installer.progress;
  g_installer.progress = nullptr;
  settings.reset();
}

}  // namespace

int InstallerMain(plat::ModuleHandle instance) {
  ResetInstallerState();
  g_outcome = RunOutcome{};
  g_installer.instance = instance;
  ZoKernel_Startup(instance);
  ZoMsgBoxSetAppData(instance, nullptr, kProductName);
  ZoPrintF_AddToken(u"AppName", kProductName);
  ZoPrintF_AddToken(u"AppName.Title", kProductName);
  // A quiet or passive run is one before its first box: the switches that say
  // so are read ahead of everything else.
  ScanUnattendedSwitches(InstallerCommandLine());
  PrepareRun();

  if (ZoIsWin95()) {
    ZoMessageBox(nullptr, u"This Operating System does not support this Application.", kProductName,
                 kFlagsStopTopmost);
    Fail(u"system check");
    return FinishRun(1);
  }
  if (ZoLang_Open(&g_installer.language, instance, 3, 0) != 0) {
    ZoMessageBox(nullptr, u"Fatal Error!\nCould not load language strings.", kProductName, kFlagsStopTopmost);
    Fail(u"language strings");
    if (g_installer.language) ZoLang_Close(g_installer.language);
    g_installer.language = nullptr;
    ZoKernel_Shutdown(instance);
    return FinishRun(1);
  }
  ZoLang_ChangeLangInst(g_installer.language, instance);
  g_installer.longestEntryName = GetLongestEntryName();

  const ZoResult parsed = ParseCommandLine(InstallerCommandLine(), true);
  PrepareRun();
  int lookInsideCode = -1;
  if (parsed < 0) {
    Fail(u"command line", parsed);
  } else if (g_outcome.end != RunEnd::Success) {
    // The log a quiet or passive run asked for cannot be written.
  } else if (g_installer.lookInside != LOOK_INSIDE_NONE) {
    lookInsideCode = RunLookInside(g_installer.lookInside, g_installer.lookInsideFolder);
  } else {
    RunLog_Step(u"command line", parsed);
    ZoResult result = CreateTempFolder(g_installer.tempFolder, ZO_MAX_PATH);
    if (result < 0) {
      Fail(u"temp folder", result);
    } else {
      RunLog_Write(u"temp folder: %s", g_installer.tempFolder);
      result = ExtractControlArchive(g_installer.tempFolder);
      if (result < 0) {
        Fail(u"control archive", result);
      } else {
        RunLog_Step(u"control archive", result);
        RunWithTempFolder();
      }
    }
  }
  RemoveTempFolder();
  if (g_installer.language) ZoLang_Close(g_installer.language);
  g_installer.language = nullptr;
  ZoKernel_Shutdown(instance);
  if (lookInsideCode >= 0) {
    RunLog_Write(u"exit code: %u", static_cast<uint32_t>(lookInsideCode));
    RunLog_Close();
    return lookInsideCode;
  }
  return FinishRun(0);
}
