// The installer's process-wide state record and the handles of one run.
//
// One record exists per process (g_installer). The entry routine zeroes it
// first, fills it on the main thread before the extraction worker starts, and
// the worker only reads it afterwards, except workerResult, which the worker
// writes before it sets the end event and the main thread reads only after
// waiting for that event.
#pragma once
#include <cstdint>

#include "platform/paths.h"
#include "platform/thread.h"
#include "platform/types.h"
#include "platform/window.h"
#include "runtime/zo_lang.h"

class ExtractProgress;

// How a run meets the user: the wizard with its questions; the progress alone,
// without a question (PASSIVE); nothing at all (QUIET).
inline constexpr int32_t RUN_MODE_INTERACTIVE = 0;
inline constexpr int32_t RUN_MODE_PASSIVE = 1;
inline constexpr int32_t RUN_MODE_QUIET = 2;

// Exit codes of quiet and passive runs and of looking inside the package, as
// deployment tools read them from installers: 0 success, the setup program's
// own code when it ran, these two otherwise. Interactive runs end with 0 or 1.
inline constexpr int INST_EXIT_CANCELLED = 1602;
inline constexpr int INST_EXIT_FAILURE = 1603;

// Looking inside the package instead of a run: -list, -test, -extract DIR.
inline constexpr int32_t LOOK_INSIDE_NONE = 0;
inline constexpr int32_t LOOK_INSIDE_LIST = 1;
inline constexpr int32_t LOOK_INSIDE_TEST = 2;
inline constexpr int32_t LOOK_INSIDE_EXTRACT = 3;

struct InstallerState {
  plat::ModuleHandle instance = nullptr;  // the executable's own module
  HZOLANG language = nullptr;             // the application's language handle
  int32_t runOnly = 0;                    // RUN: no wizard, no extraction
  ZoChar targetFolder[ZO_MAX_PATH] = {};  // where the payload goes and setup starts from
  int32_t noSetup = 0;                    // NOSETUP: do not launch setup
  int32_t postInstall = 0;                // POST_INSTALL: append " --post_install"
  ZoChar tempFolder[ZO_MAX_PATH] = {};    // this run's temp folder; empty when none
  ZoChar caption[ZO_MAX_PATH] = {};       // caption of both wizard pages
  int32_t windowX = 0;                    // position of the next page; -1: centred
  int32_t windowY = 0;
  plat::Thread* workerThread = nullptr;   // the extraction worker; null when none
  plat::Event* archiveEndEvent = nullptr; // "ArchiveEndEvent": set by the worker at its end
  uint16_t longestEntryName = 0;          // longest entry name of the payload, in units
  plat::WindowHandle progressBar = nullptr;  // the progress page's bar (set by the page)
  void* banner = nullptr;                 // the banner as the user interface keeps it
  int32_t bannerHeight = 0;
  int32_t bannerWidth = 0;
  ZoChar titleFont[255] = {};             // face of the page titles (at most 254 units)
  uint32_t titleColor = 0;                // 0x00BBGGRR
  int32_t extractToTemp = 0;              // copy of the ExtractToTemp setting
  int32_t workerResult = 0;               // ExtractAll's result; 0 before it ran
  ExtractProgress* progress = nullptr;    // created by the progress page, owned here

  // Beyond the installer's first record: unattended runs and looking inside.
  int32_t runMode = RUN_MODE_INTERACTIVE;    // QUIET, PASSIVE (switches) or interactive
  int32_t targetGiven = 0;                   // TARGET: targetOverride replaces DefaultTarget
  ZoChar targetOverride[ZO_MAX_PATH] = {};
  ZoChar logPath[ZO_MAX_PATH] = {};          // LOG: the run's log; empty for none
  int32_t lookInside = LOOK_INSIDE_NONE;     // LIST, TEST or EXTRACT instead of a run
  ZoChar lookInsideFolder[ZO_MAX_PATH] = {}; // EXTRACT's folder
};

// True in a quiet or passive run: no question is asked, every box takes its
// default answer, and the exit code tells the run's end (main_flow.h).
inline bool IsUnattendedRun(const InstallerState& state) { return state.runMode != RUN_MODE_INTERACTIVE; }

extern InstallerState g_installer;

// Zero-fills the record (the entry routine's first step; tests call it between cases).
void ResetInstallerState();

// The installer's own file (the package: the stub with the archive appended), as
// the system names the running executable; empty text when it cannot be told.
// Tests point it at a package of their own.
const ZoChar* InstallerPackagePath();
void SetInstallerPackagePath(const ZoChar* path);

// out (ZO_MAX_PATH units) = folder, one native separator, name: the installer's
// "%s\\%s" paths. False when the whole does not fit; out then holds it cut.
bool JoinInstallerPath(ZoChar* out, const ZoChar* folder, const ZoChar* name);

// The process's whole command line as one text (the program first), as the
// entry point received it; the command-line parser reads it from here.
const ZoChar* InstallerCommandLine();
void SetInstallerCommandLine(const ZoChar* text);
