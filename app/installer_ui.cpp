// The back end of this run: the one the entry point chose, else the console.
#include "app/installer_ui.h"

#include "app/ui/console/console_ui.h"

namespace {
InstallerUi* g_activeUi = nullptr;
}  // namespace

InstallerUi& ActiveInstallerUi() { return g_activeUi ? *g_activeUi : ConsoleInstallerUi(); }

void SetActiveInstallerUi(InstallerUi* ui) { g_activeUi = ui; }
