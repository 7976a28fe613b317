// The quiet back end of the installer's user interface: a run that shows
// nothing and never waits for anyone (see quiet_ui.cpp).
#pragma once
#include "app/installer_ui.h"

InstallerUi& QuietInstallerUi();
