// Result codes of every layer, in the COM convention (negative is failure).
// The platform's E_* values are defined here unless <windows.h> already has them;
// on Windows the wrapper header includes <windows.h> first, so the values agree.
#pragma once
#include "platform/types.h"

#define ZO_RESULT(x) (static_cast<ZoResult>(static_cast<uint32_t>(x)))

#ifndef S_OK
#define S_OK ZO_RESULT(0)
#endif
#ifndef S_FALSE
#define S_FALSE ZO_RESULT(1)
#endif
#ifndef E_FAIL
#define E_FAIL ZO_RESULT(0x80004005)
#endif
#ifndef E_NOTIMPL
#define E_NOTIMPL ZO_RESULT(0x80004001)
#endif
#ifndef E_OUTOFMEMORY
#define E_OUTOFMEMORY ZO_RESULT(0x8007000E)
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG ZO_RESULT(0x80070057)
#endif

inline constexpr bool ZoSucceeded(ZoResult r) { return r >= 0; }
inline constexpr bool ZoFailed(ZoResult r) { return r < 0; }

// Archive engine.
inline constexpr ZoResult ARC_E_OPEN_FAILED = ZO_RESULT(0x8004E006);
inline constexpr ZoResult ARC_E_NOT_SEA = ZO_RESULT(0x8004E007);
inline constexpr ZoResult ARC_E_READ = ZO_RESULT(0x8004E008);
inline constexpr ZoResult ARC_E_WRITE = ZO_RESULT(0x8004E009);
inline constexpr ZoResult ARC_E_CHECK = ZO_RESULT(0x8004E00B);
inline constexpr ZoResult ARC_E_CANCELLED = ZO_RESULT(0x8004E00C);
inline constexpr ZoResult ARC_E_VOLUME_NOT_FOUND = ZO_RESULT(0x8004E00D);
inline constexpr ZoResult ARC_E_FILE_NOT_FOUND = ZO_RESULT(0x8004E032);
inline constexpr ZoResult ARC_E_BAD_NAME = ZO_RESULT(0x8004E03C);
inline constexpr ZoResult ARC_STATUS_PAUSED = ZO_RESULT(0x8004E050);
inline constexpr ZoResult ARC_E_BAD_SIGNATURE = ZO_RESULT(0x8004E0B0);
inline constexpr ZoResult ARC_E_DISK_FULL = ZO_RESULT(0x8004E0C8);

// Shared runtime library (paths, PNG, temp files, error translation).
inline constexpr ZoResult ZO_E_CANNOT_OPEN = ZO_RESULT(0x8004E007);      // file cannot be opened
inline constexpr ZoResult ZO_E_BAD_FORMAT = ZO_RESULT(0x8004E00B);       // not the expected format
inline constexpr ZoResult ZO_E_FOLDER_NOT_FOUND = ZO_RESULT(0x8004E00D); // folder does not exist
inline constexpr ZoResult ZO_E_RESOURCE_NOT_FOUND = ZO_RESULT(0x8004E00E);

// Installer application.
inline constexpr ZoResult INST_E_RESPONSE_FILE = ZO_RESULT(0x8004E007);
inline constexpr ZoResult INST_E_HELP_SHOWN = ZO_RESULT(0x8004E070);
inline constexpr ZoResult INST_E_TEMP_NOT_WRITABLE = ZO_RESULT(0x8004E071);
