// Looking inside the package without running anything (-list, -test,
// -extract DIR): the payload, the archive appended to the installer itself, read
// through the engine. No wizard, no temp folder, no setup program.
#pragma once
#include <cstdint>

#include "platform/types.h"

// Runs `what` (LOOK_INSIDE_LIST, _TEST or _EXTRACT with `folder`) on
// InstallerPackagePath(). Results go to standard output, failures to standard
// error, both also to the run's log. 0 when everything succeeded,
// INST_EXIT_FAILURE otherwise (a damaged or unreadable package, an entry that
// fails its check, no room, an extraction error), INST_EXIT_CANCELLED after an
// interrupt.
//   -list:    one line per entry: size, CRC-32, modification time (UTC), name
//   -test:    every entry inflated and checked against both CRCs and its size
//   -extract: the payload unpacked into `folder` (created when missing; a
//             relative name is taken from the current folder), existing files
//             replaced as in a quiet run
int RunLookInside(int32_t what, const ZoChar* folder);
