// The one installer state record of the process, and the path of the package.
#include "app/installer_state.h"

#include <new>

#include "platform/text.h"
#include "runtime/zo_printf.h"

InstallerState g_installer;

namespace {
ZoChar g_packagePath[ZO_MAX_PATH] = {};
bool g_packagePathSet = false;
plat::String16 g_commandLine;
}  // namespace

void ResetInstallerState() { g_installer = InstallerState{}; }

const ZoChar* InstallerPackagePath() {
  if (!g_packagePathSet) {
    const uint32_t length = plat::GetModuleFileName(g_installer.instance, g_packagePath, ZO_MAX_PATH);
    if (length == 0 || length >= ZO_MAX_PATH) g_packagePath[0] = 0;
    g_packagePathSet = true;
  }
  return g_packagePath;
}

void SetInstallerPackagePath(const ZoChar* path) {
  g_packagePath[0] = 0;
  g_packagePathSet = path != nullptr;
  if (path) plat::CopyTruncated(g_packagePath, ZO_MAX_PATH, path);
}

const ZoChar* InstallerCommandLine() { return g_commandLine.c_str(); }

void SetInstallerCommandLine(const ZoChar* text) {
  try {
    g_commandLine = text ? text : u"";
  } catch (const std::bad_alloc&) {
    g_commandLine.clear();
  }
}

bool JoinInstallerPath(ZoChar* out, const ZoChar* folder, const ZoChar* name) {
  const ZoChar format[] = {u'%', u's', plat::kSeparator, u'%', u's', 0};
  const size_t needed = plat::BoundedLength(folder, ZO_MAX_PATH) + 1 + plat::Length(name);
  ZoPrintFEx(out, ZO_MAX_PATH, format, folder, name);
  return needed < static_cast<size_t>(ZO_MAX_PATH);
}
