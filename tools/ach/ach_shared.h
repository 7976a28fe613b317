// Pieces the read and write commands share: terminal checks, opening an
// archive with a message on failure, pattern handling and entry selection.
#pragma once
#include <vector>

#include "archive/archive2.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "tools/ach/ach_progress.h"

namespace ach {

// While a command writes a temporary file, a second Ctrl-C (which ends the
// process at once) deletes it; the registration ends with the command.
struct ForcedExitCleanup {
  ForcedExitCleanup() = default;
  explicit ForcedExitCleanup(const plat::String16& path) { plat::RemoveOnForcedExit(path.c_str()); }
  ~ForcedExitCleanup() { plat::RemoveOnForcedExit(nullptr); }
  ForcedExitCleanup(const ForcedExitCleanup&) = delete;
  ForcedExitCleanup& operator=(const ForcedExitCleanup&) = delete;
};

// A progress line is drawn when standard error is a terminal.
bool ShowBar();
// Questions are asked when standard input and standard error are terminals.
bool CanAsk();

// Opens `path` in `mode`; on failure says why (after the engine's own event)
// and returns false.
bool OpenArchive(CArchive2& archive, const plat::String16& path, uint32_t mode, ToolProgress& progress);

// A pattern or stored folder as the user typed it, with '/' turned into the
// archive's '\\' separator (entry names never hold a '/').
plat::String16 ToEntryName(const plat::String16& typed);

// The entries the patterns select, in directory order; `unmatched` receives
// the patterns that select nothing. False when the engine refuses a pattern
// (it has reported why).
bool SelectEntries(CArchive2& archive, const std::vector<plat::String16>& patterns, std::vector<int>* indexes,
                   std::vector<plat::String16>* unmatched);

}  // namespace ach
