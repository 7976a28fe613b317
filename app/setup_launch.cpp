// The setup launch: program path, the parameter text and its expansion, the
// start, and the launch error message.
#include "app/setup_launch.h"

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/installer_state.h"
#include "app/run_log.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/results.h"
#include "platform/text.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_printf.h"

namespace {

using plat::String16;

constexpr uint32_t kDefaultParams = 209;
constexpr uint32_t kLaunchErrorText = 517;
constexpr uint32_t kLaunchErrorCaption = 518;
constexpr uint32_t kReasonFileNotFound = 519;
constexpr uint32_t kReasonPathNotFound = 520;
constexpr uint32_t kReasonAccessDenied = 521;
constexpr uint32_t kReasonOutOfMemory = 522;
constexpr uint32_t kReasonSharingViolation = 523;
constexpr uint32_t kReasonUnknown = 524;  // "%d": the error number
constexpr uint32_t kReasonCommandLineTooLong = 525;
constexpr uint32_t kReasonPathTooLong = 526;

// Each string of the message is loaded with room for this many units.
constexpr int kStringCapacity = 1024;

constexpr ZoChar kOwnPathToken[] = u"Quilletage";

// The parameter text as a format with nothing to format: "%" and "$" that would
// begin a conversion are doubled, so that they stand for themselves instead of
// reading arguments that were never passed. Tokens "$(...)", "$$", "%%" and "$%"
// keep the formatter's meaning.
String16 WithoutConversions(plat::StringView16 text) {
  String16 out;
  out.reserve(text.size() + text.size() / 4);
  for (size_t i = 0; i < text.size(); ++i) {
    const ZoChar c = text[i];
    const ZoChar next = i + 1 < text.size() ? text[i + 1] : u'\0';
    if (c == u'$' && (next == u'(' || next == u'$' || next == u'%')) {
      out.push_back(c);
      if (next != u'(') out.push_back(text[++i]);
    } else if (c == u'%' && next == u'%') {
      out.append(u"%%");
      ++i;
    } else if (c == u'%' || c == u'$') {
      out.push_back(c);
      out.push_back(c);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

uint32_t ReasonFor(uint32_t error) {
  switch (error) {
    case plat::kErrorFileNotFound: return kReasonFileNotFound;
    case plat::kErrorPathNotFound: return kReasonPathNotFound;
    case plat::kErrorAccessDenied: return kReasonAccessDenied;
    case plat::kErrorNotEnoughMemory: return kReasonOutOfMemory;
    case plat::kErrorSharingViolation: return kReasonSharingViolation;
    default: return kReasonUnknown;
  }
}

// Message 517 with `path` and the reason `reasonId` (524 formatted with `error`).
void ShowLaunchError(const ZoChar* path, uint32_t reasonId, uint32_t error) {
  HZOLANG lang = g_installer.language;
  ZoChar format[kStringCapacity], reasonFormat[kStringCapacity], reason[kStringCapacity];
  ZoChar caption[kStringCapacity];
  ZoLoadString(lang, reasonId, reasonFormat, kStringCapacity);
  ZoPrintFEx(reason, kStringCapacity, reasonFormat, static_cast<int>(error));
  ZoLoadString(lang, kLaunchErrorText, format, kStringCapacity);
  ZoLoadString(lang, kLaunchErrorCaption, caption, kStringCapacity);
  // Room for the text, the path and the reason, so that none of them is cut.
  constexpr int kTextCapacity = 2 * kStringCapacity + ZO_MAX_PATH;
  ZoChar text[kTextCapacity];
  ZoPrintFEx(text, kTextCapacity, format, path, reason);
  ZoMessageBox(ZO_MSGBOX_NO_OWNER, text, caption, 0x30);
}

// The installer's own short path for the token; false when it cannot be had
// whole within 259 units (*own then holds what was read, for the message).
bool GetOwnShortPath(ZoChar* own, ZoChar* shortPath) {
  const uint32_t ownLength = plat::GetModuleFileName(g_installer.instance, own, ZO_MAX_PATH);
  if (ownLength == 0 || ownLength >= static_cast<uint32_t>(ZO_MAX_PATH)) return false;
  const uint32_t shortLength = plat::GetShortPath(own, shortPath, ZO_MAX_PATH);
  if (shortLength == 0) {
    plat::CopyTruncated(shortPath, ZO_MAX_PATH, own);  // no short form: the path as it is
  } else if (shortLength >= static_cast<uint32_t>(ZO_MAX_PATH)) {
    return false;
  }
  return true;
}

ZoResult Launch(const ZoChar* setupApp, const ZoChar* setupAppParams, uint32_t* exitCode, bool* started) {
  const ZoChar* app = setupApp ? setupApp : u"";
  // The program path: the folder, one separator, the program, none of it cut.
  ZoChar programPath[ZO_MAX_PATH] = {};
  if (!JoinInstallerPath(programPath, g_installer.targetFolder, app)) {
    ShowLaunchError(programPath, kReasonPathTooLong, plat::kErrorFilenameExcedRange);
    return S_OK;
  }

  ZoChar own[ZO_MAX_PATH] = {}, shortPath[ZO_MAX_PATH] = {};
  if (!GetOwnShortPath(own, shortPath)) {
    ShowLaunchError(own, kReasonPathTooLong, plat::kErrorFilenameExcedRange);
    return S_OK;
  }

  ZoChar defaultParams[ZO_MAX_PATH] = {};
  const ZoChar* source = setupAppParams;
  if (!source || !*source) {
    ZoLoadString(g_installer.language, kDefaultParams, defaultParams, ZO_MAX_PATH);
    source = defaultParams;
  }
  // One unit more than the parameters may hold: an expansion that reaches it did
  // not fit.
  std::vector<ZoChar> params(static_cast<size_t>(kSetupParamsCapacity) + 1, u'\0');
  const String16 format = WithoutConversions(source);
  ZoPrintF_AddToken(kOwnPathToken, shortPath);
  const int paramsLength = ZoPrintFEx(params.data(), params.size(), format.c_str());
  ZoPrintF_DeleteToken(kOwnPathToken);
  if (paramsLength >= kSetupParamsCapacity) {
    ShowLaunchError(programPath, kReasonCommandLineTooLong, 0);
    return S_OK;
  }

  // POSIX starts the program with an argument list: the parameter text is split
  // by the word rules of the installer's own command line.
  std::vector<String16> arguments;
  if (!SplitWordsToList(params.data(), &arguments)) throw std::bad_alloc();
  RunLog_Write(u"setup program: %s", programPath);
  RunLog_Write(u"setup parameters: %s", params.data());
  uint32_t code = 0;
  if (!plat::RunProgramAndWait(programPath, params.data(), arguments, &code)) {
    const uint32_t error = plat::LastError();
    RunLog_Write(u"setup could not start: system error %u", error);
    ShowLaunchError(programPath, ReasonFor(error), error);
    return S_OK;
  }
  if (exitCode) *exitCode = code;
  if (started) *started = true;
  RunLog_Write(u"setup exit code: %u", code);
  return S_OK;
}

}  // namespace

ZoResult LaunchSetup(const ZoChar* setupApp, const ZoChar* setupAppParams, uint32_t* exitCode, bool* started) {
  if (exitCode) *exitCode = 0;
  if (started) *started = false;
  try {
    return Launch(setupApp, setupAppParams, exitCode, started);
  } catch (const std::bad_alloc&) {
    // The token must not outlive the launch, whatever stopped it.
    ZoPrintF_DeleteToken(kOwnPathToken);
    ShowLaunchError(g_installer.targetFolder, kReasonOutOfMemory, plat::kErrorNotEnoughMemory);
    return S_OK;
  }
}
