// The run's log (the LOG switch): one UTF-8 text file, written line by line as
// the run goes, so that a run that dies still leaves what it did.
//
// Every line starts with the UTC time ("2026-12-09 15:30:01.250 ") and goes to
// the file at once (one write per line, nothing held back in memory). Lines are
// written whole under one lock, so the main thread and the extraction worker
// may both write. Without an open log every call is a no-op.
#pragma once
#include <cstdint>

#include "platform/types.h"

// Creates (or empties) the log at `path`. False when it cannot be created; the
// run then has no log.
bool RunLog_Open(const ZoChar* path);
bool RunLog_IsOpen();
// One line: `format` and its arguments through the token formatter (the
// system's formats: "%s" for a text, "%d", "0x%08x"), cut at 4,095 units. The
// arguments are never expanded again, so a "$" in a path stands as it is.
void RunLog_Write(const ZoChar* format, ...);
// A step and its result: "STEP: ok", or "STEP: failed (0x...)" for a negative one.
void RunLog_Step(const ZoChar* step, ZoResult result);
void RunLog_Close();
