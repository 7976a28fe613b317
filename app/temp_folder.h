// The temp folder of one run: a new, private folder "ZoInstall_<n>" directly in
// the system temp folder, where the control archive is unpacked.
#pragma once
#include "platform/types.h"

// At most this many numbers are tried; folders left by earlier runs are skipped
// without counting as failures, so the walk needs a bound of its own.
inline constexpr int kTempFolderMaxCandidates = 10000;
// Failed creations after which the walk gives up.
inline constexpr int kTempFolderMaxFailures = 10;

// Creates the first free "<temp path>ZoInstall_<n>" (n = 1, 2, ...) and writes
// its path to `buffer` (capacity units, 260 in the main flow). The folder is made
// new and for the current user only; an existing folder of a candidate's name is
// skipped, anything else there (a file, a link) counts as a failed attempt, and
// no existing path is ever used or entered.
// Results: 0; INST_E_TEMP_NOT_WRITABLE when the system temp folder cannot be
// written (message 550); E_INVALIDARG after 10 failed attempts, when no further
// candidate fits the buffer, or after kTempFolderMaxCandidates numbers (message
// 550); E_INVALIDARG without a message for a missing buffer. On failure the
// buffer holds empty text.
ZoResult CreateTempFolder(ZoChar* buffer, int capacity);
