// The one installer state record of the process.
#include "app/installer_state.h"

InstallerState g_installer;

void ResetInstallerState() { g_installer = InstallerState{}; }
