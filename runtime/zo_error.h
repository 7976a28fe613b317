// Error translation: Windows system error numbers (the platform layer's error
// vocabulary on every OS) and common-dialog errors to the library's result codes.
#pragma once
#include <cstdint>

#include "platform/results.h"

#ifndef E_HANDLE
#define E_HANDLE ZO_RESULT(0x80070006)
#endif

ZoResult ZoErrorHandler_TranslateWin32Error(uint32_t win32Error);
ZoResult ZoErrorHandler_TranslateCommDlgError(uint32_t commDlgError);
