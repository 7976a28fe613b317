// The Windows back end of the installer's user interface: the wizard's modal
// dialogs from the templates in resources/ (see win32_ui.cpp).
#pragma once
#include "app/installer_ui.h"

// The dialogs' back end. The first call also registers the common controls the
// templates use (the progress bar).
InstallerUi& Win32InstallerUi();
