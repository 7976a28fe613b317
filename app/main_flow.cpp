// The installer's whole run on the main thread (see main_flow.h): start-up, the
// command line, the temp folder, the control archive, the settings and tokens,
// the banner, the wizard, the setup launch and the release of everything.
#include "app/main_flow.h"

#include <memory>
#include <new>

#include "app/command_line.h"
#include "app/extract_progress.h"
#include "app/installer_state.h"
#include "app/installer_ui.h"
#include "app/package_settings.h"
#include "app/setup_launch.h"
#include "app/temp_folder.h"
#include "app/wizard.h"
#include "archive/archive2.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/resources.h"
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
  if (g_installer.tempFolder[0] && plat::IsDirectory(g_installer.tempFolder))
    ZoDeleteDirectory(g_installer.tempFolder, nullptr, true);
  g_installer.tempFolder[0] = 0;
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

  ZoChar path[ZO_MAX_PATH];
  if (!JoinInstallerPath(path, g_installer.tempFolder, settings.banner) || LoadBanner(path) < 0) {
    ShowMessageId(553);
    return;
  }
  if (!g_installer.extractToTemp) RemoveTempFolder();

  if (!g_installer.runOnly) {
    g_installer.archiveEndEvent = new (std::nothrow) plat::Event(true, false);
    if (!g_installer.archiveEndEvent || RunWizard(g_installer.extractToTemp) == 0) return;
    g_installer.archiveEndEvent->Wait();
    if (g_installer.workerResult < 0) return;
  }
  // The setting and " --post_install" in a buffer that holds both, so that a long
  // setting is never cut; the setup launch refuses what its own buffer cannot hold.
  ZoChar params[ZO_MAX_PATH + sizeof kPostInstall / sizeof kPostInstall[0]];
  plat::CopyTruncated(params, ZO_MAX_PATH, settings.setupAppParams);
  if (g_installer.postInstall) {
    const size_t used = plat::Length(params);
    plat::CopyTruncated(params + used, sizeof params / sizeof params[0] - used, kPostInstall);
  }
  if (!g_installer.noSetup) LaunchSetup(settings.setupApp, params);
}

// Steps 13 to 28: the settings, the run, and the release in its fixed order.
void RunWithTempFolder() {
  std::unique_ptr<PackageSettings> settings(new (std::nothrow) PackageSettings);
  ZoChar path[ZO_MAX_PATH];
  if (!settings || !JoinInstallerPath(path, g_installer.tempFolder, kSettingsFile) || !IsSettingsText(path) ||
      settings->Load(path) < 0) {
    ShowMessageId(551);
  } else {
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
  g_installer.instance = instance;
  ZoKernel_Startup(instance);
  ZoMsgBoxSetAppData(instance, nullptr, kProductName);
  ZoPrintF_AddToken(u"AppName", kProductName);
  ZoPrintF_AddToken(u"AppName.Title", kProductName);

  if (ZoIsWin95()) {
    ZoMessageBox(nullptr, u"This Operating System does not support this Application.", kProductName,
                 kFlagsStopTopmost);
    return 1;
  }
  if (ZoLang_Open(&g_installer.language, instance, 3, 0) != 0) {
    ZoMessageBox(nullptr, u"Fatal Error!\nCould not load language strings.", kProductName, kFlagsStopTopmost);
    if (g_installer.language) ZoLang_Close(g_installer.language);
    g_installer.language = nullptr;
    ZoKernel_Shutdown(instance);
    return 1;
  }
  ZoLang_ChangeLangInst(g_installer.language, instance);
  g_installer.longestEntryName = GetLongestEntryName();

  if (ParseCommandLine(InstallerCommandLine(), true) >= 0 && CreateTempFolder(g_installer.tempFolder, ZO_MAX_PATH) >= 0 &&
      ExtractControlArchive(g_installer.tempFolder) >= 0) {
    RunWithTempFolder();
  }
  RemoveTempFolder();
  if (g_installer.language) ZoLang_Close(g_installer.language);
  g_installer.language = nullptr;
  ZoKernel_Shutdown(instance);
  return 0;
}
