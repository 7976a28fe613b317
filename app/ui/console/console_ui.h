// The console back end of the installer's user interface (see console_ui.cpp).
#pragma once
#include "app/installer_ui.h"

InstallerUi& ConsoleInstallerUi();
