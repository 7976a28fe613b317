// The installer's run: the entry routine's whole life on the main thread, and
// the steps of it that other parts and the tests call on their own.
#pragma once
#include <cstdint>

#include "platform/paths.h"
#include "platform/types.h"

// The whole run (the entry routine): 1 when the system is refused or the
// language strings cannot be loaded, 0 otherwise.
int InstallerMain(plat::ModuleHandle instance);

// Length of the longest entry name of the package (0 when it cannot be read).
uint16_t GetLongestEntryName();

// Unpacks "sfxctrl.ach" from the package and its content into `tempFolder`,
// with the damaged-package (551) or no-room (552) message on failure.
ZoResult ExtractControlArchive(const ZoChar* tempFolder);

// Decodes the banner from `path`, else the built-in one, into g_installer.banner.
ZoResult LoadBanner(const ZoChar* path);
