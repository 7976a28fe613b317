// Error translation tables. Every number not named below gives E_FAIL: the
// system's table lists many more rows, all of them E_FAIL as well.
#include "runtime/zo_error.h"

ZoResult ZoErrorHandler_TranslateWin32Error(uint32_t e) {
  switch (e) {
    case 0: return S_OK;
    case 1: return E_INVALIDARG;                            // invalid function
    case 2: case 3: case 126: case 127: return ZO_RESULT(0x8004E00A);  // file, path, module, procedure not found
    case 4: return ZO_RESULT(0x8004E026);                   // too many open files
    case 6: return E_HANDLE;
    case 14: case 84: return E_OUTOFMEMORY;
    case 15: return ZO_RESULT(0x800404B0);                  // invalid drive
    case 32: return ZO_RESULT(0x8004E05A);                  // sharing violation
    case 39: case 112: return ZO_RESULT(0x8004E002);        // disk full
    case 80: return ZO_RESULT(0x8004E032);                  // file exists
    case 110: return ZO_RESULT(0x8004E007);                 // open failed
    case 120: return E_NOTIMPL;
    case 123: return ZO_RESULT(0x8004E00D);                 // invalid name
    case 170: return ZO_RESULT(0x8004E005);                 // busy
    default: return E_FAIL;
  }
}

ZoResult ZoErrorHandler_TranslateCommDlgError(uint32_t e) {
  switch (e) {
    case 0: return S_OK;
    case 1: case 3: case 4: case 11: case 0x3003: case 0x4001: case 0xFFFF: return E_INVALIDARG;
    case 2: case 5: case 7: case 8: case 9: case 10: case 0x3001: return E_OUTOFMEMORY;
    case 6: return ZO_E_RESOURCE_NOT_FOUND;
    case 0x3002: return ZO_RESULT(0x8004E00D);
    default: return E_FAIL;
  }
}
