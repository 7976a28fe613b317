// INTERIM: replaced by the setup-launch module.
#include "app/setup_launch.h"
#include <cstdlib>
#include <string>
#include "app/installer_state.h"
#include "platform/text.h"
ZoResult LaunchSetup(const ZoChar* setupApp, const ZoChar* params) {
  std::string cmd = "\"" + plat::ToUtf8(g_installer.targetFolder) + "/" + plat::ToUtf8(setupApp) + "\" " + plat::ToUtf8(params);
  if (std::system(cmd.c_str())) {}
  return 0;
}
