// One error vocabulary for every OS: the Windows system error numbers.
// Every platform call that fails sets the calling thread's last error to one of
// these; the POSIX back end maps errno through one table.
#pragma once
#include <cstdint>

#include "platform/text.h"

namespace plat {

enum : uint32_t {
  kErrorSuccess = 0,
  kErrorInvalidFunction = 1,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorTooManyOpenFiles = 4,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorInvalidDrive = 15,
  kErrorNotSameDevice = 17,
  kErrorNoMoreFiles = 18,
  kErrorWriteProtect = 19,
  kErrorSharingViolation = 32,
  kErrorLockViolation = 33,
  kErrorHandleEof = 38,
  kErrorHandleDiskFull = 39,
  kErrorNotSupported = 50,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorBrokenPipe = 109,
  kErrorOpenFailed = 110,
  kErrorBufferOverflow = 111,
  kErrorDiskFull = 112,
  kErrorCallNotImplemented = 120,
  kErrorInsufficientBuffer = 122,
  kErrorInvalidName = 123,
  kErrorModNotFound = 126,
  kErrorProcNotFound = 127,
  kErrorDirNotEmpty = 145,
  kErrorBusy = 170,
  kErrorAlreadyExists = 183,
  kErrorBadExeFormat = 193,  // a file the system cannot run as a program
  kErrorFileTooLarge = 223,
  kErrorFilenameExcedRange = 206,
  kErrorDirectory = 267,
  kErrorNoUnicodeTranslation = 1113,
  kErrorCantResolveFilename = 1921,
  kErrorTimeout = 1460,
  kErrorIoDevice = 1117,
  kErrorOperationAborted = 995,  // a blocked call given up for an interrupt (Ctrl-C, SIGTERM)
};

// The calling thread's last error (Windows numbering).
uint32_t LastError();
void SetLastError(uint32_t error);

// The system's own text for a result or error code, for an error box: Windows
// asks FormatMessageW (the system's message table, language neutral, inserts
// ignored) and gives the text as the system wrote it; POSIX maps a Windows
// error number, or a result code that wraps one (0x8007xxxx), to errno and
// gives strerror's text. Empty when the system has no text for the code (the
// system's own result codes 0x8004Exxx, for one).
String16 SystemMessageText(uint32_t code);

}  // namespace plat
