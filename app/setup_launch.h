// Starting the package's setup program from the target folder once the payload
// is in place, and waiting until it has ended.
#pragma once
#include <cstdint>

#include "platform/types.h"

// Capacity of the expanded setup parameters in units, terminator included.
inline constexpr int kSetupParamsCapacity = 2083;

// Starts "<targetFolder><separator><setupApp>" (g_installer.targetFolder; no
// token expansion of setupApp) with setupAppParams, or string 209 when those are
// null or empty, expanded with the token formatter; the token "Quilletage" holds
// the installer's own short path (POSIX: its full path) during the expansion and
// is deleted afterwards. The parameters are text only: "%" and a "$" that does
// not begin a token stand for themselves, since there are no arguments to format.
// The program inherits the installer's current folder. On POSIX it gets the
// parameters split by the command line's word rules as its arguments.
//
// A start that fails is reported with message 517 (caption 518) and the reason
// for the system error (519-524). A program path or an own path longer than 259
// units (526) and parameters longer than 2,082 units (525) are refused the same
// way: nothing is started with a cut path or command line.
//
// Returns 0 always, after the program has ended or the message was closed.
// *exitCode (when not null) receives the program's exit code, 0 when it did not
// run; *started (when not null) whether it ran. The run's log gets the program
// path, the parameters and the exit code or the failure.
ZoResult LaunchSetup(const ZoChar* setupApp, const ZoChar* setupAppParams, uint32_t* exitCode = nullptr,
                     bool* started = nullptr);
